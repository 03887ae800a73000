#pragma once

class TImage;
class TLUT;

namespace lutreference {

// Grades the image pixel by pixel through TLUT::LookupPixel, with nothing
// tabulated and no threads. TLUT::ApplyToImage gives the same bytes faster;
// this plain form is kept as the yardstick it is checked against.
void ApplyToImage(const TLUT& lut, TImage& image);

}  // namespace lutreference
