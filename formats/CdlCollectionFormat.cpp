#include "formats/CdlCollectionFormat.h"

#include "formats/CdlMaths.h"

#include "formats/FormatFiles.h"
#include "formats/FormatText.h"
#include "formats/Lut1DFormats.h"
#include "formats/TextFile.h"
#include "formats/TextScanner.h"
#include "formats/xml/XMLNode.h"

namespace {

class TCdlCollectionFormat : public TLUTFormat {
public:
    TCdlCollectionFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;
};

}  // namespace

namespace {

const TXMLNode* Child(const TXMLNode& node, const std::string& name) {
    return node.HasNode(name) ? &node.NodeByName(name) : nullptr;
}

// Three numbers of an element's text into the channels' fields.
void ReadSopTriple(const TXMLNode& parent, const std::string& name, const std::string& id, float TCDLChannel::*field,
                   TCDLData& data) {
    const TXMLNode* node = Child(parent, name);
    if (node == nullptr) return;
    std::string_view tokens[3];
    if (SplitTokens(node->Value.Text, tokens, 3) != 3)
        throw ELUTError("The " + name + " of the correction \"" + id + "\" is not three numbers.");
    TCDLChannel* channels[3] = {&data.Red, &data.Green, &data.Blue};
    for (int i = 0; i < 3; ++i) {
        double value = 0.0;
        if (!TryParseFloat(tokens[i], value))
            throw ELUTError("'" + std::string(tokens[i].substr(0, 80)) + "' in the " + name + " of the correction \"" +
                            id + "\" is not a number.");
        channels[i]->*field = static_cast<float>(value);
    }
}

TCDLData ReadCorrection(const TXMLNode& node) {
    TCDLData data;
    for (const auto& [name, value] : node.Attributes.Items)
        if (UpperCase(name) == "ID") data.Id = value->Text;
    const TXMLNode* sop = Child(node, "SOPNode");
    if (sop == nullptr) sop = Child(node, "ASC_SOP");
    if (sop != nullptr) {
        ReadSopTriple(*sop, "Slope", data.Id, &TCDLChannel::Slope, data);
        ReadSopTriple(*sop, "Offset", data.Id, &TCDLChannel::Offset, data);
        ReadSopTriple(*sop, "Power", data.Id, &TCDLChannel::Power, data);
    }
    // Both spellings of the saturation node occur; names compare without case.
    const TXMLNode* sat = Child(node, "SATNode");
    if (sat == nullptr) sat = Child(node, "ASC_SAT");
    if (sat != nullptr)
        if (const TXMLNode* saturation = Child(*sat, "Saturation")) {
            double value = 0.0;
            if (!TryParseFloat(TrimView(saturation->Value.Text), value))
                throw ELUTError("The Saturation of the correction \"" + data.Id + "\" is not a number.");
            data.Saturation = static_cast<float>(value);
        }
    return data;
}

// ColorCorrection elements at any depth, in document order; a correction's
// own children are not searched.
void CollectCorrections(const TXMLNode& node, std::vector<TCDLData>& corrections) {
    for (const auto& child : node.Children) {
        if (UpperCase(child->Name) == "COLORCORRECTION")
            corrections.push_back(ReadCorrection(*child));
        else
            CollectCorrections(*child, corrections);
    }
}

}  // namespace

std::vector<TCDLData> ReadCdlCorrections(std::string_view text) {
    TXMLNode root;
    root.LoadFromText(text);
    root.RequireWholeDocument(true);
    std::vector<TCDLData> corrections;
    CollectCorrections(root, corrections);
    return corrections;
}

TCDLData ChooseCdlCorrection(std::string_view text, const std::string& id) {
    std::vector<TCDLData> corrections = ReadCdlCorrections(text);
    if (corrections.empty()) throw ELUTError("The collection holds no ColorCorrection.");
    if (id.empty()) return corrections.front();
    std::string ids;
    const TCDLData* found = nullptr;
    for (const TCDLData& correction : corrections) {
        if (correction.Id == id) {
            if (found != nullptr)
                throw ELUTError("The collection holds more than one correction with the id \"" + id +
                                "\"; the id does not say which.");
            found = &correction;
        }
        ids += (ids.empty() ? "\"" : ", \"") + correction.Id + "\"";
    }
    if (found != nullptr) return *found;
    throw ELUTError("The collection holds no correction with the id \"" + id + "\"; its ids are " + ids + ".");
}

void BakeCdlCorrection(const TCDLData& correction, TLUT& lut) {
    SetCdlFileLut(correction, lut);
    lut.Comments = {"Name: " + correction.Id};
}

TCdlCollectionFormat::TCdlCollectionFormat()
    : TLUTFormat({.Id = "asc-cdl-collection",
                  .Name = "ASC CDL collection",
                  .Extensions = {"ccc", "cdl"},
                  .Writes = false,
                  .DetectedBefore = "asc-cdl"}) {}

OMBRANE_LUT_FORMAT(TCdlCollectionFormat)

bool TCdlCollectionFormat::CanRead(std::string_view head, const std::string&) const {
    return TextHasKeywords(head, "<ColorCorrectionCollection", "") || TextHasKeywords(head, "<ColorDecisionList", "");
}

void TCdlCollectionFormat::Read(std::string_view bytes, const std::string& name, TLUT& lut) const {
    (void)name;
    BakeCdlCorrection(ChooseCdlCorrection(bytes, ""), lut);
}

std::string TCdlCollectionFormat::Write(const TLUT&, int, const std::string&) const { RaiseNoWriter(Name); }

void LoadCdlCollectionFile(const std::string& fileName, const std::string& id, TLUT& lut) {
    BakeCdlCorrection(ChooseCdlCorrection(ReadFileBytes(fileName), id), lut);
}
