#include "scopeview/ScopeDrawing.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

const QColor kScopeTraceColour(150, 255, 160);
const QColor kScopeReferenceColour(255, 120, 40);
const QColor kScopeSkinColour(235, 180, 140);

namespace {

const QColor kBackground(18, 18, 18);
const QColor kFrame(70, 70, 70);
const QColor kGraticule(110, 110, 110);
const QColor kRangeBorder(220, 170, 60);
constexpr int kAllGap = 4;  // between the stacked scopes of All
constexpr int kMinWidth = 16;
constexpr double kFaintest = 0.25;  // intensity of a single count
// Hue of the skin-tone line in the U/V plane: the I axis, 123 degrees from +U.
constexpr double kSkinToneDegrees = 123.0;
// The hue families of the saturation controls, by hue.
constexpr double kHueFamilies[] = {0.0, 30.0, 60.0, 120.0, 240.0, 300.0};
// Mean luma of each range, for the fill of its marker.
constexpr double kRangeLuma[] = {0.165, 0.495, 0.83};

// The colour of a count at logarithmic intensity: black for no count, the
// colour at kFaintest of its brightness for one, at full brightness for the
// peak. The colours of the small counts, the most frequent, come from a table.
class TRamp {
public:
    TRamp(const QColor& colour, std::uint32_t peak)
        : red_(colour.red()),
          green_(colour.green()),
          blue_(colour.blue()),
          scale_(peak > 1 ? 1.0 / std::log(static_cast<double>(peak)) : 0.0) {
        table_[0] = qRgb(0, 0, 0);
        for (std::uint32_t count = 1; count < kTabled; ++count) table_[count] = Compute(count);
    }
    QRgb operator()(std::uint32_t count) const { return count < kTabled ? table_[count] : Compute(count); }

private:
    static constexpr std::uint32_t kTabled = 1024;
    QRgb Compute(std::uint32_t count) const {
        const double intensity = kFaintest + (1.0 - kFaintest) * std::log(static_cast<double>(count)) * scale_;
        return qRgb(static_cast<int>(red_ * intensity + 0.5), static_cast<int>(green_ * intensity + 0.5),
                    static_cast<int>(blue_ * intensity + 0.5));
    }
    int red_, green_, blue_;
    double scale_;
    QRgb table_[kTabled];
};

QRgb Added(QRgb a, QRgb b) {
    return qRgb(std::min(qRed(a) + qRed(b), 255), std::min(qGreen(a) + qGreen(b), 255),
                std::min(qBlue(a) + qBlue(b), 255));
}

QImage Blank(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(kBackground);
    return image;
}

// Scales a picture of counts to the drawing's size, averaging when it shrinks.
QImage ToSize(const QImage& cells, QSize size) {
    return cells.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void DrawFrame(QPainter& painter, QSize size) {
    painter.setPen(kFrame);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(0, 0, size.width() - 1, size.height() - 1);
}

// Vertical position of a value 0..1 in a waveform of the given height, on
// the level the value falls in.
double WaveformY(double value, int height) {
    return (kScopeLevels - 0.5 - value * (kScopeLevels - 1)) * height / kScopeLevels;
}

std::uint32_t WaveformPeak(const TScopeData& data, TScopeChannel first, TScopeChannel last) {
    std::uint32_t peak = 0;
    for (int c = first; c <= last; ++c)
        for (int column = 0; column < data.Columns(); ++column)
            for (int l = 0; l < kScopeLevels; ++l)
                peak = std::max(peak, data.Waveform(static_cast<TScopeChannel>(c), column, l));
    return peak;
}

QImage WaveformCells(const TScopeData& data, bool parade) {
    const int columns = std::max(data.Columns(), 1);
    const int sections = parade ? 3 : 1;
    QImage cells(columns * sections, kScopeLevels, QImage::Format_RGB32);
    cells.fill(Qt::black);
    const TScopeChannel first = parade ? scRed : scLuma;
    const std::uint32_t peak = WaveformPeak(data, first, parade ? scBlue : scLuma);
    const QColor colours[] = {kScopeTraceColour, QColor(255, 70, 60), QColor(70, 255, 90), QColor(80, 130, 255)};
    for (int s = 0; s < sections; ++s) {
        const auto channel = static_cast<TScopeChannel>(first + s);
        const TRamp ramp(colours[channel], peak);
        for (int l = 0; l < kScopeLevels; ++l) {
            auto* line = reinterpret_cast<QRgb*>(cells.scanLine(kScopeLevels - 1 - l)) + s * columns;
            for (int column = 0; column < data.Columns(); ++column)
                if (const std::uint32_t count = data.Waveform(channel, column, l)) line[column] = ramp(count);
        }
    }
    return cells;
}

void DrawHueFamilies(QPainter& painter, int side) {
    const QPointF centre = VectorscopePoint(0.0, 0.0, side);
    for (const double hue : kHueFamilies) {
        double r, g, b, y, u, v;
        HSLToRGB(hue, 1.0, 0.5, r, g, b);
        RGBToYUV(r, g, b, y, u, v);
        const QPointF target = VectorscopePoint(u, v, side);
        painter.setPen(QPen(kGraticule, 1, Qt::DashLine));
        painter.drawLine(centre, target);
        const double box = std::max(3.0, side / 40.0);
        painter.setPen(QPen(QColor::fromRgbF(r, g, b), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(target.x() - box, target.y() - box, 2 * box, 2 * box));
    }
}

// The colour targets of the 75 % bars, each a box in its colour.
void DrawColourTargets(QPainter& painter, int side) {
    painter.setBrush(Qt::NoBrush);
    for (const TColourTarget& target : ColourTargets()) {
        painter.setPen(QPen(target.Colour, 1.5));
        painter.drawRect(ColourTargetBox(target, side));
    }
}

// Rings at 25, 50, 75 and 100 % of full chroma, labelled where they cross
// the lower right diagonal.
void DrawPercentRings(QPainter& painter, int side) {
    const QPointF centre = VectorscopePoint(0.0, 0.0, side);
    const double full = FullChromaRadius() / (2.0 * kChromaExtent) * side;
    const double label = std::clamp(side / 45.0, 5.0, 8.0);
    for (const int percent : {25, 50, 75, 100}) {
        const double r = full * percent / 100.0;
        painter.setPen(QPen(kGraticule, 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(centre, r, r);
        if (r < 3 * label) continue;
        painter.setPen(QPen(kGraticule, 1));
        const QPointF at = centre + QPointF(r, r) / std::sqrt(2.0);
        DrawLabel(painter, at + QPointF(2, 1), QString::number(percent) + '%', label);
    }
}

void DrawVectorscopeGraticule(QPainter& painter, int side, TVectorscopeMarks marks) {
    const QPointF centre = VectorscopePoint(0.0, 0.0, side);
    painter.setPen(QPen(kGraticule, 1, Qt::DotLine));
    painter.drawLine(VectorscopePoint(-kChromaExtent, 0.0, side), VectorscopePoint(kChromaExtent, 0.0, side));
    painter.drawLine(VectorscopePoint(0.0, -kChromaExtent, side), VectorscopePoint(0.0, kChromaExtent, side));
    if (marks == TVectorscopeMarks::HueFamilies)
        for (const double radius : {0.2, 0.4, 0.6}) {
            const double r = radius / (2.0 * kChromaExtent) * side;
            painter.drawEllipse(centre, r, r);
        }
    else
        DrawPercentRings(painter, side);
    const double skin = kSkinToneDegrees * M_PI / 180.0;
    painter.setPen(QPen(kScopeSkinColour, 1.5));
    painter.drawLine(centre, VectorscopePoint(kChromaExtent * std::cos(skin), kChromaExtent * std::sin(skin), side));
    if (marks == TVectorscopeMarks::HueFamilies)
        DrawHueFamilies(painter, side);
    else
        DrawColourTargets(painter, side);
}

void DrawReferenceStats(QPainter& painter, int side, const TColorStats& stats) {
    const double scale = side / (2.0 * kChromaExtent);
    const double marker = std::max(3.0, side / 60.0);
    for (int r = 0; r < 3; ++r) {
        const TRangeStats& range = stats.Ranges[r];
        const QPointF mean = VectorscopePoint(range.MeanU, range.MeanV, side);
        // A range without pixels carries the whole picture's numbers: dashed.
        painter.setPen(QPen(kScopeReferenceColour, 1.5, stats.PixelCounts[r] > 0 ? Qt::SolidLine : Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(mean, range.DevU * scale, range.DevV * scale);
        painter.setBrush(QColor::fromRgbF(kRangeLuma[r], kRangeLuma[r], kRangeLuma[r]));
        painter.drawEllipse(mean, marker, marker);
    }
}

QImage VectorscopeCells(const TScopeData& data, const TScopeData* cloud) {
    std::uint32_t peak = 0, cloudPeak = 0;
    for (int v = 0; v < kVectorscopeCells; ++v)
        for (int u = 0; u < kVectorscopeCells; ++u) {
            peak = std::max(peak, data.Vectorscope(u, v));
            if (cloud) cloudPeak = std::max(cloudPeak, cloud->Vectorscope(u, v));
        }
    const TRamp ramp(kScopeTraceColour, peak), cloudRamp(kScopeReferenceColour, cloudPeak);
    QImage cells(kVectorscopeCells, kVectorscopeCells, QImage::Format_RGB32);
    cells.fill(Qt::black);
    for (int v = 0; v < kVectorscopeCells; ++v) {
        auto* line = reinterpret_cast<QRgb*>(cells.scanLine(kVectorscopeCells - 1 - v));
        for (int u = 0; u < kVectorscopeCells; ++u) {
            const std::uint32_t count = data.Vectorscope(u, v);
            const std::uint32_t cloudCount = cloud ? cloud->Vectorscope(u, v) : 0;
            if (count == 0 && cloudCount == 0) continue;
            line[u] = Added(ramp(count), cloudRamp(cloudCount));
        }
    }
    return cells;
}

// The polygon of one histogram channel over the drawing's width.
// Heights follow the square root of the count (a gamma of 0.5).
QPolygonF HistogramOutline(const TScopeData& data, TScopeChannel channel, QSize size, std::uint32_t peak) {
    QPolygonF outline;
    const double w = size.width(), h = size.height() - 1;
    outline << QPointF(0, h);
    for (int l = 0; l < kScopeLevels; ++l) {
        const std::uint32_t count = data.Histogram(channel, l);
        const double height = std::min(std::sqrt(static_cast<double>(count) / peak), 1.0) * (h - 2);
        outline << QPointF(l * w / kScopeLevels, h - height) << QPointF((l + 1) * w / kScopeLevels, h - height);
    }
    outline << QPointF(w, h);
    return outline;
}

}  // namespace

QPointF VectorscopePoint(double u, double v, int side) {
    return QPointF((u / (2.0 * kChromaExtent) + 0.5) * side, (0.5 - v / (2.0 * kChromaExtent)) * side);
}

QImage DrawWaveform(const TScopeData& data, QSize size, bool parade) {
    QImage image = data.Columns() > 0 ? ToSize(WaveformCells(data, parade), size) : Blank(size);
    QPainter painter(&image);
    for (const double border : {kLowLumaLimit, kMiddleLumaLimit}) {
        painter.setPen(QPen(kRangeBorder, 1, Qt::DashLine));
        const double y = WaveformY(border, size.height());
        painter.drawLine(QPointF(0, y), QPointF(size.width(), y));
    }
    if (parade)
        for (int s = 1; s < 3; ++s) {
            painter.setPen(kFrame);
            painter.drawLine(s * size.width() / 3, 0, s * size.width() / 3, size.height());
        }
    DrawFrame(painter, size);
    return image;
}

QRectF ColourTargetBox(const TColourTarget& target, int side) {
    const QPointF at = VectorscopePoint(target.U, target.V, side);
    const double half = std::max(3.0, side / 36.0);
    return QRectF(at.x() - half, at.y() - half, 2 * half, 2 * half);
}

QImage DrawVectorscope(const TScopeData& data, int side, const TScopeReference& reference, TVectorscopeMarks marks) {
    const QSize size(side, side);
    QImage image = ToSize(VectorscopeCells(data, reference.Cloud), size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    DrawVectorscopeGraticule(painter, side, marks);
    if (reference.Stats) DrawReferenceStats(painter, side, *reference.Stats);
    painter.setRenderHint(QPainter::Antialiasing, false);
    DrawFrame(painter, size);
    return image;
}

QImage DrawHistogram(const TScopeData& data, QSize size) {
    QImage image = Blank(size);
    QPainter painter(&image);
    painter.setPen(QPen(kGraticule, 1, Qt::DotLine));
    for (const double border : {kLowLumaLimit, kMiddleLumaLimit}) {
        const double x = (border * (kScopeLevels - 1) + 0.5) * size.width() / kScopeLevels;
        painter.drawLine(QPointF(x, 0), QPointF(x, size.height()));
    }
    // Clipped pixels pile up at 0 and 255: those two levels do not set the
    // scale unless nothing lies between them, and are cut at the top.
    std::uint32_t inner = 0, ends = 1;
    for (int c = 0; c < kScopeChannels; ++c)
        for (int l = 0; l < kScopeLevels; ++l) {
            const std::uint32_t count = data.Histogram(static_cast<TScopeChannel>(c), l);
            std::uint32_t& peak = (l == 0 || l == kScopeLevels - 1) ? ends : inner;
            peak = std::max(peak, count);
        }
    const std::uint32_t peak = inner > 0 ? inner : ends;
    // The channels add up: where all three are equal the fill is grey.
    painter.setCompositionMode(QPainter::CompositionMode_Plus);
    painter.setPen(Qt::NoPen);
    const QColor fills[] = {QColor(120, 20, 20), QColor(20, 110, 30), QColor(30, 45, 140)};
    for (int c = scRed; c <= scBlue; ++c) {
        painter.setBrush(fills[c - scRed]);
        painter.drawPolygon(HistogramOutline(data, static_cast<TScopeChannel>(c), size, peak));
    }
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(255, 255, 255), 1.5));
    painter.drawPolyline(HistogramOutline(data, scLuma, size, peak));
    DrawFrame(painter, size);
    return image;
}

QSize ScopesSize(TScopeKind kind, int width) {
    const int w = std::max(width, kMinWidth);
    switch (kind) {
        case TScopeKind::Waveform:
        case TScopeKind::Histogram:
            return QSize(w, w / 2);
        case TScopeKind::Vectorscope:
            return QSize(w, w);
        case TScopeKind::All:
            break;
    }
    return QSize(w, w / 2 + kAllGap + w + kAllGap + w / 2);
}

int ScopesWidthFor(TScopeKind kind, QSize box) {
    // Heights grow with the width; the largest width that fits, by halving steps.
    int low = kMinWidth, high = std::max(box.width(), kMinWidth);
    while (low < high) {
        const int mid = (low + high + 1) / 2;
        if (ScopesSize(kind, mid).height() <= box.height())
            low = mid;
        else
            high = mid - 1;
    }
    return low;
}

QImage DrawScopes(const TScopeData& data, TScopeKind kind, int width, bool parade, const TScopeReference& reference) {
    const QSize size = ScopesSize(kind, width);
    const int w = size.width();
    switch (kind) {
        case TScopeKind::Waveform:
            return DrawWaveform(data, size, parade);
        case TScopeKind::Vectorscope:
            return DrawVectorscope(data, w, reference);
        case TScopeKind::Histogram:
            return DrawHistogram(data, size);
        case TScopeKind::All:
            break;
    }
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.drawImage(0, 0, DrawWaveform(data, QSize(w, w / 2), parade));
    painter.drawImage(0, w / 2 + kAllGap, DrawVectorscope(data, w, reference));
    painter.drawImage(0, w / 2 + kAllGap + w + kAllGap, DrawHistogram(data, QSize(w, w / 2)));
    return image;
}
