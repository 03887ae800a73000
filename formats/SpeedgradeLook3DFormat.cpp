#include <cmath>
#include <cstdint>

#include "formats/FormatFiles.h"
#include "formats/FormatText.h"
#include "formats/Lut1DFormats.h"
#include "formats/xml/XMLNode.h"

namespace {

// A look document whose lut element holds a size and a cube of hex-coded
// floats in red-fastest order. Read only.
class TSpeedgradeLook3DLutFormat : public TGenericLutFormat {
public:
    TSpeedgradeLook3DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;
    // No writer: raises ELUTError.
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;
};

}  // namespace

TSpeedgradeLook3DLutFormat::TSpeedgradeLook3DLutFormat()
    : TGenericLutFormat(
          {.Id = "speedgrade-look-3d", .Name = "Adobe Speedgrade Look 3D", .Extensions = {"look"}, .Writes = false}) {}

OMBRANE_LUT_FORMAT(TSpeedgradeLook3DLutFormat)

bool TSpeedgradeLook3DLutFormat::CanRead(std::string_view head, const std::string&) const {
    return TextHasKeywords(head, "<look>,<shaders", "");
}

void TSpeedgradeLook3DLutFormat::Read(std::string_view bytes, const std::string& name, TLUT& lut) const {
    (void)name;
    std::int32_t size = 0;
    TXMLNode root;
    root.LoadFromText(bytes);
    root.RequireWholeDocument(false);
    std::string data;
    if (root.HasNode("look") && root.NodeByName("look").HasNode("lut")) {
        const TXMLNode& lutNode = root.NodeByName("look").NodeByName("lut");
        std::string sizeText = lutNode.NodeByName("size").Value.Text;
        if (!sizeText.empty() && sizeText.front() == '"')
            sizeText = sizeText.size() >= 2 ? sizeText.substr(1, sizeText.size() - 2) : "";
        size = ParseInteger(Trim(sizeText));
        data = lutNode.NodeByName("data").Value.Text;
    }
    if (size == 0) {
        lut.Kind = lkIdentity;
        return;
    }
    CheckedCubeSize(size);

    std::size_t position = 0;
    int r = 0, g = 0, b = 0;
    while (position + 1 < data.size() && b < size) {
        float red, green, blue;
        if (!ReadHexSingle(data, position, red) || !ReadHexSingle(data, position, green) ||
            !ReadHexSingle(data, position, blue))
            break;
        lut.Cube[r][g][b] = TRGBDouble{red, green, blue};
        if (++r < size) continue;
        r = 0;
        if (++g < size) continue;
        g = 0;
        ++b;
    }
    lut.Kind = lkCube;
    lut.CubeSize = size;
    if (b < size) throw IncompleteFile(std::int64_t{size} * size * size, (std::int64_t{b} * size + g) * size + r);
}

std::string TSpeedgradeLook3DLutFormat::Write(const TLUT&, int, const std::string&) const { RaiseNoWriter(Name); }
