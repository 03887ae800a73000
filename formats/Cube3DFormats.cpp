#include "Cube3DFormats.h"

#include <cmath>

#include "CubeLines.h"

namespace {

const char* const kSignature = "# Converted by Quor LUT Converter";

// The text after a keyword found at 1-based position `position`, skipping
// `extra` further characters; empty when the line ends first.
std::string TextAfter(const std::string& line, int position, std::size_t keywordLength,
                      std::size_t extra = 0)
{
    std::size_t start = static_cast<std::size_t>(position - 1) + keywordLength + extra;
    return start < line.size() ? Trim(std::string_view(line).substr(start)) : std::string();
}

// The comment text of a "#" line: what follows the first "#", trimmed.
std::string CommentText(std::string_view line)
{
    std::string_view trimmed = TrimView(line);
    return Trim(trimmed.substr(1));
}

} // namespace

// ---------------------------------------------------------------------------
// Cube 3D

TCube3DLutFormat::TCube3DLutFormat()
    : TCube3DLutFormat({.Id = "cube-3d", .Name = "Cube 3D", .Extensions = {"cube"}}, true)
{
}

OMBRANE_LUT_FORMAT(TCube3DLutFormat)

bool TCube3DLutFormat::CanRead(const std::string& fileName)
{
    return HasKeywords(fileName, "LUT_3D_SIZE", "NUCODA_3D_CUBE,LUT_3D_VERSION");
}

void TCube3DLutFormat::SaveToFile(const std::string& fileName, const TLUT& lut, int Bits)
{
    (void)Bits;
    const int n = CheckedCubeSize(lut.CubeSize);
    TTextFile text;
    for (const std::string& comment : lut.Comments)
        text.Add("# " + comment);
    text.Add(kSignature);
    text.Add("");
    text.Add("LUT_3D_SIZE " + std::to_string(n));
    AddFixedGridRedFastest(text, lut, false);
    text.SaveToFile(fileName);
}

void TCube3DLutFormat::LoadFromFile(const std::string& fileName, TLUT& lut)
{
    ShaperLength = -1;
    UnsupportedRange.clear();
    InData = false;
    TGenericLutFormat::LoadFromFile(fileName, lut);
    if (ShaperLength < 0)
        return;
    // The cube is complete here, and the shaper lines come before it.
    if (CurveIndex < ShaperLength)
        throw ELUTError("Incomplete file.");
    lut.CurveSize = ShaperLength;
    lut.Kind = lkCurveThenCube;
}

void TCube3DLutFormat::ParseLine(const std::string& line, TLUT& lut)
{
    const char first = FirstNonBlank(line);
    if (first == '\0')
        return;
    if (Size == -1) {
        ParseHeaderLine(line, lut);
        return;
    }
    double r, g, b;
    if (first == '#' || Complete)
        return;
    if (!ParseFloatTriple(line, r, g, b)) {
        // Keywords may still follow the size line until the data begins.
        if (!InData && ReadsShaper)
            ParseShaperKeyword(line);
        return;
    }
    if (!InData) {
        InData = true;
        CheckShaperHeader();
    }
    if (CurveIndex < ShaperLength) {
        lut.Curve[CurveIndex++] = TRGBDouble{r, g, b};
        return;
    }
    StoreRedFastest(lut, r, g, b);
}

void TCube3DLutFormat::ParseHeaderLine(const std::string& line, TLUT& lut)
{
    if (FirstNonBlank(line) == '#') {
        lut.Comments.push_back(CommentText(line));
        return;
    }
    if (int p = ContainsText("LUT_3D_SIZE", line); p > 0)
        SetSize(ParseInteger(TextAfter(line, p, 11)));
    else if (ReadsShaper)
        ParseShaperKeyword(line);
}

void TCube3DLutFormat::ParseShaperKeyword(std::string_view line)
{
    std::string rest = Trim(line);
    std::string keyword;
    NextToken(rest, keyword);
    keyword = UpperCase(keyword);
    if (keyword == "LUT_1D_SIZE")
        ShaperLength = CheckedCurveSize(ParseInteger(Trim(rest)));
    else if (keyword == "LUT_1D_INPUT_RANGE" || keyword == "LUT_3D_INPUT_RANGE")
        ParseInputRange(keyword, rest);
}

// Only the range 0 1 maps onto the LUT's domain; anything else (other
// values, a malformed range) is remembered and refused once the file turns
// out to carry a shaper.
void TCube3DLutFormat::ParseInputRange(std::string_view keyword, std::string_view values)
{
    std::string rest = Trim(values);
    std::string low, high;
    NextToken(rest, low);
    rest = Trim(rest);
    NextToken(rest, high);
    double lowValue = 0.0, highValue = 0.0;
    const bool unit = TryParseFloat(Trim(low), lowValue) && TryParseFloat(Trim(high), highValue) &&
                      Trim(rest).empty() && lowValue == 0.0 && highValue == 1.0;
    if (!unit && UnsupportedRange.empty())
        UnsupportedRange = std::string(keyword) + " " + Trim(values);
}

void TCube3DLutFormat::CheckShaperHeader() const
{
    if (ShaperLength > 0 && !UnsupportedRange.empty())
        throw ELUTError("Unsupported input range \"" + UnsupportedRange +
                        "\": a cube with a 1D shaper can only be read with the input range 0 1.");
}

// ---------------------------------------------------------------------------
// Cube 3D Truelight

TCube3DTruelightLutFormat::TCube3DTruelightLutFormat()
    : TCube3DLutFormat({.Id = "cube-3d-truelight", .Name = "Cube 3D Truelight", .Extensions = {"cube"}}, false)
{
}

OMBRANE_LUT_FORMAT(TCube3DTruelightLutFormat)

bool TCube3DTruelightLutFormat::CanRead(const std::string& fileName)
{
    return HasKeywords(fileName, "iDims,oDims,width", "NUCODA_3D_CUBE");
}

void TCube3DTruelightLutFormat::SaveToFile(const std::string& fileName, const TLUT& lut,
                                           int Bits)
{
    (void)Bits;
    const std::string n = std::to_string(CheckedCubeSize(lut.CubeSize));
    TTextFile text;
    text.Add("# Truelight Cube v2.0");
    text.Add("# iDims     3");
    text.Add("# oDims     3");
    text.Add("# width     " + n + " " + n + " " + n);
    text.Add("");
    text.Add("# Cube");
    AddFixedGridRedFastest(text, lut, false);
    text.Add("# end");
    text.Add(kSignature);
    text.SaveToFile(fileName);
}

void TCube3DTruelightLutFormat::LoadFromFile(const std::string& fileName, TLUT& lut)
{
    InputLength = -1;
    InInputTable = false;
    HasInputTable = false;
    TCube3DLutFormat::LoadFromFile(fileName, lut);
    if (!HasInputTable)
        return;
    // The input table must be complete too: its declared length, or at
    // least two entries when no length was given.
    if ((InputLength > 0 && CurveIndex < InputLength) || CurveIndex < 2)
        throw ELUTError("Incomplete file.");
    lut.CurveSize = CurveIndex;
    lut.Kind = lkCurveThenCube;
}

void TCube3DTruelightLutFormat::ParseLine(const std::string& line, TLUT& lut)
{
    const char first = FirstNonBlank(line);
    if (first == '#') {
        ParseMarker(CommentText(line));
        if (Size == -1)
            ParseHeaderLine(line, lut);
        return;
    }
    if (InInputTable)
        ParseInputLine(line, lut);
    else
        TCube3DLutFormat::ParseLine(line, lut);
}

// "# InputLUT" opens the input table, "# Cube" ends it; "# lutLength N"
// gives its length.
void TCube3DTruelightLutFormat::ParseMarker(std::string_view comment)
{
    const std::string upper = UpperCase(comment);
    if (upper == "INPUTLUT") {
        InInputTable = true;
        HasInputTable = true;
    } else if (upper == "CUBE") {
        InInputTable = false;
    } else if (upper.rfind("LUTLENGTH", 0) == 0 && InputLength == -1) {
        InputLength = CheckedCurveSize(ParseInteger(Trim(comment.substr(9))));
    }
}

void TCube3DTruelightLutFormat::ParseInputLine(const std::string& line, TLUT& lut)
{
    const std::int32_t capacity = InputLength > 0 ? InputLength : kMaxCurveSize;
    double r, g, b;
    if (Size < 2 || CurveIndex >= capacity || !ParseFloatTriple(line, r, g, b))
        return;
    const double scale = Size - 1;
    lut.Curve[CurveIndex++] = TRGBDouble{r / scale, g / scale, b / scale};
}

void TCube3DTruelightLutFormat::ParseHeaderLine(const std::string& line, TLUT& lut)
{
    (void)lut;
    if (int p = ContainsText("# width", line); p > 0) {
        std::string rest = TextAfter(line, p, 7);
        std::string head;
        SplitAt(" ", rest, head);
        SetSize(ParseInteger(head));
    }
}

// ---------------------------------------------------------------------------
// FSI CFE

TFSI_CFE_3DLutFormat::TFSI_CFE_3DLutFormat()
    : TCube3DLutFormat({.Id = "fsi-cfe-3d", .Name = "FSI CFE (Flanders Scientific) 3D", .Extensions = {"cfe"}}, true)
{
}

OMBRANE_LUT_FORMAT(TFSI_CFE_3DLutFormat)

bool TFSI_CFE_3DLutFormat::CanRead(const std::string& fileName)
{
    return HasKeywords(fileName, "LUT_3D_SIZE,LUT_3D_VERSION", "NUCODA_3D_CUBE");
}

void TFSI_CFE_3DLutFormat::SaveToFile(const std::string& fileName, const TLUT& lut, int Bits)
{
    (void)Bits;
    const int n = CheckedCubeSize(lut.CubeSize);
    TTextFile text;
    text.Add("LUT_3D_AUTHOR Quor LUT Converter");
    text.Add("LUT_3D_MODEL CM240");
    text.Add("LUT_3D_VERSION 2.0.0");
    text.Add("LUT_3D_SIZE " + std::to_string(n));
    text.Add("");
    AddFixedGridRedFastest(text, lut, false);
    text.SaveToFile(fileName);
}

// ---------------------------------------------------------------------------
// Nucoda 3D

TNucoda3DLutFormat::TNucoda3DLutFormat()
    : TGenericLutFormat({.Id = "nucoda-3d", .Name = "Nucoda 3D", .Extensions = {"cms"}})
{
}

OMBRANE_LUT_FORMAT(TNucoda3DLutFormat)

bool TNucoda3DLutFormat::CanRead(const std::string& fileName)
{
    return HasKeywords(fileName, "NUCODA_3D_CUBE", "");
}

void TNucoda3DLutFormat::SaveToFile(const std::string& fileName, const TLUT& lut, int Bits)
{
    (void)Bits;
    const int n = CheckedCubeSize(lut.CubeSize);
    const int shaper = CheckedCurveSize(ShaperLength);
    TTextFile text;
    text.Add("NUCODA_3D_CUBE 1");
    text.Add("");
    text.Add("TITLE \"" + BaseNameWithoutExtension(fileName) + "\"");
    text.Add("");
    text.Add("LUT_1D_SIZE " + std::to_string(shaper));
    text.Add("LUT_3D_SIZE " + std::to_string(n));
    text.Add("");
    for (int k = 0; k < shaper; ++k) {
        const std::string value = FormatFixed(6, k / double(shaper - 1) * 32.999999);
        text.Add(value + " " + value + " " + value);
    }
    text.Add("");
    AddFixedGridRedFastest(text, lut, false);
    text.SaveToFile(fileName);
}

void TNucoda3DLutFormat::LoadFromFile(const std::string& fileName, TLUT& lut)
{
    CurveLength = 0;
    CubeType = 0;
    HasCurve = false;
    HasCube = false;
    TGenericLutFormat::LoadFromFile(fileName, lut);

    // Each section the file announces must be filled completely.
    const bool curveFilled = HasCurve && CurveIndex == CurveLength;
    const bool cubeFilled = HasCube && Size >= 2 && BIndex == Size;
    if (curveFilled) {
        lut.Kind = lkCurve;
        lut.CurveSize = CurveIndex;
    }
    if (cubeFilled) {
        lut.Kind = HasCurve ? lkCurveThenCube : lkCube;
        lut.CubeSize = Size;
    }
    if ((HasCurve && !curveFilled) || (HasCube && !cubeFilled) || (!HasCurve && !HasCube))
        throw ELUTError("Incomplete file.");
}

void TNucoda3DLutFormat::ParseLine(const std::string& line, TLUT& lut)
{
    const char first = FirstNonBlank(line);
    if (first == '\0' || first == '#')
        return;
    if (int p = ContainsText("NUCODA_3D_CUBE", line); p > 0) {
        CubeType = ParseInteger(TextAfter(line, p, 14, 1));
    } else if (int p1 = ContainsText("LUT_1D_SIZE", line); p1 > 0) {
        CurveLength = CheckedCurveSize(ParseInteger(TextAfter(line, p1, 11)));
        HasCurve = true;
    } else if (int p3 = ContainsText("LUT_3D_SIZE", line); p3 > 0) {
        SetSize(ParseInteger(TextAfter(line, p3, 11)));
        HasCube = true;
    } else {
        ParseDataLine(line, lut);
    }
}

void TNucoda3DLutFormat::ParseDataLine(const std::string& line, TLUT& lut)
{
    Complete = true;
    double r, g, b;
    if (!ParseFloatTriple(line, r, g, b))
        return;
    if (HasCurve && CurveIndex < CurveLength) {
        const double divisor = CubeType == 1 ? 33.0 : 1.0;
        lut.Curve[CurveIndex++] = TRGBDouble{r / divisor, g / divisor, b / divisor};
        return;
    }
    if (!HasCube || Size < 2 || BIndex >= Size)
        return;
    lut.Cube[RIndex][GIndex][BIndex] = TRGBDouble{r, g, b};
    if (++RIndex < Size)
        return;
    RIndex = 0;
    if (++GIndex < Size)
        return;
    GIndex = 0;
    ++BIndex;
}

// ---------------------------------------------------------------------------
// Codex 3D

TCodex3DLutFormat::TCodex3DLutFormat()
    : TGenericLutFormat({.Id = "codex-3d", .Name = "Codex 3D", .Extensions = {"txt"}, .MinBits = 1, .MaxBits = 32})
{
}

OMBRANE_LUT_FORMAT(TCodex3DLutFormat)

bool TCodex3DLutFormat::CanRead(const std::string& fileName)
{
    return HasKeywords(fileName, "Lut3D:", "");
}

void TCodex3DLutFormat::SaveToFile(const std::string& fileName, const TLUT& lut, int Bits)
{
    const int n = CheckedCubeSize(lut.CubeSize);
    TTextFile text;
    text.Add("Lut3D: " + std::to_string(n));
    text.Add("");
    text.Add("R\tG\tB");
    AddScaledGridBlueFastest(text, lut, Bits);
    text.SaveToFile(fileName);
}

void TCodex3DLutFormat::ParseLine(const std::string& line, TLUT& lut)
{
    const char first = FirstNonBlank(line);
    if (first == '\0')
        return;
    if (first == '#') {
        lut.Comments.push_back(CommentText(line));
        return;
    }
    if (Size == -1) {
        if (int p = ContainsText("LUT3D:", line); p > 0)
            SetSize(ParseInteger(TextAfter(line, p, 6)));
    }
    double r, g, b;
    if (Size == -1 || Complete)
        return;
    if (ParseIntTriple(line, std::ldexp(1.0, ReadBits) - 1.0, false, r, g, b))
        StoreBlueFastest(lut, r, g, b);
}
