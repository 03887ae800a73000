#include "ShapedLookExport.h"

#include <cstdio>
#include <functional>
#include <string_view>
#include <vector>

#include "AtomicFile.h"
#include "Error.h"
#include "FormatRegistry.h"
#include "FormatText.h"
#include "LUT.h"
#include "LutFormat.h"
#include "Spi3DFormat.h"
#include "TextScanner.h"

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

std::string ShapedCube(const TLUT& lut, const TLookShaper& shaper) {
    std::string text;
    for (const std::string& comment : lut.Comments) text += "# " + comment + "\n";
    text += std::string(kSignatureLine) + "\n\n";
    text += "LUT_1D_SIZE " + std::to_string(lut.CurveSize) + "\n";
    text += "LUT_1D_INPUT_RANGE " + Exact(shaper.Low()) + " " + Exact(shaper.High()) + "\n";
    text += "LUT_3D_SIZE " + std::to_string(lut.CubeSize) + "\n";
    for (int i = 0; i < lut.CurveSize; ++i) text += Triple(lut.Curve[i]);
    return text + CubeRowsRedFastest(lut);
}

std::string Escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string ShapedClf(const TLUT& lut, const TLookShaper& shaper, const std::string& name) {
    std::string body = "    <Description>" + Escaped(name) + "</Description>\n";
    for (const std::string& comment : lut.Comments) body += "    <Description>" + Escaped(comment) + "</Description>\n";
    body += "    <Range inBitDepth=\"32f\" outBitDepth=\"32f\">\n"
            "        <minInValue>" + Exact(shaper.Low()) + "</minInValue>\n"
            "        <maxInValue>" + Exact(shaper.High()) + "</maxInValue>\n"
            "        <minOutValue>0</minOutValue>\n"
            "        <maxOutValue>1</maxOutValue>\n"
            "    </Range>\n";
    body += "    <LUT1D inBitDepth=\"32f\" outBitDepth=\"32f\" interpolation=\"linear\">\n"
            "        <Array dim=\"" + std::to_string(lut.CurveSize) + " 3\">\n";
    for (int i = 0; i < lut.CurveSize; ++i) body += Triple(lut.Curve[i]);
    body += "        </Array>\n    </LUT1D>\n";
    const int n = CheckedCubeSize(lut.CubeSize);
    const std::string size = std::to_string(n);
    body += "    <LUT3D inBitDepth=\"32f\" outBitDepth=\"32f\" interpolation=\"trilinear\">\n"
            "        <Array dim=\"" + size + " " + size + " " + size + " 3\">\n";
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b) body += Triple(lut.Cube[r][g][b]);
    body += "        </Array>\n    </LUT3D>\n";
    char id[32];
    std::snprintf(id, sizeof id, "%016zx", std::hash<std::string>()(body));
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ProcessList compCLFversion=\"3\" id=\"" + std::string(id) +
           "\" name=\"" + Escaped(name) + "\">\n" + body + "</ProcessList>\n";
}

std::string ShapedCinespace(const TLUT& lut, const TLookShaper& shaper) {
    std::string text = "CSPLUTV100\n3D\n\nBEGIN METADATA\n";
    for (const std::string& comment : lut.Comments) text += comment + "\n";
    text += "END METADATA\n\n";
    std::string inputs, outputs;
    for (int i = 0; i < kCinespacePoints; ++i) {
        const double code = static_cast<double>(i) / (kCinespacePoints - 1);
        inputs += (i ? " " : "") + Exact(shaper.FromShaper(code));
        outputs += (i ? " " : "") + FormatDecimal(code);
    }
    for (int channel = 0; channel < 3; ++channel)
        text += std::to_string(kCinespacePoints) + "\n" + inputs + "\n" + outputs + "\n";
    const std::string n = std::to_string(lut.CubeSize);
    return text + "\n" + n + " " + n + " " + n + "\n" + CubeRowsRedFastest(lut);
}

std::string ShaperSpi1D(const TLUT& lut, const TLookShaper& shaper) {
    std::string text = "Version 1\nFrom " + Exact(shaper.Low()) + " " + Exact(shaper.High()) + "\nLength " +
                       std::to_string(lut.CurveSize) + "\nComponents 1\n{\n";
    for (int i = 0; i < lut.CurveSize; ++i) text += "    " + FormatDecimal(lut.Curve[i].Red) + "\n";
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
    return "The footage \"" + footage + "\" is scene-linear: its look needs a shaper before the cube, which the "
           "output profile \"" + profile.Name + "\" cannot hold; use " + offered + ".";
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
        WriteFileAtomically(fileName, ShapedCube(lut, shaper));
    } else if (IsFormat(profile, "clf")) {
        WriteFileAtomically(fileName, ShapedClf(lut, shaper, fileName.substr(fileName.find_last_of('/') + 1)));
    } else if (IsFormat(profile, "cinespace-3d")) {
        WriteFileAtomically(fileName, ShapedCinespace(lut, shaper));
    } else if (IsFormat(profile, "spi3d")) {
        WriteFileAtomically(ShaperCompanion(profile, fileName), ShaperSpi1D(lut, shaper));
        WriteFileAtomically(fileName, WriteSpi3D(lut));
    } else {
        throw EError(ShaperRefusal(profile, "this"));
    }
}
