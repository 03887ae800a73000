#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "imageio/ColourProfile.h"
#include "imageio/ImageFile.h"
#include "imageio/JpegCodec.h"
#include "tests/cli/CliHarness.h"
#include "tests/imageio/GreyProfile.h"

// Pictures carrying colour profiles, made by LittleCMS's own tools and
// ImageMagick from a photograph: measured in sRGB, graded in sRGB and
// written back into their own space.

namespace {

const std::string kPhotograph = "/usr/share/backgrounds/mate/nature/Garden.jpg";
const std::string kProfiles = "/usr/share/color/icc/colord/";

bool Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

bool PeersPresent() {
    return std::filesystem::exists(kPhotograph) && std::filesystem::exists(kProfiles + "AdobeRGB1998.icc") &&
           Shell("command -v tificc") && Shell("command -v jpgicc") && Shell("command -v convert");
}

// The four numbers of each range 'stats' prints, one after another.
std::vector<double> StatsNumbers(const std::string& out) {
    std::vector<double> numbers;
    for (const std::string& line : Lines(out)) {
        std::istringstream fields(line);
        std::string name;
        long pixels = 0;
        fields >> name >> pixels;
        double value = 0;
        while (fields >> value) numbers.push_back(value);
    }
    return numbers;
}

double LargestDifference(const std::vector<double>& a, const std::vector<double>& b) {
    EXPECT_EQ(a.size(), b.size());
    double largest = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) largest = std::max(largest, std::abs(a[i] - b[i]));
    return largest;
}

int LargestPixelDifference(const TImage& a, const TImage& b) {
    EXPECT_EQ(a.Width(), b.Width());
    EXPECT_EQ(a.Height(), b.Height());
    int largest = 0;
    for (int y = 0; y < std::min(a.Height(), b.Height()); ++y)
        for (int i = 0; i < 3 * std::min(a.Width(), b.Width()); ++i)
            largest = std::max(largest, std::abs(int(a.Row(y)[i]) - int(b.Row(y)[i])));
    return largest;
}

// A warm S-shaped look as a 3D cube, so that grading moves every colour.
const char* kLook =
    "LUT_3D_SIZE 2\n"
    "0.02 0.0 0.0\n1.0 0.05 0.0\n0.0 0.9 0.05\n0.95 0.97 0.0\n"
    "0.0 0.02 0.85\n0.97 0.0 0.9\n0.0 0.88 0.9\n1.0 0.97 0.93\n";

class CliColourProfileTest : public CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        if (!PeersPresent()) GTEST_SKIP() << "liblcms2-utils, colord-data, ImageMagick or the photograph missing";
        ASSERT_TRUE(Shell("convert " + kPhotograph + " -resize 900x -depth 8 -strip " + Path("photo.tif")));
        WriteBytes(Path("look.cube"), kLook);
    }
    // A copy of the sRGB photograph in the profile's space with the profile
    // embedded; bits 8 or 16.
    std::string TaggedTiff(const std::string& profile, int bits) {
        const std::string out = Path(profile + std::to_string(bits) + ".tif");
        EXPECT_TRUE(Shell("tificc -t1 -b -e -w" + std::to_string(bits) + " -o" + kProfiles + profile + ".icc " +
                          Path("photo.tif") + " " + out));
        return out;
    }
};

TEST_F(CliColourProfileTest, TaggedCopiesMeasureAsTheOriginalAndConvertAsLittleCmsDoes) {
    const std::vector<double> original = StatsNumbers(Cli({"stats", Path("photo.tif")}).Out);
    ASSERT_EQ(original.size(), 12u);
    for (const std::string profile : {"AdobeRGB1998", "ProPhotoRGB"}) {
        SCOPED_TRACE(profile);
        // Copies converted by ImageMagick (LittleCMS inside): at 16 bits they
        // hold the colours exactly enough to measure as the original; at 8
        // bits their quantisation moves the figures by up to about 1.5e-3.
        const std::string convert = "convert " + Path("photo.tif") +
                                    " -intent relative -black-point-compensation -profile " + kProfiles +
                                    "sRGB.icc -profile " + kProfiles + profile + ".icc -depth ";
        ASSERT_TRUE(Shell(convert + "16 " + Path("copy16.tif")));
        ASSERT_TRUE(Shell(convert + "8 " + Path("copy8.png")));
        EXPECT_LT(LargestDifference(StatsNumbers(Cli({"stats", Path("copy16.tif")}).Out), original), 1e-3);
        EXPECT_LT(LargestDifference(StatsNumbers(Cli({"stats", Path("copy8.png")}).Out), original), 2e-3);
        // Our conversion to sRGB matches LittleCMS's tool with the same intent.
        const std::string eight = TaggedTiff(profile, 8);
        ASSERT_TRUE(Shell("tificc -t1 -b " + eight + " " + Path("back.tif")));
        EXPECT_LE(LargestPixelDifference(Loaded(eight), Loaded(Path("back.tif"))), 1);
        // The same through PNG's iCCP chunk (ImageMagick keeps the profile, the pixels untouched).
        ASSERT_TRUE(Shell("convert " + eight + " " + Path("tagged.png")));
        EXPECT_LE(LargestPixelDifference(Loaded(Path("tagged.png")), Loaded(Path("back.tif"))), 1);
        // A JPEG of the whole photograph written by jpgicc measures as the original.
        ASSERT_TRUE(
            Shell("jpgicc -t1 -b -q100 -e -o" + kProfiles + profile + ".icc " + kPhotograph + " " + Path("t.jpg")));
        const std::vector<double> whole = StatsNumbers(Cli({"stats", kPhotograph}).Out);
        EXPECT_LT(LargestDifference(StatsNumbers(Cli({"stats", Path("t.jpg")}).Out), whole), 1e-3);
    }
}

TEST_F(CliColourProfileTest, GradedTaggedPicturesKeepTheirSpace) {
    const std::string adobe = TaggedTiff("AdobeRGB1998", 8);
    ASSERT_TRUE(Shell("convert " + adobe + " " + Path("adobe.png")));
    ASSERT_TRUE(Shell("convert " + adobe + " -quality 100 " + Path("adobe.jpg")));
    // What grading the picture in sRGB gives: the look on our sRGB conversion.
    SaveImageFile(Path("srgb.png"), Loaded(Path("adobe.png")));
    ASSERT_EQ(Cli({"apply", Path("look.cube"), Path("srgb.png"), "-o", Path("graded-srgb.png")}).Status, 0);
    const TImage gradedSrgb = Loaded(Path("graded-srgb.png"));

    for (const std::string output : {"out.png", "out.tif", "out.jpg"}) {
        SCOPED_TRACE(output);
        const std::string input = output == "out.jpg" ? Path("adobe.jpg") : Path("adobe.png");
        const TCliRun run = Cli({"apply", Path("look.cube"), input, "-o", Path(output)});
        ASSERT_EQ(run.Status, 0) << run.Err;
        // The output carries the source's profile, as ImageMagick reads it.
        ASSERT_TRUE(Shell("identify -verbose " + Path(output) + " > " + Path("id.txt") + " 2>&1; true"));
        EXPECT_NE(ReadBytes(Path("id.txt")).find("icc:description: Compatible with Adobe RGB (1998)"),
                  std::string::npos);
        if (output == "out.jpg") continue;
        // Made sRGB by LittleCMS, it is the picture graded in sRGB but for the
        // 8-bit quantisation in Adobe RGB, which a dark saturated colour
        // spreads over two sRGB code values.
        EXPECT_LE(LargestPixelDifference(Loaded(Path(output)), gradedSrgb), 2);
    }

    // --output-profile srgb writes the sRGB grade itself, without a profile.
    ASSERT_EQ(Cli({"apply", Path("look.cube"), Path("adobe.png"), "-o", Path("plain.png"), "--output-profile", "srgb"})
                  .Status,
              0);
    EXPECT_EQ(LargestPixelDifference(Loaded(Path("plain.png")), gradedSrgb), 0);
    EXPECT_EQ(ReadBytes(Path("plain.png")).find("iCCP"), std::string::npos);
    // A profile file puts an untagged picture into that space.
    ASSERT_EQ(Cli({"apply", Path("look.cube"), Path("srgb.png"), "-o", Path("pro.png"), "--output-profile",
                   kProfiles + "ProPhotoRGB.icc"})
                  .Status,
              0);
    EXPECT_NE(ReadBytes(Path("pro.png")).find("iCCP"), std::string::npos);
    EXPECT_LE(LargestPixelDifference(Loaded(Path("pro.png")), gradedSrgb), 6);
    const TCliRun wrong =
        Cli({"apply", Path("look.cube"), Path("srgb.png"), "-o", Path("x.png"), "--output-profile", "p3"});
    EXPECT_NE(wrong.Status, 0);
    EXPECT_TRUE(IsOneErrorLine(wrong.Err)) << wrong.Err;
}

TEST_F(CliColourProfileTest, SrgbTaggedAndDamagedProfiles) {
    // An sRGB-tagged JPEG grades to the very bytes its untagged twin gives.
    ASSERT_TRUE(Shell("jpgicc -q100 -e -o" + kProfiles + "sRGB.icc " + kPhotograph + " " + Path("tagged.jpg")));
    std::string bytes = ReadBytes(Path("tagged.jpg"));
    const std::size_t app2 = bytes.find("\xFF\xE2");
    ASSERT_NE(app2, std::string::npos);
    const std::size_t length =
        (static_cast<unsigned char>(bytes[app2 + 2]) << 8) | static_cast<unsigned char>(bytes[app2 + 3]);
    WriteBytes(Path("untagged.jpg"), bytes.substr(0, app2) + bytes.substr(app2 + 2 + length));
    for (const char* name : {"tagged", "untagged"})
        ASSERT_EQ(Cli({"apply", Path("look.cube"), Path(std::string(name) + ".jpg"), "-o",
                       Path(std::string(name) + "-out.jpg")})
                      .Status,
                  0);
    EXPECT_EQ(ReadBytes(Path("tagged-out.jpg")), ReadBytes(Path("untagged-out.jpg")));

    // A profile whose header is broken is refused, naming the file.
    std::string damaged = bytes;
    const std::size_t signature = damaged.find("acsp", app2);
    ASSERT_NE(signature, std::string::npos);
    damaged.replace(signature, 4, "xxxx");
    WriteBytes(Path("damaged.jpg"), damaged);
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"stats", Path("damaged.jpg")},
          std::vector<std::string>{"apply", Path("look.cube"), Path("damaged.jpg"), "-o", Path("d.jpg")}}) {
        const TCliRun run = Cli(command);
        EXPECT_NE(run.Status, 0);
        EXPECT_TRUE(IsOneErrorLine(run.Err)) << run.Err;
        EXPECT_NE(run.Err.find(Path("damaged.jpg") + "\": the colour profile is damaged"), std::string::npos)
            << run.Err;
    }
    EXPECT_FALSE(std::filesystem::exists(Path("d.jpg")));
}

// ImageMagick writes an sRGB picture as PNG with gAMA and cHRM but no sRGB
// chunk: it measures and grades as the JPEG it came from, and the output
// gains no profile.
TEST_F(CliColourProfileTest, ImageMagicksPngOfAJpegGradesAsTheJpeg) {
    ASSERT_TRUE(Shell("convert " + kPhotograph + " -resize 600x -strip -quality 95 " + Path("photo.jpg")));
    ASSERT_TRUE(Shell("convert " + Path("photo.jpg") + " " + Path("photo.png")));
    ASSERT_TRUE(Shell("identify -verbose " + Path("photo.png") + " > " + Path("id.txt") + " 2>&1; true"));
    const std::string described = ReadBytes(Path("id.txt"));
    ASSERT_NE(described.find("png:gAMA"), std::string::npos);
    ASSERT_NE(described.find("png:cHRM"), std::string::npos);
    const std::string png = ReadBytes(Path("photo.png"));
    ASSERT_EQ(png.find("sRGB"), std::string::npos);
    ASSERT_EQ(png.find("iCCP"), std::string::npos);
    EXPECT_EQ(Cli({"stats", Path("photo.png")}).Out, Cli({"stats", Path("photo.jpg")}).Out);
    for (const std::string input : {"photo.jpg", "photo.png"})
        ASSERT_EQ(Cli({"apply", Path("look.cube"), Path(input), "-o", Path(input + ".out.png")}).Status, 0);
    EXPECT_EQ(ReadBytes(Path("photo.png.out.png")), ReadBytes(Path("photo.jpg.out.png")));
    EXPECT_EQ(ReadBytes(Path("photo.png.out.png")).find("iCCP"), std::string::npos);
}

// A grey profile in an RGB JPEG is refused, naming the file; nothing is written.
TEST_F(CliColourProfileTest, AGreyProfileInAnRgbPictureIsRefused) {
    WriteBytes(Path("tagged.jpg"), EncodeJpegPicture(Loaded(kPhotograph), GreyIccProfile()));
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"stats", Path("tagged.jpg")},
          std::vector<std::string>{"apply", Path("look.cube"), Path("tagged.jpg"), "-o", Path("out.jpg")}}) {
        const TCliRun run = Cli(command);
        EXPECT_NE(run.Status, 0);
        EXPECT_TRUE(IsOneErrorLine(run.Err)) << run.Err;
        EXPECT_NE(run.Err.find(Path("tagged.jpg") + "\": the colour profile is not usable"), std::string::npos)
            << run.Err;
    }
    EXPECT_FALSE(std::filesystem::exists(Path("out.jpg")));
}

}  // namespace
