#include <gtest/gtest.h>

#include <QDir>
#include <QPainter>
#include <cmath>

#include "engine/colour/ColorSpace.h"
#include "engine/picture/Image.h"
#include "scopeview/ScopeBox.h"
#include "tests/scopeview/FilledPictures.h"

// The window's scopes: labelled scales, the 75 % colour targets and the
// plots filling a box of any size.
namespace {

// Where the drawing shows the fullest vectorscope cell: the cells picture
// is scaled to the drawing's side, V upwards.
QPointF FullestCell(const TScopeData& data, int side) {
    int bestU = 0, bestV = 0;
    for (int v = 0; v < kVectorscopeCells; ++v)
        for (int u = 0; u < kVectorscopeCells; ++u)
            if (data.Vectorscope(u, v) > data.Vectorscope(bestU, bestV)) {
                bestU = u;
                bestV = v;
            }
    const double cell = static_cast<double>(side) / kVectorscopeCells;
    return QPointF((bestU + 0.5) * cell, (kVectorscopeCells - 1 - bestV + 0.5) * cell);
}

// Pixels in the rectangle that differ from the ground colour.
int Inked(const QImage& image, const QRect& area, QRgb ground) {
    int count = 0;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if (image.pixel(x, y) != ground) ++count;
    return count;
}

}  // namespace

TEST(ScopeBoxTest, LevelScaleMarksGivePercentAndTheDepthsCodeValues) {
    const std::vector<TScaleMark> eight = LevelScaleMarks(255);
    ASSERT_EQ(eight.size(), 5u);
    const char* percents[] = {"0%", "25%", "50%", "75%", "100%"};
    const char* codes8[] = {"0", "64", "128", "191", "255"};
    const char* codes10[] = {"0", "256", "512", "767", "1023"};
    const std::vector<TScaleMark> ten = LevelScaleMarks(1023);
    for (int i = 0; i < 5; ++i) {
        EXPECT_DOUBLE_EQ(eight[i].Share, i * 0.25);
        EXPECT_EQ(eight[i].Percent, percents[i]);
        EXPECT_EQ(eight[i].Code, codes8[i]);
        EXPECT_EQ(ten[i].Code, codes10[i]);
    }
}

TEST(ScopeBoxTest, SeventyFivePercentBarsLandInTheirTargets) {
    const std::vector<TColourTarget> targets = ColourTargets();
    ASSERT_EQ(targets.size(), 6u);
    const int side = 320;
    for (const TColourTarget& target : targets) {
        SCOPED_TRACE(target.Name);
        // The bar as a picture: 75 % of full code value in each channel it has.
        const auto level = [](double channel) { return static_cast<int>(std::lround(0.75 * 255 * channel)); };
        TScopeData data;
        data.Measure(
            Filled(64, 48, level(target.Colour.redF()), level(target.Colour.greenF()), level(target.Colour.blueF())));
        const QPointF centre = FullestCell(data, side);
        const QRectF box = ColourTargetBox(target, side);
        EXPECT_TRUE(box.contains(centre)) << centre.x() << "," << centre.y();
        // Only its own target holds it: the boxes lie apart.
        for (const TColourTarget& other : targets)
            if (&other != &target) EXPECT_FALSE(ColourTargetBox(other, side).contains(centre)) << other.Name;
    }
    // The boxes sit at three quarters of the 100 % bars' chroma: inside the
    // largest percent ring.
    for (const TColourTarget& target : targets) EXPECT_LT(std::hypot(target.U, target.V), FullChromaRadius());
}

TEST(ScopeBoxTest, PlotsFillTheBoxBesideTheirScales) {
    const QSize boxes[] = {{330, 640}, {600, 300}, {220, 900}, {900, 420}};
    const double labelWidth = LabelWidth("100%", 7.0);
    for (const QSize box : boxes)
        for (const TScopeKind kind :
             {TScopeKind::All, TScopeKind::Waveform, TScopeKind::Vectorscope, TScopeKind::Histogram}) {
            SCOPED_TRACE(std::to_string(box.width()) + "x" + std::to_string(box.height()) + " kind " +
                         std::to_string(static_cast<int>(kind)));
            const TScopeBoxLayout layout = ScopeBoxLayout(kind, box);
            const QRect all(QPoint(0, 0), box);
            for (const QRect& plot : {layout.Waveform, layout.Vectorscope, layout.Histogram})
                if (!plot.isEmpty()) EXPECT_TRUE(all.contains(plot));
            if (!layout.Waveform.isEmpty()) {
                // Percent labels on the left, code values on the right.
                EXPECT_GT(layout.Waveform.left(), labelWidth);
                EXPECT_GT(box.width() - layout.Waveform.right(), LabelWidth("255", 7.0));
                EXPECT_GT(layout.Waveform.width(), box.width() - 90);
            }
            if (!layout.Histogram.isEmpty()) EXPECT_GE(box.height() - layout.Histogram.bottom(), 20);
            if (!layout.Vectorscope.isEmpty()) EXPECT_EQ(layout.Vectorscope.width(), layout.Vectorscope.height());
            // Alone, a scope takes the box's height (the vectorscope the
            // smaller side).
            if (kind == TScopeKind::Waveform) EXPECT_GE(layout.Waveform.height(), box.height() - 12);
            if (kind == TScopeKind::Histogram) EXPECT_GE(layout.Histogram.height(), box.height() - 30);
            if (kind == TScopeKind::Vectorscope)
                EXPECT_EQ(layout.Vectorscope.width(), std::min(box.width(), box.height()));
            if (kind == TScopeKind::All) {
                EXPECT_LT(layout.Waveform.bottom(), layout.Vectorscope.top());
                EXPECT_LT(layout.Vectorscope.bottom(), layout.Histogram.top());
            }
            TScopeData empty;
            EXPECT_EQ(DrawScopesInBox(empty, kind, box, false, TScopeReference{}).size(), box);
        }
}

TEST(ScopeBoxTest, ScalesAreLabelledBesideTheWaveformAndUnderTheHistogram) {
    TScopeData data;
    data.Measure(Filled(64, 48, 120, 120, 120));
    const QSize box(400, 700);
    const QImage drawing = DrawScopesInBox(data, TScopeKind::All, box, false, TScopeReference{});
    const TScopeBoxLayout layout = ScopeBoxLayout(TScopeKind::All, box);
    const QRgb ground = drawing.pixel(0, 0);
    // Something is written in the left and right margins of the waveform and
    // under the histogram; nothing in the left margin of the vectorscope's row.
    const QRect& wave = layout.Waveform;
    EXPECT_GT(Inked(drawing, QRect(0, wave.top() - 4, wave.left() - 1, wave.height() + 8), ground), 20);
    EXPECT_GT(Inked(drawing, QRect(wave.right() + 2, wave.top() - 4, box.width(), wave.height() + 8), ground), 20);
    const QRect& hist = layout.Histogram;
    EXPECT_GT(Inked(drawing, QRect(0, hist.bottom() + 2, box.width(), box.height()), ground), 40);
    const QRect& vector = layout.Vectorscope;
    EXPECT_EQ(Inked(drawing, QRect(0, vector.top(), vector.left(), vector.height()), ground), 0);

    // The figures are drawn inside their width, and differ from each other.
    QImage a(60, 12, QImage::Format_RGB32), b(60, 12, QImage::Format_RGB32);
    for (auto [image, text] : {std::pair{&a, "100%"}, std::pair{&b, "108%"}}) {
        image->fill(Qt::black);
        QPainter painter(image);
        painter.setPen(Qt::white);
        DrawLabel(painter, QPointF(1, 1), text, 9);
    }
    EXPECT_NE(a, b);
    EXPECT_GT(Inked(a, QRect(0, 0, 60, 12), qRgb(0, 0, 0)), 20);
    EXPECT_EQ(Inked(a, QRect(static_cast<int>(LabelWidth("100%", 9)) + 3, 0, 60, 12), qRgb(0, 0, 0)), 0);
    // At the scales' smallest size every figure stands apart: "191" is
    // three inked runs of columns with blank columns between them.
    for (const char* text : {"191", "100"}) {
        QImage label(30, 10, QImage::Format_RGB32);
        label.fill(Qt::black);
        QPainter painter(&label);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::white);
        DrawLabel(painter, QPointF(1.4, 1.3), text, 7);
        painter.end();
        int runs = 0;
        bool inRun = false;
        for (int x = 0; x < label.width(); ++x) {
            const bool inked = Inked(label, QRect(x, 0, 1, label.height()), qRgb(0, 0, 0)) > 0;
            runs += inked && !inRun;
            inRun = inked;
        }
        EXPECT_EQ(runs, 3) << text;
    }
    QDir().mkpath(SCREENSHOT_DIR);
    EXPECT_TRUE(drawing.save(QString(SCREENSHOT_DIR) + "/scopes_box_test.png"));
}
