#pragma once
#include "engine/picture/ResampleKernels.h"

class TImage;

namespace resizereference {
// StretchImage column by column exactly as the passes are defined, without
// threads or vector arithmetic; the yardstick for StretchImage.
void StretchImage(TFilterFunction filter, const TImage& source, TImage& dest, float support);
}  // namespace resizereference
