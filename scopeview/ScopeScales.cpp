#include "scopeview/ScopeScales.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "engine/ColorSpace.h"

namespace {

constexpr double kBarLevel = 0.75;
constexpr double kFigureWidth = 0.55;  // of the height
constexpr double kFigureGap = 0.25;

// The seven segments of a figure: top, top right, bottom right, bottom,
// bottom left, top left, middle; bit i stands for segment i.
constexpr unsigned char kDigitSegments[] = {0x3f, 0x06, 0x5b, 0x4f, 0x66, 0x6d, 0x7d, 0x07, 0x7f, 0x6f};

void DrawSegments(QPainter& painter, QPointF at, double height, unsigned char segments) {
    const double w = kFigureWidth * height, h = height, m = height / 2;
    const QLineF lines[] = {
        {at.x(), at.y(), at.x() + w, at.y()},              // top
        {at.x() + w, at.y(), at.x() + w, at.y() + m},      // top right
        {at.x() + w, at.y() + m, at.x() + w, at.y() + h},  // bottom right
        {at.x(), at.y() + h, at.x() + w, at.y() + h},      // bottom
        {at.x(), at.y() + m, at.x(), at.y() + h},          // bottom left
        {at.x(), at.y(), at.x(), at.y() + m},              // top left
        {at.x(), at.y() + m, at.x() + w, at.y() + m},      // middle
    };
    for (int i = 0; i < 7; ++i)
        if (segments & (1u << i)) painter.drawLine(lines[i]);
}

void DrawPercent(QPainter& painter, QPointF at, double height) {
    const double w = kFigureWidth * height, dot = height * 0.22;
    painter.drawLine(QPointF(at.x(), at.y() + height), QPointF(at.x() + w, at.y()));
    painter.drawRect(QRectF(at.x(), at.y(), dot, dot));
    painter.drawRect(QRectF(at.x() + w - dot, at.y() + height - dot, dot, dot));
}

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
    return text.size() * (kFigureWidth + kFigureGap) * height - kFigureGap * height;
}

void DrawLabel(QPainter& painter, QPointF topLeft, const QString& text, double height) {
    QPointF at = topLeft;
    painter.save();
    painter.setBrush(Qt::NoBrush);
    for (const QChar c : text) {
        if (c.isDigit())
            DrawSegments(painter, at, height, kDigitSegments[c.digitValue()]);
        else if (c == '%')
            DrawPercent(painter, at, height);
        else if (c == '-')
            DrawSegments(painter, at, height, 0x40);
        at.rx() += (kFigureWidth + kFigureGap) * height;
    }
    painter.restore();
}
