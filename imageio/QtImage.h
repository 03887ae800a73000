#pragma once
#include <QImage>

#include "engine/picture/Image.h"

// Conversions between Qt pictures and the 24-bit image of the engine.
// A picture with transparency is laid on white first.
TImage ImageFromQImage(const QImage& picture);
QImage QImageFromImage(const TImage& image);
