#include "formats/ShapedLookExport.h"

#include <cstdio>
#include <functional>
#include <string_view>
#include <vector>

#include "engine/base/Error.h"
#include "engine/lut/LUT.h"
#include "fileio/AtomicFile.h"
#include "formats/FormatRegistry.h"
#include "formats/FormatText.h"
#include "formats/LutFormat.h"
#include "formats/Spi3DFormat.h"
#include "formats/TextScanner.h"

namespace {

// Points of the Cinespace pre-LUT, evenly in stops over the shaper's range.
constexpr int kCinespacePoints = 1025;

std::string Exact(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

std::string Triple(const TRGBDouble& v) {
    return FormatDecimal(v.Red) + " " + FormatDecimal(v.Green) + " " + FormatDecimal(v.Blue) + "\n";
}

// The cube's entries, red fastest.
std::string CubeRowsRedFastest(const TLUT& lut) {
    const int n = CheckedCubeSize(lut.CubeSize);
    std::string text;
    text.reserve(static_cast<std::size_t>(n) * n * n * 32);
    for (int b = 0; b < n; ++b)
        for (int g = 0; g < n; ++g)
            for (int r = 0; r < n; ++r) text += Triple(lut.Cube[r][g][b]);
    return text;
}

// The input range of the curve: the shaper's linear range, or 0..1.
struct TCurveRange {
    double Low = 0.0;
    double High = 1.0;
    bool IsUnit() const { return Low == 0.0 && High == 1.0; }
};

TCurveRange RangeOf(const TLookShaper& shaper) { return {shaper.Low(), shaper.High()}; }

std::string ShapedCube(const TLUT& lut, const TCurveRange& range) {
    std::string text;
    for (const std::string& comment : lut.Comments) text += "# " + comment + "\n";
    text += std::string(kSignatureLine) + "\n\n";
    text += "LUT_1D_SIZE " + std::to_string(lut.CurveSize) + "\n";
    if (!range.IsUnit()) text += "LUT_1D_INPUT_RANGE " + Exact(range.Low) + " " + Exact(range.High) + "\n";
    text += "LUT_3D_SIZE " + std::to_string(lut.CubeSize) + "\n";
    for (int i = 0; i < lut.CurveSize; ++i) text += Triple(lut.Curve[i]);
    return text + CubeRowsRedFastest(lut);
}

std::string Escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string ShapedClf(const TLUT& lut, const TCurveRange& range, const std::string& name) {
    std::string body = "    <Description>" + Escaped(name) + "</Description>\n";
    for (const std::string& comment : lut.Comments) body += "    <Description>" + Escaped(comment) + "</Description>\n";
    if (!range.IsUnit())
        body +=
            "    <Range inBitDepth=\"32f\" outBitDepth=\"32f\">\n"
            "        <minInValue>" +
            Exact(range.Low) +
            "</minInValue>\n"
            "        <maxInValue>" +
            Exact(range.High) +
            "</maxInValue>\n"
            "        <minOutValue>0</minOutValue>\n"
            "        <maxOutValue>1</maxOutValue>\n"
            "    </Range>\n";
    body +=
        "    <LUT1D inBitDepth=\"32f\" outBitDepth=\"32f\" interpolation=\"linear\">\n"
        "        <Array dim=\"" +
        std::to_string(lut.CurveSize) + " 3\">\n";
    for (int i = 0; i < lut.CurveSize; ++i) body += Triple(lut.Curve[i]);
    body += "        </Array>\n    </LUT1D>\n";
    const int n = CheckedCubeSize(lut.CubeSize);
    const std::string size = std::to_string(n);
    body +=
        "    <LUT3D inBitDepth=\"32f\" outBitDepth=\"32f\" interpolation=\"trilinear\">\n"
        "        <Array dim=\"" +
        size + " " + size + " " + size + " 3\">\n";
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b) body += Triple(lut.Cube[r][g][b]);
    body += "        </Array>\n    </LUT3D>\n";
    char id[32];
    std::snprintf(id, sizeof id, "%016zx", std::hash<std::string>()(body));
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ProcessList compCLFversion=\"3\" id=\"" + std::string(id) +
           "\" name=\"" + Escaped(name) + "\">\n" + body + "</ProcessList>\n";
}

std::string CinespaceHeader(const TLUT& lut) {
    std::string text = "CSPLUTV100\n3D\n\nBEGIN METADATA\n";
    for (const std::string& comment : lut.Comments) text += comment + "\n";
    return text + "END METADATA\n\n";
}

std::string CinespaceCube(const TLUT& lut) {
    const std::string n = std::to_string(lut.CubeSize);
    return "\n" + n + " " + n + " " + n + "\n" + CubeRowsRedFastest(lut);
}

std::string ShapedCinespace(const TLUT& lut, const TLookShaper& shaper) {
    std::string text = CinespaceHeader(lut);
    std::string inputs, outputs;
    for (int i = 0; i < kCinespacePoints; ++i) {
        const double code = static_cast<double>(i) / (kCinespacePoints - 1);
        inputs += (i ? " " : "") + Exact(shaper.FromShaper(code));
        outputs += (i ? " " : "") + FormatDecimal(code);
    }
    for (int channel = 0; channel < 3; ++channel)
        text += std::to_string(kCinespacePoints) + "\n" + inputs + "\n" + outputs + "\n";
    return text + CinespaceCube(lut);
}

// The curve itself as each channel's pre-LUT, its entries evenly over 0..1.
std::string CurveCinespace(const TLUT& lut) {
    std::string text = CinespaceHeader(lut);
    std::string inputs;
    for (int i = 0; i < lut.CurveSize; ++i)
        inputs += (i ? " " : "") + FormatDecimal(static_cast<double>(i) / (lut.CurveSize - 1));
    for (int channel = 0; channel < 3; ++channel) {
        std::string outputs;
        for (int i = 0; i < lut.CurveSize; ++i) {
            const TRGBDouble& v = lut.Curve[i];
            outputs += (i ? " " : "") + FormatDecimal(channel == 0 ? v.Red : channel == 1 ? v.Green : v.Blue);
        }
        text += std::to_string(lut.CurveSize) + "\n" + inputs + "\n" + outputs + "\n";
    }
    return text + CinespaceCube(lut);
}

std::string ShaperSpi1D(const TLUT& lut, const TCurveRange& range) {
    bool grey = true;
    for (int i = 0; i < lut.CurveSize && grey; ++i)
        grey = lut.Curve[i].Green == lut.Curve[i].Red && lut.Curve[i].Blue == lut.Curve[i].Red;
    std::string text = "Version 1\nFrom " + Exact(range.Low) + " " + Exact(range.High) + "\nLength " +
                       std::to_string(lut.CurveSize) + "\nComponents " + (grey ? "1" : "3") + "\n{\n";
    for (int i = 0; i < lut.CurveSize; ++i) {
        const TRGBDouble& v = lut.Curve[i];
        text += "    " + FormatDecimal(v.Red);
        if (!grey) text += " " + FormatDecimal(v.Green) + " " + FormatDecimal(v.Blue);
        text += "\n";
    }
    return text + "}\n";
}

bool IsFormat(const TLutOutputProfile& profile, std::string_view id) {
    const TLUTFormat* format = GetLutFormat(profile.FormatIndex);
    return format != nullptr && format->Info().Id == id;
}

// The format ids that hold a shaper, in the order messages name them.
const std::vector<std::string_view>& ShaperFormats() {
    static const std::vector<std::string_view> ids = {"cube-3d", "clf", "cinespace-3d", "spi3d"};
    return ids;
}

}  // namespace

bool HoldsShaper(const TLutOutputProfile& profile) {
    for (std::string_view id : ShaperFormats())
        if (IsFormat(profile, id)) return true;
    return false;
}

std::string ShaperRefusal(const TLutOutputProfile& profile, const std::string& footage) {
    std::vector<std::string> names;
    for (const auto& candidate : LutOutputProfiles())
        if (HoldsShaper(*candidate)) names.push_back("\"" + candidate->Name + "\" (." + candidate->Extension + ")");
    std::string offered;
    for (std::size_t i = 0; i < names.size(); ++i)
        offered += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
    return "The footage \"" + footage +
           "\" is scene-linear: its look needs a shaper before the cube, which the "
           "output profile \"" +
           profile.Name + "\" cannot hold; use " + offered + ".";
}

std::string ShaperCompanion(const TLutOutputProfile& profile, const std::string& fileName) {
    if (!IsFormat(profile, "spi3d")) return "";
    const auto dot = fileName.find_last_of('.');
    const auto slash = fileName.find_last_of('/');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? fileName.substr(0, dot) : fileName) + ".spi1d";
}

void SaveShapedLook(const TLutOutputProfile& profile, const TLUT& lut, const TLookShaper& shaper,
                    const std::string& fileName) {
    if (IsFormat(profile, "cube-3d")) {
        WriteFileAtomically(fileName, ShapedCube(lut, RangeOf(shaper)));
    } else if (IsFormat(profile, "clf")) {
        WriteFileAtomically(fileName, ShapedClf(lut, RangeOf(shaper), fileName.substr(fileName.find_last_of('/') + 1)));
    } else if (IsFormat(profile, "cinespace-3d")) {
        WriteFileAtomically(fileName, ShapedCinespace(lut, shaper));
    } else if (IsFormat(profile, "spi3d")) {
        WriteFileAtomically(ShaperCompanion(profile, fileName), ShaperSpi1D(lut, RangeOf(shaper)));
        WriteFileAtomically(fileName, WriteSpi3D(lut));
    } else {
        throw EError(ShaperRefusal(profile, "this"));
    }
}

void SaveCurveThenCube(const TLutOutputProfile& profile, const TLUT& lut, const std::string& fileName) {
    const TCurveRange unit;
    if (IsFormat(profile, "cube-3d")) {
        WriteFileAtomically(fileName, ShapedCube(lut, unit));
    } else if (IsFormat(profile, "clf")) {
        WriteFileAtomically(fileName, ShapedClf(lut, unit, fileName.substr(fileName.find_last_of('/') + 1)));
    } else if (IsFormat(profile, "cinespace-3d")) {
        WriteFileAtomically(fileName, CurveCinespace(lut));
    } else if (IsFormat(profile, "spi3d")) {
        WriteFileAtomically(ShaperCompanion(profile, fileName), ShaperSpi1D(lut, unit));
        WriteFileAtomically(fileName, WriteSpi3D(lut));
    } else {
        throw EError("The output profile \"" + profile.Name + "\" holds no 1D table before its cube.");
    }
}
