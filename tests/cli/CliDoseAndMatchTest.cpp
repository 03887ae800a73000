#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>

#include "imageio/ImageFile.h"
#include "tests/cli/CliHarness.h"

// --strength on look and grade, --match on look and grade.

TEST_F(CliTest, StrengthDosesTheLookAndRefusesValuesOutside) {
    const std::string reference = Path("ref.bmp");
    SaveImageFile(reference, MakeTestPicture(140, 100, 3));
    ASSERT_EQ(Cli({"look", reference, "-o", Path("plain.cube")}).Status, 0);
    ASSERT_EQ(Cli({"look", reference, "-o", Path("full.cube"), "--strength", "100"}).Status, 0);
    ASSERT_EQ(Cli({"look", reference, "-o", Path("none.cube"), "--strength", "0"}).Status, 0);
    EXPECT_EQ(ReadBytes(Path("full.cube")), ReadBytes(Path("plain.cube")));
    // Strength 0 is the identity table: the first data lines run through the grid.
    const std::vector<std::string> none = Lines(ReadBytes(Path("none.cube")));
    const std::vector<std::string> plain = Lines(ReadBytes(Path("plain.cube")));
    ASSERT_EQ(none.size(), plain.size());
    EXPECT_NE(none, plain);
    const auto first = std::find_if(none.begin(), none.end(),
                                    [](const std::string& line) { return !line.empty() && std::isdigit(line[0]); });
    ASSERT_NE(first, none.end());
    EXPECT_EQ(*first, "0.000000 0.000000 0.000000");
    EXPECT_EQ(none.back(), "1.000000 1.000000 1.000000");

    // A picture graded at strength 0 keeps every pixel.
    const std::string picture = Path("frame.png");
    SaveImageFile(picture, MakeTestPicture(90, 60, 4));
    ASSERT_EQ(Cli({"grade", reference, picture, "-o", Path("kept.png"), "--strength", "0"}).Status, 0);
    TImage before, after;
    LoadImageFile(picture, before);
    LoadImageFile(Path("kept.png"), after);
    EXPECT_TRUE(after.SamePixels(before));

    for (const std::string value : {"101", "-1", "50%", ""}) {
        const TCliRun run = Cli({"grade", reference, picture, "-o", Path("bad.png"), "--strength", value});
        EXPECT_EQ(run.Status, 2) << value;
        EXPECT_TRUE(IsOneErrorLine(run.Err)) << run.Err;
        EXPECT_NE(run.Err.find("--strength"), std::string::npos) << run.Err;
    }
    EXPECT_EQ(Cli({"look", reference, "-o", Path("bad.cube"), "--strength", "200"}).Status, 2);
    EXPECT_FALSE(std::filesystem::exists(Path("bad.png")));
    EXPECT_FALSE(std::filesystem::exists(Path("bad.cube")));
}

TEST_F(CliTest, MatchMeasuresTheFrameAsTheWindowsPreviewAndNamesIt) {
    const std::string reference = Path("ref.bmp");
    SaveImageFile(reference, MakeTestPicture(140, 100, 5));
    const std::string frame = Path("wide frame.png");
    SaveImageFile(frame, MakeTestPicture(2400, 600, 6));  // fitted to 1000 x 250 first

    ASSERT_EQ(Cli({"look", reference, "-o", Path("matched.cube"), "--match", frame}).Status, 0);
    const std::string matched = ReadBytes(Path("matched.cube"));
    EXPECT_EQ(matched.rfind("# matched to wide frame.png\n", 0), 0u);
    ASSERT_EQ(Cli({"look", reference, "-o", Path("plain.cube")}).Status, 0);
    EXPECT_NE(matched.substr(matched.find('\n') + 1), ReadBytes(Path("plain.cube")));

    // grade --match grades the full-size picture with the look the frame was matched to.
    ASSERT_EQ(Cli({"grade", reference, frame, "-o", Path("graded.png"), "--match"}).Status, 0);
    ASSERT_EQ(Cli({"apply", Path("matched.cube"), frame, "-o", Path("applied.png")}).Status, 0);
    TImage graded, applied;
    LoadImageFile(Path("graded.png"), graded);
    LoadImageFile(Path("applied.png"), applied);
    EXPECT_EQ(graded.Width(), 2400);
    // The cube file holds six decimals; the picture was graded from the table itself.
    int far = 0;
    for (int y = 0; y < graded.Height(); y += 7)
        for (int x = 0; x < 3 * graded.Width(); ++x)
            far = std::max(far, std::abs(graded.Row(y)[x] - applied.Row(y)[x]));
    EXPECT_LE(far, 1);

    const TCliRun missing = Cli({"look", reference, "-o", Path("x.cube"), "--match", Path("nowhere.png")});
    EXPECT_EQ(missing.Status, 1);
    EXPECT_NE(missing.Err.find("nowhere.png"), std::string::npos);
    EXPECT_EQ(Cli({"look", reference, "-o", Path("x.cube"), "--match"}).Status, 2);
}
