#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <utility>

#include "engine/base/Error.h"
#include "engine/picture/ImageResize.h"
#include "engine/picture/ResizeReference.h"
#include "engine/picture/StretchForm.h"
#include "engine/picture/StretchSse2.h"
#include "engine/picture/StretchTaps.h"
#include "engine/picture/Thumbnail.h"
#include "tests/engine/TestImages.h"

namespace {

std::pair<int, int> Fit(int sw, int sh, int bw, int bh) {
    int w = -1, h = -1;
    FitToBox(sw, sh, bw, bh, w, h);
    return {w, h};
}

TImage Resized(const TImage& source, int width, int height, int filter, float support = 0.0f) {
    TImage dest;
    ResizeImage(width, height, filter, dest, source, support);
    return dest;
}

void ExpectSameAsPlainStretch(const TImage& source, int width, int height, int filter, float support) {
    TImage fast(width, height), plain(width, height);
    const TResizeFilter& f = kResizeFilters[filter];
    StretchImage(f.Function, source, fast, support);
    resizereference::StretchImage(f.Function, source, plain, support);
    EXPECT_TRUE(fast.SamePixels(plain)) << f.Name << " " << source.Width() << " x " << source.Height() << " -> "
                                        << width << " x " << height << " support " << support;
}

// StretchFast in one vector form against the plain passes: the form must
// take the weights (not hand them back to the plain passes) and give the
// same bytes.
void ExpectFormMatchesPlainPasses(TStretchForm form, const TImage& source, int width, int height, int filter,
                                  float support) {
    const TStretchForm before = LimitStretchForm(form);
    TImage fast(width, height), plain(width, height);
    const TStretchScales s = StretchScales(source, fast);
    const TResizeFilter& f = kResizeFilters[filter];
    const bool taken = StretchFast(MakeContributors(f.Function, support, s.X, width, source.Width()),
                                   MakeContributors(f.Function, support, s.Y, height, source.Height()), source, fast);
    LimitStretchForm(before);
    resizereference::StretchImage(f.Function, source, plain, support);
    const std::string what = std::string(f.Name) + " " + std::to_string(source.Width()) + " x " +
                             std::to_string(source.Height()) + " -> " + std::to_string(width) + " x " +
                             std::to_string(height) + " support " + std::to_string(support);
    ASSERT_TRUE(taken) << what;
    EXPECT_TRUE(fast.SamePixels(plain)) << what;
}

// Sizes that reach every path of the forms: widths on and off multiples of
// 4, 8, 16 and 32 (the AVX2 passes take four pixels and 32 bytes at a time),
// runs of one to many groups of four taps (enlarging, reducing to about
// 0.7, 0.5, 0.3 and 0.01), single rows and columns, odd row counts (rows
// are taken in pairs), every filter and other supports.
void ExpectFormMatchesOnManySizes(TStretchForm form) {
    const TImage a = RandomImage(67, 45, 31);
    const int targets[][2] = {{67, 45}, {46, 31}, {35, 23}, {20, 13}, {160, 99}, {33, 1}, {1, 17}, {1, 1}, {11, 2}};
    for (int filter = 0; filter < kFilterCount; ++filter)
        for (const auto& t : targets)
            ExpectFormMatchesPlainPasses(form, a, t[0], t[1], filter, kResizeFilters[filter].Support);
    std::mt19937 rng(77);
    std::uniform_int_distribution<int> side(1, 90), filterOf(0, kFilterCount - 1);
    const float supports[] = {0.0f, 0.7f, 1.3f, 2.5f, 4.0f};
    for (int n = 0; n < 60; ++n) {
        const int sw = side(rng), sh = side(rng), dw = side(rng), dh = side(rng), filter = filterOf(rng);
        const float support = supports[n % 5] == 0.0f ? kResizeFilters[filter].Support : supports[n % 5];
        ExpectFormMatchesPlainPasses(form, RandomImage(sw, sh, n), dw, dh, filter, support);
    }
    ExpectFormMatchesPlainPasses(form, RandomImage(1, 1, 1), 37, 5, kLanczos3Filter, 3.0f);
    ExpectFormMatchesPlainPasses(form, RandomImage(2000, 3, 2), 17, 2, kLanczos3Filter, 3.0f);
    ExpectFormMatchesPlainPasses(form, RandomImage(5, 1500, 3), 3, 13, 6, 2.0f);
    // Big enough to be split across threads.
    ExpectFormMatchesPlainPasses(form, RandomImage(901, 700, 4), 613, 477, kLanczos3Filter, 3.0f);
}

}  // namespace

TEST(ImageResizeTest, FitToBox) {
    EXPECT_EQ(Fit(4000, 3000, 1000, 500), std::make_pair(667, 500));
    EXPECT_EQ(Fit(800, 400, 1000, 500), std::make_pair(800, 400));  // never enlarged
    EXPECT_EQ(Fit(2000, 1000, 1000, 500), std::make_pair(1000, 500));
    EXPECT_EQ(Fit(300, 100, 150, 150), std::make_pair(150, 50));
    EXPECT_EQ(Fit(150, 150, 150, 150), std::make_pair(150, 150));
    EXPECT_EQ(Fit(10000, 3, 150, 150), std::make_pair(150, 1));  // at least one pixel
    EXPECT_EQ(Fit(1, 90000, 1000, 500), std::make_pair(1, 500));
    for (auto bad : {std::make_pair(0, 10), std::make_pair(10, 0), std::make_pair(-4, 10)}) {
        int w, h;
        EXPECT_THROW(FitToBox(bad.first, bad.second, 100, 100, w, h), EError);
        EXPECT_THROW(FitToBox(100, 100, bad.first, bad.second, w, h), EError);
    }
}

TEST(ImageResizeTest, ContributorsReflectAtTheEdges) {
    const TResizeFilter& spline = kResizeFilters[4];
    // Enlarging a 3-pixel axis twice: destination 0 sits on source 0, index -1
    // reads pixel 1 (the first pixel is not repeated).
    TContributors lists = MakeContributors(spline.Function, spline.Support, 2.0f, 6, 3);
    ASSERT_EQ(lists[0].Count, 3);
    EXPECT_EQ(lists[0].Entries[0].Pixel, 1);
    EXPECT_EQ(lists[0].Entries[1].Pixel, 0);
    EXPECT_EQ(lists[0].Entries[2].Pixel, 1);
    EXPECT_EQ(lists[0].Entries[0].Weight, lists[0].Entries[2].Weight);
    // Destination 5 is centred at 2.5: index 3 reads pixel 2 (the last pixel repeats), 4 reads 1.
    ASSERT_EQ(lists[5].Count, 4);
    EXPECT_EQ(lists[5].Entries[0].Pixel, 1);
    EXPECT_EQ(lists[5].Entries[1].Pixel, 2);
    EXPECT_EQ(lists[5].Entries[2].Pixel, 2);
    EXPECT_EQ(lists[5].Entries[3].Pixel, 1);

    // Reducing by about one half stretches Lanczos3 to a radius of about 6.
    const TResizeFilter& lanczos = kResizeFilters[5];
    const float scale = 99.0f / 199.0f;
    lists = MakeContributors(lanczos.Function, lanczos.Support, scale, 100, 200);
    const TContributorList& mid = lists[50];
    EXPECT_GE(mid.Count, 11);
    EXPECT_LE(mid.Count, 13);
    int total = 0;
    for (const auto& e : mid.Entries) {
        EXPECT_LE(std::abs(e.Pixel - 50.0f / scale), 3.0f / scale);
        total += e.Weight;
    }
    EXPECT_NEAR(total, 256, 3);

    // However far the taps reach, every index stays inside the source.
    lists = MakeContributors(lanczos.Function, lanczos.Support, 0.5f, 1, 2);
    for (const auto& list : MakeContributors(lanczos.Function, lanczos.Support, 1.0f / 7, 1, 7))
        for (const auto& e : list.Entries) {
            EXPECT_GE(e.Pixel, 0);
            EXPECT_LT(e.Pixel, 7);
        }
}

TEST(ImageResizeTest, SameSizeUniformAndClampedResults) {
    const TImage picture = RandomImage(37, 23, 9);
    EXPECT_TRUE(Resized(picture, 37, 23, kLanczos3Filter).SamePixels(picture));

    // A uniform picture stays that colour at every size, with every filter.
    const int sizes[][4] = {{9, 7, 1, 1},   {9, 7, 1, 5},    {9, 7, 6, 1},   {1, 1, 5, 4},
                            {2, 2, 1, 1},   {2, 1, 7, 3},    {1, 6, 2, 2},   {2, 2, 2, 2},
                            {40, 3, 2, 40}, {1200, 2, 1, 1}, {3, 700, 2, 1}, {2000, 1, 3, 1}};
    for (int filter = 0; filter < kFilterCount; ++filter)
        for (const auto& s : sizes) {
            TImage uniform(s[0], s[1]);
            Fill(uniform, 200, 31, 7);
            const TImage out = Resized(uniform, s[2], s[3], filter);
            ASSERT_EQ(out.Width(), s[2]);
            ASSERT_EQ(out.Height(), s[3]);
            for (int y = 0; y < s[3]; ++y)
                for (int x = 0; x < s[2]; ++x) {
                    ASSERT_EQ(Channel(out, x, y, 2), 200) << kResizeFilters[filter].Name;
                    ASSERT_EQ(Channel(out, x, y, 1), 31);
                    ASSERT_EQ(Channel(out, x, y, 0), 7);
                }
        }

    // A hard black/white edge enlarged with Lanczos3 overshoots: the lobes are
    // clamped to 0 and 255 instead of wrapping around.
    TImage edge(20, 2);
    for (int x = 10; x < 20; ++x)
        for (int y = 0; y < 2; ++y) SetPixel(edge, x, y, 255, 255, 255);
    const TImage big = Resized(edge, 57, 2, kLanczos3Filter);
    for (int x = 0; x < 14; ++x) EXPECT_LE(Channel(big, x, 0, 1), 8) << x;
    for (int x = 43; x < 57; ++x) EXPECT_GE(Channel(big, x, 0, 1), 247) << x;
}

TEST(ImageResizeTest, FastPassesMatchThePlainPasses) {
    const TImage a = RandomImage(53, 41, 21);
    const int targets[][2] = {{53, 41}, {17, 11}, {120, 90}, {1, 1}, {1, 41}, {53, 1}, {2, 2}, {26, 80}};
    for (int filter = 0; filter < kFilterCount; ++filter) {
        for (const auto& t : targets) ExpectSameAsPlainStretch(a, t[0], t[1], filter, kResizeFilters[filter].Support);
        ExpectSameAsPlainStretch(RandomImage(1, 1, 3), 4, 3, filter, kResizeFilters[filter].Support);
        ExpectSameAsPlainStretch(RandomImage(2, 2, 4), 5, 1, filter, kResizeFilters[filter].Support);
        ExpectSameAsPlainStretch(RandomImage(2, 9, 5), 1, 4, filter, kResizeFilters[filter].Support);
        ExpectSameAsPlainStretch(RandomImage(1, 9, 6), 3, 20, filter, kResizeFilters[filter].Support);
    }
    // Other supports, and pictures big enough to be split across threads.
    ExpectSameAsPlainStretch(a, 30, 19, kLanczos3Filter, 1.3f);
    ExpectSameAsPlainStretch(a, 70, 60, 6, 4.0f);
    const TImage big = RandomImage(900, 700, 22);
    ExpectSameAsPlainStretch(big, 300, 233, kLanczos3Filter, 3.0f);
    ExpectSameAsPlainStretch(big, 1000, 501, 1, 1.0f);
}

TEST(ImageResizeTest, Sse2PassesMatchThePlainPasses) { ExpectFormMatchesOnManySizes(TStretchForm::Sse2); }

TEST(ImageResizeTest, Avx2PassesMatchThePlainPasses) {
    if (WidestStretchForm() != TStretchForm::Avx2) GTEST_SKIP() << "the processor has no AVX2";
    ExpectFormMatchesOnManySizes(TStretchForm::Avx2);
}

// The multiply and shift that replace the division by the sum of the
// weights give the plain rule's byte for every sum around every multiple
// of every sum of weights MakeDenseTaps takes together, and sums of weights
// that are not positive are left to the plain passes.
TEST(ImageResizeTest, DividingByTheWeightsIsExact) {
    const int totals[] = {1, 2, 3, 7, 200, 255, 256, 257, 383, 511, 512, 1000, 2047, 2896};
    TContributors lists;
    for (int t : totals) lists.push_back({1, {{t, 0}}});
    TDenseTaps taps;
    ASSERT_TRUE(MakeDenseTaps(lists, 8, false, taps));
    for (std::size_t i = 0; i < lists.size(); ++i) {
        const int t = totals[i];
        for (int q = -2; q <= 258; ++q)
            for (int sum = q * t - 2; sum <= q * t + 2; ++sum)
                ASSERT_EQ(DivideSum(sum, taps.Multiplier[i], taps.Shift), std::clamp(sum / t, 0, 255))
                    << sum << " / " << t;
        for (int sum : {0x7FFFFFFF, -0x7FFFFFFF - 1})
            EXPECT_EQ(DivideSum(sum, taps.Multiplier[i], taps.Shift), std::clamp(sum / t, 0, 255)) << t;
    }
    EXPECT_FALSE(MakeDenseTaps({{2, {{5, 0}, {-5, 1}}}}, 8, false, taps));
    EXPECT_FALSE(MakeDenseTaps({{1, {{-256, 0}}}}, 8, false, taps));
    EXPECT_FALSE(MakeDenseTaps({{1, {{1, 0}}}, {1, {{4000, 0}}}}, 8, false, taps));  // too far apart for one shift
    TImage dest(2, 1);
    EXPECT_FALSE(StretchFast({{1, {{256, 0}}}, {2, {{5, 0}, {-5, 1}}}}, {{1, {{256, 0}}}}, RandomImage(2, 1, 3), dest));
}

TEST(ImageResizeTest, ResizeAndFitRules) {
    TImage dest(3, 3);
    EXPECT_THROW(ResizeImage(5, 5, 7, dest, RandomImage(4, 4, 1), 0.0f), EError);
    EXPECT_THROW(ResizeImage(5, 5, -1, dest, RandomImage(4, 4, 1), 0.0f), EError);
    EXPECT_THROW(ResizeImage(5, 5, kLanczos3Filter, dest, TImage(), 0.0f), EError);
    ResizeImage(0, 4, kLanczos3Filter, dest, RandomImage(4, 4, 1), 0.0f);
    EXPECT_EQ(dest.Width(), 0);

    // StretchImage leaves images with a zero side alone.
    TImage target(2, 2);
    Fill(target, 9, 9, 9);
    StretchImage(kResizeFilters[5].Function, TImage(0, 5), target, 3.0f);
    EXPECT_EQ(Channel(target, 1, 1, 1), 9);

    TImage inPlace = RandomImage(30, 20, 8);
    const TImage expected = Resized(inPlace, 12, 9, kLanczos3Filter);
    ResizeImage(12, 9, kLanczos3Filter, inPlace, inPlace, 0.0f);
    EXPECT_TRUE(inPlace.SamePixels(expected));

    const TImage wide = RandomImage(300, 100, 2);
    const TImage fitted = FitImage(wide, kThumbnailSize, kThumbnailSize);
    EXPECT_EQ(fitted.Width(), 150);
    EXPECT_EQ(fitted.Height(), 50);
    EXPECT_TRUE(fitted.SamePixels(Resized(wide, 150, 50, kLanczos3Filter)));
    const TImage small = RandomImage(40, 30, 3);
    EXPECT_TRUE(FitImage(small, 150, 150).SamePixels(small));
    EXPECT_THROW(FitImage(TImage(), 150, 150), EError);
}

TEST(ThumbnailTest, PictureCentredOnWhite) {
    TImage wide(150, 50);
    Fill(wide, 10, 20, 30);
    TImage cell = MakeThumbnailCell(wide);
    ASSERT_EQ(cell.Width(), kThumbnailSize);
    ASSERT_EQ(cell.Height(), kThumbnailSize);
    for (int y = 0; y < 150; ++y) {
        const bool inside = y >= 50 && y < 100;
        EXPECT_EQ(Channel(cell, 75, y, 2), inside ? 10 : 255) << y;
        EXPECT_EQ(Channel(cell, 0, y, 0), inside ? 30 : 255) << y;
    }

    // Larger than the cell: its central part, offsets truncated toward zero.
    const TImage big = RandomImage(400, 151, 4);
    cell = MakeThumbnailCell(big);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(Channel(cell, 0, 0, c), Channel(big, 125, 0, c));
        EXPECT_EQ(Channel(cell, 149, 149, c), Channel(big, 274, 149, c));
    }

    // Odd margins: a 149 x 3 picture starts at (0, 73); the last column stays white.
    const TImage odd = RandomImage(149, 3, 5);
    cell = MakeThumbnailCell(odd);
    EXPECT_EQ(Channel(cell, 0, 73, 1), Channel(odd, 0, 0, 1));
    EXPECT_EQ(Channel(cell, 148, 75, 2), Channel(odd, 148, 2, 2));
    EXPECT_EQ(Channel(cell, 149, 74, 0), 255);
    EXPECT_EQ(Channel(cell, 10, 72, 0), 255);
    EXPECT_EQ(Channel(cell, 10, 76, 0), 255);
}

// A destination that already holds pixels (of the same size, a larger one
// or a smaller one) is not cleared before the resize writes it: the result
// is still the one a fresh destination gets, the row padding zero, and the
// memory already held is written again where it fits.
TEST(ImageResizeTest, ADestinationHoldingOtherPixelsGetsTheSameResult) {
    const TImage source = RandomImage(97, 61, 5);
    for (const auto& [width, height] : {std::pair{41, 23}, std::pair{33, 35}, std::pair{13, 7}}) {
        const TImage fresh = Resized(source, width, height, kLanczos3Filter);
        for (const auto& [heldWidth, heldHeight] : {std::pair{width, height}, std::pair{50, 40}, std::pair{5, 3}}) {
            TImage dest(heldWidth, heldHeight);
            for (int y = 0; y < heldHeight; ++y) std::fill(dest.Row(y), dest.Row(y) + dest.Stride(), 0xA5);
            const std::uint8_t* held = dest.Row(0);
            ResizeImage(width, height, kLanczos3Filter, dest, source, 0.0f);
            EXPECT_TRUE(dest.SamePixels(fresh)) << width << " x " << height << " over " << heldWidth;
            for (int y = 0; y < height; ++y)
                for (std::size_t b = std::size_t(width) * 3; b < dest.Stride(); ++b)
                    ASSERT_EQ(dest.Row(y)[b], 0) << "padding of row " << y;
            if (heldWidth == width) {
                EXPECT_EQ(dest.Row(0), held);
            }
        }
    }
}
