#include <filesystem>
#include <memory>

#include "engine/colour/ColorSpace.h"
#include "engine/look/LookControls.h"
#include "engine/look/LookTransfer.h"
#include "engine/lut/LUT.h"
#include "formats/FormatRegistry.h"
#include "formats/LookExport.h"
#include "imageio/ImageFile.h"
#include "library/ReferenceLibrary.h"
#include "tests/cli/CliHarness.h"

namespace {

// The window's road for a reference that sits in its library folder:
// the file's thumbnail cell, its statistics, the slider positions.
TLookSettings WindowSettings(const TReferenceLibrary& library, const std::string& fileName,
                             const TLookPositions& positions) {
    const TImage cell = library.LoadCell(fileName);
    TColorStats stats{};
    ComputeColorStats(cell, stats);
    return MakeLookSettings(stats, positions);
}

const TLutOutputProfile& ProfileNamed(const std::string& name) {
    for (const auto& profile : LutOutputProfiles())
        if (profile->Name == name) return *profile;
    throw std::runtime_error("no profile " + name);
}

TLookPositions Tweaked() {
    TLookPositions positions;
    positions.Gain = 140;
    positions.Saturation = 120;
    positions.Yellow = 0;
    positions.Orange = 180;
    positions.Red = 90;
    positions.Violet = 200;
    positions.Blue = 60;
    positions.Green = 110;
    positions.Low = 70;
    positions.Middle = 130;
    positions.High = 100;
    positions.AdvancedAnalysis = false;
    positions.CompressSaturation = true;
    return positions;
}

const std::vector<std::string> kTweakedOptions = {"--gain",
                                                  "140",
                                                  "--saturation",
                                                  "120",
                                                  "--yellow",
                                                  "0",
                                                  "--orange",
                                                  "180",
                                                  "--red",
                                                  "90",
                                                  "--violet",
                                                  "200",
                                                  "--blue",
                                                  "60",
                                                  "--green",
                                                  "110",
                                                  "--low",
                                                  "70",
                                                  "--middle",
                                                  "130",
                                                  "--basic-analysis",
                                                  "--compress-saturation"};

}  // namespace

TEST_F(CliTest, LookOfALargeReferenceEqualsTheWindowsExportAfterAddingIt) {
    const std::string reference = Path("beach.png");
    SaveImageFile(reference, MakeTestPicture(320, 200, 1));
    std::filesystem::create_directories(Path("lib"));
    TReferenceLibrary library(Path("lib"));
    library.Add(reference);
    const std::string libraryFile = library.NameForAdd(reference);
    // The window's files go to a folder of their own under the same names:
    // some formats write the file's own name into it.
    std::filesystem::create_directories(Path("window"));

    struct TCase {
        std::vector<std::string> Options;
        TLookPositions Positions;
        std::string Profile;
        int Size;
        int Bits;
        std::string Output;
    };
    const std::vector<TCase> cases = {
        {{}, TLookPositions{}, "Cube 3D Iridas, Nuke, AfterEffects", 32, 0, "a.cube"},
        {kTweakedOptions, Tweaked(), "Cube 3D Iridas, Nuke, AfterEffects", 32, 0, "b.CUBE"},
        {Join({"--profile", "Cube 3D Davinci", "--size", "17"}, kTweakedOptions), Tweaked(), "Cube 3D Davinci", 17, 0,
         "c.cube"},
        {Join({"--profile", "11"}, kTweakedOptions), Tweaked(), "Dolby DD3", 17, 12, "d.dd3"},
        {{"--profile", "Nucoda 3D", "--size", "5"}, TLookPositions{}, "Nucoda 3D", 5, 0, "e.cms"},
        {{}, TLookPositions{}, "Autodesk Lustre 3D", 33, 12, "f.lut"},
        {{}, TLookPositions{}, "Davinci DAT 3D", 33, 0, "g.dat"},
    };
    for (const TCase& c : cases) {
        const std::string output = Path(c.Output);
        const TCliRun run = Cli(Join({"look", reference, "-o", output}, c.Options));
        ASSERT_EQ(run.Status, 0) << c.Output << ": " << run.Err;
        EXPECT_TRUE(run.Err.empty()) << run.Err;

        const std::string expected = Path("window/" + c.Output);
        ExportLook(WindowSettings(library, libraryFile, c.Positions), ProfileNamed(c.Profile), c.Size, c.Bits,
                   expected);
        const std::string bytes = ReadBytes(output);
        EXPECT_FALSE(bytes.empty()) << c.Output;
        EXPECT_TRUE(bytes == ReadBytes(expected)) << c.Output << " differs from the window's export";
    }
    // The sliders matter: the default and the tweaked look differ.
    EXPECT_NE(ReadBytes(Path("a.cube")), ReadBytes(Path("b.CUBE")));
}

TEST_F(CliTest, LookOfASmallReferenceTakesItAsALibraryFile) {
    // A 120 x 90 BMP lies within 150 x 150: it is analysed as it stands,
    // exactly as the window analyses such a file put into its folder.
    const std::string reference = Path("small.bmp");
    SaveImageFile(reference, MakeTestPicture(120, 90, 2));
    std::filesystem::create_directories(Path("lib"));
    std::filesystem::copy_file(reference, Path("lib/small.bmp"));
    TReferenceLibrary library(Path("lib"));

    const TCliRun run = Cli(Join({"look", reference, "-o", Path("s.3dl")}, kTweakedOptions));
    ASSERT_EQ(run.Status, 0) << run.Err;
    ExportLook(WindowSettings(library, "small.bmp", Tweaked()),
               ProfileNamed("3DL Scratch, Autodesk, Blackmagic, Cine-tal"), 17, 12, Path("expected.3dl"));
    EXPECT_TRUE(ReadBytes(Path("s.3dl")) == ReadBytes(Path("expected.3dl")));

    // Reducing it like a larger picture would give another look: the two
    // roads are told apart.
    library.Add(reference);  // small.jpeg: JPEG-encoded copy
    ExportLook(WindowSettings(library, "small.jpeg", Tweaked()),
               ProfileNamed("3DL Scratch, Autodesk, Blackmagic, Cine-tal"), 17, 12, Path("reduced.3dl"));
    EXPECT_NE(ReadBytes(Path("reduced.3dl")), ReadBytes(Path("s.3dl")));
}

TEST_F(CliTest, LookRefusesBadChoicesWithoutWriting) {
    const std::string reference = Path("ref.bmp");
    SaveImageFile(reference, MakeTestPicture(100, 80));
    const std::string existing = Path("keep.cube");
    WriteBytes(existing, "precious");

    struct TCase {
        std::vector<std::string> Arguments;
        int Status;
        std::string InMessage;
    };
    const std::vector<TCase> cases = {
        {{"--size", "17"}, 2, "Cube 3D Iridas, Nuke, AfterEffects"},  // size fixed by the profile
        {{"--profile", "Cube 3D Davinci", "--size", "102"}, 2, "--size"},
        {{"--profile", "Cube 3D Davinci", "--size", "1"}, 2, "--size"},
        {{"--bits", "10"}, 2, "Cube 3D Iridas, Nuke, AfterEffects"},  // no 3D profile picks bits
        {{"--profile", "Cube 3D Davinci", "--bits", "9"}, 2, "--bits"},
        {{"--profile", "Cube 1D"}, 2, "Cube 1D"},  // a look is 3D
        {{"--profile", "Quor"}, 2, "Quor"},
    };
    for (const TCase& c : cases) {
        const TCliRun run = Cli(Join({"look", reference, "-o", existing}, c.Arguments));
        EXPECT_EQ(run.Status, c.Status) << c.InMessage << run.Err;
        EXPECT_TRUE(IsOneErrorLine(run.Err)) << run.Err;
        EXPECT_NE(run.Err.find(c.InMessage), std::string::npos) << run.Err;
    }
    // An extension no 3D profile has.
    const TCliRun unknown = Cli({"look", reference, "-o", Path("x.xyz")});
    EXPECT_EQ(unknown.Status, 2);
    EXPECT_FALSE(std::filesystem::exists(Path("x.xyz")));

    // Failures after the command line was accepted exit 1 and leave the
    // output file as it was.
    const TCliRun missing = Cli({"look", Path("nothere.jpg"), "-o", existing});
    EXPECT_EQ(missing.Status, 1);
    EXPECT_TRUE(IsOneErrorLine(missing.Err)) << missing.Err;
    WriteBytes(Path("junk.png"), "not a picture at all");
    const TCliRun junk = Cli({"look", Path("junk.png"), "-o", existing});
    EXPECT_EQ(junk.Status, 1);
    EXPECT_TRUE(IsOneErrorLine(junk.Err)) << junk.Err;
    EXPECT_EQ(ReadBytes(existing), "precious");
    const TCliRun folder = Cli({"look", reference, "-o", Path("no/such/folder/x.cube")});
    EXPECT_EQ(folder.Status, 1);
    EXPECT_TRUE(IsOneErrorLine(folder.Err)) << folder.Err;

    // The leftovers of a failed write: nothing but the files made above.
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(Dir())) files += entry.is_regular_file();
    EXPECT_EQ(files, 5);  // ref.bmp, keep.cube, junk.png, stdout.txt, stderr.txt
}

TEST_F(CliTest, GradeEqualsApplyingTheWindowsLookAtFullSize) {
    const std::string reference = Path("ref.jpg");
    SaveImageFile(reference, MakeTestPicture(400, 300, 3));
    const std::string image = Path("frame.png");
    SaveImageFile(image, MakeTestPicture(333, 211, 4));

    // The look as the window builds it after adding the reference.
    std::filesystem::create_directories(Path("lib"));
    TReferenceLibrary library(Path("lib"));
    library.Add(reference);
    auto lut = std::make_unique<TLUT>();
    lut->Kind = lkCube;
    lut->CubeSize = 33;
    const TLookSettings settings = WindowSettings(library, library.NameForAdd(reference), Tweaked());
    BuildLookCube(settings, settings.Factors, *lut);
    TImage expected;
    LoadImageFile(image, expected);
    lut->ApplyToImage(expected);

    for (const char* name : {"out.bmp", "out.png", "out.jpeg"}) {
        const TCliRun run = Cli(Join({"grade", reference, image, "-o", Path(name)}, kTweakedOptions));
        ASSERT_EQ(run.Status, 0) << name << ": " << run.Err;
    }
    TImage bmp, png;
    LoadImageFile(Path("out.bmp"), bmp);
    LoadImageFile(Path("out.png"), png);
    EXPECT_EQ(bmp.Width(), 333);
    EXPECT_EQ(bmp.Height(), 211);
    EXPECT_TRUE(bmp.SamePixels(expected));
    EXPECT_TRUE(png.SamePixels(expected));
    // JPEG at quality 100: the same bytes the encoder gives for the graded picture.
    EXPECT_TRUE(ReadBytes(Path("out.jpeg")) == EncodeJpeg(expected, 100));

    // The grading changed the picture.
    TImage original;
    LoadImageFile(image, original);
    EXPECT_FALSE(original.SamePixels(expected));

    const TCliRun missing = Cli({"grade", reference, Path("none.bmp"), "-o", Path("x.bmp")});
    EXPECT_EQ(missing.Status, 1);
    EXPECT_TRUE(IsOneErrorLine(missing.Err)) << missing.Err;
    EXPECT_FALSE(std::filesystem::exists(Path("x.bmp")));
    // Which of the two pictures failed is named, and the picture library's
    // own diagnostics stay off the terminal.
    WriteBytes(Path("junk.png"), "not a picture");
    const TCliRun junk = Cli({"grade", reference, Path("junk.png"), "-o", Path("x.bmp")});
    EXPECT_EQ(junk.Status, 1);
    EXPECT_TRUE(IsOneErrorLine(junk.Err)) << junk.Err;
    EXPECT_NE(junk.Err.find("junk.png"), std::string::npos) << junk.Err;
}
