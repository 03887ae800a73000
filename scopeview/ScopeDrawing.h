#pragma once
#include <QImage>
#include <QSize>

#include "engine/colour/ColorSpace.h"
#include "engine/scopes/Scopes.h"
#include "scopeview/ScopeScales.h"

// Which scopes a drawing shows; All stacks waveform, vectorscope and
// histogram from top to bottom.
enum class TScopeKind { All, Waveform, Vectorscope, Histogram };

// The selected reference on the vectorscope: the U/V cloud of its cell and
// the three luma ranges' chroma means and spreads. Either may be missing.
struct TScopeReference {
    const TScopeData* Cloud = nullptr;
    const TColorStats* Stats = nullptr;
};

// Colours of the drawings, for whoever explains them.
extern const QColor kScopeTraceColour;      // the picture's luma and chroma
extern const QColor kScopeReferenceColour;  // the reference's chroma
extern const QColor kScopeSkinColour;       // the skin-tone line

// The scopes of one picture as a picture of the given width; its height
// follows from the kind (ScopesSize). A width below 16 is taken as 16.
// Counts are shown with a logarithmic intensity on waveform and vectorscope,
// so that a colour of a few pixels stays visible beside one of thousands,
// and as heights with a gamma of 0.5 on the histogram.
QImage DrawScopes(const TScopeData& data, TScopeKind kind, int width, bool parade, const TScopeReference& reference);
QSize ScopesSize(TScopeKind kind, int width);
// The largest width whose drawing fits into the box.
int ScopesWidthFor(TScopeKind kind, QSize box);

// The single scopes, each into a picture of the given size.
// Waveform: luma per column, 0 at the bottom and 1 at the top, with lines at
// the luma range borders 0.33 and 0.66; parade: red, green and blue side by
// side instead.
QImage DrawWaveform(const TScopeData& data, QSize size, bool parade);
// What marks the vectorscope's directions: the six hue families of the
// saturation controls with chroma rings at 0.2, 0.4 and 0.6, or the 75 %
// colour bars' targets with rings at 25, 50, 75 and 100 % of full chroma.
enum class TVectorscopeMarks { HueFamilies, ColourTargets };
// Vectorscope: U to the right, V upwards, the marks, the skin-tone line, and
// the reference.
QImage DrawVectorscope(const TScopeData& data, int side, const TScopeReference& reference,
                       TVectorscopeMarks marks = TVectorscopeMarks::HueFamilies);
// The box a colour target is drawn as in a vectorscope of the given side.
QRectF ColourTargetBox(const TColourTarget& target, int side);
// Histogram: red, green, blue and luma over the 256 levels.
QImage DrawHistogram(const TScopeData& data, QSize size);

// Where a chroma point lies in a vectorscope drawing of the given side.
QPointF VectorscopePoint(double u, double v, int side);
