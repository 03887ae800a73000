#include "scopeview/ScopeScales.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "engine/colour/ColorSpace.h"

namespace {

constexpr double kBarLevel = 0.75;
// The figures are 5 x 7 dots on a grid of whole pixels, a blank column
// between two: at the small sizes of the scales a drawn line blurs, while
// whole dots stay apart ("191" never reads as "8 1"). Each row is five bits,
// the leftmost dot the highest.
constexpr int kDotColumns = 5;
constexpr int kDotRows = 7;
constexpr int kAdvance = kDotColumns + 1;

struct TGlyph {
    char Character;
    unsigned char Rows[kDotRows];
};

constexpr TGlyph kGlyphs[] = {
    {'0', {0x0e, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0e}}, {'1', {0x04, 0x0c, 0x04, 0x04, 0x04, 0x04, 0x0e}},
    {'2', {0x0e, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1f}}, {'3', {0x1f, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0e}},
    {'4', {0x02, 0x06, 0x0a, 0x12, 0x1f, 0x02, 0x02}}, {'5', {0x1f, 0x10, 0x1e, 0x01, 0x01, 0x11, 0x0e}},
    {'6', {0x06, 0x08, 0x10, 0x1e, 0x11, 0x11, 0x0e}}, {'7', {0x1f, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0e, 0x11, 0x11, 0x0e, 0x11, 0x11, 0x0e}}, {'9', {0x0e, 0x11, 0x11, 0x0f, 0x01, 0x02, 0x0c}},
    {'%', {0x18, 0x19, 0x02, 0x04, 0x08, 0x13, 0x03}}, {'-', {0x00, 0x00, 0x00, 0x1f, 0x00, 0x00, 0x00}},
};

const TGlyph* GlyphOf(QChar c) {
    for (const TGlyph& glyph : kGlyphs)
        if (c == QLatin1Char(glyph.Character)) return &glyph;
    return nullptr;
}

// Screen pixels per dot for a label about `height` pixels high.
int DotSize(double height) { return std::max(1, static_cast<int>(std::lround(height / kDotRows))); }

}  // namespace

std::vector<TScaleMark> LevelScaleMarks(int codeMax) {
    std::vector<TScaleMark> marks;
    for (int percent = 0; percent <= 100; percent += 25) {
        const double share = percent / 100.0;
        const long code = std::lround(share * codeMax);
        marks.push_back({share, QString::number(percent) + '%', QString::number(code)});
    }
    return marks;
}

std::vector<TColourTarget> ColourTargets() {
    struct TBar {
        const char* Name;
        double R, G, B;
    };
    constexpr TBar kBars[] = {{"red", 1, 0, 0},  {"magenta", 1, 0, 1}, {"blue", 0, 0, 1},
                              {"cyan", 0, 1, 1}, {"green", 0, 1, 0},   {"yellow", 1, 1, 0}};
    std::vector<TColourTarget> targets;
    for (const TBar& bar : kBars) {
        double y, u, v;
        RGBToYUV(kBarLevel * bar.R, kBarLevel * bar.G, kBarLevel * bar.B, y, u, v);
        targets.push_back({bar.Name, QColor::fromRgbF(bar.R, bar.G, bar.B), u, v});
    }
    return targets;
}

double FullChromaRadius() {
    double radius = 0;
    for (const TColourTarget& target : ColourTargets())
        radius = std::max(radius, std::hypot(target.U, target.V) / kBarLevel);
    return radius;
}

double LabelWidth(const QString& text, double height) {
    if (text.isEmpty()) return 0;
    return static_cast<double>(DotSize(height) * (static_cast<int>(text.size()) * kAdvance - 1));
}

void DrawLabel(QPainter& painter, QPointF topLeft, const QString& text, double height) {
    const int dot = DotSize(height);
    // Whole pixels, so that every dot covers its pixels fully.
    const int top = static_cast<int>(std::lround(topLeft.y()) + std::lround((height - dot * kDotRows) / 2));
    int left = static_cast<int>(std::lround(topLeft.x()));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QColor ink = painter.pen().color();
    for (const QChar c : text) {
        if (const TGlyph* glyph = GlyphOf(c))
            for (int row = 0; row < kDotRows; ++row)
                for (int column = 0; column < kDotColumns; ++column)
                    if (glyph->Rows[row] & (0x10 >> column))
                        painter.fillRect(left + column * dot, top + row * dot, dot, dot, ink);
        left += kAdvance * dot;
    }
    painter.restore();
}
