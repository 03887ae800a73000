#include <string>
#include "formats/LutFormat.h"

#include <cmath>

#include "formats/FormatFiles.h"
#include "formats/FormatText.h"
#include "formats/Lut1DFormats.h"
#include "formats/xml/XMLNode.h"

namespace {

// A 1D curve as an XML document: <lut><data><elem r= g= b=/>... with
// integer values; read at 10 bits, written at the bit depth asked for.
class TStwo1DLutFormat : public TGenericLutFormat {
public:
    // The bit depth the reader assumes.
    static constexpr int kReadBits = 10;

    TStwo1DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;
};

}  // namespace

TStwo1DLutFormat::TStwo1DLutFormat()
    : TGenericLutFormat({.Id = "stwo-1d",
                         .Name = "S.two 1D",
                         .Extensions = {"swto.xml"},
                         .Is3D = false,
                         .MaxSize = kMaxCurveSize,
                         .MinBits = 1,
                         .MaxBits = 31}) {}

OMBRANE_LUT_FORMAT(TStwo1DLutFormat)

bool TStwo1DLutFormat::CanRead(std::string_view head, const std::string&) const {
    return TextHasKeywords(head, "<lut,<data>,<elem", "");
}

void TStwo1DLutFormat::Read(std::string_view bytes, const std::string& name, TLUT& lut) const {
    (void)name;
    TXMLNode root;
    root.LoadFromText(bytes);
    root.RequireWholeDocument(false);
    const TXMLNode& data = root.NodeByName("lut").NodeByName("data");
    const auto isElem = [](const TXMLNode& node) { return UpperCase(node.Name) == "ELEM"; };
    // The whole count is checked before the curve is touched.
    std::int64_t count = 0;
    for (const auto& child : data.Children) count += isElem(*child) ? 1 : 0;
    CheckedCurveSize(count);
    const double fullScale = std::ldexp(1.0, kReadBits) - 1.0;
    std::int32_t size = 0;
    for (const auto& child : data.Children) {
        if (!isElem(*child)) continue;
        TXMLAttributes& attributes = child->Attributes;
        const double red = attributes.ByName("r").AsFloat();
        const double green = attributes.ByName("g").AsFloat();
        const double blue = attributes.ByName("b").AsFloat();
        lut.Curve[size] = TRGBDouble{red / fullScale, green / fullScale, blue / fullScale};
        ++size;
    }
    lut.Kind = lkCurve;
    lut.CurveSize = size;
}

std::string TStwo1DLutFormat::Write(const TLUT& lut, int Bits, const std::string& fileName) const {
    const std::int32_t size = CheckedCurveSize(lut.CurveSize);
    FullScaleForBits(Info(), Bits);
    TTextFile text;
    text.Reserve(static_cast<std::size_t>(size) + 5);
    text.Add("<?xml version=\"1.0\"?>");
    text.Add("<lut name=\"" + BaseNameWithoutExtension(fileName) + "\">");
    text.Add("<data>");
    for (std::int32_t i = 0; i < size; ++i) {
        const TRGBDouble& entry = lut.Curve[i];
        text.Add("<elem r=\"" + FormatScaled(Bits, entry.Red) + "\" g=\"" + FormatScaled(Bits, entry.Green) +
                 "\" b=\"" + FormatScaled(Bits, entry.Blue) + "\"/>");
    }
    text.Add("</data>");
    text.Add("</lut>");
    return text.Text();
}
