#pragma once
#include <QImage>
#include <QRect>
#include <QSize>

#include "scopeview/ScopeDrawing.h"

// The window's scopes filling a box of any size: each plot takes the room
// its kind leaves (the vectorscope stays square), beside the room its
// labelled scales need: percent on the left of the waveform (or parade) and
// code values on its right, both under the histogram, percent rings and the
// 75 % colour targets on the vectorscope.

// Where each plot lies in the box; an empty rectangle for a plot not shown.
struct TScopeBoxLayout {
    QRect Waveform, Vectorscope, Histogram;
};
TScopeBoxLayout ScopeBoxLayout(TScopeKind kind, QSize box);

// The drawing of the box's size; codeMax is the largest code value of the
// picture's depth (255 for 8 bits).
QImage DrawScopesInBox(const TScopeData& data, TScopeKind kind, QSize box, bool parade,
                       const TScopeReference& reference, int codeMax = 255);
