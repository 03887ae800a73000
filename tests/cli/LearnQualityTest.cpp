#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>

#include "tests/cli/KnownLooks.h"

// Looks learned from pairs made of photographs and known LUTs: the learned
// LUT reproduces the pair and grades another photograph as the known LUT
// does, also when AFTER went through JPEG.

namespace {

struct TKnownLook {
    const char* Name;
    std::unique_ptr<TLUT> Lut;
    bool LogFootage;  // BEFORE is the photograph as log footage
};

std::vector<TKnownLook> KnownLooks() {
    std::vector<TKnownLook> looks;
    looks.push_back({"library look", LibraryLook("Dune.jpg"), false});
    looks.push_back({"S-curve with hue twist", SCurveHueTwist(), false});
    looks.push_back({"near monochrome", NearMonochrome(), false});
    looks.push_back({"log to display", LogToDisplay(), true});
    return looks;
}

constexpr int kPhotoBox = 400;

TImage Before(const std::string& photo, bool logFootage) {
    const TImage picture = LoadPhoto(photo, kPhotoBox);
    return logFootage ? AsLogFootage(picture) : picture.Clone();
}

}  // namespace

TEST(LearnQualityTest, KnownLooksAreLearnedFromPhotographs) {
    const TImage garden = LoadPhoto("Garden.jpg", kPhotoBox);
    for (const TKnownLook& look : KnownLooks()) {
        SCOPED_TRACE(look.Name);
        const TImage before = Before("Garden.jpg", look.LogFootage);
        const TImage after = Graded(before, *look.Lut);
        TLUT learned;
        const TFitCoverage coverage = FitLutToPair(PairOf(before, after), {33, kDefaultSmoothness}, learned);
        const TFitQuality own = MeasureFit(PairOf(before, after), learned);
        EXPECT_LT(own.MeanDeltaE, 0.5);
        EXPECT_LT(own.Percentile99, 2.0);

        // A photograph the fit never saw, graded with the same LUT.
        const TImage heldBefore = Before("LadyBird.jpg", look.LogFootage);
        const TImage heldAfter = Graded(heldBefore, *look.Lut);
        const TFitQuality held = MeasureFit(PairOf(heldBefore, heldAfter), learned, &coverage);
        EXPECT_LT(held.MeanDeltaE, 1.5);
        EXPECT_GT(held.Measured, (held.Measured + held.Outside) / 5);
        std::printf("%-24s pair mean %.3f p99 %.3f | held-out mean %.3f over %lld covered pixels, %lld outside\n",
                    look.Name, own.MeanDeltaE, own.Percentile99, held.MeanDeltaE, static_cast<long long>(held.Measured),
                    static_cast<long long>(held.Outside));
    }
}

TEST(LearnQualityTest, JpegCompressedAfterStillGivesTheLook) {
    const std::string file =
        (std::filesystem::temp_directory_path() / ("ombrane-learn-" + std::to_string(getpid()) + ".jpg")).string();
    for (const TKnownLook& look : KnownLooks()) {
        SCOPED_TRACE(look.Name);
        const TImage before = Before("Garden.jpg", look.LogFootage);
        SaveJpegFile(file, Graded(before, *look.Lut), 90);
        TImage after;
        LoadImageFile(file, after);
        TLUT learned;
        FitLutToPair(PairOf(before, after), {33, kDefaultSmoothness}, learned);
        const TFitQuality quality = MeasureFit(PairOf(before, after), learned);
        EXPECT_LT(quality.MeanDeltaE, 1.0);
        std::printf("%-24s JPEG q90 AFTER: mean %.3f p99 %.3f\n", look.Name, quality.MeanDeltaE, quality.Percentile99);
    }
    std::filesystem::remove(file);
}
