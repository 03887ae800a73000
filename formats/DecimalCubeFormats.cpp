#include "DecimalCubeFormats.h"

#include "CubeLines.h"

// ---------------------------------------------------------------------------
// Colorfront OSD 3D

TColorFrontOSD3DLutFormat::TColorFrontOSD3DLutFormat()
    : TBgrDecimalCubeFormat({.Id = "colorfront-osd-3d", .Name = "Colorfront OSD 3D", .Extensions = {"3dmesh"}})
{
}

OMBRANE_LUT_FORMAT(TColorFrontOSD3DLutFormat)

bool TColorFrontOSD3DLutFormat::CanRead(const std::string& fileName)
{
    return UpperCase(FileExtension(fileName)) == ".3DMESH";
}

void TColorFrontOSD3DLutFormat::SaveToFile(const std::string& fileName, const TLUT& lut,
                                           int Bits)
{
    (void)Bits;
    TTextFile text;
    AddFixedGridRedFastest(text, lut, true);
    text.SaveToFile(fileName);
}

void TBgrDecimalCubeFormat::SizeFromDataLines()
{
    std::int64_t count = 0;
    double r, g, b;
    if (TextFile != nullptr)
        for (const std::string& line : *TextFile)
            if (ParseFloatTriple(line, r, g, b))
                ++count;
    if (count == 0)
        throw ELUTError("Incomplete file.");
    SetSizeFromCount(count);
}

void TBgrDecimalCubeFormat::StoreBgrLine(const std::string& line, TLUT& lut)
{
    double blue, green, red;
    if (FirstNonBlank(line) != '#' && !Complete && ParseFloatTriple(line, blue, green, red))
        StoreRedFastest(lut, red, green, blue);
}

void TColorFrontOSD3DLutFormat::ParseLine(const std::string& line, TLUT& lut)
{
    if (FirstNonBlank(line) == '\0')
        return;
    if (Size == -1)
        SizeFromDataLines();
    StoreBgrLine(line, lut);
}

// ---------------------------------------------------------------------------
// DaVinci DAT

TDavinciDat3DLutFormat::TDavinciDat3DLutFormat()
    : TBgrDecimalCubeFormat({.Id = "davinci-dat-3d", .Name = "Davinci DAT 3D", .Extensions = {"dat"}})
{
}

OMBRANE_LUT_FORMAT(TDavinciDat3DLutFormat)

bool TDavinciDat3DLutFormat::CanRead(const std::string& fileName)
{
    if (HasKeywords(fileName, "3DLUTSIZE", ""))
        return true;
    if (UpperCase(FileExtension(fileName)) != ".DAT")
        return false;
    TTextFile head;
    head.SetText(ReadFileHead(fileName, 4096));
    double r, g, b;
    for (const std::string& line : head)
        if (ParseFloatTriple(line, r, g, b))
            return true;
    return false;
}

void TDavinciDat3DLutFormat::SaveToFile(const std::string& fileName, const TLUT& lut, int Bits)
{
    (void)Bits;
    const int n = CheckedCubeSize(lut.CubeSize);
    TTextFile text;
    text.Add("3DLUTSIZE " + std::to_string(n));
    text.Add("");
    AddFixedGridRedFastest(text, lut, true);
    text.SaveToFile(fileName);
}

void TDavinciDat3DLutFormat::LoadFromFile(const std::string& fileName, TLUT& lut)
{
    HasSizeKeyword = HasKeywords(fileName, "3DLUTSIZE", "");
    TGenericLutFormat::LoadFromFile(fileName, lut);
}

void TDavinciDat3DLutFormat::ParseLine(const std::string& line, TLUT& lut)
{
    const char first = FirstNonBlank(line);
    if (first == '\0' || first == '#')
        return;
    if (Size == -1) {
        if (!HasSizeKeyword) {
            SizeFromDataLines();
        } else {
            if (int p = ContainsText("3DLUTSIZE", line); p > 0) {
                const std::size_t start = static_cast<std::size_t>(p - 1) + 9 + 1;
                SetSize(ParseInteger(start < line.size()
                                         ? TrimView(std::string_view(line).substr(start))
                                         : std::string_view()));
            }
            return;
        }
    }
    StoreBgrLine(line, lut);
}
