#include "SourceMatch.h"

#include "ImageResize2.h"

TImage PrepareFrame(const TImage& picture) { return FitImage(picture, kFrameBoxWidth, kFrameBoxHeight); }

TColorStats FrameStatistics(const TImage& picture) {
    if (picture.Empty()) throw EError("The picture to match is empty.");
    TColorStats stats;
    ComputeColorStats(PrepareFrame(picture), stats);
    return stats;
}
