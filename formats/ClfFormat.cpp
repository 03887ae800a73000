#include "ClfFormat.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "AtomicFile.h"
#include "FormatFiles.h"
#include "FormatText.h"
#include "TextScanner.h"
#include "XMLNode.h"

namespace {

// Stands in for blanks inside quoted attribute values while the document
// model reads the text, which splits attributes at every blank.
constexpr char kQuotedBlank = '\x1f';

// A baked chain of operators gets at least this many points per axis, or
// entries when it works on each channel alone.
constexpr int kMinBakedCubeSize = 33;
constexpr int kMinBakedCurveSize = 4096;

// Each table operator holds a table of its own (up to 27 MB); no real
// process list comes near this many operators.
constexpr std::size_t kMaxOperators = 64;

// The text with the blanks inside quoted attribute values replaced by
// kQuotedBlank; comments, CDATA sections and content stay as they are.
std::string ProtectQuotedBlanks(std::string_view text)
{
    std::string result(text);
    std::size_t i = 0;
    while (i < result.size()) {
        if (result.compare(i, 4, "<!--") == 0) {
            const std::size_t end = result.find("-->", i + 4);
            i = end == std::string::npos ? result.size() : end + 3;
        } else if (result.compare(i, 9, "<![CDATA[") == 0) {
            const std::size_t end = result.find("]]>", i + 9);
            i = end == std::string::npos ? result.size() : end + 3;
        } else if (result[i] == '<') {
            char quote = 0;
            for (++i; i < result.size() && (quote != 0 || result[i] != '>'); ++i) {
                const char c = result[i];
                if (quote != 0 && c == quote)
                    quote = 0;
                else if (quote == 0 && (c == '"' || c == '\''))
                    quote = c;
                else if (quote != 0 && static_cast<unsigned char>(c) <= ' ')
                    result[i] = kQuotedBlank;
            }
        } else {
            ++i;
        }
    }
    return result;
}

std::string Attribute(TXMLNode& node, const std::string& name)
{
    std::string value = node.Attributes.ByName(name).Text;
    std::replace(value.begin(), value.end(), kQuotedBlank, ' ');
    return value;
}

// The five predefined entities; anything else stays as written.
std::string DecodeEntities(std::string_view text)
{
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}, {"&amp;", '&'}};
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        bool replaced = false;
        if (text[i] == '&')
            for (const auto& [entity, character] : kEntities)
                if (text.substr(i, entity.size()) == entity) {
                    result += character;
                    i += entity.size();
                    replaced = true;
                    break;
                }
        if (!replaced)
            result += text[i++];
    }
    return result;
}

std::string EncodeEntities(std::string_view text)
{
    std::string result;
    for (const char c : text) {
        switch (c) {
        case '<': result += "&lt;"; break;
        case '>': result += "&gt;"; break;
        case '&': result += "&amp;"; break;
        case '"': result += "&quot;"; break;
        case '\'': result += "&apos;"; break;
        default: result += static_cast<unsigned char>(c) < ' ' ? ' ' : c;
        }
    }
    return result;
}

// The full-scale value of a bit depth: values at that depth are divided by it.
double DepthScale(TXMLNode& node, const std::string& attribute)
{
    const std::string depth = Attribute(node, attribute);
    if (depth.empty() || depth == "32f" || depth == "16f")
        return 1.0;
    if (depth == "8i")
        return 255.0;
    if (depth == "10i")
        return 1023.0;
    if (depth == "12i")
        return 4095.0;
    if (depth == "16i")
        return 65535.0;
    throw ELUTError("The bit depth \"" + depth + "\" of the " + node.Name + " operator is not known.");
}

// Every number of an element's text, blank-separated.
std::vector<double> ReadNumbers(std::string_view text, const std::string& what)
{
    std::vector<double> values;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ')
            ++i;
        const std::size_t start = i;
        while (i < text.size() && static_cast<unsigned char>(text[i]) > ' ')
            ++i;
        if (i == start)
            break;
        double value = 0.0;
        const std::string_view token = text.substr(start, i - start);
        if (!TryParseFloat(token, value))
            throw ELUTError("'" + std::string(token.substr(0, 80)) + "' in the " + what +
                            " is not a number.");
        values.push_back(value);
    }
    return values;
}

// The Array of an operator: its dimensions and its numbers, checked to match.
struct TArray {
    std::vector<long long> Dim;
    std::vector<double> Values;
};

TArray ReadArray(TXMLNode& op)
{
    if (!op.HasNode("Array"))
        throw ELUTError("The " + op.Name + " operator holds no Array.");
    TXMLNode& array = op.NodeByName("Array");
    TArray result;
    const std::string dim = Attribute(array, "dim");
    for (const double value : ReadNumbers(dim, op.Name + " Array's dim attribute")) {
        if (value < 1 || value > 1e7 || value != static_cast<double>(static_cast<long long>(value)))
            throw ELUTError("The " + op.Name + " Array's dim \"" + dim + "\" is not a list of sizes.");
        result.Dim.push_back(static_cast<long long>(value));
    }
    result.Values = ReadNumbers(array.Value.Text, op.Name + " Array");
    return result;
}

void CheckCount(const TXMLNode& op, const TArray& array, std::size_t expected)
{
    if (array.Values.size() != expected)
        throw ELUTError("Incomplete file: the " + op.Name + " Array expects " + std::to_string(expected) +
                        " values, found " + std::to_string(array.Values.size()) + ".");
}

// One operator, turned into normalised arithmetic.
class TClfOperator {
public:
    virtual ~TClfOperator() = default;
    virtual void Apply(TRGBDouble& colour) const = 0;
    // True when each channel's result depends on that channel alone.
    virtual bool PerChannel() const = 0;
};

class TLut1DOperator : public TClfOperator {
public:
    explicit TLut1DOperator(TXMLNode& op) : Table(std::make_unique<TLUT>())
    {
        if (op.HasNode("IndexMap"))
            throw ELUTError("The LUT1D operator's IndexMap is not supported.");
        const std::string halfDomain = UpperCase(Attribute(op, "halfDomain"));
        if (!halfDomain.empty() && halfDomain != "FALSE")
            throw ELUTError("The LUT1D operator's halfDomain is not supported.");
        const std::string rawHalfs = UpperCase(Attribute(op, "rawHalfs"));
        if (!rawHalfs.empty() && rawHalfs != "FALSE")
            throw ELUTError("The LUT1D operator's rawHalfs is not supported.");
        const TArray array = ReadArray(op);
        if (array.Dim.size() != 2 || (array.Dim[1] != 1 && array.Dim[1] != 3) || array.Dim[0] < 2 ||
            array.Dim[0] > kMaxCurveSize)
            throw ELUTError("The LUT1D Array's dim must be \"N 1\" or \"N 3\" with N from 2 to " +
                            std::to_string(kMaxCurveSize) + ".");
        const auto length = static_cast<std::size_t>(array.Dim[0]);
        const auto columns = static_cast<std::size_t>(array.Dim[1]);
        CheckCount(op, array, length * columns);
        const double scale = DepthScale(op, "outBitDepth");
        for (std::size_t i = 0; i < length; ++i) {
            const double* v = &array.Values[i * columns];
            Table->Curve[i] = columns == 3 ? TRGBDouble{v[0] / scale, v[1] / scale, v[2] / scale}
                                           : TRGBDouble{v[0] / scale, v[0] / scale, v[0] / scale};
        }
        Table->CurveSize = static_cast<std::int32_t>(length);
        Table->Kind = lkCurve;
    }
    void Apply(TRGBDouble& colour) const override { Table->InterpolateCurve(TRGBDouble(colour), colour); }
    bool PerChannel() const override { return true; }

    std::unique_ptr<TLUT> Table;
};

class TLut3DOperator : public TClfOperator {
public:
    explicit TLut3DOperator(TXMLNode& op) : Table(std::make_unique<TLUT>())
    {
        const TArray array = ReadArray(op);
        if (array.Dim.size() != 4 || array.Dim[3] != 3 || array.Dim[0] != array.Dim[1] ||
            array.Dim[0] != array.Dim[2] || array.Dim[0] < 2 || array.Dim[0] > kMaxCubeSize)
            throw ELUTError("The LUT3D Array's dim must be \"N N N 3\" with N from 2 to " +
                            std::to_string(kMaxCubeSize) + ".");
        const int n = static_cast<int>(array.Dim[0]);
        CheckCount(op, array, static_cast<std::size_t>(n) * n * n * 3);
        const double scale = DepthScale(op, "outBitDepth");
        const double* v = array.Values.data();
        for (int r = 0; r < n; ++r)
            for (int g = 0; g < n; ++g)
                for (int b = 0; b < n; ++b, v += 3)
                    Table->Cube[r][g][b] = TRGBDouble{v[0] / scale, v[1] / scale, v[2] / scale};
        Table->CubeSize = n;
        Table->Kind = lkCube;
    }
    void Apply(TRGBDouble& colour) const override { Table->InterpolateCube(TRGBDouble(colour), colour); }
    bool PerChannel() const override { return false; }

    std::unique_ptr<TLUT> Table;
};

// Range: scales and offsets from the input bounds to the output bounds and
// clamps to the output bounds (unless its style says noClamp); with only
// the minimum or only the maximum pair it clamps at that end.
class TRangeOperator : public TClfOperator {
public:
    explicit TRangeOperator(TXMLNode& op)
    {
        const double inScale = DepthScale(op, "inBitDepth");
        const double outScale = DepthScale(op, "outBitDepth");
        const bool hasMin = ReadBound(op, "minInValue", inScale, minIn_) | ReadBound(op, "minOutValue", outScale, minOut_);
        const bool hasMax = ReadBound(op, "maxInValue", inScale, maxIn_) | ReadBound(op, "maxOutValue", outScale, maxOut_);
        if ((hasMin && (std::isnan(minIn_) || std::isnan(minOut_))) ||
            (hasMax && (std::isnan(maxIn_) || std::isnan(maxOut_))))
            throw ELUTError("The Range operator needs its bounds in pairs (minInValue with minOutValue, "
                            "maxInValue with maxOutValue).");
        if (!hasMin && !hasMax)
            throw ELUTError("The Range operator has no bounds.");
        const std::string style = UpperCase(Attribute(op, "style"));
        clamp_ = style.empty() || style == "CLAMP";
        if (!clamp_ && style != "NOCLAMP")
            throw ELUTError("The Range style \"" + Attribute(op, "style") + "\" is not known.");
        linear_ = hasMin && hasMax;
        if (linear_) {
            if (!(maxIn_ > minIn_))
                throw ELUTError("The Range operator's maxInValue is not above its minInValue.");
            scale_ = (maxOut_ - minOut_) / (maxIn_ - minIn_);
        }
        hasMin_ = hasMin;
        hasMax_ = hasMax;
    }
    void Apply(TRGBDouble& colour) const override
    {
        colour.Red = Map(colour.Red);
        colour.Green = Map(colour.Green);
        colour.Blue = Map(colour.Blue);
    }
    bool PerChannel() const override { return true; }

private:
    static bool ReadBound(TXMLNode& op, const std::string& name, double scale, double& value)
    {
        value = std::numeric_limits<double>::quiet_NaN();
        if (!op.HasNode(name))
            return false;
        const std::vector<double> numbers = ReadNumbers(op.NodeByName(name).Value.Text, "Range " + name);
        if (numbers.size() != 1)
            throw ELUTError("The Range operator's " + name + " is not one number.");
        value = numbers[0] / scale;
        return true;
    }
    double Map(double x) const
    {
        if (linear_) {
            const double y = minOut_ + (x - minIn_) * scale_;
            return clamp_ ? std::clamp(y, std::min(minOut_, maxOut_), std::max(minOut_, maxOut_)) : y;
        }
        if (hasMin_)
            return std::max(x, minIn_) + (minOut_ - minIn_);
        return std::min(x, maxIn_) + (maxOut_ - maxIn_);
    }

    double minIn_ = 0, minOut_ = 0, maxIn_ = 0, maxOut_ = 0, scale_ = 1;
    bool clamp_ = true, linear_ = false, hasMin_ = false, hasMax_ = false;
};

// Matrix: 3x3, or 3x4 with an offset column; the 4x4 and 4x5 forms with
// alpha keep their colour part. The older three-number dim "3 3 3" is 3x3.
class TMatrixOperator : public TClfOperator {
public:
    explicit TMatrixOperator(TXMLNode& op)
    {
        const TArray array = ReadArray(op);
        if (array.Dim.size() != 2 && array.Dim.size() != 3)
            throw ELUTError("The Matrix Array's dim must give rows and columns.");
        const long long rows = array.Dim[0];
        const long long columns = array.Dim[1];
        if ((rows != 3 && rows != 4) || (columns != rows && columns != rows + 1))
            throw ELUTError("The Matrix Array's dim must be 3 3, 3 4, 4 4 or 4 5.");
        CheckCount(op, array, static_cast<std::size_t>(rows * columns));
        const double inScale = DepthScale(op, "inBitDepth");
        const double outScale = DepthScale(op, "outBitDepth");
        for (int i = 0; i < 3; ++i) {
            const double* row = &array.Values[static_cast<std::size_t>(i * columns)];
            for (int j = 0; j < 3; ++j)
                m_[i][j] = row[j] * inScale / outScale;
            offset_[i] = columns == rows + 1 ? row[columns - 1] / outScale : 0.0;
        }
    }
    void Apply(TRGBDouble& colour) const override
    {
        const double in[3] = {colour.Red, colour.Green, colour.Blue};
        double out[3];
        for (int i = 0; i < 3; ++i)
            out[i] = m_[i][0] * in[0] + m_[i][1] * in[1] + m_[i][2] * in[2] + offset_[i];
        colour = TRGBDouble{out[0], out[1], out[2]};
    }
    bool PerChannel() const override { return false; }

private:
    double m_[3][3] = {};
    double offset_[3] = {};
};

std::unique_ptr<TClfOperator> MakeOperator(TXMLNode& node)
{
    const std::string name = UpperCase(node.Name);
    if (name == "LUT1D")
        return std::make_unique<TLut1DOperator>(node);
    if (name == "LUT3D")
        return std::make_unique<TLut3DOperator>(node);
    if (name == "RANGE")
        return std::make_unique<TRangeOperator>(node);
    if (name == "MATRIX")
        return std::make_unique<TMatrixOperator>(node);
    throw ELUTError("The CLF operator \"" + node.Name +
                    "\" is not supported; LUT1D, LUT3D, Range and Matrix are read.");
}

bool IsMetadata(const std::string& name)
{
    const std::string upper = UpperCase(name);
    return upper == "DESCRIPTION" || upper == "INPUTDESCRIPTOR" || upper == "OUTPUTDESCRIPTOR" ||
           upper == "INFO";
}

TXMLNode& FindProcessList(const TXMLNode& root)
{
    for (const auto& child : root.Children)
        if (UpperCase(child->Name) == "PROCESSLIST")
            return *child;
    throw ELUTError("The document holds no ProcessList.");
}

template <typename TOperator>
const TOperator* As(const std::unique_ptr<TClfOperator>& op)
{
    return dynamic_cast<const TOperator*>(op.get());
}

// Runs the chain on a colour.
TRGBDouble Through(const std::vector<std::unique_ptr<TClfOperator>>& chain, TRGBDouble colour)
{
    for (const auto& op : chain)
        op->Apply(colour);
    return colour;
}

void BakeChain(const std::vector<std::unique_ptr<TClfOperator>>& chain, TLUT& lut)
{
    const bool perChannel =
        std::all_of(chain.begin(), chain.end(), [](const auto& op) { return op->PerChannel(); });
    if (perChannel) {
        int length = kMinBakedCurveSize;
        for (const auto& op : chain)
            if (const auto* curve = As<TLut1DOperator>(op))
                length = std::max(length, curve->Table->CurveSize);
        for (int i = 0; i < length; ++i) {
            const double x = static_cast<double>(i) / (length - 1);
            lut.Curve[i] = Through(chain, TRGBDouble{x, x, x});
        }
        lut.CurveSize = length;
        lut.Kind = lkCurve;
        return;
    }
    int size = kMinBakedCubeSize;
    for (const auto& op : chain)
        if (const auto* cube = As<TLut3DOperator>(op))
            size = std::max(size, cube->Table->CubeSize);
    const double last = size - 1;
    for (int r = 0; r < size; ++r)
        for (int g = 0; g < size; ++g)
            for (int b = 0; b < size; ++b)
                lut.Cube[r][g][b] = Through(chain, TRGBDouble{r / last, g / last, b / last});
    lut.CubeSize = size;
    lut.Kind = lkCube;
}

void CopyCurve(const TLUT& from, TLUT& to)
{
    std::copy(from.Curve, from.Curve + from.CurveSize, to.Curve);
    to.CurveSize = from.CurveSize;
}

void CopyCube(const TLUT& from, TLUT& to)
{
    const int n = from.CubeSize;
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            std::copy(from.Cube[r][g], from.Cube[r][g] + n, to.Cube[r][g]);
    to.CubeSize = n;
}

// 64-bit FNV-1a, for an id that follows the file's content.
std::uint64_t Fnv1a(std::string_view text, std::uint64_t hash)
{
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

std::string Hex(std::uint64_t value, int digits)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        text[static_cast<std::size_t>(i)] = kDigits[value & 15];
    return text;
}

// A UUID-shaped id derived from the document's body.
std::string ContentId(std::string_view body)
{
    const std::uint64_t high = Fnv1a(body, 0xcbf29ce484222325ull);
    const std::uint64_t low = Fnv1a(body, 0x84222325cbf29ce4ull);
    return Hex(high >> 32, 8) + "-" + Hex((high >> 16) & 0xffff, 4) + "-" + Hex(high & 0xffff, 4) + "-" +
           Hex(low >> 48, 4) + "-" + Hex(low & 0xffffffffffffull, 12);
}

void AppendTriple(std::string& text, const TRGBDouble& v)
{
    text += FormatDecimal(v.Red) + " " + FormatDecimal(v.Green) + " " + FormatDecimal(v.Blue) + "\n";
}

std::string CurveOperator(const TLUT& lut)
{
    const std::int32_t length = CheckedCurveSize(lut.CurveSize);
    std::string text = "    <LUT1D inBitDepth=\"32f\" outBitDepth=\"32f\" interpolation=\"linear\">\n"
                       "        <Array dim=\"" + std::to_string(length) + " 3\">\n";
    for (std::int32_t i = 0; i < length; ++i)
        AppendTriple(text, lut.Curve[i]);
    return text + "        </Array>\n    </LUT1D>\n";
}

std::string CubeOperator(const TLUT& lut)
{
    const std::int32_t size = CheckedCubeSize(lut.CubeSize);
    const std::string n = std::to_string(size);
    std::string text = "    <LUT3D inBitDepth=\"32f\" outBitDepth=\"32f\" interpolation=\"trilinear\">\n"
                       "        <Array dim=\"" + n + " " + n + " " + n + " 3\">\n";
    text.reserve(text.size() + static_cast<std::size_t>(size) * size * size * 32);
    for (int r = 0; r < size; ++r)
        for (int g = 0; g < size; ++g)
            for (int b = 0; b < size; ++b)
                AppendTriple(text, lut.Cube[r][g][b]);
    return text + "        </Array>\n    </LUT3D>\n";
}

}  // namespace

bool LooksLikeClf(std::string_view head)
{
    return UpperCase(head).find("<PROCESSLIST") != std::string::npos;
}

void ReadClf(std::string_view text, TLUT& lut)
{
    TXMLNode root;
    root.LoadFromText(ProtectQuotedBlanks(text));
    TXMLNode& list = FindProcessList(root);
    std::vector<std::string> comments;
    std::vector<std::unique_ptr<TClfOperator>> chain;
    for (const auto& child : list.Children) {
        if (child->Name.empty() || child->Name[0] == '!' || child->Name[0] == '?')
            continue;
        if (IsMetadata(child->Name)) {
            if (UpperCase(child->Name) == "DESCRIPTION")
                comments.push_back(DecodeEntities(TrimView(child->Value.Text)));
            continue;
        }
        if (chain.size() == kMaxOperators)
            throw ELUTError("The ProcessList holds more than " + std::to_string(kMaxOperators) + " operators.");
        chain.push_back(MakeOperator(*child));
    }

    if (chain.empty()) {
        lut.Kind = lkIdentity;
    } else if (chain.size() == 1 && As<TLut3DOperator>(chain[0])) {
        CopyCube(*As<TLut3DOperator>(chain[0])->Table, lut);
        lut.Kind = lkCube;
    } else if (chain.size() == 1 && As<TLut1DOperator>(chain[0])) {
        CopyCurve(*As<TLut1DOperator>(chain[0])->Table, lut);
        lut.Kind = lkCurve;
    } else if (chain.size() == 2 && As<TLut1DOperator>(chain[0]) && As<TLut3DOperator>(chain[1])) {
        CopyCurve(*As<TLut1DOperator>(chain[0])->Table, lut);
        CopyCube(*As<TLut3DOperator>(chain[1])->Table, lut);
        lut.Kind = lkCurveThenCube;
    } else {
        BakeChain(chain, lut);
    }
    lut.Comments = std::move(comments);
}

std::string WriteClf(const TLUT& lut, const std::string& name)
{
    std::string body;
    body += "    <Description>" + EncodeEntities(name) + "</Description>\n";
    for (const std::string& comment : lut.Comments)
        body += "    <Description>" + EncodeEntities(TrimView(comment)) + "</Description>\n";
    if (lut.Kind == lkCurve || lut.Kind == lkCurveThenCube)
        body += CurveOperator(lut);
    if (lut.Kind != lkCurve)
        body += CubeOperator(lut);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<ProcessList compCLFversion=\"3\" id=\"" + ContentId(body) + "\" name=\"" +
           EncodeEntities(name) + "\">\n" + body + "</ProcessList>\n";
}

TClfLutFormat::TClfLutFormat()
    : TLUTFormat({.Id = "clf", .Name = "Academy/ASC Common LUT Format", .Extensions = {"clf"},
                  .KeepsCurveBeforeCube = true, .DetectedBefore = "clipster-3d"})
{
}

OMBRANE_LUT_FORMAT(TClfLutFormat)

bool TClfLutFormat::CanRead(const std::string& fileName) const
{
    return LooksLikeClf(ReadFileHead(fileName, 4096));
}

void TClfLutFormat::Read(std::string_view bytes, const std::string& name, TLUT& lut) const
{
    (void)name;
    ReadClf(bytes, lut);
}

std::string TClfLutFormat::Write(const TLUT& lut, int, const std::string& name) const
{
    return WriteClf(lut, BaseNameWithoutExtension(name));
}
