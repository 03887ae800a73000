#include "scopeview/ScopeBox.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "engine/base/Parallel.h"

namespace {

const QColor kGround(12, 12, 12);
const QColor kScaleColour(165, 165, 165);
constexpr double kLabelHeight = 7.0;
constexpr int kTick = 3;
constexpr int kPad = 5;         // above and below a plot, for the labels at 0 and 100 %
constexpr int kGap = 6;         // between stacked scopes
constexpr int kLabelRows = 25;  // under the histogram: a row of codes, a row of percents
constexpr int kSmallest = 16;

int LeftMargin() { return static_cast<int>(std::ceil(LabelWidth("100%", kLabelHeight))) + kTick + 4; }
int RightMargin() { return static_cast<int>(std::ceil(LabelWidth("65535", kLabelHeight))) + kTick + 4; }

// A plot's rectangle between the scale margins, from top to top + height.
QRect Plot(QSize box, int top, int height) {
    const int left = LeftMargin();
    return QRect(left, top, std::max(box.width() - left - RightMargin(), kSmallest), std::max(height, kSmallest));
}

QRect Square(QSize box, int top, int side) {
    side = std::max(side, kSmallest);
    return QRect((box.width() - side) / 2, top, side, side);
}

// Vertical position of a share of full scale in a waveform drawn into the
// rectangle, on the level the value falls in (as the plot places it).
double LevelY(const QRect& plot, double share) {
    return plot.top() + (kScopeLevels - 0.5 - share * (kScopeLevels - 1)) * plot.height() / kScopeLevels;
}
double LevelX(const QRect& plot, double share) {
    return plot.left() + (share * (kScopeLevels - 1) + 0.5) * plot.width() / kScopeLevels;
}

void DrawWaveformScale(QPainter& painter, const QRect& plot, int codeMax) {
    painter.setPen(QPen(kScaleColour, 1));
    for (const TScaleMark& mark : LevelScaleMarks(codeMax)) {
        const double y = LevelY(plot, mark.Share);
        painter.drawLine(QPointF(plot.left() - kTick, y), QPointF(plot.left() - 1, y));
        painter.drawLine(QPointF(plot.right() + 1, y), QPointF(plot.right() + kTick, y));
        const double top = y - kLabelHeight / 2;
        DrawLabel(painter, QPointF(plot.left() - kTick - 2 - LabelWidth(mark.Percent, kLabelHeight), top), mark.Percent,
                  kLabelHeight);
        DrawLabel(painter, QPointF(plot.right() + kTick + 3, top), mark.Code, kLabelHeight);
    }
}

void DrawHistogramScale(QPainter& painter, const QRect& plot, int codeMax) {
    painter.setPen(QPen(kScaleColour, 1));
    for (const TScaleMark& mark : LevelScaleMarks(codeMax)) {
        const double x = LevelX(plot, mark.Share);
        painter.drawLine(QPointF(x, plot.bottom() + 1), QPointF(x, plot.bottom() + kTick));
        // Centred on the tick, kept inside the picture at both ends.
        const auto left = [&](const QString& text) {
            const double width = LabelWidth(text, kLabelHeight);
            return std::clamp(x - width / 2, 1.0, painter.device()->width() - width - 2.0);
        };
        const double top = plot.bottom() + kTick + 2;
        DrawLabel(painter, QPointF(left(mark.Code), top), mark.Code, kLabelHeight);
        DrawLabel(painter, QPointF(left(mark.Percent), top + kLabelHeight + 3), mark.Percent, kLabelHeight);
    }
}

}  // namespace

TScopeBoxLayout ScopeBoxLayout(TScopeKind kind, QSize box) {
    const int w = std::max(box.width(), kSmallest), h = std::max(box.height(), kSmallest);
    const QSize size(w, h);
    switch (kind) {
        case TScopeKind::Waveform:
            return {Plot(size, kPad, h - 2 * kPad), {}, {}};
        case TScopeKind::Vectorscope:
            return {{}, Square(size, (h - std::min(w, h)) / 2, std::min(w, h)), {}};
        case TScopeKind::Histogram:
            return {{}, {}, Plot(size, kPad, h - kPad - kLabelRows)};
        case TScopeKind::All:
            break;
    }
    // The vectorscope takes up to half the height; waveform and histogram
    // share the rest.
    const int side = std::min(w, (h - 2 * kGap) / 2);
    const int rest = h - side - 2 * kGap;
    const int upper = rest / 2, lower = rest - upper;
    TScopeBoxLayout layout;
    layout.Waveform = Plot(size, kPad, upper - 2 * kPad);
    layout.Vectorscope = Square(size, upper + kGap, side);
    layout.Histogram = Plot(size, upper + kGap + side + kGap + kPad, lower - kPad - kLabelRows);
    return layout;
}

QImage DrawScopesInBox(const TScopeData& data, TScopeKind kind, QSize box, bool parade,
                       const TScopeReference& reference, int codeMax) {
    const TScopeBoxLayout layout = ScopeBoxLayout(kind, box);
    QImage image(box.expandedTo(QSize(kSmallest, kSmallest)), QImage::Format_RGB32);
    image.fill(kGround);
    // The scopes are drawn side by side on the worker threads (each into a
    // picture of its own), then put into the box.
    QImage parts[3];
    ParallelFor(3, 1, [&](int first, int last) {
        for (int part = first; part < last; ++part) {
            if (part == 0 && !layout.Waveform.isEmpty()) parts[0] = DrawWaveform(data, layout.Waveform.size(), parade);
            if (part == 1 && !layout.Vectorscope.isEmpty())
                parts[1] =
                    DrawVectorscope(data, layout.Vectorscope.width(), reference, TVectorscopeMarks::ColourTargets);
            if (part == 2 && !layout.Histogram.isEmpty()) parts[2] = DrawHistogram(data, layout.Histogram.size());
        }
    });
    QPainter painter(&image);
    if (!layout.Waveform.isEmpty()) {
        painter.drawImage(layout.Waveform.topLeft(), parts[0]);
        DrawWaveformScale(painter, layout.Waveform, codeMax);
    }
    if (!layout.Vectorscope.isEmpty()) painter.drawImage(layout.Vectorscope.topLeft(), parts[1]);
    if (!layout.Histogram.isEmpty()) {
        painter.drawImage(layout.Histogram.topLeft(), parts[2]);
        DrawHistogramScale(painter, layout.Histogram, codeMax);
    }
    return image;
}
