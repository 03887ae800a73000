#include <gtest/gtest.h>

#include <QDir>
#include <cmath>

#include "engine/colour/ColorSpace.h"
#include "engine/picture/Image.h"
#include "scopeview/ScopeDrawing.h"
#include "tests/scopeview/FilledPictures.h"

namespace {

// Whether a pixel is the colour at half or more of its brightness.
bool Shows(QRgb pixel, const QColor& colour) {
    const int strongest = std::max({colour.red(), colour.green(), colour.blue()});
    const int channel = strongest == colour.red()     ? qRed(pixel)
                        : strongest == colour.green() ? qGreen(pixel)
                                                      : qBlue(pixel);
    const double k = static_cast<double>(channel) / strongest;
    return k >= 0.5 && std::abs(qRed(pixel) - k * colour.red()) <= 12 &&
           std::abs(qGreen(pixel) - k * colour.green()) <= 12 && std::abs(qBlue(pixel) - k * colour.blue()) <= 12;
}

// The pixels of a drawing that show a colour and do not in the drawing
// before (when given), and their centre.
int CountShowing(const QImage& image, const QColor& colour, QPointF& centre, const QImage* before = nullptr) {
    int count = 0;
    double sx = 0, sy = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (Shows(image.pixel(x, y), colour) && !(before && Shows(before->pixel(x, y), colour))) {
                ++count;
                sx += x;
                sy += y;
            }
    if (count > 0) centre = QPointF(sx / count, sy / count);
    return count;
}

void Save(const QImage& image, const char* name) {
    QDir().mkpath(SCREENSHOT_DIR);
    EXPECT_TRUE(image.save(QString(SCREENSHOT_DIR) + "/" + name));
}

}  // namespace

TEST(ScopeDrawingTest, VectorscopeShowsTheColourAndTheReferenceWhereTheirChromaIs) {
    // A teal as the picture, a blue as the reference.
    const TImage picture = Filled(64, 48, 40, 170, 150);
    const TImage reference = Filled(150, 150, 40, 60, 200);
    TScopeData data, cloud;
    data.Measure(picture);
    cloud.Measure(reference);
    const int side = 300;
    const QImage plain = DrawVectorscope(data, side, TScopeReference{});
    QPointF at;
    ASSERT_GT(CountShowing(plain, kScopeTraceColour, at), 0);
    double y, u, v;
    RGBToYUV(40 / 255.0, 170 / 255.0, 150 / 255.0, y, u, v);
    const QPointF expected = VectorscopePoint(u, v, side);
    EXPECT_NEAR(at.x(), expected.x(), 2.0);
    EXPECT_NEAR(at.y(), expected.y(), 2.0);

    TColorStats stats;
    ComputeColorStats(reference, stats);
    const QImage overlaid = DrawVectorscope(data, side, TScopeReference{&cloud, &stats});
    ASSERT_GT(CountShowing(overlaid, kScopeReferenceColour, at, &plain), 0);
    RGBToYUV(40 / 255.0, 60 / 255.0, 200 / 255.0, y, u, v);
    const QPointF blue = VectorscopePoint(u, v, side);
    EXPECT_NEAR(at.x(), blue.x(), 4.0);
    EXPECT_NEAR(at.y(), blue.y(), 4.0);
    Save(overlaid, "scopes_vectorscope_test.png");
}

TEST(ScopeDrawingTest, GreyRampWaveformClimbsFromBottomLeftToTopRight) {
    TImage ramp(256, 20);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 256; ++x) std::fill_n(ramp.Row(y) + 3 * x, 3, static_cast<std::uint8_t>(x));
    TScopeData data;
    data.Measure(ramp);
    const QSize size(512, 256);
    const QImage drawing = DrawWaveform(data, size, false);
    ASSERT_EQ(drawing.size(), size);
    // In every column away from the frame the brightest trace pixel lies on the diagonal.
    for (int x = 8; x < size.width() - 8; x += 16) {
        int best = -1;
        for (int y = 1; y < size.height() - 1; ++y)
            if (Shows(drawing.pixel(x, y), kScopeTraceColour)) best = y;
        const double expected = (1.0 - (x + 0.5) / size.width()) * size.height();
        if (std::abs(expected - 171.5) < 4 || std::abs(expected - 87.0) < 4) continue;  // under a range border
        EXPECT_NEAR(best, expected, 3.0) << "column " << x;
    }
    Save(drawing, "scopes_waveform_ramp_test.png");
}

TEST(ScopeDrawingTest, LayoutFitsItsBox) {
    for (const TScopeKind kind :
         {TScopeKind::All, TScopeKind::Waveform, TScopeKind::Vectorscope, TScopeKind::Histogram}) {
        const QSize box(300, 500);
        const int width = ScopesWidthFor(kind, box);
        const QSize size = ScopesSize(kind, width);
        EXPECT_LE(size.width(), box.width());
        EXPECT_LE(size.height(), box.height());
        EXPECT_TRUE(size.width() == box.width() || ScopesSize(kind, width + 1).height() > box.height());
        TScopeData empty;
        EXPECT_EQ(DrawScopes(empty, kind, width, true, TScopeReference{}).size(), size);
    }
}
