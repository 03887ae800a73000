#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "engine/base/Error.h"
#include "engine/lut/LUT.h"
#include "formats/FormatRegistry.h"
#include "formats/LutConvert.h"
#include "formats/LutFormat.h"

namespace {

// An affine colour map that stays inside (0, 1): trilinear and linear
// interpolation reproduce it exactly, so a resampled table must equal it
// at every new grid point.
TRGBDouble Affine(double r, double g, double b) {
    return {0.1 + 0.5 * r + 0.2 * g + 0.1 * b, 0.05 + 0.3 * r + 0.6 * g, 0.9 - 0.4 * b - 0.3 * r};
}

void FillAffineCube(TLUT& lut, int size) {
    lut.Kind = lkCube;
    lut.CubeSize = size;
    for (int r = 0; r < size; ++r)
        for (int g = 0; g < size; ++g)
            for (int b = 0; b < size; ++b)
                lut.Cube[r][g][b] = Affine(r / double(size - 1), g / double(size - 1), b / double(size - 1));
}

// A curve that bends each channel differently.
void FillCurve(TLUT& lut, int size) {
    lut.Kind = lkCurve;
    lut.CurveSize = size;
    for (int i = 0; i < size; ++i) {
        const double x = i / double(size - 1);
        lut.Curve[i] = {x * x, std::sqrt(x), 1.0 - x};
    }
}

const TLutOutputProfile& Profile(const std::string& name) {
    const TLutOutputProfile* profile = FindOutputProfile(name);
    if (!profile) throw std::runtime_error("no profile " + name);
    return *profile;
}

void ExpectNear(const TRGBDouble& a, const TRGBDouble& b, double tolerance) {
    EXPECT_NEAR(a.Red, b.Red, tolerance);
    EXPECT_NEAR(a.Green, b.Green, tolerance);
    EXPECT_NEAR(a.Blue, b.Blue, tolerance);
}

// The first profile that writes each format, by format index.
std::map<int, const TLutOutputProfile*> WritingProfiles(bool want3D) {
    std::map<int, const TLutOutputProfile*> profiles;
    for (const auto& profile : LutOutputProfiles())
        if (GetLutFormat(profile->FormatIndex)->Is3D == want3D && !profiles.count(profile->FormatIndex))
            profiles[profile->FormatIndex] = profile.get();
    return profiles;
}

// The largest difference one stored value may show in the target format.
double Quantum(const TLutOutputProfile& profile) {
    if (GetLutFormat(profile.FormatIndex)->Name == "FSI DIT (Flanders Scientific) 3D") return 1.0 / 1008;
    return profile.DefaultBits > 0 ? 1.0 / ((1 << profile.DefaultBits) - 1) : 1e-5;
}

// Largest difference between a written table and the source's own lookup
// at the written table's grid points.
double MaxDifference(const TLUT& written, const TLUT& source) {
    double worst = 0;
    auto take = [&](const TRGBDouble& got, const TRGBDouble& expected) {
        worst = std::max({worst, std::fabs(got.Red - expected.Red), std::fabs(got.Green - expected.Green),
                          std::fabs(got.Blue - expected.Blue)});
    };
    TRGBDouble expected;
    if (written.Kind == lkCurve) {
        for (int i = 0; i < written.CurveSize; ++i) {
            const double x = i / double(written.CurveSize - 1);
            source.LookupNormalized({x, x, x}, expected);
            take(written.Curve[i], expected);
        }
        return worst;
    }
    const int n = written.CubeSize;
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b) {
                source.LookupNormalized({r / double(n - 1), g / double(n - 1), b / double(n - 1)}, expected);
                take(written.Cube[r][g][b], expected);
            }
    return worst;
}

class TScratchFolder {
public:
    TScratchFolder() : path_(std::filesystem::temp_directory_path() / ("lutconvert-" + std::to_string(getpid()))) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TScratchFolder() { std::filesystem::remove_all(path_); }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

bool SameBits(const TRGBDouble& a, const TRGBDouble& b) {
    return a.Red == b.Red && a.Green == b.Green && a.Blue == b.Blue;
}

}  // namespace

TEST(LutConvert, FindsProfilesByNameNumberAndExtension) {
    const auto& profiles = LutOutputProfiles();
    ASSERT_GE(profiles.size(), 31u);
    EXPECT_EQ(FindOutputProfile("Dolby DD3"), profiles[10].get());
    EXPECT_EQ(FindOutputProfile("1"), profiles[0].get());
    EXPECT_EQ(FindOutputProfile("31"), profiles[30].get());
    EXPECT_EQ(FindOutputProfile("0"), nullptr);
    EXPECT_EQ(FindOutputProfile("32"), profiles[31].get());  // the first added after the 31
    EXPECT_EQ(FindOutputProfile(std::to_string(profiles.size() + 1)), nullptr);
    EXPECT_EQ(FindOutputProfile("3x"), nullptr);
    EXPECT_EQ(FindOutputProfile(""), nullptr);
    EXPECT_EQ(FindOutputProfile("dolby dd3"), nullptr);  // names are exact

    // The first profile of the kind in list order, extension without case.
    EXPECT_EQ(FindProfileForFile("/x/look.CUBE", true), profiles[6].get());  // Cube 3D Iridas
    EXPECT_EQ(FindProfileForFile("look.cube", false), profiles[24].get());   // Cube 1D
    EXPECT_EQ(FindProfileForFile("look.lut", true), profiles[2].get());      // Lustre 3D
    EXPECT_EQ(FindProfileForFile("look.lut", false), profiles[19].get());    // Lustre 1D
    EXPECT_EQ(FindProfileForFile("a.swto.xml", false), profiles[29].get());  // S.two
    EXPECT_EQ(FindProfileForFile("a.xml", false), nullptr);
    EXPECT_EQ(FindProfileForFile("cube", true), nullptr);                // no dot
    EXPECT_EQ(FindProfileForFile("look.dat", true), profiles[9].get());  // DaVinci DAT before FSI DIT
}

TEST(LutConvert, ReadAndWriteAbilitiesFollowTheFormats) {
    int readers = 0, writers = 0;
    for (int i = 0; i < static_cast<int>(LutFormats().size()); ++i) {
        readers += FormatReads(i);
        writers += FormatWrites(i);
    }
    EXPECT_EQ(readers, 35);
    EXPECT_EQ(writers, 33);
    EXPECT_FALSE(FormatReads(18));   // Nucoda 1D
    EXPECT_FALSE(FormatReads(22));   // Cine-tal 1D
    EXPECT_FALSE(FormatReads(23));   // Shake 1D
    EXPECT_FALSE(FormatWrites(24));  // DaVinci ilut
    EXPECT_FALSE(FormatWrites(27));  // ASC CDL
    EXPECT_TRUE(FormatReads(0) && FormatWrites(0));
    EXPECT_FALSE(FormatReads(-1));
    EXPECT_FALSE(FormatWrites(37));  // ASC CDL collection
    EXPECT_FALSE(FormatWrites(static_cast<int>(LutFormats().size())));
}

TEST(LutConvert, WriterSizesOfRestrictedFormats) {
    const TLUTFormat& lustre = ProfileFormat(Profile("Autodesk Lustre 3D"));
    const TLUTFormat& dit = ProfileFormat(Profile("FSI DIT (Flanders Scientific) 3D"));
    const TLUTFormat& cube = ProfileFormat(Profile("Cube 3D Davinci"));
    const TLUTFormat& curve = ProfileFormat(Profile("Cube 1D"));
    for (int size : {2, 3, 5, 9, 17, 33, 65}) EXPECT_TRUE(WriterTakesSize(lustre, size, 0)) << size;
    for (int size : {1, 4, 16, 32, 64, 101, 129}) EXPECT_FALSE(WriterTakesSize(lustre, size, 0)) << size;
    EXPECT_EQ(WriterSizesText(lustre, 0), "2, 3, 5, 9, 17, 33 or 65");
    EXPECT_EQ(WriterOnlySize(dit, 0), 64);
    EXPECT_TRUE(WriterTakesSize(dit, 64, 0));
    EXPECT_FALSE(WriterTakesSize(dit, 33, 0));
    EXPECT_EQ(WriterOnlySize(cube, 0), 0);
    EXPECT_TRUE(WriterTakesSize(cube, 2, 0) && WriterTakesSize(cube, 101, 0));
    EXPECT_FALSE(WriterTakesSize(cube, 1, 0) || WriterTakesSize(cube, 102, 0));
    EXPECT_TRUE(WriterTakesSize(curve, 100001, 0));
    EXPECT_FALSE(WriterTakesSize(curve, 100002, 0));
    EXPECT_EQ(WriterSizesText(curve, 0), "2 to 100001");
    // Codex 1D reads values back divided by the length minus one: the
    // length must be 2^bits.
    const TLUTFormat& codex = ProfileFormat(Profile("Codex 1D, Sony SRW-1, Scratch 1D"));
    EXPECT_EQ(WriterOnlySize(codex, 10), 1024);
    EXPECT_TRUE(WriterTakesSize(codex, 1024, 10));
    EXPECT_FALSE(WriterTakesSize(codex, 4096, 10));
    EXPECT_TRUE(WriterTakesSize(codex, 4096, 12));
    EXPECT_EQ(WriterSizesText(codex, 10), "1024");
}

TEST(LutConvert, BakeCopiesEqualSizesAndResamplesWithTheSourceLookup) {
    auto source = std::make_unique<TLUT>();
    FillAffineCube(*source, 17);
    // Give one point a value off the affine map: a copy keeps it bit for bit.
    source->Cube[3][5][7] = {0.123456789, 0.987654321, 0.5};

    auto same = std::make_unique<TLUT>();
    BakeCube(*source, 17, *same);
    EXPECT_EQ(same->Kind, lkCube);
    EXPECT_EQ(same->CubeSize, 17);
    bool identical = true;
    for (int r = 0; r < 17; ++r)
        for (int g = 0; g < 17; ++g)
            for (int b = 0; b < 17; ++b) identical = identical && SameBits(same->Cube[r][g][b], source->Cube[r][g][b]);
    EXPECT_TRUE(identical);

    // Resampling an affine table to other sizes gives the affine map.
    source->Cube[3][5][7] = Affine(3 / 16.0, 5 / 16.0, 7 / 16.0);
    for (int size : {2, 33, 64}) {
        auto resized = std::make_unique<TLUT>();
        BakeCube(*source, size, *resized);
        ASSERT_EQ(resized->CubeSize, size);
        for (int r = 0; r < size; r += size / 2 + 1)
            for (int g = 0; g < size; ++g)
                for (int b = 0; b < size; b += 3)
                    ExpectNear(resized->Cube[r][g][b],
                               Affine(r / double(size - 1), g / double(size - 1), b / double(size - 1)), 1e-12);
        ExpectNear(resized->Cube[size - 1][size - 1][size - 1], Affine(1, 1, 1), 1e-12);
    }
    auto bad = std::make_unique<TLUT>();
    EXPECT_THROW(BakeCube(*source, 1, *bad), EError);
    EXPECT_THROW(BakeCube(*source, 102, *bad), EError);
}

TEST(LutConvert, BakesCurvesAndCurveThenCubeAtTheGridPoints) {
    auto source = std::make_unique<TLUT>();
    FillCurve(*source, 1024);
    auto baked = std::make_unique<TLUT>();
    BakeCube(*source, 9, *baked);
    EXPECT_EQ(baked->Kind, lkCube);
    // Each channel of a baked curve depends on its own input only.
    for (int r = 0; r < 9; ++r)
        for (int g = 0; g < 9; ++g)
            for (int b = 0; b < 9; ++b) {
                TRGBDouble expected;
                source->InterpolateCurve({r / 8.0, g / 8.0, b / 8.0}, expected);
                ASSERT_TRUE(SameBits(baked->Cube[r][g][b], expected)) << r << ' ' << g << ' ' << b;
            }
    EXPECT_NEAR(baked->Cube[8][4][0].Red, 1.0, 1e-12);
    EXPECT_NEAR(baked->Cube[8][4][0].Green, std::sqrt(0.5), 2e-6);
    EXPECT_NEAR(baked->Cube[8][4][0].Blue, 1.0, 1e-12);

    // Curve then cube: the curve's output is looked up in the cube.
    FillAffineCube(*source, 5);
    source->Kind = lkCurveThenCube;
    auto both = std::make_unique<TLUT>();
    BakeCube(*source, 5, *both);
    EXPECT_EQ(both->Kind, lkCube);
    for (int r = 0; r < 5; ++r)
        for (int b = 0; b < 5; ++b) {
            const double x = r / 4.0, z = b / 4.0;
            const TRGBDouble curved{x * x, std::sqrt(0.5), 1.0 - z};
            ExpectNear(both->Cube[r][2][b], Affine(curved.Red, curved.Green, curved.Blue), 2e-6);
        }
}

TEST(LutConvert, ResamplesCurvesWithTheirOwnInterpolation) {
    auto source = std::make_unique<TLUT>();
    source->Kind = lkCurve;
    source->CurveSize = 3;
    source->Curve[0] = {0.0, 1.0, 0.2};
    source->Curve[1] = {0.5, 0.0, 0.2};
    source->Curve[2] = {0.6, 1.0, 0.8};
    auto target = std::make_unique<TLUT>();
    ResampleCurve(*source, 5, *target);
    EXPECT_EQ(target->Kind, lkCurve);
    ASSERT_EQ(target->CurveSize, 5);
    ExpectNear(target->Curve[1], {0.25, 0.5, 0.2}, 1e-15);
    ExpectNear(target->Curve[3], {0.55, 0.5, 0.5}, 1e-15);
    ExpectNear(target->Curve[4], {0.6, 1.0, 0.8}, 0.0);

    auto copy = std::make_unique<TLUT>();
    ResampleCurve(*source, 3, *copy);
    EXPECT_TRUE(SameBits(copy->Curve[1], source->Curve[1]));

    source->CurveSize = 1;  // a reader may leave a one-entry curve
    EXPECT_THROW(ResampleCurve(*source, 5, *target), EError);
    FillAffineCube(*source, 3);
    EXPECT_THROW(ResampleCurve(*source, 5, *target), EError);
}

TEST(LutConvert, CarriesCommentsButNotTheSignature) {
    auto source = std::make_unique<TLUT>();
    source->Comments = {"Scene 12", "Converted by Quor LUT Converter", "  Converted by Quor LUT Converter ",
                        "Converted by Quor LUT Converter 2", ""};
    const auto carried = CarriedComments(*source);
    ASSERT_EQ(carried.size(), 3u);
    EXPECT_EQ(carried[0], "Scene 12");
    EXPECT_EQ(carried[1], "Converted by Quor LUT Converter 2");
    EXPECT_EQ(carried[2], "");
}

TEST(LutConvert, PreparesTablesForProfiles) {
    auto cube = std::make_unique<TLUT>();
    FillAffineCube(*cube, 17);
    cube->Comments = {"keep", std::string(kConverterSignature)};

    // A cube keeps its size, or takes the one asked for.
    auto kept = PrepareForProfile(*cube, Profile("Cube 3D Iridas, Nuke, AfterEffects"), 0, 0);
    EXPECT_EQ(kept->CubeSize, 17);
    EXPECT_EQ(kept->Comments, std::vector<std::string>{"keep"});
    EXPECT_EQ(PrepareForProfile(*cube, Profile("Cube 3D Davinci"), 33, 0)->CubeSize, 33);
    // FSI DIT holds only 64 points: resampled without being asked.
    auto dit = PrepareForProfile(*cube, Profile("FSI DIT (Flanders Scientific) 3D"), 0, 0);
    EXPECT_EQ(dit->CubeSize, 64);
    ExpectNear(dit->Cube[63][0][21], Affine(1, 0, 21 / 63.0), 1e-12);
    EXPECT_THROW(PrepareForProfile(*cube, Profile("FSI DIT (Flanders Scientific) 3D"), 33, 0), ESizeError);
    // Lustre 3D: 17 fits, 32 does not, and the message says what does.
    EXPECT_EQ(PrepareForProfile(*cube, Profile("Autodesk Lustre 3D"), 0, 0)->CubeSize, 17);
    try {
        PrepareForProfile(*cube, Profile("Autodesk Lustre 3D"), 32, 0);
        ADD_FAILURE() << "32 points accepted for Lustre 3D";
    } catch (const ESizeError& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find("2, 3, 5, 9, 17, 33 or 65"), std::string::npos) << message;
        EXPECT_NE(message.find("not 32"), std::string::npos) << message;
    }
    // A cube cannot become a curve.
    EXPECT_THROW(PrepareForProfile(*cube, Profile("Cube 1D"), 0, 0), EError);

    // A curve becomes a cube at the profile's default size, or stays a curve.
    auto curve = std::make_unique<TLUT>();
    FillCurve(*curve, 1024);
    auto baked = PrepareForProfile(*curve, Profile("3DL Fusion"), 0, 0);
    EXPECT_EQ(baked->Kind, lkCube);
    EXPECT_EQ(baked->CubeSize, 33);
    auto asCurve = PrepareForProfile(*curve, Profile("Cube 1D"), 0, 0);
    EXPECT_EQ(asCurve->Kind, lkCurve);
    EXPECT_EQ(asCurve->CurveSize, 1024);
    EXPECT_EQ(PrepareForProfile(*curve, Profile("Cube 1D"), 4096, 0)->CurveSize, 4096);
    // Codex 1D at its 10 bits holds 1024 entries: a longer curve is resampled.
    auto longCurve = std::make_unique<TLUT>();
    FillCurve(*longCurve, 4096);
    auto codex = PrepareForProfile(*longCurve, Profile("Codex 1D, Sony SRW-1, Scratch 1D"), 0, 0);
    EXPECT_EQ(codex->CurveSize, 1024);
    EXPECT_NEAR(codex->Curve[512].Green, std::sqrt(512 / 1023.0), 1e-6);
    EXPECT_THROW(PrepareForProfile(*longCurve, Profile("Codex 1D, Sony SRW-1, Scratch 1D"), 4096, 0), ESizeError);

    // An empty curve left by a reader is refused, not written.
    curve->CurveSize = 0;
    EXPECT_THROW(PrepareForProfile(*curve, Profile("Cube 1D"), 0, 0), EError);
    EXPECT_THROW(CheckUsableTables(*curve), EError);
}

// Every readable format converted into every writable format of its kind,
// read back with the target format: the values are the source's own lookup
// at the target's grid points, within what the target can store.
TEST(LutConvert, RoundTripsBetweenEveryFormatPair) {
    const TScratchFolder folder;
    // Two tables reused for every pair: each TLUT is a 27 MB allocation.
    const auto converted = std::make_unique<TLUT>();
    const auto written = std::make_unique<TLUT>();
    int pairs = 0;
    for (const bool is3D : {true, false}) {
        const auto writers = WritingProfiles(is3D);
        for (const auto& [sourceIndex, sourceProfile] : writers) {
            if (!FormatReads(sourceIndex)) continue;
            const TLUTFormat& sourceFormat = *GetLutFormat(sourceIndex);
            auto original = std::make_unique<TLUT>();
            if (is3D)
                FillAffineCube(*original, WriterOnlySize(sourceFormat, 0) ? WriterOnlySize(sourceFormat, 0) : 5);
            else
                FillCurve(*original, 1024);
            const std::string input = folder / ("src" + std::to_string(sourceIndex) + "." + sourceProfile->Extension);
            sourceFormat.SaveToFile(input, *original, sourceProfile->DefaultBits);
            int readBy = -1;
            const auto source = ReadLutFile(input, &readBy);
            if (readBy != sourceIndex) {
                ADD_FAILURE() << sourceFormat.Name << " file is taken by format " << readBy;
                continue;
            }
            const int sourceSize = is3D ? source->CubeSize : source->CurveSize;
            for (const auto& [targetIndex, targetProfile] : writers) {
                const TLUTFormat& targetFormat = *GetLutFormat(targetIndex);
                const std::string pair = sourceFormat.Name + " -> " + targetProfile->Name;
                // A target that holds one size resamples by itself; a large
                // source, or one the target cannot hold, is resampled to 5
                // points, or the next size it takes, on request (keeps the
                // test quick).
                const int bits = targetProfile->DefaultBits;
                const int only = WriterOnlySize(targetFormat, bits);
                int size = 0;
                if (is3D && !only && (sourceSize > 17 || !WriterTakesSize(targetFormat, sourceSize, bits)))
                    for (size = 5; !WriterTakesSize(targetFormat, size, bits); ++size) {}
                const std::string output = folder / ("dst" + std::to_string(sourceIndex) + "-" +
                                                     std::to_string(targetIndex) + "." + targetProfile->Extension);
                ASSERT_NO_THROW(PrepareForProfile(*source, *targetProfile, size, 0, *converted)) << pair;
                GetLutFormat(targetIndex)->SaveToFile(output, *converted, bits);
                if (!FormatReads(targetIndex)) continue;
                GetLutFormat(targetIndex)->LoadFromFile(output, *written);
                const int expectedSize = only ? only : (size ? size : sourceSize);
                EXPECT_EQ(is3D ? written->CubeSize : written->CurveSize, expectedSize) << pair;
                EXPECT_LE(MaxDifference(*written, *source), Quantum(*targetProfile) + 1e-9) << pair;
                ++pairs;
                std::filesystem::remove(output);
            }
        }
    }
    // 19 3D formats and 11 1D formats both read and write.
    EXPECT_EQ(pairs, 19 * 19 + 11 * 11);
}

// A format that keeps a curve before its cube (CLF) gets curve-then-cube
// LUTs as they stand, the cube resampled alone when another size is asked;
// other 3D formats get them baked.
TEST(LutConvert, CurveBeforeCubeIsKeptWhereTheFormatHoldsIt) {
    auto source = std::make_unique<TLUT>();
    FillAffineCube(*source, 5);
    source->Kind = lkCurveThenCube;
    source->CurveSize = 3;
    source->Curve[0] = {0.1, 0.0, 0.0};
    source->Curve[1] = {0.3, 0.5, 0.9};
    source->Curve[2] = {1.0, 0.7, 1.0};
    auto target = std::make_unique<TLUT>();
    PrepareForProfile(*source, Profile("Academy/ASC CLF"), 0, 0, *target);
    EXPECT_EQ(target->Kind, lkCurveThenCube);
    ASSERT_EQ(target->CurveSize, 3);
    ExpectNear(target->Curve[1], source->Curve[1], 0.0);
    ASSERT_EQ(target->CubeSize, 5);
    ExpectNear(target->Cube[4][1][3], source->Cube[4][1][3], 0.0);

    PrepareForProfile(*source, Profile("Academy/ASC CLF"), 9, 0, *target);
    EXPECT_EQ(target->Kind, lkCurveThenCube);
    ASSERT_EQ(target->CubeSize, 9);
    ExpectNear(target->Cube[8][2][6], source->Cube[4][1][3], 1e-12);  // the cube alone, resampled
    ExpectNear(target->Curve[2], source->Curve[2], 0.0);

    PrepareForProfile(*source, Profile("Sony Imageworks spi3d"), 0, 0, *target);
    EXPECT_EQ(target->Kind, lkCube);
    TRGBDouble expected;
    source->LookupNormalized({1.0, 0.25, 0.75}, expected);
    ExpectNear(target->Cube[4][1][3], expected, 1e-12);
}
