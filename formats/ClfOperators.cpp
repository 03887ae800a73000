#include "formats/ClfOperators.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "engine/lut/CdlOperation.h"
#include "engine/lut/CubeOperation.h"
#include "engine/lut/CurveOperation.h"
#include "engine/lut/ExponentOperation.h"
#include "engine/lut/HalfFloat.h"
#include "engine/lut/LogOperation.h"
#include "engine/lut/MatrixOperation.h"
#include "engine/lut/RangeOperation.h"
#include "formats/FormatText.h"
#include "formats/LutError.h"
#include "formats/TextScanner.h"
#include "formats/xml/XMLNode.h"

std::string ClfAttribute(TXMLNode& node, const std::string& name) {
    std::string value = node.Attributes.ByName(name).Text;
    std::replace(value.begin(), value.end(), kClfQuotedBlank, ' ');
    return value;
}

namespace {

// The full-scale value of a bit depth: values at that depth are divided by it.
double DepthScale(TXMLNode& node, const std::string& attribute) {
    const std::string depth = ClfAttribute(node, attribute);
    if (depth.empty() || depth == "32f" || depth == "16f") return 1.0;
    if (depth == "8i") return 255.0;
    if (depth == "10i") return 1023.0;
    if (depth == "12i") return 4095.0;
    if (depth == "16i") return 65535.0;
    throw ELUTError("The bit depth \"" + depth + "\" of the " + node.Name + " operator is not known.");
}

// A flag attribute that CLF allows only as "true": absent is false.
bool TrueFlag(TXMLNode& node, const std::string& name) {
    const std::string value = ClfAttribute(node, name);
    if (value.empty()) return false;
    if (UpperCase(value) != "TRUE")
        throw ELUTError("The " + node.Name + " operator's " + name + " is \"" + value.substr(0, 40) +
                        "\"; the only value it takes is \"true\".");
    return true;
}

// A 16-bit half-float bit pattern, written as an integer, as its value.
double HalfBitsToDouble(double bits) {
    if (!(bits >= 0 && bits <= 65535) || bits != std::floor(bits))
        throw ELUTError("'" + FormatDecimal(bits) + "' in a LUT1D with rawHalfs is not a 16-bit pattern.");
    return HalfToDouble(static_cast<std::uint16_t>(bits));
}

// A table entry as a 32-bit processor keeps it: NaN becomes 0 and the
// infinities the largest finite float.
double Finite(double value) {
    constexpr double kLargest = std::numeric_limits<float>::max();
    return std::isnan(value) ? 0.0 : std::clamp(value, -kLargest, kLargest);
}

// NaN and the infinities, which tables may hold, in any letter case.
bool ParseSpecialNumber(std::string_view token, double& value) {
    std::string word = UpperCase(std::string(token));
    const bool negative = !word.empty() && word[0] == '-';
    if (!word.empty() && (word[0] == '-' || word[0] == '+')) word.erase(0, 1);
    if (word == "NAN")
        value = std::numeric_limits<double>::quiet_NaN();
    else if (word == "INF" || word == "INFINITY")
        value = negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    else
        return false;
    return true;
}

// Every number of an element's text, blank-separated.
std::vector<double> ReadNumbers(std::string_view text, const std::string& what) {
    std::vector<double> values;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ') ++i;
        const std::size_t start = i;
        while (i < text.size() && static_cast<unsigned char>(text[i]) > ' ') ++i;
        if (i == start) break;
        double value = 0.0;
        const std::string_view token = text.substr(start, i - start);
        if (!TryParseFloat(token, value) && !ParseSpecialNumber(token, value))
            throw ELUTError("'" + std::string(token.substr(0, 80)) + "' in the " + what + " is not a number.");
        values.push_back(value);
    }
    return values;
}

// The Array of an operator: its dimensions and its numbers, checked to match.
struct TArray {
    std::vector<long long> Dim;
    std::vector<double> Values;
};

TArray ReadArray(TXMLNode& op) {
    if (!op.HasNode("Array")) throw ELUTError("The " + op.Name + " operator holds no Array.");
    TXMLNode& array = op.NodeByName("Array");
    TArray result;
    const std::string dim = ClfAttribute(array, "dim");
    for (const double value : ReadNumbers(dim, op.Name + " Array's dim attribute")) {
        if (value < 1 || value > 1e7 || value != static_cast<double>(static_cast<long long>(value)))
            throw ELUTError("The " + op.Name + " Array's dim \"" + dim + "\" is not a list of sizes.");
        result.Dim.push_back(static_cast<long long>(value));
    }
    result.Values = ReadNumbers(array.Value.Text, op.Name + " Array");
    return result;
}

void CheckCount(const TXMLNode& op, const TArray& array, std::size_t expected) {
    if (array.Values.size() > expected)
        throw ELUTError("The " + op.Name + " Array holds " + std::to_string(array.Values.size()) +
                        " values where its dim asks for " + std::to_string(expected) + ".");
    if (array.Values.size() != expected)
        throw ELUTError("Incomplete file: the " + op.Name + " Array expects " + std::to_string(expected) +
                        " values, found " + std::to_string(array.Values.size()) + ".");
}

// ---------------------------------------------------------------- LUT1D

std::unique_ptr<TLutOperation> ReadLut1D(TXMLNode& op) {
    if (op.HasNode("IndexMap")) throw ELUTError("The LUT1D operator's IndexMap is not supported.");
    if (!ClfAttribute(op, "hueAdjust").empty()) throw ELUTError("The LUT1D operator's hueAdjust is not supported.");
    const bool halfDomain = TrueFlag(op, "halfDomain");
    const bool rawHalfs = TrueFlag(op, "rawHalfs");
    const TArray array = ReadArray(op);
    constexpr long long kMaxLength = 1 << 20;
    if (array.Dim.size() != 2 || (array.Dim[1] != 1 && array.Dim[1] != 3) || array.Dim[0] < 2 ||
        array.Dim[0] > kMaxLength)
        throw ELUTError("The LUT1D Array's dim must be \"N 1\" or \"N 3\" with N from 2 to " +
                        std::to_string(kMaxLength) + ".");
    const auto length = static_cast<std::size_t>(array.Dim[0]);
    const auto columns = static_cast<std::size_t>(array.Dim[1]);
    CheckCount(op, array, length * columns);
    if (halfDomain && length != 65536)
        throw ELUTError("A LUT1D with halfDomain holds 65536 entries; this one holds " + std::to_string(length) + ".");
    // Values are at the output depth's scale, with rawHalfs as the bit
    // patterns of half floats; a half-domain table is indexed by the input
    // value itself, whatever the input depth says.
    const double scale = DepthScale(op, "outBitDepth");
    std::vector<TRGBDouble> entries(length);
    for (std::size_t i = 0; i < length; ++i) {
        double v[3];
        for (std::size_t c = 0; c < 3; ++c) {
            const double raw = array.Values[i * columns + (columns == 3 ? c : 0)];
            v[c] = Finite((rawHalfs ? HalfBitsToDouble(raw) : raw) / scale);
        }
        entries[i] = TRGBDouble{v[0], v[1], v[2]};
    }
    if (halfDomain) return TCurveOperation::HalfDomain(std::move(entries));
    return std::make_unique<TCurveOperation>(std::move(entries), TRGBDouble{0, 0, 0}, TRGBDouble{1, 1, 1});
}

// ---------------------------------------------------------------- LUT3D

std::unique_ptr<TLutOperation> ReadLut3D(TXMLNode& op) {
    if (op.HasNode("IndexMap")) throw ELUTError("The LUT3D operator's IndexMap is not supported.");
    const std::string interpolation = ClfAttribute(op, "interpolation");
    TCubeInterpolation method = TCubeInterpolation::Trilinear;
    if (interpolation == "tetrahedral")
        method = TCubeInterpolation::Tetrahedral;
    else if (!interpolation.empty() && interpolation != "trilinear")
        throw ELUTError("The LUT3D interpolation \"" + interpolation.substr(0, 40) +
                        "\" is not known; trilinear and tetrahedral are.");
    const TArray array = ReadArray(op);
    if (array.Dim.size() != 4 || array.Dim[3] != 3 || array.Dim[0] != array.Dim[1] || array.Dim[0] != array.Dim[2] ||
        array.Dim[0] < 2 || array.Dim[0] > kMaxCubeSize)
        throw ELUTError("The LUT3D Array's dim must be \"N N N 3\" with N from 2 to " + std::to_string(kMaxCubeSize) +
                        ".");
    const int n = static_cast<int>(array.Dim[0]);
    CheckCount(op, array, static_cast<std::size_t>(n) * n * n * 3);
    const double scale = DepthScale(op, "outBitDepth");
    auto table = std::make_unique<TLUT>();
    const double* v = array.Values.data();
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b, v += 3)
                table->Cube[r][g][b] = TRGBDouble{Finite(v[0] / scale), Finite(v[1] / scale), Finite(v[2] / scale)};
    table->CubeSize = n;
    table->Kind = lkCube;
    auto cube = std::make_unique<TCubeOperation>(std::move(table), method);
    cube->InterpolationNamedByFile = !interpolation.empty();
    return cube;
}

// ---------------------------------------------------------------- Range

bool ReadBound(TXMLNode& op, const std::string& name, double scale, double& value) {
    if (!op.HasNode(name)) return false;
    const std::vector<double> numbers = ReadNumbers(op.NodeByName(name).Value.Text, "Range " + name);
    if (numbers.size() != 1) throw ELUTError("The Range operator's " + name + " is not one number.");
    value = numbers[0] / scale;
    return true;
}

std::unique_ptr<TLutOperation> ReadRange(TXMLNode& op) {
    const double inScale = DepthScale(op, "inBitDepth");
    const double outScale = DepthScale(op, "outBitDepth");
    TRangeOperation::TBounds b;
    const bool minIn = ReadBound(op, "minInValue", inScale, b.MinIn);
    const bool minOut = ReadBound(op, "minOutValue", outScale, b.MinOut);
    const bool maxIn = ReadBound(op, "maxInValue", inScale, b.MaxIn);
    const bool maxOut = ReadBound(op, "maxOutValue", outScale, b.MaxOut);
    if (minIn != minOut || maxIn != maxOut)
        throw ELUTError(
            "The Range operator needs its bounds in pairs (minInValue with minOutValue, "
            "maxInValue with maxOutValue).");
    b.HasMin = minIn;
    b.HasMax = maxIn;
    if (!b.HasMin && !b.HasMax) throw ELUTError("The Range operator has no bounds.");
    const std::string style = UpperCase(ClfAttribute(op, "style"));
    b.Clamp = style.empty() || style == "CLAMP";
    if (!b.Clamp && style != "NOCLAMP")
        throw ELUTError("The Range style \"" + ClfAttribute(op, "style") + "\" is not known.");
    if (!b.Clamp && !(b.HasMin && b.HasMax))
        throw ELUTError("The Range style noClamp needs both the minimum and the maximum bounds.");
    if (b.HasMin != b.HasMax && (b.HasMin ? b.MinIn != b.MinOut : b.MaxIn != b.MaxOut))
        throw ELUTError(
            "A Range operator with only a minimum or only a maximum must map its "
            "InValue to the same OutValue.");
    if (b.HasMin && b.HasMax && !(b.MaxIn > b.MinIn))
        throw ELUTError("The Range operator's maxInValue is not above its minInValue.");
    return std::make_unique<TRangeOperation>(b);
}

// ---------------------------------------------------------------- Matrix

// 3x3, or 3x4 with an offset column; the 4x4 and 4x5 forms with alpha keep
// their colour part. The older three-number dim "3 3 3" is 3x3.
std::unique_ptr<TLutOperation> ReadMatrix(TXMLNode& op) {
    const TArray array = ReadArray(op);
    if (array.Dim.size() != 2 && array.Dim.size() != 3)
        throw ELUTError("The Matrix Array's dim must give rows and columns.");
    const long long rows = array.Dim[0];
    const long long columns = array.Dim[1];
    if ((rows != 3 && rows != 4) || (columns != rows && columns != rows + 1))
        throw ELUTError("The Matrix Array's dim must be 3 3, 3 4, 4 4 or 4 5.");
    CheckCount(op, array, static_cast<std::size_t>(rows * columns));
    // The older "4 4 3" (four rows of four for three colour components) holds
    // a 3x4 matrix: its fourth column is the offset.
    const bool offsetInFourth = array.Dim.size() == 3 && array.Dim[2] == 3 && rows == 4 && columns == 4;
    const double inScale = DepthScale(op, "inBitDepth");
    const double outScale = DepthScale(op, "outBitDepth");
    double m[3][3];
    double offset[3];
    for (int i = 0; i < 3; ++i) {
        const double* row = &array.Values[static_cast<std::size_t>(i * columns)];
        for (int j = 0; j < 3; ++j) m[i][j] = row[j] * inScale / outScale;
        offset[i] = columns == rows + 1 || offsetInFourth ? row[columns - 1] / outScale : 0.0;
    }
    return std::make_unique<TMatrixOperation>(m, offset);
}

// ---------------------------------------------------------------- Log

// The parameter elements of Log and Exponent: one for all channels, or one
// per channel named by its channel attribute.
template <typename TParams, typename TRead>
std::array<TParams, 3> ReadChannelParams(TXMLNode& op, const std::string& element, TRead read) {
    std::array<TParams, 3> params{};
    bool seen[3] = {false, false, false};
    bool shared = false;
    for (const auto& child : op.Children) {
        if (UpperCase(child->Name) != UpperCase(element)) continue;
        const std::string channel = ClfAttribute(*child, "channel");
        TParams value{};
        read(*child, value);
        if (channel.empty()) {
            params = {value, value, value};
            shared = true;
            continue;
        }
        const std::size_t index = channel == "R" ? 0 : channel == "G" ? 1 : channel == "B" ? 2 : 3;
        if (index == 3)
            throw ELUTError("The " + element + " channel \"" + channel.substr(0, 20) + "\" is not R, G or B.");
        params[index] = value;
        seen[index] = true;
    }
    if (!shared && (seen[0] || seen[1] || seen[2]) && !(seen[0] && seen[1] && seen[2]))
        for (std::size_t c = 0; c < 3; ++c)
            if (!seen[c]) params[c] = TParams{};
    return params;
}

double NumberAttribute(TXMLNode& node, const std::string& name, double fallback, bool& present) {
    const std::string text = ClfAttribute(node, name);
    present = !text.empty();
    if (!present) return fallback;
    double value = 0.0;
    if (!TryParseFloat(TrimView(text), value))
        throw ELUTError("The " + node.Name + " attribute " + name + " \"" + text.substr(0, 40) + "\" is not a number.");
    return value;
}

void RequireVersion(const TXMLNode& op, double version) {
    if (version != 0 && version < 3.0) throw ELUTError("The " + op.Name + " operator needs compCLFversion 3 or later.");
}

std::unique_ptr<TLutOperation> ReadLog(TXMLNode& op, double version) {
    RequireVersion(op, version);
    static const std::pair<const char*, TLogStyle> kStyles[] = {{"log10", TLogStyle::Log10},
                                                                {"log2", TLogStyle::Log2},
                                                                {"antiLog10", TLogStyle::AntiLog10},
                                                                {"antiLog2", TLogStyle::AntiLog2},
                                                                {"linToLog", TLogStyle::LinToLog},
                                                                {"logToLin", TLogStyle::LogToLin},
                                                                {"cameraLinToLog", TLogStyle::CameraLinToLog},
                                                                {"cameraLogToLin", TLogStyle::CameraLogToLin}};
    const std::string name = ClfAttribute(op, "style");
    const auto found =
        std::find_if(std::begin(kStyles), std::end(kStyles), [&](const auto& style) { return name == style.first; });
    if (found == std::end(kStyles)) throw ELUTError("The Log style \"" + name.substr(0, 40) + "\" is not known.");
    const TLogStyle style = found->second;
    const bool camera = style == TLogStyle::CameraLinToLog || style == TLogStyle::CameraLogToLin;
    const bool parametric = camera || style == TLogStyle::LinToLog || style == TLogStyle::LogToLin;
    auto read = [&](TXMLNode& node, TLogOperation::TParams& p) {
        static const std::string kKnown[] = {"CHANNEL",      "BASE",          "LOGSIDESLOPE", "LOGSIDEOFFSET",
                                             "LINSIDESLOPE", "LINSIDEOFFSET", "LINSIDEBREAK", "LINEARSLOPE"};
        for (const auto& [attribute, value] : node.Attributes.Items)
            if (!value->Text.empty() &&
                std::find(std::begin(kKnown), std::end(kKnown), UpperCase(attribute)) == std::end(kKnown))
                throw ELUTError("The Log parameter \"" + attribute.substr(0, 40) + "\" is not supported.");
        bool present = false, hasBreak = false;
        p.Base = NumberAttribute(node, "base", 2.0, present);
        p.LogSideSlope = NumberAttribute(node, "logSideSlope", 1.0, present);
        p.LogSideOffset = NumberAttribute(node, "logSideOffset", 0.0, present);
        p.LinSideSlope = NumberAttribute(node, "linSideSlope", 1.0, present);
        p.LinSideOffset = NumberAttribute(node, "linSideOffset", 0.0, present);
        p.LinSideBreak = NumberAttribute(node, "linSideBreak", 0.0, hasBreak);
        p.LinearSlope = NumberAttribute(node, "linearSlope", 0.0, p.HasLinearSlope);
        if (camera && !hasBreak) throw ELUTError("The Log style " + name + " needs the linSideBreak parameter.");
        if (!camera && (hasBreak || p.HasLinearSlope))
            throw ELUTError("The Log style " + name + " takes no linSideBreak or linearSlope parameter.");
        if (!(p.Base > 0) || p.Base == 1 || p.LogSideSlope == 0 || p.LinSideSlope == 0)
            throw ELUTError("The Log parameters give no invertible function (base, or a slope of 0).");
    };
    std::array<TLogOperation::TParams, 3> params{};
    if (parametric) {
        params = ReadChannelParams<TLogOperation::TParams>(op, "LogParams", read);
        if (camera && !op.HasNode("LogParams"))
            throw ELUTError("The Log style " + name + " needs the linSideBreak parameter.");
    } else if (op.HasNode("LogParams")) {
        throw ELUTError("The Log style " + name + " takes no LogParams.");
    }
    return std::make_unique<TLogOperation>(style, params);
}

// ---------------------------------------------------------------- Exponent

std::unique_ptr<TLutOperation> ReadExponent(TXMLNode& op, double version) {
    RequireVersion(op, version);
    static const std::pair<const char*, TExponentStyle> kStyles[] = {
        {"basicFwd", TExponentStyle::BasicFwd},
        {"basicRev", TExponentStyle::BasicRev},
        {"basicMirrorFwd", TExponentStyle::BasicMirrorFwd},
        {"basicMirrorRev", TExponentStyle::BasicMirrorRev},
        {"basicPassThruFwd", TExponentStyle::BasicPassThruFwd},
        {"basicPassThruRev", TExponentStyle::BasicPassThruRev},
        {"monCurveFwd", TExponentStyle::MonCurveFwd},
        {"monCurveRev", TExponentStyle::MonCurveRev},
        {"monCurveMirrorFwd", TExponentStyle::MonCurveMirrorFwd},
        {"monCurveMirrorRev", TExponentStyle::MonCurveMirrorRev}};
    const std::string name = ClfAttribute(op, "style");
    const auto found =
        std::find_if(std::begin(kStyles), std::end(kStyles), [&](const auto& style) { return name == style.first; });
    if (found == std::end(kStyles)) throw ELUTError("The Exponent style \"" + name.substr(0, 40) + "\" is not known.");
    const bool monCurve = name.starts_with("monCurve");
    if (!op.HasNode("ExponentParams")) throw ELUTError("The Exponent operator has no ExponentParams.");
    auto read = [&](TXMLNode& node, TExponentOperation::TParams& p) {
        bool hasExponent = false, hasOffset = false;
        p.Exponent = NumberAttribute(node, "exponent", 1.0, hasExponent);
        p.Offset = NumberAttribute(node, "offset", 0.0, hasOffset);
        if (!hasExponent) throw ELUTError("An ExponentParams element has no exponent.");
        if (!monCurve && hasOffset) throw ELUTError("The Exponent style " + name + " takes no offset parameter.");
        if (monCurve && (!hasOffset || p.Exponent < 1.0 || p.Offset < 0.0 || p.Offset > 0.9))
            throw ELUTError("The Exponent style " + name +
                            " needs an exponent of 1 or more and an offset "
                            "from 0 to 0.9.");
        if (!monCurve && !(p.Exponent >= 0.01 && p.Exponent <= 100.0))
            throw ELUTError("The Exponent exponent must lie from 0.01 to 100.");
    };
    const auto params = ReadChannelParams<TExponentOperation::TParams>(op, "ExponentParams", read);
    return std::make_unique<TExponentOperation>(found->second, params);
}

// ---------------------------------------------------------------- ASC_CDL

void ReadThree(TXMLNode& parent, const std::string& name, double (&values)[3]) {
    if (!parent.HasNode(name)) throw ELUTError("The ASC_CDL SOPNode has no " + name + ".");
    const std::vector<double> numbers = ReadNumbers(parent.NodeByName(name).Value.Text, "ASC_CDL " + name);
    if (numbers.size() != 3) throw ELUTError("The ASC_CDL " + name + " is not three numbers.");
    std::copy(numbers.begin(), numbers.end(), values);
}

std::unique_ptr<TLutOperation> ReadCdl(TXMLNode& op, double version) {
    RequireVersion(op, version);
    // The second four are the older names of the same styles.
    static const std::pair<const char*, TCdlStyle> kStyles[] = {{"Fwd", TCdlStyle::Fwd},
                                                                {"Rev", TCdlStyle::Rev},
                                                                {"FwdNoClamp", TCdlStyle::FwdNoClamp},
                                                                {"RevNoClamp", TCdlStyle::RevNoClamp},
                                                                {"v1.2_Fwd", TCdlStyle::Fwd},
                                                                {"v1.2_Rev", TCdlStyle::Rev},
                                                                {"noClampFwd", TCdlStyle::FwdNoClamp},
                                                                {"noClampRev", TCdlStyle::RevNoClamp}};
    std::string name = ClfAttribute(op, "style");
    if (name.empty()) name = "Fwd";
    const auto found =
        std::find_if(std::begin(kStyles), std::end(kStyles), [&](const auto& style) { return name == style.first; });
    if (found == std::end(kStyles)) throw ELUTError("The ASC_CDL style \"" + name.substr(0, 40) + "\" is not known.");
    TCdlOperation::TValues values;
    if (op.HasNode("SOPNode")) {
        TXMLNode& sop = op.NodeByName("SOPNode");
        ReadThree(sop, "Slope", values.Slope);
        ReadThree(sop, "Offset", values.Offset);
        ReadThree(sop, "Power", values.Power);
    }
    if (op.HasNode("SatNode") || op.HasNode("SATNode")) {
        TXMLNode& sat = op.NodeByName("SatNode");
        if (sat.HasNode("Saturation")) {
            const std::vector<double> numbers =
                ReadNumbers(sat.NodeByName("Saturation").Value.Text, "ASC_CDL Saturation");
            if (numbers.size() != 1) throw ELUTError("The ASC_CDL Saturation is not one number.");
            values.Saturation = numbers[0];
        }
    }
    for (int c = 0; c < 3; ++c)
        if (!(values.Power[c] > 0)) throw ELUTError("The ASC_CDL Power must be above 0.");
    if (values.Saturation < 0) throw ELUTError("The ASC_CDL Saturation must not be negative.");
    return std::make_unique<TCdlOperation>(found->second, values);
}

}  // namespace

bool IsClfElementName(const std::string& name) {
    static const char* const kNames[] = {
        "LUT1D", "LUT3D", "RANGE", "MATRIX", "LOG", "EXPONENT", "ASC_CDL", "ACES", "EXPOSURECONTRAST", "FIXEDFUNCTION",
        "FUNCTION", "GAMMA", "GRADINGPRIMARY", "GRADINGRGBCURVE", "GRADINGHUECURVE", "GRADINGTONE", "INVERSELUT1D",
        "INVERSELUT3D", "REFERENCE",
        // The parts of the operators read.
        "ARRAY", "INDEXMAP", "MININVALUE", "MAXINVALUE", "MINOUTVALUE", "MAXOUTVALUE", "LOGPARAMS", "EXPONENTPARAMS",
        "SOPNODE", "SATNODE", "SLOPE", "OFFSET", "POWER", "SATURATION"};
    const std::string upper = UpperCase(name);
    return std::any_of(std::begin(kNames), std::end(kNames), [&](const char* known) { return upper == known; });
}

std::unique_ptr<TLutOperation> ReadClfOperator(TXMLNode& element, double version) {
    const std::string name = UpperCase(element.Name);
    if (name == "LUT1D") return ReadLut1D(element);
    if (name == "LUT3D") return ReadLut3D(element);
    if (name == "RANGE") return ReadRange(element);
    if (name == "MATRIX") return ReadMatrix(element);
    if (name == "LOG") return ReadLog(element, version);
    if (name == "EXPONENT") return ReadExponent(element, version);
    if (name == "ASC_CDL") return ReadCdl(element, version);
    throw ELUTError("The CLF operator \"" + element.Name.substr(0, 40) +
                    "\" is not supported; LUT1D, LUT3D, Range, Matrix, Log, Exponent and ASC_CDL are read.");
}
