#include <cmath>
#include <filesystem>
#include <map>
#include <memory>

#include "engine/lut/LUT.h"
#include "formats/CdlCollectionFormat.h"
#include "formats/FormatRegistry.h"
#include "formats/LutConvert.h"
#include "formats/LutFormat.h"
#include "imageio/ImageFile.h"
#include "tests/cli/CliHarness.h"

namespace {

// An affine colour map inside (0, 1): interpolation reproduces it, so
// resampling must too, and every channel differs from the others.
TRGBDouble Affine(double r, double g, double b) {
    return {0.1 + 0.5 * r + 0.2 * g + 0.1 * b, 0.05 + 0.3 * r + 0.6 * g, 0.9 - 0.4 * b - 0.3 * r};
}

std::unique_ptr<TLUT> AffineCube(int size) {
    auto lut = std::make_unique<TLUT>();
    lut->Kind = lkCube;
    lut->CubeSize = size;
    for (int r = 0; r < size; ++r)
        for (int g = 0; g < size; ++g)
            for (int b = 0; b < size; ++b)
                lut->Cube[r][g][b] = Affine(r / double(size - 1), g / double(size - 1), b / double(size - 1));
    return lut;
}

std::unique_ptr<TLUT> BentCurve(int size) {
    auto lut = std::make_unique<TLUT>();
    lut->Kind = lkCurve;
    lut->CurveSize = size;
    for (int i = 0; i < size; ++i) {
        const double x = i / double(size - 1);
        lut->Curve[i] = {0.02 + 0.9 * x * x, 0.05 + 0.9 * std::sqrt(x), 0.95 - 0.9 * x};
    }
    return lut;
}

// The first profile that writes each format, by format index.
std::map<int, const TLutOutputProfile*> WritingProfiles(bool want3D) {
    std::map<int, const TLutOutputProfile*> profiles;
    for (const auto& profile : LutOutputProfiles())
        if (GetLutFormat(profile->FormatIndex)->Is3D == want3D && !profiles.count(profile->FormatIndex))
            profiles[profile->FormatIndex] = profile.get();
    return profiles;
}

int ProfileNumber(const TLutOutputProfile* wanted) {
    const auto& profiles = LutOutputProfiles();
    for (std::size_t i = 0; i < profiles.size(); ++i)
        if (profiles[i].get() == wanted) return static_cast<int>(i) + 1;
    return 0;
}

// The largest difference one value may show after the target stored it.
double Quantum(const TLutOutputProfile& profile, int bits) {
    if (GetLutFormat(profile.FormatIndex)->Name == "FSI DIT (Flanders Scientific) 3D") return 1.0 / 1008;
    return bits > 0 ? 1.0 / ((1 << bits) - 1) : 1e-5;
}

double MaxCubeDifference(const TLUT& written, const TLUT& source) {
    const int n = written.CubeSize;
    double worst = 0;
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b) {
                TRGBDouble expected;
                source.LookupNormalized({r / double(n - 1), g / double(n - 1), b / double(n - 1)}, expected);
                const TRGBDouble& got = written.Cube[r][g][b];
                worst = std::max({worst, std::fabs(got.Red - expected.Red), std::fabs(got.Green - expected.Green),
                                  std::fabs(got.Blue - expected.Blue)});
            }
    return worst;
}

double MaxCurveDifference(const TLUT& written, const TLUT& source) {
    double worst = 0;
    for (int i = 0; i < written.CurveSize; ++i) {
        const double x = i / double(written.CurveSize - 1);
        TRGBDouble expected;
        source.InterpolateCurve({x, x, x}, expected);
        const TRGBDouble& got = written.Curve[i];
        worst = std::max({worst, std::fabs(got.Red - expected.Red), std::fabs(got.Green - expected.Green),
                          std::fabs(got.Blue - expected.Blue)});
    }
    return worst;
}

// Reads a file with the given format, bypassing detection.
std::unique_ptr<TLUT> ReadWith(int formatIndex, const std::string& fileName) {
    auto lut = std::make_unique<TLUT>();
    GetLutFormat(formatIndex)->LoadFromFile(fileName, *lut);
    return lut;
}

// The grid size of a test cube in a format: the one size it holds, else
// 17 or the size nearest to 17 that it takes.
int SizeFor(const TLUTFormat& format) {
    if (const int only = WriterOnlySize(format, 0)) return only;
    for (int step = 0;; ++step)
        for (const int size : {17 - step, 17 + step})
            if (WriterTakesSize(format, size, 0)) return size;
}

}  // namespace

// Every reader and every writer through the executable: each readable
// format converted into a Cube file, and a Cube file converted into each
// writable format. (Every pair of formats is converted in the formats
// tests through the same conversion code, without a process per pair.)
TEST_F(CliTest, ConvertReadsEvery3DFormatAndWritesEvery3DProfile) {
    const auto writers = WritingProfiles(true);
    const TLutOutputProfile* hub = LutOutputProfiles()[6].get();  // "Cube 3D Iridas, Nuke, AfterEffects"
    ASSERT_EQ(hub->Name, "Cube 3D Iridas, Nuke, AfterEffects");
    int readers = 0;
    for (const auto& [index, profile] : writers) {
        if (!FormatReads(index)) continue;
        TLUTFormat& format = *GetLutFormat(index);
        const int size = SizeFor(format);
        const std::string input = Path("src" + std::to_string(index) + "." + profile->Extension);
        format.SaveToFile(input, *AffineCube(size), profile->DefaultBits);
        int readBy = -1;
        const auto source = ReadLutFile(input, &readBy);
        EXPECT_EQ(readBy, index) << format.Name << " file taken by another format";
        const std::string output = Path("from" + std::to_string(index) + ".cube");
        const TCliRun run = Cli({"convert", input, "-o", output});
        ASSERT_EQ(run.Status, 0) << format.Name << ": " << run.Err;
        const auto written = ReadWith(1, output);
        EXPECT_EQ(written->CubeSize, size) << format.Name;
        EXPECT_LE(MaxCubeDifference(*written, *source), 1e-6) << format.Name;
        ++readers;
    }
    EXPECT_EQ(readers, 19);

    const std::string hubFile = Path("hub.cube");
    GetLutFormat(1)->SaveToFile(hubFile, *AffineCube(17), 0);
    const auto hubLut = ReadLutFile(hubFile);
    for (const auto& [index, profile] : writers) {
        const std::string output = Path("to" + std::to_string(index) + "." + profile->Extension);
        const TLUTFormat& format = *GetLutFormat(index);
        std::vector<std::string> arguments = {"convert", hubFile,     "-o",
                                              output,    "--profile", std::to_string(ProfileNumber(profile))};
        if (!WriterTakesSize(format, 17, profile->DefaultBits) && !WriterOnlySize(format, 0))
            arguments.insert(arguments.end(), {"--size", std::to_string(SizeFor(format))});
        const TCliRun run = Cli(arguments);
        ASSERT_EQ(run.Status, 0) << profile->Name << ": " << run.Err;
        if (!FormatReads(index)) continue;
        const auto written = ReadWith(index, output);
        EXPECT_EQ(written->CubeSize, SizeFor(format)) << profile->Name;
        EXPECT_LE(MaxCubeDifference(*written, *hubLut), Quantum(*profile, profile->DefaultBits) + 1e-9)
            << profile->Name;
    }
}

TEST_F(CliTest, ConvertReadsEvery1DFormatWritesEvery1DProfileAndBakesCurvesIntoCubes) {
    const auto writers = WritingProfiles(false);
    const TLutOutputProfile* hub = LutOutputProfiles()[24].get();
    ASSERT_EQ(hub->Name, "Cube 1D");
    int readers = 0;
    for (const auto& [index, profile] : writers) {
        if (!FormatReads(index)) continue;
        TLUTFormat& format = *GetLutFormat(index);
        const std::string input = Path("src" + std::to_string(index) + "." + profile->Extension);
        format.SaveToFile(input, *BentCurve(1024), profile->DefaultBits);
        int readBy = -1;
        const auto source = ReadLutFile(input, &readBy);
        if (readBy != index) {
            ADD_FAILURE() << format.Name << " file is taken by format " << readBy;
            continue;
        }
        const std::string output = Path("from" + std::to_string(index) + ".cube");
        const TCliRun run = Cli({"convert", input, "-o", output});
        ASSERT_EQ(run.Status, 0) << format.Name << ": " << run.Err;
        const auto written = ReadWith(7, output);
        EXPECT_EQ(written->Kind, lkCurve);
        EXPECT_EQ(written->CurveSize, 1024) << format.Name;
        EXPECT_LE(MaxCurveDifference(*written, *source), 1e-6) << format.Name;
        ++readers;

        // The same curve into a 3D profile: baked at the profile's default size.
        const std::string cube = Path("baked" + std::to_string(index) + ".3dl");
        const TCliRun baked = Cli({"convert", input, "-o", cube});
        ASSERT_EQ(baked.Status, 0) << baked.Err;
        const auto bakedLut = ReadLutFile(cube);
        EXPECT_EQ(bakedLut->CubeSize, 17);  // "3DL Scratch, ..." holds 17 points
        EXPECT_LE(MaxCubeDifference(*bakedLut, *source), 1.0 / 4095 + 1e-9) << format.Name;
    }
    EXPECT_EQ(readers, 11);

    const std::string hubFile = Path("hub.cube");
    GetLutFormat(7)->SaveToFile(hubFile, *BentCurve(1024), 0);
    const auto hubLut = ReadLutFile(hubFile);
    for (const auto& [index, profile] : writers) {
        const std::string output = Path("to" + std::to_string(index) + "." + profile->Extension);
        const TCliRun run =
            Cli({"convert", hubFile, "-o", output, "--profile", std::to_string(ProfileNumber(profile))});
        ASSERT_EQ(run.Status, 0) << profile->Name << ": " << run.Err;
        ASSERT_GT(std::filesystem::file_size(output), 1024u) << profile->Name;
        if (!FormatReads(index)) continue;
        const auto written = ReadWith(index, output);
        EXPECT_EQ(written->CurveSize, 1024) << profile->Name;
        EXPECT_LE(MaxCurveDifference(*written, *hubLut), Quantum(*profile, profile->DefaultBits) + 1e-9)
            << profile->Name;
    }
}

TEST_F(CliTest, ConvertBakesCurveThenCubeAndKeepsCommentsWithoutPilingSignatures) {
    // A Nucoda file with a bending 1D table ahead of a 2-point cube.
    std::string text = "NUCODA_3D_CUBE 2\n\nLUT_1D_SIZE 3\nLUT_3D_SIZE 2\n\n0 0 0\n0.25 0.5 0.9\n1 1 1\n\n";
    for (int b = 0; b < 2; ++b)
        for (int g = 0; g < 2; ++g)
            for (int r = 0; r < 2; ++r) {
                const TRGBDouble v = Affine(r, g, b);
                text += std::to_string(v.Red) + " " + std::to_string(v.Green) + " " + std::to_string(v.Blue) + "\n";
            }
    WriteBytes(Path("shaped.cms"), text);
    const auto source = ReadLutFile(Path("shaped.cms"));
    ASSERT_EQ(source->Kind, lkCurveThenCube);

    // Kept at the cube's own grid points unless --size asks for more.
    ASSERT_EQ(Cli({"convert", Path("shaped.cms"), "-o", Path("shaped.cube")}).Status, 0);
    auto written = ReadLutFile(Path("shaped.cube"));
    EXPECT_EQ(written->Kind, lkCube);
    EXPECT_EQ(written->CubeSize, 2);
    EXPECT_LE(MaxCubeDifference(*written, *source), 1e-6);
    ASSERT_EQ(Cli({"convert", Path("shaped.cms"), "-o", Path("big.cube"), "--size", "9"}).Status, 0);
    written = ReadLutFile(Path("big.cube"));
    EXPECT_EQ(written->CubeSize, 9);
    EXPECT_LE(MaxCubeDifference(*written, *source), 1e-6);
    // The middle grid point went through the curve first: (0.25, 0.5, 0.9)
    // looked up in the cube, not the cube at (0.5, 0.5, 0.5).
    const TRGBDouble middle = written->Cube[4][4][4];
    const TRGBDouble throughCurve = Affine(0.25, 0.5, 0.9);
    EXPECT_NEAR(middle.Red, throughCurve.Red, 1e-6);
    EXPECT_NEAR(middle.Blue, throughCurve.Blue, 1e-6);

    // Comments survive a conversion; the signature appears once however
    // often a file is converted.
    auto commented = AffineCube(3);
    commented->Comments = {"Grade for reel 4"};
    GetLutFormat(1)->SaveToFile(Path("c0.cube"), *commented, 0);
    ASSERT_EQ(Cli({"convert", Path("c0.cube"), "-o", Path("c1.3dl")}).Status, 0);
    ASSERT_EQ(Cli({"convert", Path("c1.3dl"), "-o", Path("c2.cube")}).Status, 0);
    ASSERT_EQ(Cli({"convert", Path("c2.cube"), "-o", Path("c3.cube")}).Status, 0);
    const std::string final = ReadBytes(Path("c3.cube"));
    auto count = [&](const std::string& needle) {
        int n = 0;
        for (std::size_t at = final.find(needle); at != std::string::npos; at = final.find(needle, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count("# Grade for reel 4\n"), 1) << final.substr(0, 200);
    EXPECT_EQ(count("Converted by Quor LUT Converter"), 1) << final.substr(0, 200);
}

TEST_F(CliTest, ConvertSizesBitsAndRefusals) {
    GetLutFormat(1)->SaveToFile(Path("a32.cube"), *AffineCube(32), 0);
    GetLutFormat(1)->SaveToFile(Path("a17.cube"), *AffineCube(17), 0);

    // Lustre 3D cannot hold 32 points: the message names the sizes.
    const TCliRun lustre = Cli({"convert", Path("a32.cube"), "-o", Path("l.lut")});
    EXPECT_EQ(lustre.Status, 1);
    EXPECT_TRUE(IsOneErrorLine(lustre.Err)) << lustre.Err;
    EXPECT_NE(lustre.Err.find("2, 3, 5, 9, 17, 33 or 65"), std::string::npos) << lustre.Err;
    EXPECT_NE(lustre.Err.find("--size"), std::string::npos) << lustre.Err;
    EXPECT_FALSE(std::filesystem::exists(Path("l.lut")));
    ASSERT_EQ(Cli({"convert", Path("a32.cube"), "-o", Path("l.lut"), "--size", "33"}).Status, 0);
    const auto lustreRead = ReadLutFile(Path("l.lut"));
    EXPECT_EQ(lustreRead->CubeSize, 33);
    EXPECT_LE(MaxCubeDifference(*lustreRead, *AffineCube(32)), 1.0 / 4095 + 1e-9);

    // FSI DIT holds only 64 points: resampled without --size, refused with another.
    ASSERT_EQ(Cli({"convert", Path("a17.cube"), "-o", Path("f.dat"), "--profile", "13"}).Status, 0);
    EXPECT_EQ(std::filesystem::file_size(Path("f.dat")), 128u + 4u * 64 * 64 * 64);
    const TCliRun dit = Cli({"convert", Path("a17.cube"), "-o", Path("g.dat"), "--profile", "13", "--size", "33"});
    EXPECT_EQ(dit.Status, 1);
    EXPECT_NE(dit.Err.find("64"), std::string::npos) << dit.Err;

    // --bits where the profile lets the user choose it: Lustre 1D at 12 bits.
    auto curve = BentCurve(256);
    GetLutFormat(7)->SaveToFile(Path("curve.cube"), *curve, 0);
    ASSERT_EQ(Cli({"convert", Path("curve.cube"), "-o", Path("c.lut"), "--bits", "12"}).Status, 0);
    EXPECT_EQ(ReadBytes(Path("c.lut")).rfind("LUT12\n", 0), 0u);
    ASSERT_EQ(Cli({"convert", Path("curve.cube"), "-o", Path("c16.lut"), "--size", "4096"}).Status, 0);
    const auto resampled = ReadLutFile(Path("c16.lut"));
    EXPECT_EQ(resampled->CurveSize, 4096);
    EXPECT_LE(MaxCurveDifference(*resampled, *curve), 1.0 / 65535 + 1e-9);
    // Codex 1D reads values divided by its length minus one: at its fixed
    // 10 bits a 256-entry curve is written with 1024 entries.
    ASSERT_EQ(Cli({"convert", Path("curve.cube"), "-o", Path("codex.dat"), "--profile", "23"}).Status, 0);
    const auto codex = ReadWith(13, Path("codex.dat"));
    EXPECT_EQ(codex->CurveSize, 1024);
    EXPECT_LE(MaxCurveDifference(*codex, *curve), 1.0 / 1023 + 1e-9);
    const TCliRun codexSize =
        Cli({"convert", Path("curve.cube"), "-o", Path("c2.dat"), "--profile", "23", "--size", "256"});
    EXPECT_EQ(codexSize.Status, 1);
    EXPECT_NE(codexSize.Err.find("1024"), std::string::npos) << codexSize.Err;
    const TCliRun bits = Cli({"convert", Path("a17.cube"), "-o", Path("x.cube"), "--bits", "12"});
    EXPECT_EQ(bits.Status, 2);
    EXPECT_FALSE(std::filesystem::exists(Path("x.cube")));
    const TCliRun bigCube = Cli({"convert", Path("a17.cube"), "-o", Path("x.cube"), "--size", "102"});
    EXPECT_EQ(bigCube.Status, 2);

    // A cube into a 1D profile, unreadable and missing inputs: one line, exit 1, nothing written.
    WriteBytes(Path("keep.cube"), "precious");
    WriteBytes(Path("garbage.3dl"), "this is not a LUT\n1 2\n");
    WriteBytes(Path("notes.txt"), "nothing to see here\n");
    const std::vector<std::vector<std::string>> failing = {
        {"convert", Path("a17.cube"), "-o", Path("keep.cube"), "--profile", "Cube 1D"},
        {"convert", Path("nothing.cube"), "-o", Path("keep.cube")},
        {"convert", Path("notes.txt"), "-o", Path("keep.cube")},
        {"convert", Path("garbage.3dl"), "-o", Path("keep.cube")},
        {"convert", Dir().string(), "-o", Path("keep.cube")},
    };
    for (const auto& arguments : failing) {
        const TCliRun run = Cli(arguments);
        EXPECT_EQ(run.Status, 1) << arguments[1] << run.Err;
        EXPECT_TRUE(IsOneErrorLine(run.Err)) << run.Err;
        if (arguments.size() == 4) {  // the input file is named in the message
            EXPECT_NE(run.Err.find(arguments[1]), std::string::npos) << run.Err;
        }
        EXPECT_EQ(ReadBytes(Path("keep.cube")), "precious");
    }
}

// A cube full of "nan" is refused by its first such value, naming the file
// and the line, and nothing is written.
TEST_F(CliTest, ConvertNamesAValueThatIsNotANumberWithItsFileAndLine) {
    std::string text = "# a look\nLUT_3D_SIZE 2\n";
    for (int i = 0; i < 8; ++i) text += "nan nan nan\n";
    WriteBytes(Path("nan.cube"), text);
    const TCliRun run = Cli({"convert", Path("nan.cube"), "-o", Path("out.cube")});
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(IsOneErrorLine(run.Err)) << run.Err;
    EXPECT_NE(run.Err.find(Path("nan.cube")), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find("'nan' is not a number. Line 3: \"nan nan nan\""), std::string::npos) << run.Err;
    EXPECT_FALSE(std::filesystem::exists(Path("out.cube")));
}

TEST_F(CliTest, ApplyGradesWithTheLutFileAtFullSize) {
    const std::string image = Path("frame.bmp");
    SaveImageFile(image, MakeTestPicture(257, 143, 5));
    auto cube = AffineCube(17);
    GetLutFormat(4)->SaveToFile(Path("look.3dl"), *cube, 12);
    auto curve = BentCurve(1024);
    GetLutFormat(7)->SaveToFile(Path("curve.cube"), *curve, 0);

    for (const std::string lutFile : {"look.3dl", "curve.cube"}) {
        const TCliRun run = Cli({"apply", Path(lutFile), image, "-o", Path("out.bmp")});
        ASSERT_EQ(run.Status, 0) << run.Err;
        const auto lut = ReadLutFile(Path(lutFile));
        TImage expected;
        LoadImageFile(image, expected);
        lut->ApplyToImage(expected);
        TImage got;
        LoadImageFile(Path("out.bmp"), got);
        EXPECT_EQ(got.Width(), 257);
        EXPECT_TRUE(got.SamePixels(expected)) << lutFile;
        TImage original;
        LoadImageFile(image, original);
        EXPECT_FALSE(got.SamePixels(original)) << lutFile;
    }
    const TCliRun missing = Cli({"apply", Path("none.cube"), image, "-o", Path("o.png")});
    EXPECT_EQ(missing.Status, 1);
    EXPECT_TRUE(IsOneErrorLine(missing.Err)) << missing.Err;
    EXPECT_FALSE(std::filesystem::exists(Path("o.png")));

    // The LUT is read while the picture is decoded; a damaged LUT is still
    // the error reported, whatever the picture does, and nothing is written.
    WriteBytes(Path("bad.cube"), "LUT_3D_SIZE 2\n0 0 0\n");
    SaveJpegFile(Path("frame.jpg"), MakeTestPicture(64, 40, 2), 90);
    for (const std::string& picture : {Path("frame.jpg"), Path("gone.jpg")}) {
        const TCliRun bad = Cli({"apply", Path("bad.cube"), picture, "-o", Path("o.jpg")});
        EXPECT_EQ(bad.Status, 1);
        EXPECT_NE(bad.Err.find("bad.cube"), std::string::npos) << bad.Err;
        EXPECT_EQ(bad.Err.find(picture), std::string::npos) << bad.Err;
        EXPECT_FALSE(std::filesystem::exists(Path("o.jpg")));
    }
}

TEST_F(CliTest, ConvertTakesTheNamedCorrectionOfACdlCollection) {
    const std::string collection = Path("grades.ccc");
    WriteBytes(collection,
               "<ColorCorrectionCollection>\n"
               "<ColorCorrection id=\"first\"><SOPNode><Slope>1 1 0.9</Slope></SOPNode></ColorCorrection>\n"
               "<ColorCorrection id=\"warm\"><SOPNode><Slope>1.1 1 0.8</Slope><Offset>0.01 0 0</Offset>"
               "<Power>1 1 1.2</Power></SOPNode><SATNode><Saturation>0.8</Saturation></SATNode>"
               "</ColorCorrection>\n</ColorCorrectionCollection>\n");
    for (const std::string id : {"", "warm"}) {
        std::vector<std::string> arguments = {"convert", collection, "-o", Path("out.cube"), "--profile", "8"};
        if (!id.empty()) arguments.insert(arguments.end(), {"--cc-id", id});
        const TCliRun run = Cli(arguments);
        ASSERT_EQ(run.Status, 0) << run.Err;
        auto expected = std::make_unique<TLUT>();
        BakeCdlCorrection(ChooseCdlCorrection(ReadBytes(collection), id), *expected);
        const auto written = ReadWith(1, Path("out.cube"));
        EXPECT_EQ(written->CubeSize, 33);
        EXPECT_LE(MaxCubeDifference(*written, *expected), 0.5e-6) << id;
    }
    const TCliRun unknown = Cli({"convert", collection, "-o", Path("x.cube"), "--cc-id", "cold"});
    EXPECT_EQ(unknown.Status, 1);
    EXPECT_NE(unknown.Err.find("ids are \"first\", \"warm\""), std::string::npos) << unknown.Err;
    const TCliRun notCollection = Cli({"convert", Path("out.cube"), "-o", Path("x.cube"), "--cc-id", "warm"});
    EXPECT_EQ(notCollection.Status, 2);
    EXPECT_NE(notCollection.Err.find("--cc-id needs an ASC CDL collection"), std::string::npos) << notCollection.Err;
    EXPECT_FALSE(std::filesystem::exists(Path("x.cube")));
}
