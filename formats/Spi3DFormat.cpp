#include "formats/Spi3DFormat.h"

#include <vector>

#include "fileio/AtomicFile.h"
#include "formats/FormatFiles.h"
#include "formats/FormatText.h"
#include "formats/TextScanner.h"

namespace {

class TSpi3DLutFormat : public TLUTFormat {
public:
    TSpi3DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;
};

}  // namespace

namespace {

int ReadGridSize(TTextScanner& scanner) {
    const std::string_view line = scanner.ExpectLine("The grid size line");
    std::string_view tokens[3];
    if (SplitTokens(line, tokens, 3) != 3) scanner.Fail("The grid size line needs three numbers.");
    int sizes[3];
    for (int i = 0; i < 3; ++i) sizes[i] = ScanInteger(scanner, tokens[i], 2, kMaxCubeSize, "The grid size");
    if (sizes[1] != sizes[0] || sizes[2] != sizes[0])
        scanner.Fail("Only grids of equal sizes on the three axes are supported.");
    return sizes[0];
}

}  // namespace

void ReadSpi3D(std::string_view text, TLUT& lut) {
    TTextScanner scanner(text);
    std::string_view line = scanner.ExpectLine("The \"SPILUT\" line");
    if (UpperCase(TrimView(line).substr(0, 6)) != "SPILUT") scanner.Fail("An spi3d file starts with \"SPILUT\".");
    line = scanner.ExpectLine("The channel count line");
    std::string_view tokens[6];
    if (SplitTokens(line, tokens, 6) != 2 || tokens[0] != "3" || tokens[1] != "3")
        scanner.Fail("Only three input and three output channels (\"3 3\") are supported.");
    const int size = ReadGridSize(scanner);

    const std::size_t points = static_cast<std::size_t>(size) * size * size;
    std::vector<bool> filled(points, false);
    std::size_t found = 0;
    while (scanner.NextFilledLine(line)) {
        if (TrimView(line).starts_with('#')) continue;  // a comment, as some writers put after the grid
        if (SplitTokens(line, tokens, 6) != 6) scanner.Fail("A grid line needs three indices and three values.");
        int index[3];
        for (int i = 0; i < 3; ++i) index[i] = ScanInteger(scanner, tokens[i], 0, size - 1, "The index");
        const TRGBDouble value{ScanNumber(scanner, tokens[3]), ScanNumber(scanner, tokens[4]),
                               ScanNumber(scanner, tokens[5])};
        const std::size_t at = (static_cast<std::size_t>(index[0]) * size + index[1]) * size + index[2];
        if (filled[at]) scanner.Fail("The grid point is given twice.");
        filled[at] = true;
        ++found;
        lut.Cube[index[0]][index[1]][index[2]] = value;
    }
    if (found != points) scanner.FailIncomplete(points, found);
    lut.CubeSize = size;
    lut.Kind = lkCube;
}

std::string WriteSpi3D(const TLUT& lut) {
    const std::int32_t size = CheckedCubeSize(lut.CubeSize);
    const std::string n = std::to_string(size);
    std::string text = "SPILUT 1.0\n3 3\n" + n + " " + n + " " + n + "\n";
    text.reserve(text.size() + static_cast<std::size_t>(size) * size * size * 40);
    for (int r = 0; r < size; ++r)
        for (int g = 0; g < size; ++g)
            for (int b = 0; b < size; ++b) {
                const TRGBDouble& entry = lut.Cube[r][g][b];
                text += std::to_string(r) + " " + std::to_string(g) + " " + std::to_string(b) + " " +
                        FormatDecimal(entry.Red) + " " + FormatDecimal(entry.Green) + " " + FormatDecimal(entry.Blue) +
                        "\n";
            }
    return text;
}

TSpi3DLutFormat::TSpi3DLutFormat()
    : TLUTFormat({.Id = "spi3d", .Name = "Sony Imageworks spi3d", .Extensions = {"spi3d"}}) {}

OMBRANE_LUT_FORMAT(TSpi3DLutFormat)

bool TSpi3DLutFormat::CanRead(std::string_view head, const std::string&) const {
    return UpperCase(TrimView(head.substr(0, 64)).substr(0, 6)) == "SPILUT";
}

void TSpi3DLutFormat::Read(std::string_view bytes, const std::string& name, TLUT& lut) const {
    (void)name;
    ReadSpi3D(bytes, lut);
}

std::string TSpi3DLutFormat::Write(const TLUT& lut, int, const std::string& name) const {
    (void)name;
    return WriteSpi3D(lut);
}
