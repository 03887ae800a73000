#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "engine/lut/CdlOperation.h"
#include "engine/lut/CubeInterpolation.h"
#include "engine/lut/CubeOperation.h"
#include "engine/lut/CurveOperation.h"
#include "engine/lut/ExponentOperation.h"
#include "engine/lut/HalfFloat.h"
#include "engine/lut/LUT.h"
#include "engine/lut/LUTReference.h"
#include "engine/lut/LogOperation.h"
#include "engine/lut/LutChain.h"
#include "engine/lut/MatrixOperation.h"
#include "engine/picture/Image.h"

namespace {

// An affine map, which every interpolation inside a cube reproduces exactly.
TRGBDouble ChannelMix(const TRGBDouble& c) {
    return {0.2 + 0.5 * c.Red - 0.1 * c.Green + 0.3 * c.Blue, -0.1 + 0.9 * c.Green + 0.25 * c.Red,
            0.05 + 0.7 * c.Blue - 0.2 * c.Red + 0.1 * c.Green};
}

std::unique_ptr<TLUT> CubeOf(int n, TRGBDouble (*map)(const TRGBDouble&)) {
    auto lut = std::make_unique<TLUT>();
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b)
                lut->Cube[r][g][b] = map(TRGBDouble{r / (n - 1.0), g / (n - 1.0), b / (n - 1.0)});
    lut->CubeSize = n;
    lut->Kind = lkCube;
    return lut;
}

TRGBDouble Through(const TLutOperation& op, TRGBDouble c) {
    op.Apply(c);
    return c;
}

TRGBDouble Bumpy(const TRGBDouble& c) {
    return {std::sin(5 * c.Red) * c.Blue, c.Green * c.Green, std::cos(3 * c.Blue + c.Red)};
}

TEST(LutChain, TetrahedralCubesAreExactOnAffineMapsAndOnTheGrid) {
    const TCubeOperation tetra(CubeOf(5, ChannelMix), TCubeInterpolation::Tetrahedral);
    const TCubeOperation bumpyTetra(CubeOf(5, Bumpy), TCubeInterpolation::Tetrahedral);
    const TCubeOperation bumpyTri(CubeOf(5, Bumpy), TCubeInterpolation::Trilinear);
    std::mt19937 random(3);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < 2000; ++i) {
        const TRGBDouble c{unit(random), unit(random), unit(random)};
        const TRGBDouble want = ChannelMix(c), got = Through(tetra, c);
        ASSERT_NEAR(got.Red, want.Red, 1e-12);
        ASSERT_NEAR(got.Green, want.Green, 1e-12);
        ASSERT_NEAR(got.Blue, want.Blue, 1e-12);
    }
    // On grid points both interpolations give the table; between them they
    // differ on a curved table.
    double largest = 0;
    for (int r = 0; r < 5; ++r)
        for (int g = 0; g < 5; ++g)
            for (int b = 0; b < 5; ++b) {
                const TRGBDouble c{r / 4.0, g / 4.0, b / 4.0};
                EXPECT_DOUBLE_EQ(Through(bumpyTetra, c).Red, Bumpy(c).Red);
                EXPECT_DOUBLE_EQ(Through(bumpyTetra, c).Blue, Through(bumpyTri, c).Blue);
                const TRGBDouble off{(r + 0.3) / 4.0, (g + 0.6) / 4.0, (b + 0.45) / 4.0};
                largest = std::max(largest, std::fabs(Through(bumpyTetra, off).Red - Through(bumpyTri, off).Red));
            }
    EXPECT_GT(largest, 1e-3);
}

TEST(LutChain, HalfDomainCurvesFollowEveryHalfAndInterpolateBetweenThem) {
    // A table that holds each half's own value is the identity on the halves'
    // range, between the halves too; with an input scale it scales.
    std::vector<TRGBDouble> identity(65536);
    for (int bits = 0; bits < 65536; ++bits) {
        const double v = HalfToDouble(static_cast<std::uint16_t>(bits));
        identity[static_cast<std::size_t>(bits)] = std::isfinite(v) ? TRGBDouble{v, v, v} : TRGBDouble{};
    }
    const auto curve = TCurveOperation::HalfDomain(identity);
    const auto scaled = TCurveOperation::HalfDomain(identity, 1023.0);
    for (double x : {0.0, 1e-7, 3e-5, 0.18, 0.5, 0.999, 1.0, 2.5, 100.3, 6.1e4, -0.25, -7.7, -1e-6}) {
        EXPECT_NEAR(Through(*curve, {x, x, x}).Green, x, std::fabs(x) * 1e-12) << x;
        if (std::fabs(1023.0 * x) < 65504.0) {
            EXPECT_NEAR(Through(*scaled, {x, x, x}).Red, 1023.0 * x, std::fabs(x) * 1e-9) << x;
        }
    }
    EXPECT_EQ(HalfTowardZero(1.0), 0x3c00);
    EXPECT_EQ(HalfTowardZero(-2.0), 0xc000);
    EXPECT_EQ(HalfTowardZero(1e9), 0x7bff);
}

TEST(LutChain, LogAndExponentStylesInvertEachOtherAndJoinAtTheirBreaks) {
    TLogOperation::TParams log;
    log.Base = 10, log.LogSideSlope = 0.25, log.LogSideOffset = 0.6, log.LinSideSlope = 1.1, log.LinSideOffset = 0.01;
    log.LinSideBreak = 0.005;
    const std::array<TLogOperation::TParams, 3> logs{log, log, log};
    const TLogOperation toLog(TLogStyle::CameraLinToLog, logs), toLin(TLogStyle::CameraLogToLin, logs);
    const TLogOperation plainToLog(TLogStyle::LinToLog, logs), plainToLin(TLogStyle::LogToLin, logs);
    TExponentOperation::TParams power{2.4, 0.055};
    const std::array<TExponentOperation::TParams, 3> powers{power, power, power};
    const TExponentOperation monFwd(TExponentStyle::MonCurveMirrorFwd, powers),
        monRev(TExponentStyle::MonCurveMirrorRev, powers);
    for (double x : {-0.3, -0.001, 0.0, 0.002, 0.004999, 0.005, 0.18, 0.9, 4.0}) {
        EXPECT_NEAR(Through(toLin, Through(toLog, {x, x, x})).Red, x, 1e-12) << x;
        EXPECT_NEAR(Through(monRev, Through(monFwd, {x, x, x})).Blue, x, 1e-12) << x;
        if (x > 0) {
            EXPECT_NEAR(Through(plainToLin, Through(plainToLog, {x, x, x})).Green, x, 1e-12) << x;
        }
    }
    // The straight segments meet the curves without a step.
    const double breakX = log.LinSideBreak, step = 1e-9;
    EXPECT_NEAR(Through(toLog, {breakX - step, 0, 0}).Red, Through(toLog, {breakX + step, 0, 0}).Red, 1e-7);
    const double monBreak = power.Offset / (power.Exponent - 1);
    EXPECT_NEAR(Through(monFwd, {monBreak - step, 0, 0}).Red, Through(monFwd, {monBreak + step, 0, 0}).Red, 1e-8);
}

TEST(LutChain, ColourDecisionsReverseAndClampByStyle) {
    TCdlOperation::TValues v;
    v.Slope[0] = 1.2, v.Offset[1] = -0.05, v.Power[2] = 0.8, v.Saturation = 1.3;
    const TCdlOperation fwd(TCdlStyle::FwdNoClamp, v), rev(TCdlStyle::RevNoClamp, v);
    const TCdlOperation clamped(TCdlStyle::Fwd, v);
    for (const TRGBDouble c : {TRGBDouble{0.1, 0.5, 0.9}, TRGBDouble{0.7, 0.2, 0.4}, TRGBDouble{0.02, 0.01, 0.6}}) {
        const TRGBDouble back = Through(rev, Through(fwd, c));
        EXPECT_NEAR(back.Red, c.Red, 1e-12);
        EXPECT_NEAR(back.Green, c.Green, 1e-12);
        EXPECT_NEAR(back.Blue, c.Blue, 1e-12);
    }
    // Below zero after the offset: passed through unclamped, or clamped.
    EXPECT_LT(Through(fwd, {0.0, 0.0, 0.0}).Green, 0.0);
    EXPECT_GE(Through(clamped, {0.0, 0.0, 0.0}).Green, 0.0);
    EXPECT_LE(Through(clamped, {1.0, 1.0, 1.0}).Red, 1.0);
}

TEST(LutChain, ALutWithAChainGradesPicturesThroughItAndTakesTheChosenInterpolation) {
    auto lut = CubeOf(3, Bumpy);
    const auto plain = CubeOf(3, Bumpy);
    const double m[3][3] = {{0.9, 0.1, 0}, {0, 1, 0}, {0.05, 0, 0.95}};
    const double offset[3] = {0.02, 0, -0.01};
    auto chain = std::make_shared<TLutChain>();
    chain->Append(std::make_shared<TMatrixOperation>(m, offset));
    chain->Append(std::make_shared<TCubeOperation>(CubeOf(3, Bumpy), TCubeInterpolation::Trilinear));
    lut->Chain = chain;

    TImage picture(37, 5);
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width() * 3; ++x)
            picture.Row(y)[x] = static_cast<std::uint8_t>((x * 7 + y * 31) % 256);
    TImage graded(37, 5);
    for (int y = 0; y < 5; ++y) std::copy(picture.Row(y), picture.Row(y) + 37 * 3, graded.Row(y));
    lut->ApplyToImage(graded);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 37; ++x) {
            const std::uint8_t* p = picture.Row(y) + 3 * x;
            TRGBDouble c{p[2] / 255.0, p[1] / 255.0, p[0] / 255.0};
            chain->Apply(c);
            ASSERT_EQ(graded.Row(y)[3 * x + 2], static_cast<int>(std::nearbyint(255 * std::clamp(c.Red, 0.0, 1.0))));
            ASSERT_EQ(graded.Row(y)[3 * x], static_cast<int>(std::nearbyint(255 * std::clamp(c.Blue, 0.0, 1.0))));
        }

    // Tetrahedral on a LUT of tables alone builds a chain; a cube whose file
    // names its interpolation keeps it.
    TLUT tables;
    for (int r = 0; r < 3; ++r)
        for (int g = 0; g < 3; ++g) std::copy(plain->Cube[r][g], plain->Cube[r][g] + 3, tables.Cube[r][g]);
    tables.CubeSize = 3;
    tables.Kind = lkCube;
    UseCubeInterpolation(tables, TCubeInterpolation::Tetrahedral);
    ASSERT_TRUE(tables.Chain);
    const TCubeOperation expected(CubeOf(3, Bumpy), TCubeInterpolation::Tetrahedral);
    TRGBDouble out;
    tables.LookupNormalized({0.3, 0.8, 0.1}, out);
    EXPECT_EQ(out.Green, Through(expected, {0.3, 0.8, 0.1}).Green);

    auto named = std::make_shared<TCubeOperation>(CubeOf(3, Bumpy), TCubeInterpolation::Trilinear);
    named->InterpolationNamedByFile = true;
    TLUT file;
    auto fileChain = std::make_shared<TLutChain>();
    fileChain->Append(named);
    file.Chain = fileChain;
    UseCubeInterpolation(file, TCubeInterpolation::Tetrahedral);
    file.LookupNormalized({0.3, 0.8, 0.1}, out);
    EXPECT_EQ(out.Green, Through(*named, {0.3, 0.8, 0.1}).Green);
}

}  // namespace

// Large pictures take each distinct colour through the chain once; the result
// must be the per-pixel lookup's, whether the picture repeats its colours
// (the memo is used) or hardly does (it is not).
TEST(LutChain, LargePicturesGradeColourByColourAsPixelByPixel) {
    auto lut = CubeOf(5, Bumpy);
    const double m[3][3] = {{0.8, 0.15, 0.05}, {0.1, 0.85, 0.05}, {0, 0.2, 0.9}};
    const double offset[3] = {0.01, -0.02, 0};
    auto chain = std::make_shared<TLutChain>();
    chain->Append(std::make_shared<TMatrixOperation>(m, offset));
    chain->Append(std::make_shared<TCubeOperation>(CubeOf(5, Bumpy), TCubeInterpolation::Tetrahedral));
    lut->Chain = chain;

    std::mt19937 rng(7);
    for (const int distinct : {20000, 1 << 24, 20000}) {
        TImage picture(2048, 1040);
        for (int y = 0; y < picture.Height(); ++y)
            for (int x = 0; x < picture.Width(); ++x) {
                const std::uint32_t colour = rng() % distinct * 2654435761u;
                std::uint8_t* p = picture.Row(y) + 3 * x;
                p[0] = colour & 255;
                p[1] = (colour >> 8) & 255;
                p[2] = (colour >> 16) & 255;
            }
        TImage fast = picture.Clone(), plain = picture.Clone();
        lut->ApplyToImage(fast);
        lutreference::ApplyToImage(*lut, plain);
        EXPECT_TRUE(fast.SamePixels(plain)) << distinct << " colours";
        EXPECT_FALSE(fast.SamePixels(picture));
    }
}
