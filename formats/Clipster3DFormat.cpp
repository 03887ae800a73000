#include <string>
#include "formats/LutFormat.h"

#include <cmath>

#include "formats/CubeLines.h"
#include "formats/FormatFiles.h"
#include "formats/FormatText.h"
#include "formats/xml/XMLNode.h"

namespace {

// An XML-like text: a LUT3D element with the name, grid size and bit depth
// as attributes and the integer grid, blue index fastest, inside "values".
class TClipster3DLutFormat : public TGenericLutFormat {
public:
    TClipster3DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

    // The name written into the start tag: characters that would end the
    // single-quoted attribute or split it at the attribute parse (quotes,
    // blanks and control characters, "<", ">", "&") become "_".
    static std::string SafeName(const std::string& name);
};

}  // namespace

TClipster3DLutFormat::TClipster3DLutFormat()
    : TGenericLutFormat(
          {.Id = "clipster-3d", .Name = "Clipster 3D", .Extensions = {"txt"}, .MinBits = 1, .MaxBits = 32}) {}

OMBRANE_LUT_FORMAT(TClipster3DLutFormat)

namespace {

// The text from the document's root element on: leading blanks, the XML
// declaration, processing instructions, comments and a document type are
// skipped. Empty when the text ends first.
std::string_view FromRootElement(std::string_view text) {
    for (;;) {
        text = TrimView(text);
        std::string_view end;
        if (text.substr(0, 2) == "<?")
            end = "?>";
        else if (text.substr(0, 4) == "<!--")
            end = "-->";
        else if (text.substr(0, 2) == "<!")
            end = ">";
        else
            return text;
        const std::size_t at = text.find(end);
        if (at == std::string_view::npos) return {};
        text.remove_prefix(at + end.size());
    }
}

}  // namespace

// The root element is LUT3D; a document that merely holds such an element
// (a CLF or CTF process list) is not this format.
bool TClipster3DLutFormat::CanRead(std::string_view head, const std::string&) const {
    const std::string_view root = FromRootElement(head.substr(0, 4096));
    static constexpr std::string_view kRoot = "<LUT3D";
    if (root.size() <= kRoot.size() || UpperCase(root.substr(0, kRoot.size())) != kRoot) return false;
    const char after = root[kRoot.size()];
    return after == '>' || after == '/' || static_cast<unsigned char>(after) <= ' ';
}

std::string TClipster3DLutFormat::SafeName(const std::string& name) {
    std::string safe = name;
    for (char& c : safe)
        if (static_cast<unsigned char>(c) <= ' ' || c == '\'' || c == '"' || c == '<' || c == '>' || c == '&') c = '_';
    return safe;
}

std::string TClipster3DLutFormat::Write(const TLUT& lut, int Bits, const std::string& fileName) const {
    const int n = CheckedCubeSize(lut.CubeSize);
    const int bits = Info().CheckedBits(Bits);
    TTextFile text;
    text.Add("<LUT3D name='" + SafeName(BaseNameWithoutExtension(fileName)) + "' N='" + std::to_string(n) +
             "' BitDepth='" + std::to_string(bits) + "'>");
    text.Add("<values>");
    AddScaledGridBlueFastest(text, lut, bits);
    text.Add("</values>");
    text.Add("</LUT3D>");
    return text.Text();
}

void TClipster3DLutFormat::Read(std::string_view bytes, const std::string& name, TLUT& lut) const {
    (void)name;
    TLutReadState state(true);
    TXMLNode root;
    root.LoadFromText(bytes);
    root.RequireWholeDocument(false);
    TXMLNode& element = root.NodeByName("LUT3D");
    state.SetSize(element.Attributes.ByName("N").AsInteger());
    const std::int64_t bits = element.Attributes.ByName("BitDepth").AsInteger();
    state.Range = Info().CheckedBits(bits);
    lut.Comments.push_back("Name: " + element.Attributes.ByName("name").AsString());

    TTextFile values;
    values.SetText(element.NodeByName("values").Value.AsString());
    const double fullScale = std::ldexp(1.0, state.Range) - 1.0;
    double r, g, b;
    for (const std::string& line : values) {
        if (state.Complete) break;
        if (FirstNonBlank(line) != '\0' && ParseIntTriple(line, fullScale, false, r, g, b))
            state.StoreBlueFastest(lut, r, g, b);
    }
    lut.Kind = lkCube;
    lut.CubeSize = state.Size;
    // The grid must be filled like in every other format.
    if (!state.Complete) throw IncompleteFile(state.Expected(), state.Stored);
}
