#pragma once
#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <vector>

class QPainter;

// The scales of the window's scopes: the marks of the level scales, the
// percent rings and colour targets of the vectorscope, and the small figures
// that label them. The figures are drawn as dots of a small built-in face,
// not with a font, so a drawing is the same on every machine and needs no
// GUI application.

// One mark of a level scale: the share of full scale (0..1) and its labels.
struct TScaleMark {
    double Share;
    QString Percent;  // "0%" .. "100%"
    QString Code;     // the code value at that share: "0" .. "255" for 8 bits
};
// The marks at 0, 25, 50, 75 and 100 %, with code values up to codeMax
// (255 for 8-bit pictures, 1023 for 10-bit ...), rounded to the nearest.
std::vector<TScaleMark> LevelScaleMarks(int codeMax);

// A colour target of the vectorscope: the chroma of a 75 % bar.
struct TColourTarget {
    const char* Name;
    QColor Colour;
    double U, V;
};
// The targets of the 75 % colour bars red, magenta, blue, cyan, green and
// yellow, in the scope's own chroma (RGBToYUV of the bar's values).
std::vector<TColourTarget> ColourTargets();
// The chroma radius of 100 % on the vectorscope's percent rings: the
// largest of the six 100 % bars'.
double FullChromaRadius();

// The size of a figure label drawn at the given height.
double LabelWidth(const QString& text, double height);
// Draws a label of digits, "%" and "-" in the colour of the painter's pen,
// about height pixels high (whole pixels per dot, at least one: 7 pixels at
// the small sizes), its top-left corner at topLeft.
void DrawLabel(QPainter& painter, QPointF topLeft, const QString& text, double height);
