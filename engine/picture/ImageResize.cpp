// Separable resampling of 24-bit images with integer weights, and fitting an
// image into a box.
#include "engine/picture/ImageResize.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/base/Error.h"
#include "engine/picture/Image.h"
#include "engine/picture/ResizeReference.h"
#include "engine/picture/StretchSse2.h"

void FitToBox(int sourceWidth, int sourceHeight, int boxWidth, int boxHeight, int& width, int& height) {
    if (sourceWidth <= 0 || sourceHeight <= 0)
        throw EError("Cannot fit an image of " + std::to_string(sourceWidth) + " x " + std::to_string(sourceHeight) +
                     " pixels: it has no pixels.");
    if (boxWidth <= 0 || boxHeight <= 0)
        throw EError("Cannot fit an image into a box of " + std::to_string(boxWidth) + " x " +
                     std::to_string(boxHeight) + " pixels.");
    const float sx = static_cast<float>(boxWidth) / static_cast<float>(sourceWidth);
    const float sy = static_cast<float>(boxHeight) / static_cast<float>(sourceHeight);
    const float s = sx < sy ? sx : sy;
    if (s > 1.0f) {
        width = sourceWidth;
        height = sourceHeight;
        return;
    }
    width = std::max(1, RoundHalfEven(static_cast<float>(sourceWidth) * s));
    height = std::max(1, RoundHalfEven(static_cast<float>(sourceHeight) * s));
}

void ResizeImage(int width, int height, int filter, TImage& dest, const TImage& source, float support) {
    if (filter < 0 || filter >= kFilterCount) throw EError("Unknown resampling filter " + std::to_string(filter) + ".");
    if (width < 0 || height < 0)
        throw EError("Cannot resize an image to " + std::to_string(width) + " x " + std::to_string(height) +
                     " pixels.");
    if (source.Empty() && width > 0 && height > 0) throw EError("Cannot resize an image that has no pixels.");
    const TResizeFilter& f = kResizeFilters[filter];
    if (&dest == &source) {  // resizing in place: keep the pixels until they are read
        const TImage copy = source.Clone();
        ResizeImage(width, height, filter, dest, copy, support);
        return;
    }
    // Both passes write every pixel of the destination.
    dest.SetSizeToFill(width, height);
    StretchImage(f.Function, source, dest, support == 0.0f ? f.Support : support);
}

TImage FitImage(const TImage& source, int boxWidth, int boxHeight) {
    int width = 0, height = 0;
    FitToBox(source.Width(), source.Height(), boxWidth, boxHeight, width, height);
    if (width == source.Width() && height == source.Height()) return source.Clone();
    TImage fitted;
    ResizeImage(width, height, kLanczos3Filter, fitted, source, 0.0f);
    return fitted;
}

void StretchImage(TFilterFunction filter, const TImage& source, TImage& dest, float support) {
    if (source.Empty() || dest.Empty()) return;
    const TStretchScales s = StretchScales(source, dest);
    const TContributors columns = MakeContributors(filter, support, s.X, dest.Width(), source.Width());
    const TContributors rows = MakeContributors(filter, support, s.Y, dest.Height(), source.Height());
    if (!StretchFast(columns, rows, source, dest)) resizereference::StretchImage(filter, source, dest, support);
}
