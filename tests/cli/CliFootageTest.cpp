#include <filesystem>
#include <fstream>
#include <memory>

#include "engine/colour/ColorSpace.h"
#include "engine/footage/FootageLook.h"
#include "engine/look/LookControls.h"
#include "engine/lut/LUT.h"
#include "footage/FootageCatalog.h"
#include "footage/OcioFootage.h"
#include "formats/FormatRegistry.h"
#include "formats/LookExport.h"
#include "formats/LutConvert.h"
#include "imageio/ImageFile.h"
#include "library/ReferenceLibrary.h"
#include "tests/cli/CliHarness.h"

namespace {

// The look the window builds for a reference added to its library.
TLookSettings LookFromLibrary(const std::string& folder, const std::string& reference) {
    std::filesystem::create_directories(folder);
    TReferenceLibrary library(folder);
    library.Add(reference);
    const TImage cell = library.LoadCell(library.NameForAdd(reference));
    TColorStats stats{};
    ComputeColorStats(cell, stats);
    TLookPositions positions;
    positions.Gain = 130;
    positions.Blue = 60;
    return MakeLookSettings(stats, positions);
}

const std::vector<std::string> kLookOptions = {"--gain", "130", "--blue", "60"};

}  // namespace

TEST_F(CliTest, FootageListsTheSpacesAndRefusesConfigsThatDoNotLoad) {
    const TCliRun plain = Cli({"footage"});
    ASSERT_EQ(plain.Status, 0) << plain.Err;
    const std::vector<std::string> lines = Lines(plain.Out);
    ASSERT_EQ(lines.size(), 1 + CameraLogs().size() + LinearSpaces().size());
    EXPECT_EQ(lines[0], "display\tDisplay (Rec.709 / sRGB)");
    EXPECT_EQ(lines[3], "slog3-sgamut3cine\tSony S-Log3 / S-Gamut3.Cine");

    // A config given by --config or by the environment adds its usable spaces.
    const std::string config = Path("studio.ocio");
    std::ofstream(config) << "ocio_profile_version: 2\n"
                             "roles: {default: lin, scene_linear: lin}\n"
                             "file_rules:\n  - !<Rule> {name: Default, colorspace: default}\n"
                             "displays:\n  Screen:\n    - !<View> {name: Log, colorspace: film log}\n"
                             "colorspaces:\n"
                             "  - !<ColorSpace> {name: lin, encoding: scene-linear}\n"
                             "  - !<ColorSpace> {name: film log, encoding: log}\n";
    for (const TCliRun& run : {Cli({"footage", "--config", config}), Cli({"footage"}, "OCIO=" + config)}) {
        ASSERT_EQ(run.Status, 0) << run.Err;
        const std::vector<std::string> withConfig = Lines(run.Out);
        ASSERT_EQ(withConfig.size(), lines.size() + 2) << run.Out;  // "lin" is listed too
        EXPECT_EQ(withConfig.back(), "film log\tfilm log");
    }

    const TCliRun broken = Cli({"footage", "--config", Path("none.ocio")});
    EXPECT_EQ(broken.Status, 1);
    EXPECT_TRUE(IsOneErrorLine(broken.Err)) << broken.Err;
    EXPECT_NE(broken.Err.find("does not load"), std::string::npos) << broken.Err;
    EXPECT_EQ(Cli({"footage", "extra"}).Status, 2);
}

TEST_F(CliTest, LookAndGradeWithFootageConvertFirstAndRefuseWhatCannotBeUsed) {
    const std::string reference = Path("ref.png");
    SaveImageFile(reference, MakeTestPicture(300, 200, 5));
    const std::string frame = Path("frame.bmp");
    SaveImageFile(frame, MakeTestPicture(250, 170, 6));
    const TLookSettings settings = LookFromLibrary(Path("lib"), reference);
    const auto footage = MakeFootageConversion("slog3-sgamut3cine", "");

    // look: the same file as the export with the footage conversion.
    const TLutOutputProfile& profile = *FindOutputProfile("Cube 3D Davinci");
    ExportLook(settings, profile, profile.DefaultSize, profile.DefaultBits, Path("want.cube"), footage.get());
    const TCliRun look = Cli(Join({"look", reference, "-o", Path("got.cube"), "--profile", profile.Name, "--footage",
                                   "Sony S-Log3 / S-Gamut3.Cine"},
                                  kLookOptions));
    ASSERT_EQ(look.Status, 0) << look.Err;
    const std::string got = ReadBytes(Path("got.cube"));
    EXPECT_EQ(got, ReadBytes(Path("want.cube")));
    EXPECT_NE(got.find("# input: Sony S-Log3 / S-Gamut3.Cine\n"), std::string::npos);

    // grade: the frame converted to display, then the 33-point look.
    TImage expected;
    LoadImageFile(frame, expected);
    ConvertFootageImage(*footage, expected);
    auto lut = std::make_unique<TLUT>();
    lut->Kind = lkCube;
    lut->CubeSize = 33;
    BuildLookCube(settings, settings.Factors, *lut);
    lut->ApplyToImage(expected);
    const TCliRun grade =
        Cli(Join({"grade", reference, frame, "-o", Path("out.bmp"), "--footage", "slog3-sgamut3cine"}, kLookOptions));
    ASSERT_EQ(grade.Status, 0) << grade.Err;
    TImage graded, plain;
    LoadImageFile(Path("out.bmp"), graded);
    EXPECT_TRUE(graded.SamePixels(expected));
    ASSERT_EQ(Cli(Join({"grade", reference, frame, "-o", Path("plain.bmp")}, kLookOptions)).Status, 0);
    LoadImageFile(Path("plain.bmp"), plain);
    EXPECT_FALSE(plain.SamePixels(graded));

    const TCliRun unknown = Cli({"look", reference, "-o", Path("u.cube"), "--footage", "S-Log9"});
    EXPECT_EQ(unknown.Status, 1);
    EXPECT_NE(unknown.Err.find("Unknown footage space \"S-Log9\""), std::string::npos) << unknown.Err;
    EXPECT_FALSE(std::filesystem::exists(Path("u.cube")));
    const TCliRun configOnly = Cli({"grade", reference, frame, "-o", Path("c.bmp"), "--config", "x.ocio"});
    EXPECT_EQ(configOnly.Status, 2);
    EXPECT_NE(configOnly.Err.find("--config needs --footage"), std::string::npos) << configOnly.Err;
    // An empty space name is no name, not the display default.
    for (const char* command : {"look", "grade"}) {
        const std::string output = Path(std::string("empty.") + (command == std::string("look") ? "cube" : "bmp"));
        std::vector<std::string> words = {command, reference};
        if (command != std::string("look")) words.push_back(frame);
        for (const std::string& word : {std::string("-o"), output, std::string("--footage"), std::string(),
                                        std::string("--config"), Path("none.ocio")})
            words.push_back(word);
        const TCliRun empty = Cli(words);
        EXPECT_EQ(empty.Status, 2) << command;
        EXPECT_EQ(Lines(empty.Err).size(), 1u) << empty.Err;
        EXPECT_NE(empty.Err.find("--footage needs a value"), std::string::npos) << empty.Err;
        EXPECT_FALSE(std::filesystem::exists(output)) << command;
    }
}
