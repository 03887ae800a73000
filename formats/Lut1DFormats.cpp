#include "Lut1DFormats.h"

#include <charconv>
#include <cmath>

namespace {

constexpr const char* kSignature = "# Converted by Quor LUT Converter";

// The characters after the keyword (1-based position pos), skipping `skip`
// more characters, trimmed.
std::string_view TextAfter(std::string_view line, int pos, std::string_view keyword,
                           std::size_t skip)
{
    const std::size_t start = static_cast<std::size_t>(pos - 1) + keyword.size() + skip;
    return start < line.size() ? TrimView(line.substr(start)) : std::string_view();
}

std::string SixDecimals(const TRGBDouble& entry)
{
    return FormatFixed(6, entry.Red) + " " + FormatFixed(6, entry.Green) + " " +
           FormatFixed(6, entry.Blue);
}

// Rounds value x fullScale half to even without clamping; a value that is not
// a number writes 0.
std::string UnclampedScaled(double value, std::int64_t fullScale)
{
    double scaled = std::nearbyint(value * static_cast<double>(fullScale));
    if (std::isnan(scaled))
        scaled = 0.0;
    scaled += 0.0;  // -0 becomes 0
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, scaled,
                                      std::chars_format::fixed, 0);
    return std::string(buffer, result.ptr);
}

}  // namespace

// ------------------------------------------------------------ shared parts

void TCurveLutFormat::StoreDeclared(TLUT& lut, double red, double green, double blue)
{
    if (Complete || Size < 2 || Size > kMaxCurveSize)
        return;
    if (CurveIndex >= 0 && CurveIndex < Size)
        lut.Curve[CurveIndex] = TRGBDouble{red, green, blue};
    if (++CurveIndex >= Size)
        Complete = true;
}

void TCurveLutFormat::StoreCounted(TLUT& lut, double red, double green, double blue)
{
    if (Size < 0)
        Size = 0;
    if (Size >= kMaxCurveSize)
        CheckedCurveSize(static_cast<std::int64_t>(Size) + 1);
    lut.Curve[Size] = TRGBDouble{red, green, blue};
    ++Size;
}

std::int64_t FullScaleForBits(int bits)
{
    if (bits < 1 || bits > 31)
        throw ELUTError("Unsupported bit depth " + std::to_string(bits) +
                        ": integer LUT files hold 1 to 31 bits.");
    return (std::int64_t{1} << bits) - 1;
}

void RaiseNoWriter(const std::string& formatName)
{
    throw ELUTError("The format \"" + formatName + "\" cannot be written.");
}

// ----------------------------------------------------------------- Cube 1D

TCube1DLutFormat::TCube1DLutFormat()
    : TCurveLutFormat({.Id = "cube-1d", .Name = "Cube 1D", .Extensions = {"cube"}, .Is3D = false, .MaxSize = kMaxCurveSize})
{
}

OMBRANE_LUT_FORMAT(TCube1DLutFormat)

// A file with a cube as well carries a 1D shaper ahead of it: Cube 3D's.
bool TCube1DLutFormat::CanRead(const std::string& fileName)
{
    return HasKeywords(fileName, "LUT_1D_SIZE", "NUCODA_3D_CUBE,LUT_3D_SIZE");
}

void TCube1DLutFormat::ParseLine(const std::string& line, TLUT& lut)
{
    const std::string_view trimmed = TrimView(line);
    if (trimmed.empty())
        return;
    if (trimmed.front() == '#') {
        lut.Comments.push_back(Trim(trimmed.substr(1)));
        return;
    }
    static constexpr std::string_view kSizeKey = "LUT_1D_SIZE";
    if (const int pos = ContainsText(kSizeKey, line)) {
        SetSize(ParseInteger(TextAfter(line, pos, kSizeKey, 0)));
        return;
    }
    double red, green, blue;
    if (Size != -1 && !Complete && ParseFloatTriple(line, red, green, blue))
        StoreDeclared(lut, red, green, blue);
}

void TCube1DLutFormat::SaveToFile(const std::string& fileName, const TLUT& lut, int)
{
    const std::int32_t size = CheckedCurveSize(lut.CurveSize);
    TTextFile text;
    text.Reserve(static_cast<std::size_t>(size) + lut.Comments.size() + 3);
    for (const std::string& comment : lut.Comments)
        text.Add("# " + comment);
    text.Add(kSignature);
    text.Add("");
    text.Add("LUT_1D_SIZE " + std::to_string(size));
    for (std::int32_t i = 0; i < size; ++i)
        text.Add(SixDecimals(lut.Curve[i]));
    text.SaveToFile(fileName);
}

// ---------------------------------------------------------------- Codex 1D

TCodex1DLutFormat::TCodex1DLutFormat()
    : TCurveLutFormat({.Id = "codex-1d",
                       .Name = "Codex 1D, Scratch 1D",
                       .Extensions = {"dat"},
                       .Is3D = false,
                       .Sizes = TSizeRule::TwoToTheBits,
                       .MaxSize = kMaxCurveSize,
                       .MinBits = 1,
                       .MaxBits = 31})
{
}

OMBRANE_LUT_FORMAT(TCodex1DLutFormat)

bool TCodex1DLutFormat::CanRead(const std::string& fileName)
{
    return HasKeywords(fileName, "LUT:", "");
}

void TCodex1DLutFormat::LoadFromFile(const std::string& fileName, TLUT& lut)
{
    ChannelCount = 0;
    CurrentChannel = 0;
    TCurveLutFormat::LoadFromFile(fileName, lut);
}

void TCodex1DLutFormat::ParseLine(const std::string& line, TLUT& lut)
{
    const std::string_view trimmed = TrimView(line);
    if (trimmed.empty())
        return;
    if (trimmed.front() == '#') {
        if (Size == -1)
            lut.Comments.push_back(Trim(trimmed.substr(1)));
        return;
    }
    static constexpr std::string_view kKey = "LUT:";
    if (const int pos = ContainsText(kKey, line)) {
        std::string rest(TextAfter(line, pos, kKey, 1));
        std::string token;
        NextToken(rest, token);
        ChannelCount = ParseInteger(Trim(token));
        // At least two entries: the values are divided by the count minus one.
        SetSize(ParseInteger(Trim(rest)));
        Range = Size - 1;
        CurrentChannel = 1;
        return;
    }
    if (Size == -1 || Complete)
        return;
    std::int32_t level = 0;
    std::string_view number(line);
    while (!number.empty() && static_cast<unsigned char>(number.front()) <= ' ')
        number.remove_prefix(1);
    if (!TryParseInt(number, level))
        return;
    const double value = static_cast<double>(level) / (Size - 1);
    if (ChannelCount == 1) {
        StoreDeclared(lut, value, value, value);
        return;
    }
    // A second "LUT:" line may have shortened the lists under way.
    if (CurveIndex >= Size) {
        CurveIndex = 0;
        if (++CurrentChannel > 3) {
            Complete = true;
            return;
        }
    }
    TRGBDouble& entry = lut.Curve[CurveIndex];
    if (CurrentChannel == 1)
        entry.Red = value;
    else if (CurrentChannel == 2)
        entry.Green = value;
    else
        entry.Blue = value;
    if (++CurveIndex < Size)
        return;
    CurveIndex = 0;
    if (++CurrentChannel > 3)
        Complete = true;
}

void TCodex1DLutFormat::SaveToFile(const std::string& fileName, const TLUT& lut, int Bits)
{
    const std::int32_t size = CheckedCurveSize(lut.CurveSize);
    const std::int64_t fullScale = FullScaleForBits(Bits);
    TTextFile text;
    text.Reserve(3 * static_cast<std::size_t>(size) + 4);
    text.Add(kSignature);
    text.Add("");
    text.Add("LUT: 3 " + std::to_string(size));
    text.Add("");
    for (std::int32_t i = 0; i < size; ++i)
        text.Add(UnclampedScaled(lut.Curve[i].Red, fullScale));
    for (std::int32_t i = 0; i < size; ++i)
        text.Add(UnclampedScaled(lut.Curve[i].Green, fullScale));
    for (std::int32_t i = 0; i < size; ++i)
        text.Add(UnclampedScaled(lut.Curve[i].Blue, fullScale));
    text.SaveToFile(fileName);
}

// ------------------------------------------------- Filmlight Truelight 1D

TFilmlight1DLutFormat::TFilmlight1DLutFormat()
    : TCurveLutFormat({.Id = "filmlight-1d", .Name = "Filmlight Truelight 1D", .Extensions = {"cube"}, .Is3D = false, .MaxSize = kMaxCurveSize})
{
}

OMBRANE_LUT_FORMAT(TFilmlight1DLutFormat)

bool TFilmlight1DLutFormat::CanRead(const std::string& fileName)
{
    return HasKeywords(fileName, "iDims,lutLength", "");
}

void TFilmlight1DLutFormat::ParseLine(const std::string& line, TLUT& lut)
{
    const std::string_view trimmed = TrimView(line);
    if (trimmed.empty())
        return;
    static constexpr std::string_view kKey = "lutLength";
    if (Size == -1) {
        if (const int pos = ContainsText(kKey, line))
            SetSize(ParseInteger(TextAfter(line, pos, kKey, 1)));
        return;
    }
    double red, green, blue;
    if (trimmed.front() != '#' && !Complete && ParseFloatTriple(line, red, green, blue))
        StoreDeclared(lut, red, green, blue);
}

void TFilmlight1DLutFormat::SaveToFile(const std::string& fileName, const TLUT& lut, int)
{
    const std::int32_t size = CheckedCurveSize(lut.CurveSize);
    TTextFile text;
    text.Reserve(static_cast<std::size_t>(size) + 7);
    text.Add("# Truelight Cube v2.0");
    text.Add("# lutLength " + std::to_string(size));
    text.Add("# iDims     3");
    text.Add("");
    text.Add("# InputLUT");
    for (std::int32_t i = 0; i < size; ++i)
        text.Add(SixDecimals(lut.Curve[i]));
    text.Add("# end");
    text.Add(kSignature);
    text.SaveToFile(fileName);
}

// -------------------------------------------------------------- Quantel 1D

TQuantel1DLutFormat::TQuantel1DLutFormat()
    : TCurveLutFormat({.Id = "quantel-1d", .Name = "Quantel 1D", .Extensions = {"txt"}, .Is3D = false,
                       .MaxSize = kMaxCurveSize, .MinBits = 1, .MaxBits = 31})
{
}

OMBRANE_LUT_FORMAT(TQuantel1DLutFormat)

bool TQuantel1DLutFormat::CanRead(const std::string& fileName)
{
    return HasKeywords(fileName, "table type,gMax,gSize", "");
}

void TQuantel1DLutFormat::ParseLine(const std::string& line, TLUT& lut)
{
    const std::string_view trimmed = TrimView(line);
    if (trimmed.empty() || trimmed.front() == '#')
        return;
    static constexpr std::string_view kSizeKey = "gSize";
    static constexpr std::string_view kMaxKey = "gMax";
    if (Size == -1) {
        if (const int pos = ContainsText(kSizeKey, line)) {
            SetSize(ParseInteger(TextAfter(line, pos, kSizeKey, 1)));
            return;
        }
    }
    if (Range == -1) {
        if (const int pos = ContainsText(kMaxKey, line)) {
            const std::int32_t range = ParseInteger(TextAfter(line, pos, kMaxKey, 1));
            // The full-scale value divides every entry.
            if (range <= 0)
                throw ELUTError("Invalid maximum value " + std::to_string(range) + ".");
            Range = range;
        }
        return;
    }
    double red, green, blue;
    if (Size != -1 && !Complete && ParseIntTriple(line, Range, false, red, green, blue))
        StoreDeclared(lut, red, green, blue);
}

void TQuantel1DLutFormat::SaveToFile(const std::string& fileName, const TLUT& lut, int Bits)
{
    const std::int32_t size = CheckedCurveSize(lut.CurveSize);
    const std::int64_t fullScale = FullScaleForBits(Bits);
    TTextFile text;
    text.Reserve(static_cast<std::size_t>(size) + 7);
    text.Add("table type\t2");
    text.Add("");
    text.Add("gMax\t" + std::to_string(fullScale));
    text.Add("gSize\t" + std::to_string(size));
    text.Add("");
    text.Add("gamma");
    text.Add("r\tg\tb");
    for (std::int32_t i = 0; i < size; ++i) {
        const TRGBDouble& entry = lut.Curve[i];
        text.Add(FormatScaled(Bits, entry.Red) + " " + FormatScaled(Bits, entry.Green) + " " +
                 FormatScaled(Bits, entry.Blue));
    }
    text.SaveToFile(fileName);
}

// --------------------------------------------------------------- Nucoda 1D

TNucoda1DLutWriterFormat::TNucoda1DLutWriterFormat()
    : TCurveLutFormat({.Id = "nucoda-1d", .Name = "Nucoda 1D", .Extensions = {"cms"}, .Is3D = false, .Reads = false,
                       .MaxSize = kMaxCurveSize})
{
}

OMBRANE_LUT_FORMAT(TNucoda1DLutWriterFormat)

bool TNucoda1DLutWriterFormat::CanRead(const std::string&)
{
    return false;
}

void TNucoda1DLutWriterFormat::SaveToFile(const std::string& fileName, const TLUT& lut, int)
{
    const std::int32_t size = CheckedCurveSize(lut.CurveSize);
    TTextFile text;
    text.Reserve(static_cast<std::size_t>(size) + 6);
    text.Add("NUCODA_3D_CUBE 2");
    text.Add("");
    text.Add("TITLE \"" + BaseNameWithoutExtension(fileName) + "\"");
    text.Add("");
    text.Add("LUT_1D_SIZE " + std::to_string(size));
    text.Add("");
    for (std::int32_t i = 0; i < size; ++i)
        text.Add(SixDecimals(lut.Curve[i]));
    text.SaveToFile(fileName);
}
