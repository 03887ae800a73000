#include <filesystem>
#include <string>
#include <vector>

#include "formats/LutConvert.h"
#include "grading/LookDocument.h"
#include "imageio/ImageFile.h"
#include "tests/cli/CliHarness.h"
#include "tests/support/ClipMaking.h"

// Look documents on the command line: what `look REFERENCE --save-look`
// writes, `look --look` and `grade --look` give back byte for byte as the
// same commands with REFERENCE do.

namespace {

const std::vector<std::string> kControls = {
    "--gain",     "140", "--saturation",         "120", "--orange", "180", "--violet", "200", "--low", "70",
    "--strength", "80",  "--compress-saturation"};

std::vector<std::string> Words(std::vector<std::string> words, const std::vector<std::string>& more) {
    words.insert(words.end(), more.begin(), more.end());
    return words;
}

class CliLookDocumentTest : public CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        SaveImageFile(Path("ref.jpg"), MakeTestPicture(320, 200, 1));
        SaveImageFile(Path("pic.png"), MakeTestPicture(333, 211, 4));
        SaveImageFile(Path("other.jpg"), MakeTestPicture(200, 150, 6));
    }

    // Runs the command and expects it to succeed.
    void Run(const std::vector<std::string>& words) {
        const TCliRun run = Cli(words);
        ASSERT_EQ(run.Status, 0) << run.Err;
    }

    void ExpectSameFiles(const std::string& a, const std::string& b) {
        const std::string bytes = ReadBytes(a);
        EXPECT_FALSE(bytes.empty()) << a;
        EXPECT_TRUE(bytes == ReadBytes(b)) << a << " differs from " << b;
    }
};

TEST_F(CliLookDocumentTest, ASavedLookExportsAndGradesAsItsReference) {
    Run(Words({"look", Path("ref.jpg"), "--save-look", Path("d.olook")}, kControls));
    Run({"look", "--look", Path("d.olook"), "-o", Path("a.cube")});
    Run(Words({"look", Path("ref.jpg"), "-o", Path("b.cube")}, kControls));
    ExpectSameFiles(Path("a.cube"), Path("b.cube"));
    Run({"look", "--look", Path("d.olook"), "-o", Path("a17.cube"), "--profile", "8", "--size", "17"});
    Run(Words({"look", Path("ref.jpg"), "-o", Path("b17.cube"), "--profile", "8", "--size", "17"}, kControls));
    ExpectSameFiles(Path("a17.cube"), Path("b17.cube"));

    Run({"grade", "--look", Path("d.olook"), Path("pic.png"), "-o", Path("x.png")});
    Run(Words({"grade", Path("ref.jpg"), Path("pic.png"), "-o", Path("y.png")}, kControls));
    ExpectSameFiles(Path("x.png"), Path("y.png"));
    // A control given with --look moves on top of the document.
    Run({"grade", "--look", Path("d.olook"), "--gain", "60", Path("pic.png"), "-o", Path("x60.png")});
    std::vector<std::string> controls = kControls;
    controls[1] = "60";
    Run(Words({"grade", Path("ref.jpg"), Path("pic.png"), "-o", Path("y60.png")}, controls));
    ExpectSameFiles(Path("x60.png"), Path("y60.png"));
    EXPECT_TRUE(ReadBytes(Path("x60.png")) != ReadBytes(Path("x.png")));
}

TEST_F(CliLookDocumentTest, AMatchedLookKeepsTheStatisticsOfItsFrame) {
    // Saved matched to the picture it will grade: the same as grade --match.
    Run(Words(
        {"look", Path("ref.jpg"), "--match", Path("pic.png"), "--save-look", Path("m.olook"), "-o", Path("m1.cube")},
        kControls));
    Run(Words({"look", Path("ref.jpg"), "--match", Path("pic.png"), "-o", Path("m2.cube")}, kControls));
    ExpectSameFiles(Path("m1.cube"), Path("m2.cube"));
    Run({"look", "--look", Path("m.olook"), "-o", Path("m3.cube")});
    ExpectSameFiles(Path("m3.cube"), Path("m2.cube"));
    EXPECT_NE(ReadBytes(Path("m3.cube")).find("pic.png"), std::string::npos);

    Run({"grade", "--look", Path("m.olook"), Path("pic.png"), "-o", Path("x.png")});
    Run(Words({"grade", Path("ref.jpg"), "--match", Path("pic.png"), "-o", Path("y.png")}, kControls));
    ExpectSameFiles(Path("x.png"), Path("y.png"));
    // Another picture graded with the look matched to pic.png...
    Run(Words(
        {"grade", Path("ref.jpg"), Path("pic.png"), Path("other.jpg"), "--match-first", "-q", "-o", Path("first")},
        kControls));
    // ... is what the document gives without pic.png at hand.
    std::filesystem::rename(Path("pic.png"), Path("gone.png"));
    Run({"grade", "--look", Path("m.olook"), Path("other.jpg"), "-o", Path("o1.jpg")});
    ExpectSameFiles(Path("o1.jpg"), Path("first/other.jpg"));
    Run({"look", "--look", Path("m.olook"), "-o", Path("m4.cube")});
    ExpectSameFiles(Path("m4.cube"), Path("m2.cube"));
    // --match matches the document's reference to the picture again.
    Run({"grade", "--look", Path("m.olook"), "--match", Path("other.jpg"), "-o", Path("r1.png")});
    Run(Words({"grade", Path("ref.jpg"), "--match", Path("other.jpg"), "-o", Path("r2.png")}, kControls));
    ExpectSameFiles(Path("r1.png"), Path("r2.png"));
}

TEST_F(CliLookDocumentTest, TheLooksFootageIsUsedUnlessAnotherIsGiven) {
    Run({"look", Path("ref.jpg"), "--footage", "slog3-sgamut3", "--save-look", Path("f.olook")});
    Run({"grade", "--look", Path("f.olook"), Path("pic.png"), "-o", Path("x.png")});
    Run({"grade", Path("ref.jpg"), "--footage", "slog3-sgamut3", Path("pic.png"), "-o", Path("y.png")});
    ExpectSameFiles(Path("x.png"), Path("y.png"));
    Run({"look", "--look", Path("f.olook"), "-o", Path("a.cube")});
    Run({"look", Path("ref.jpg"), "--footage", "slog3-sgamut3", "-o", Path("b.cube")});
    ExpectSameFiles(Path("a.cube"), Path("b.cube"));
    Run({"grade", "--look", Path("f.olook"), "--footage", "display", Path("pic.png"), "-o", Path("d1.png")});
    Run({"grade", Path("ref.jpg"), Path("pic.png"), "-o", Path("d2.png")});
    ExpectSameFiles(Path("d1.png"), Path("d2.png"));
}

TEST_F(CliLookDocumentTest, AFolderAndAClipAreGradedWithTheLook) {
    Run(Words({"look", Path("ref.jpg"), "--save-look", Path("d.olook")}, kControls));
    std::filesystem::create_directory(Path("in"));
    SaveImageFile(Path("in/a.png"), MakeTestPicture(120, 80, 7));
    SaveImageFile(Path("in/b.jpg"), MakeTestPicture(90, 60, 8));
    Run({"grade", "--look", Path("d.olook"), Path("in"), "-o", Path("out1"), "-q", "--match-first"});
    Run(Words({"grade", Path("ref.jpg"), Path("in"), "-o", Path("out2"), "-q", "--match-first"}, kControls));
    ExpectSameFiles(Path("out1/a.png"), Path("out2/a.png"));
    ExpectSameFiles(Path("out1/b.jpg"), Path("out2/b.jpg"));
    Run({"grade", "--look", Path("d.olook"), Path("in/a.png"), Path("in/b.jpg"), "-o", Path("out3"), "-q"});
    Run(Words({"grade", Path("ref.jpg"), Path("in/a.png"), Path("in/b.jpg"), "-o", Path("out4"), "-q"}, kControls));
    ExpectSameFiles(Path("out3/a.png"), Path("out4/a.png"));
    ExpectSameFiles(Path("out3/b.jpg"), Path("out4/b.jpg"));

    const std::string clip = Path("shot.mkv");
    ASSERT_TRUE(MakeClip(clip, 64, 48, 3, "-pix_fmt yuv444p10le -c:v ffv1"));
    Run({"grade", "--look", Path("d.olook"), clip, "--match-frame", "1", "-o", Path("g1.mkv")});
    Run(Words({"grade", Path("ref.jpg"), clip, "--match-frame", "1", "-o", Path("g2.mkv")}, kControls));
    // ffmpeg decodes both renders to the same frames.
    const auto frames = [](const std::string& file) {
        return RunCommand("ffmpeg -nostdin -v error -i '" + file + "' -map 0:v -f framemd5 - 2>&1");
    };
    EXPECT_NE(frames(Path("g1.mkv")).find("0,"), std::string::npos);
    EXPECT_EQ(frames(Path("g1.mkv")), frames(Path("g2.mkv")));
}

TEST_F(CliLookDocumentTest, AKeptLutGradesAndExportsAsTheLutFile) {
    Run({"look", Path("other.jpg"), "--gain", "170", "-o", Path("kept.cube")});
    TLookDocument document;
    document.Look.Lut = ReadLutFile(Path("kept.cube"));
    document.Look.LutName = "kept.cube";
    SaveLookDocument(document, Path("k.olook"));
    Run({"grade", "--look", Path("k.olook"), Path("pic.png"), "-o", Path("x.png")});
    Run({"apply", Path("kept.cube"), Path("pic.png"), "-o", Path("y.png")});
    ExpectSameFiles(Path("x.png"), Path("y.png"));
    Run({"grade", "--look", Path("k.olook"), Path("pic.png"), "--interpolation", "tetrahedral", "-o", Path("t1.png")});
    Run({"apply", Path("kept.cube"), Path("pic.png"), "--interpolation", "tetrahedral", "-o", Path("t2.png")});
    ExpectSameFiles(Path("t1.png"), Path("t2.png"));
    Run({"look", "--look", Path("k.olook"), "-o", Path("k.3dl"), "--profile", "1"});
    Run({"convert", Path("kept.cube"), "-o", Path("c.3dl"), "--profile", "1"});
    ExpectSameFiles(Path("k.3dl"), Path("c.3dl"));

    const TCliRun matched = Cli({"grade", "--look", Path("k.olook"), Path("pic.png"), "--match", "-o", Path("z.png")});
    EXPECT_EQ(matched.Status, 2);
    EXPECT_NE(matched.Err.find("keeps a LUT"), std::string::npos) << matched.Err;
}

TEST_F(CliLookDocumentTest, ADocumentSavedAgainKeepsItsSnapshotsAndDescription) {
    Run({"look", Path("ref.jpg"), "--gain", "130", "--save-look", Path("d.olook")});
    TLookDocument document = LoadLookDocument(Path("d.olook"));
    EXPECT_EQ(document.Look.ReferenceName, "ref.jpg");
    EXPECT_EQ(document.Look.Positions.Gain, 130);
    EXPECT_FALSE(document.Look.Match);
    document.Description = "for reel 3";
    document.Snapshots[1] = document.Look.Clone();
    SaveLookDocument(document, Path("d.olook"));
    Run({"look", "--look", Path("d.olook"), "--violet", "10", "--match", Path("pic.png"), "--save-look",
         Path("e.olook")});
    const TLookDocument again = LoadLookDocument(Path("e.olook"));
    EXPECT_EQ(again.Description, "for reel 3");
    ASSERT_TRUE(again.Snapshots[1].has_value());
    EXPECT_EQ(again.Snapshots[1]->Positions.Violet, 100);
    EXPECT_EQ(again.Look.Positions.Violet, 10);
    EXPECT_EQ(again.Look.Positions.Gain, 130);
    EXPECT_TRUE(again.Look.Match);
    EXPECT_EQ(again.Look.MatchedTo, "pic.png");
    EXPECT_EQ(again.ProgramVersion, "1.00");
    // The re-matched document grades as the reference matched to pic.png.
    Run({"grade", "--look", Path("e.olook"), Path("pic.png"), "-o", Path("x.png")});
    Run({"grade", Path("ref.jpg"), "--gain", "130", "--violet", "10", "--match", Path("pic.png"), "-o", Path("y.png")});
    ExpectSameFiles(Path("x.png"), Path("y.png"));
    // A date from SOURCE_DATE_EPOCH makes the document byte-reproducible.
    for (const char* name : {"r1.olook", "r2.olook"})
        ASSERT_EQ(Cli({"look", Path("ref.jpg"), "--save-look", Path(name)}, "SOURCE_DATE_EPOCH=1700000000").Status, 0);
    ExpectSameFiles(Path("r1.olook"), Path("r2.olook"));
    EXPECT_NE(ReadBytes(Path("r1.olook")).find("\"2023-11-14T22:13:20Z\""), std::string::npos);
}

TEST_F(CliLookDocumentTest, LookInfoTellsWhatTheDocumentHolds) {
    Run(Words({"look", Path("ref.jpg"), "--match", Path("pic.png"), "--footage", "slog3-sgamut3", "--save-look",
               Path("i.olook")},
              kControls));
    const TCliRun run = Cli({"look-info", Path("i.olook")});
    ASSERT_EQ(run.Status, 0) << run.Err;
    for (const std::string part :
         {"reference: ref.jpg (SHA-256 ", "gain 140", "violet 200", "compress-saturation", "strength: 80",
          "match: to pic.png", "footage: slog3-sgamut3", "interpolation: trilinear", "LUT: none", "version: 1"})
        EXPECT_NE(run.Out.find(part), std::string::npos) << part << "\n" << run.Out;
    EXPECT_EQ(run.Out.find("saturation 100"), std::string::npos);
    EXPECT_EQ(run.Out.find("strength 80"), std::string::npos) << "the strength has its own line\n" << run.Out;
    EXPECT_NE(run.Out.find("description: none\n"), std::string::npos) << run.Out;
    const std::string hash = RunCommand("sha256sum '" + Path("ref.jpg") + "'").substr(0, 64);
    EXPECT_NE(run.Out.find(hash), std::string::npos) << hash;

    const TCliRun json = Cli({"look-info", "--json", Path("i.olook")});
    ASSERT_EQ(json.Status, 0) << json.Err;
    WriteBytes(Path("info.json"), json.Out);
    int status = -1;
    const std::string checked = RunCommand(
        "python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); "
        "print(d[\"look\"][\"positions\"][\"gain\"], d[\"look\"][\"reference\"][\"cell\"] > 0)' '" +
            Path("info.json") + "'",
        &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(checked, "140 True\n");
    EXPECT_LT(json.Out.size(), 8000u);  // without the embedded picture
}

TEST_F(CliLookDocumentTest, BadDocumentsAndCommandLinesAreRefused) {
    WriteBytes(Path("bad.olook"), "{\"format\": \"ombrane-look\", \"version\": 7}");
    TCliRun run = Cli({"grade", "--look", Path("bad.olook"), Path("pic.png"), "-o", Path("x.png")});
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(IsOneErrorLine(run.Err)) << run.Err;
    EXPECT_NE(run.Err.find("made by a newer version"), std::string::npos) << run.Err;
    run = Cli({"look-info", Path("pic.png")});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("is no look document"), std::string::npos) << run.Err;
    run = Cli({"look", Path("ref.jpg"), "--save-look", Path("x.cube")});
    EXPECT_EQ(run.Status, 2);
    Run({"look", Path("ref.jpg"), "--save-look", Path("d.olook")});
    run = Cli({"grade", "--look", Path("d.olook"), Path("pic.png"), "-o", Path("d.olook")});
    EXPECT_EQ(run.Status, 2);
    EXPECT_NE(run.Err.find("would overwrite the input"), std::string::npos) << run.Err;
    run = Cli({"look", "--look", Path("d.olook"), Path("ref.jpg"), "-o", Path("a.cube")});
    EXPECT_EQ(run.Status, 2);
    EXPECT_FALSE(std::filesystem::exists(Path("a.cube")));
}

}  // namespace
