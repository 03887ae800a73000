#pragma once
#include <algorithm>

#include "engine/picture/Image.h"
#include "engine/picture/ImageResize.h"
#include "tests/cli/KnownLooks.h"

// Same-scene pairs for the shot-matching tests: crops of one photograph,
// and how far two pictures lie apart.

// The part of a picture from (x, y), width x height, fitted into the box.
inline TImage CropFitted(const TImage& picture, int x, int y, int width, int height, int boxWidth, int boxHeight) {
    TImage crop(width, height);
    for (int row = 0; row < height; ++row) std::copy_n(picture.Row(y + row) + 3 * x, 3 * width, crop.Row(row));
    return FitImage(crop, boxWidth, boxHeight);
}

// The mean CIEDE2000 between two pictures of one size.
inline double MeanDifference(const TImage& a, const TImage& b) {
    const auto identity = CubeOf([](double r, double g, double blue, double* out) {
        out[0] = r;
        out[1] = g;
        out[2] = blue;
    });
    return MeasureFit(PairOf(a, b), *identity).MeanDeltaE;
}
