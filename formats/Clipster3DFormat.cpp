#include "Clipster3DFormat.h"

#include <cmath>

#include "CubeLines.h"
#include "XMLNode.h"

TClipster3DLutFormat::TClipster3DLutFormat()
    : TGenericLutFormat({.Id = "clipster-3d", .Name = "Clipster 3D", .Extensions = {"txt"}, .MinBits = 1, .MaxBits = 32})
{
}

OMBRANE_LUT_FORMAT(TClipster3DLutFormat)

bool TClipster3DLutFormat::CanRead(const std::string& fileName)
{
    return HasKeywords(fileName, "<LUT3D", "");
}

std::string TClipster3DLutFormat::SafeName(const std::string& name)
{
    std::string safe = name;
    for (char& c : safe)
        if (static_cast<unsigned char>(c) <= ' ' || c == '\'' || c == '"' || c == '<' ||
            c == '>' || c == '&')
            c = '_';
    return safe;
}

void TClipster3DLutFormat::SaveToFile(const std::string& fileName, const TLUT& lut, int Bits)
{
    const int n = CheckedCubeSize(lut.CubeSize);
    const int bits = CheckedBits(Bits);
    TTextFile text;
    text.Add("<LUT3D name='" + SafeName(BaseNameWithoutExtension(fileName)) + "' N='" +
             std::to_string(n) + "' BitDepth='" + std::to_string(bits) + "'>");
    text.Add("<values>");
    AddScaledGridBlueFastest(text, lut, bits);
    text.Add("</values>");
    text.Add("</LUT3D>");
    text.SaveToFile(fileName);
}

void TClipster3DLutFormat::LoadFromFile(const std::string& fileName, TLUT& lut)
{
    RIndex = GIndex = BIndex = CurveIndex = 0;
    Size = -1;
    Range = -1;
    Complete = false;

    TXMLNode root;
    root.LoadFromFile(fileName);
    TXMLNode& element = root.NodeByName("LUT3D");
    SetSize(element.Attributes.ByName("N").AsInteger());
    const std::int64_t bits = element.Attributes.ByName("BitDepth").AsInteger();
    if (bits < 1 || bits > 32)
        throw ELUTError("Unsupported bit depth " + std::to_string(bits) +
                        ": integer LUT files hold 1 to 32 bits.");
    Range = static_cast<std::int32_t>(bits);
    lut.Comments.push_back("Name: " + element.Attributes.ByName("name").AsString());

    TTextFile values;
    values.SetText(element.NodeByName("values").Value.AsString());
    const double fullScale = std::ldexp(1.0, Range) - 1.0;
    double r, g, b;
    for (const std::string& line : values) {
        if (Complete)
            break;
        if (FirstNonBlank(line) != '\0' && ParseIntTriple(line, fullScale, false, r, g, b))
            StoreBlueFastest(lut, r, g, b);
    }
    lut.Kind = lkCube;
    lut.CubeSize = Size;
    // The grid must be filled like in every other format.
    if (!Complete)
        throw ELUTError("Incomplete file.");
}
