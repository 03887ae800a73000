#include <string>
#include "formats/LutFormat.h"

#include <cstdint>
#include <limits>

#include "formats/FormatFiles.h"
#include "formats/FormatText.h"
#include "formats/Lut1DFormats.h"
#include "formats/xml/XMLNode.h"

namespace {

// An XML document holding a cube of integers in blue-fastest order with its
// full-scale maximum.
class TPFClean3D_Format : public TGenericLutFormat {
public:
    TPFClean3D_Format();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;
};

}  // namespace

namespace {

// A full-scale value or size read from an element, as a 32-bit integer.
std::int32_t NodeInteger(const TXMLNode& parent, const std::string& name) {
    const std::int64_t value = parent.NodeByName(name).Value.AsInteger();
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        throw ELUTError("The \"" + name + "\" value " + std::to_string(value) + " is out of range.");
    return static_cast<std::int32_t>(value);
}

}  // namespace

TPFClean3D_Format::TPFClean3D_Format()
    : TGenericLutFormat(
          {.Id = "pfclean-3d", .Name = "PixelFarm PFClean 3D", .Extensions = {"pfl"}, .MinBits = 1, .MaxBits = 31}) {}

OMBRANE_LUT_FORMAT(TPFClean3D_Format)

bool TPFClean3D_Format::CanRead(std::string_view head, const std::string&) const {
    return TextHasKeywords(head, "<lut,<maximum>,<cube>", "");
}

void TPFClean3D_Format::Read(std::string_view bytes, const std::string& name, TLUT& lut) const {
    (void)name;
    TXMLNode root;
    root.LoadFromText(bytes);
    root.RequireWholeDocument(false);
    const TXMLNode& lutNode = root.NodeByName("lut");
    const std::int32_t size = NodeInteger(lutNode, "size");
    const std::int32_t maximum = NodeInteger(lutNode, "maximum");
    const std::string& cube = lutNode.NodeByName("cube").Value.Text;
    const std::int32_t n = CheckedCubeSize(size);
    // The maximum divides every value.
    if (maximum <= 0) throw ELUTError("Invalid maximum value " + std::to_string(maximum) + ".");

    // Lines end at CR, LF or CR LF (the empty line between CR and LF is
    // blank and skipped); a NUL ends the text. Taken one by one, so a huge
    // text is never held as a list of lines.
    std::string_view text(cube);
    text = text.substr(0, text.find('\0'));
    int r = 0, g = 0, b = 0;
    while (!text.empty() && r < n) {
        const std::size_t end = text.find_first_of("\r\n");
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (TrimView(line).empty()) continue;
        double red, green, blue;
        if (!ParseIntTriple(line, maximum, false, red, green, blue)) continue;
        lut.Cube[r][g][b] = TRGBDouble{red, green, blue};
        if (++b < n) continue;
        b = 0;
        if (++g < n) continue;
        g = 0;
        ++r;
    }
    lut.Kind = lkCube;
    lut.CubeSize = n;
    if (r < n) throw IncompleteFile(std::int64_t{n} * n * n, (std::int64_t{r} * n + g) * n + b);
}

std::string TPFClean3D_Format::Write(const TLUT& lut, int Bits, const std::string&) const {
    const std::int32_t size = CheckedCubeSize(lut.CubeSize);
    const std::int64_t fullScale = FullScaleForBits(Info(), Bits);
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
                text.Add(FormatScaled(Bits, entry.Red) + " " + FormatScaled(Bits, entry.Green) + " " +
                         FormatScaled(Bits, entry.Blue));
            }
    text.Add("</cube>");
    text.Add("</lut>");
    return text.Text();
}
