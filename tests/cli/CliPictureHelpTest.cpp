#include <string>

#include "tests/cli/CliHarness.h"

namespace {

// The lines of `text` from the one starting with `first`, `count` of them.
std::string LinesFrom(const std::string& text, const std::string& first, int count) {
    const std::size_t start = text.find("\n" + first);
    if (start == std::string::npos) return "(no line \"" + first + "\")";
    std::size_t end = start + 1;
    for (int i = 0; i < count && end != std::string::npos; ++i) end = text.find('\n', end) + 1;
    return text.substr(start + 1, end - start - 1);
}

// The paragraph both grading commands print on pictures of more than 8 bits,
// as the program printed it when its lists were written by hand.
const std::string kDeepParagraph =
    "TIFF, 16-bit PNG, DPX and OpenEXR pictures (and HDR, Targa, PNM for reading) are\n"
    "graded at their own precision: the LUT is evaluated per pixel on values 0..1 and\n"
    "the output keeps the input's format and depth, or takes the extension's: .tif,\n"
    ".tiff 16-bit, .exr half float, .dpx 10-bit, .png 16-bit, .jpg 8-bit. The look is\n"
    "display-referred: float values outside 0..1 are clamped into it. Any picture\n"
    "written as .tif, .tiff, .exr or .dpx is graded this way.\n";

}  // namespace

// The help's lists of picture types are made from the picture-format table;
// they read as they did when they were written out in the help texts.
TEST_F(CliTest, PictureLinesOfTheHelpAreMadeFromTheTableAsBefore) {
    const std::string grade = Cli({"grade", "--help"}).Out;
    const std::string apply = Cli({"apply", "--help"}).Out;
    EXPECT_EQ(LinesFrom(grade, "TIFF, 16-bit PNG", 6), kDeepParagraph);
    EXPECT_EQ(LinesFrom(apply, "TIFF, 16-bit PNG", 6), kDeepParagraph);
    for (const std::string& help : {grade, Cli({"look", "--help"}).Out})
        EXPECT_EQ(LinesFrom(help, "REFERENCE is", 1),
                  "REFERENCE is a JPEG, BMP or PNG picture. One within 150 x 150 pixels is taken as a\n");
    EXPECT_EQ(LinesFrom(grade, "With --footage IMAGE", 4),
              "With --footage IMAGE is converted to display before it is graded: 8-bit pictures\n"
              "written as .jpg, .jpeg, .bmp or .png in 8 bits; TIFF, 16-bit PNG, DPX and OpenEXR\n"
              "pictures, and any picture written as .tif, .tiff, .exr or .dpx, in float, written\n"
              "at their own depth (or the extension's).\n");
    for (const std::string& help : {grade, apply})
        EXPECT_EQ(LinesFrom(help, "  --format EXT", 1),
                  "  --format EXT       write every output as jpg, jpeg, bmp, png, tif, tiff, exr or dpx\n");
}
