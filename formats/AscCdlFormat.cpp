#include "formats/AscCdlFormat.h"

#include "formats/CdlMaths.h"

#include "formats/FormatFiles.h"
#include "formats/FormatText.h"
#include "formats/Lut1DFormats.h"
#include "formats/xml/XMLNode.h"

namespace {

// One ColorCorrection document turned into a 33-point cube. Read only.
class TASC_CDL_Format : public TGenericLutFormat {
public:
    TASC_CDL_Format();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;
    // No writer: raises ELUTError.
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;
};

}  // namespace

namespace {

// A strict decimal number with "." as the separator.
float StrictFloat(std::string_view token) {
    double value = 0.0;
    if (!TryParseFloat(token, value))
        throw ELUTError("'" + std::string(token) + "' is not a valid floating point value.");
    return static_cast<float>(value);
}

// Slope, offset or power: three numbers cut from the element's text.
void ReadSOPTriple(const TXMLNode& sop, const std::string& name, float& red, float& green, float& blue) {
    std::string text = Trim(sop.NodeByName(name).Value.Text);
    float* targets[3] = {&red, &green, &blue};
    for (float* target : targets) {
        std::string token;
        text = Trim(text);
        NextToken(text, token);
        *target = StrictFloat(Trim(token));
    }
}

}  // namespace

void ReadCDLFile(const std::string& fileName, TCDLData& data) { ReadCDLText(ReadFileBytes(fileName), data); }

void ReadCDLText(std::string_view text, TCDLData& data) {
    TXMLNode root;
    root.LoadFromText(text);
    root.RequireWholeDocument(false);
    TCDLData result;
    TXMLNode& cc = root.NodeByName("ColorCorrection");
    result.Id = cc.Attributes.ByName("id").Text;
    // Both spellings of the slope-offset-power node occur.
    const TXMLNode& sop =
        !cc.HasNode("SOPNode") && cc.HasNode("ASC_SOP") ? cc.NodeByName("ASC_SOP") : cc.NodeByName("SOPNode");
    ReadSOPTriple(sop, "Slope", result.Red.Slope, result.Green.Slope, result.Blue.Slope);
    ReadSOPTriple(sop, "Offset", result.Red.Offset, result.Green.Offset, result.Blue.Offset);
    ReadSOPTriple(sop, "Power", result.Red.Power, result.Green.Power, result.Blue.Power);
    result.Saturation = 1.0f;
    const char* satName = cc.HasNode("SATNode") ? "SATNode" : "ASC_SAT";
    if (cc.HasNode(satName) && cc.NodeByName(satName).HasNode("Saturation"))
        result.Saturation = static_cast<float>(cc.NodeByName(satName).NodeByName("Saturation").Value.AsFloat());
    data = std::move(result);
}

TASC_CDL_Format::TASC_CDL_Format()
    : TGenericLutFormat({.Id = "asc-cdl", .Name = "ASC CDL", .Extensions = {"cc", "cdl"}, .Writes = false}) {}

OMBRANE_LUT_FORMAT(TASC_CDL_Format)

bool TASC_CDL_Format::CanRead(std::string_view head, const std::string&) const {
    return TextHasKeywords(head, "<ColorCorrection,<SOPNode>", "<ColorCorrectionCollection") ||
           TextHasKeywords(head, "<ColorCorrection,<ASC_SOP>", "<ColorCorrectionCollection");
}

void TASC_CDL_Format::Read(std::string_view bytes, const std::string& name, TLUT& lut) const {
    (void)name;
    TCDLData data;
    ReadCDLText(bytes, data);
    SetCdlFileLut(data, lut);
    lut.Comments.push_back("Name: " + data.Id);
}

std::string TASC_CDL_Format::Write(const TLUT&, int, const std::string&) const { RaiseNoWriter(Name); }
