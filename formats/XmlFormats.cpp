#include "XmlFormats.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "Lut1DFormats.h"
#include "XMLNode.h"

namespace {

// Loads the whole file (the framework's size limit and file errors apply).
void LoadDocument(const std::string& fileName, TXMLNode& root)
{
    root.LoadFromText(ReadFileBytes(fileName));
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A strict decimal number with "." as the separator.
float StrictFloat(std::string_view token)
{
    double value = 0.0;
    if (!TryParseFloat(token, value))
        throw ELUTError("'" + std::string(token) + "' is not a valid floating point value.");
    return static_cast<float>(value);
}

// Slope, offset or power: three numbers cut from the element's text.
void ReadSOPTriple(const TXMLNode& sop, const std::string& name, float& red, float& green,
                   float& blue)
{
    std::string text = Trim(sop.NodeByName(name).Value.Text);
    float* targets[3] = {&red, &green, &blue};
    for (float* target : targets) {
        std::string token;
        text = Trim(text);
        NextToken(text, token);
        *target = StrictFloat(Trim(token));
    }
}

float ApplySOP(const TCDLChannel& channel, float x)
{
    const float v = x * channel.Slope + channel.Offset;
    return v > 0.0f ? std::pow(v, channel.Power) : 0.0f;
}

// A full-scale value or size read from an element, as a 32-bit integer.
std::int32_t NodeInteger(const TXMLNode& parent, const std::string& name)
{
    const std::int64_t value = parent.NodeByName(name).Value.AsInteger();
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max())
        throw ELUTError("The \"" + name + "\" value " + std::to_string(value) +
                        " is out of range.");
    return static_cast<std::int32_t>(value);
}

}  // namespace

// -------------------------------------------------------------- S.two 1D

TStwo1DLutFormat::TStwo1DLutFormat()
    : TGenericLutFormat({.Id = "stwo-1d", .Name = "S.two 1D", .Extensions = {"swto.xml"}, .Is3D = false,
                         .MaxSize = kMaxCurveSize, .MinBits = 1, .MaxBits = 31})
{
    Range = 10;
}

OMBRANE_LUT_FORMAT(TStwo1DLutFormat)

bool TStwo1DLutFormat::CanRead(const std::string& fileName)
{
    return HasKeywords(fileName, "<lut,<data>,<elem", "");
}

void TStwo1DLutFormat::LoadFromFile(const std::string& fileName, TLUT& lut)
{
    Size = 0;
    TXMLNode root;
    LoadDocument(fileName, root);
    const TXMLNode& data = root.NodeByName("lut").NodeByName("data");
    const auto isElem = [](const TXMLNode& node) { return UpperCase(node.Name) == "ELEM"; };
    // The whole count is checked before the curve is touched.
    std::int64_t count = 0;
    for (const auto& child : data.Children)
        count += isElem(*child) ? 1 : 0;
    CheckedCurveSize(count);
    const double fullScale = std::ldexp(1.0, Range) - 1.0;
    for (const auto& child : data.Children) {
        if (!isElem(*child))
            continue;
        TXMLAttributes& attributes = child->Attributes;
        const double red = attributes.ByName("r").AsFloat();
        const double green = attributes.ByName("g").AsFloat();
        const double blue = attributes.ByName("b").AsFloat();
        lut.Curve[Size] = TRGBDouble{red / fullScale, green / fullScale, blue / fullScale};
        ++Size;
    }
    lut.Kind = lkCurve;
    lut.CurveSize = Size;
}

void TStwo1DLutFormat::SaveToFile(const std::string& fileName, const TLUT& lut, int Bits)
{
    const std::int32_t size = CheckedCurveSize(lut.CurveSize);
    FullScaleForBits(Bits);
    TTextFile text;
    text.Reserve(static_cast<std::size_t>(size) + 5);
    text.Add("<?xml version=\"1.0\"?>");
    text.Add("<lut name=\"" + BaseNameWithoutExtension(fileName) + "\">");
    text.Add("<data>");
    for (std::int32_t i = 0; i < size; ++i) {
        const TRGBDouble& entry = lut.Curve[i];
        text.Add("<elem r=\"" + FormatScaled(Bits, entry.Red) + "\" g=\"" +
                 FormatScaled(Bits, entry.Green) + "\" b=\"" + FormatScaled(Bits, entry.Blue) +
                 "\"/>");
    }
    text.Add("</data>");
    text.Add("</lut>");
    text.SaveToFile(fileName);
}

// ----------------------------------------------- Adobe Speedgrade Look 3D

bool ReadHexSingle(std::string_view text, std::size_t& position, float& value)
{
    std::uint32_t bits = 0;
    int digits = 0;
    while (digits < 8) {
        if (position >= text.size())
            return false;
        const int digit = HexDigit(text[position++]);
        if (digit < 0)
            continue;
        // Digit pairs are bytes, the first pair the least significant byte.
        const int byte = digits / 2;
        const int shift = byte * 8 + (digits % 2 == 0 ? 4 : 0);
        bits |= static_cast<std::uint32_t>(digit) << shift;
        ++digits;
    }
    value = std::bit_cast<float>(bits);
    if (std::isnan(value))
        value = 0.0f;
    return true;
}

TSpeedgradeLook3DLutFormat::TSpeedgradeLook3DLutFormat()
    : TGenericLutFormat({.Id = "speedgrade-look-3d", .Name = "Adobe Speedgrade Look 3D", .Extensions = {"look"}, .Writes = false})
{
}

OMBRANE_LUT_FORMAT(TSpeedgradeLook3DLutFormat)

bool TSpeedgradeLook3DLutFormat::CanRead(const std::string& fileName)
{
    return HasKeywords(fileName, "<look>,<shaders", "");
}

void TSpeedgradeLook3DLutFormat::LoadFromFile(const std::string& fileName, TLUT& lut)
{
    Size = 0;
    TXMLNode root;
    LoadDocument(fileName, root);
    std::string data;
    if (root.HasNode("look") && root.NodeByName("look").HasNode("lut")) {
        const TXMLNode& lutNode = root.NodeByName("look").NodeByName("lut");
        std::string sizeText = lutNode.NodeByName("size").Value.Text;
        if (!sizeText.empty() && sizeText.front() == '"')
            sizeText = sizeText.size() >= 2 ? sizeText.substr(1, sizeText.size() - 2) : "";
        Size = ParseInteger(Trim(sizeText));
        data = lutNode.NodeByName("data").Value.Text;
    }
    if (Size == 0) {
        lut.Kind = lkIdentity;
        return;
    }
    CheckedCubeSize(Size);

    std::size_t position = 0;
    int r = 0, g = 0, b = 0;
    while (position + 1 < data.size() && b < Size) {
        float red, green, blue;
        if (!ReadHexSingle(data, position, red) || !ReadHexSingle(data, position, green) ||
            !ReadHexSingle(data, position, blue))
            break;
        lut.Cube[r][g][b] = TRGBDouble{red, green, blue};
        if (++r < Size)
            continue;
        r = 0;
        if (++g < Size)
            continue;
        g = 0;
        ++b;
    }
    lut.Kind = lkCube;
    lut.CubeSize = Size;
    if (b < Size)
        throw ELUTError("Incomplete file.");
}

void TSpeedgradeLook3DLutFormat::SaveToFile(const std::string&, const TLUT&, int)
{
    RaiseNoWriter(Name);
}

// ----------------------------------------------------------------- ASC CDL

void ReadCDLFile(const std::string& fileName, TCDLData& data)
{
    TXMLNode root;
    LoadDocument(fileName, root);
    TCDLData result;
    TXMLNode& cc = root.NodeByName("ColorCorrection");
    result.Id = cc.Attributes.ByName("id").Text;
    const TXMLNode& sop = cc.NodeByName("SOPNode");
    ReadSOPTriple(sop, "Slope", result.Red.Slope, result.Green.Slope, result.Blue.Slope);
    ReadSOPTriple(sop, "Offset", result.Red.Offset, result.Green.Offset, result.Blue.Offset);
    ReadSOPTriple(sop, "Power", result.Red.Power, result.Green.Power, result.Blue.Power);
    result.Saturation = 1.0f;
    if (cc.HasNode("SATNode") && cc.NodeByName("SATNode").HasNode("Saturation"))
        result.Saturation =
            static_cast<float>(cc.NodeByName("SATNode").NodeByName("Saturation").Value.AsFloat());
    data = std::move(result);
}

void ApplyCDL(const TCDLData& data, float inRed, float inGreen, float inBlue,
              float& outRed, float& outGreen, float& outBlue)
{
    const float red = ApplySOP(data.Red, inRed);
    const float green = ApplySOP(data.Green, inGreen);
    const float blue = ApplySOP(data.Blue, inBlue);
    const float sum = red + green + blue;
    const float luma = sum / 3.0f;
    const float rest = 1.0f - data.Saturation;
    const float grey = rest * luma;
    outRed = red * data.Saturation + grey;
    outGreen = green * data.Saturation + grey;
    outBlue = blue * data.Saturation + grey;
}

TASC_CDL_Format::TASC_CDL_Format()
    : TGenericLutFormat({.Id = "asc-cdl", .Name = "ASC CDL", .Extensions = {"cc", "cdl"}, .Writes = false})
{
}

OMBRANE_LUT_FORMAT(TASC_CDL_Format)

bool TASC_CDL_Format::CanRead(const std::string& fileName)
{
    return HasKeywords(fileName, "<ColorCorrection,<SOPNode>", "<ColorCorrectionCollection");
}

void TASC_CDL_Format::LoadFromFile(const std::string& fileName, TLUT& lut)
{
    TCDLData data;
    ReadCDLFile(fileName, data);
    lut.Comments.push_back("Name: " + data.Id);
    constexpr int kSize = 33;
    lut.Kind = lkCube;
    lut.CubeSize = kSize;
    for (int r = 0; r < kSize; ++r)
        for (int g = 0; g < kSize; ++g)
            for (int b = 0; b < kSize; ++b) {
                float red, green, blue;
                ApplyCDL(data, static_cast<float>(r) / 32.0f, static_cast<float>(g) / 32.0f,
                         static_cast<float>(b) / 32.0f, red, green, blue);
                lut.Cube[r][g][b] = TRGBDouble{red, green, blue};
            }
}

void TASC_CDL_Format::SaveToFile(const std::string&, const TLUT&, int)
{
    RaiseNoWriter(Name);
}

// --------------------------------------------------- PixelFarm PFClean 3D

TPFClean3D_Format::TPFClean3D_Format()
    : TGenericLutFormat({.Id = "pfclean-3d", .Name = "PixelFarm PFClean 3D", .Extensions = {"pfl"}, .MinBits = 1, .MaxBits = 31})
{
}

OMBRANE_LUT_FORMAT(TPFClean3D_Format)

bool TPFClean3D_Format::CanRead(const std::string& fileName)
{
    return HasKeywords(fileName, "<lut,<maximum>,<cube>", "");
}

void TPFClean3D_Format::LoadFromFile(const std::string& fileName, TLUT& lut)
{
    Size = 0;
    TXMLNode root;
    LoadDocument(fileName, root);
    const TXMLNode& lutNode = root.NodeByName("lut");
    const std::int32_t size = NodeInteger(lutNode, "size");
    Range = NodeInteger(lutNode, "maximum");
    const std::string& cube = lutNode.NodeByName("cube").Value.Text;
    Size = CheckedCubeSize(size);
    // The maximum divides every value.
    if (Range <= 0)
        throw ELUTError("Invalid maximum value " + std::to_string(Range) + ".");

    // Lines end at CR, LF or CR LF (the empty line between CR and LF is
    // blank and skipped); a NUL ends the text. Taken one by one, so a huge
    // text is never held as a list of lines.
    std::string_view text(cube);
    text = text.substr(0, text.find('\0'));
    int r = 0, g = 0, b = 0;
    while (!text.empty() && r < Size) {
        const std::size_t end = text.find_first_of("\r\n");
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (TrimView(line).empty())
            continue;
        double red, green, blue;
        if (!ParseIntTriple(line, Range, false, red, green, blue))
            continue;
        lut.Cube[r][g][b] = TRGBDouble{red, green, blue};
        if (++b < Size)
            continue;
        b = 0;
        if (++g < Size)
            continue;
        g = 0;
        ++r;
    }
    lut.Kind = lkCube;
    lut.CubeSize = Size;
    if (r < Size)
        throw ELUTError("Incomplete file.");
}

void TPFClean3D_Format::SaveToFile(const std::string& fileName, const TLUT& lut, int Bits)
{
    const std::int32_t size = CheckedCubeSize(lut.CubeSize);
    const std::int64_t fullScale = FullScaleForBits(Bits);
    TTextFile text;
    text.Reserve(static_cast<std::size_t>(size) * size * size + 8);
    text.Add("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>");
    text.Add("<lut type=\"ascii\">");
    text.Add("<maximum>" + std::to_string(fullScale) + "</maximum>");
    text.Add("<size>" + std::to_string(size) + "</size>");
    text.Add("<cube>");
    for (int r = 0; r < size; ++r)
        for (int g = 0; g < size; ++g)
            for (int b = 0; b < size; ++b) {
                const TRGBDouble& entry = lut.Cube[r][g][b];
                text.Add(FormatScaled(Bits, entry.Red) + " " + FormatScaled(Bits, entry.Green) +
                         " " + FormatScaled(Bits, entry.Blue));
            }
    text.Add("</cube>");
    text.Add("</lut>");
    text.SaveToFile(fileName);
}
