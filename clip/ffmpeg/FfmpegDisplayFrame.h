#pragma once
extern "C" {
#include <libavutil/frame.h>
}

#include "clip/YCbCrCoding.h"
#include "clip/ffmpeg/FfmpegPixels.h"
#include "engine/picture/DeepImage.h"
#include "engine/picture/Image.h"

// A decoded frame made into the 24-bit picture the viewer shows while a
// clip plays, at the size it shows it, in one pass over the decoder's
// planes: each source row the picture needs is converted to RGB floats by
// the formulas ToImage uses (the same values, chroma repeated over the
// pixels it covers), scaled across to the picture's width, blended with its
// neighbour row and rounded to 8 bits as ClipFrameToImage rounds. Scaling
// is bilinear: cheaper than the Lanczos3 fit of a paused frame, and only
// rows the picture touches are converted. At the frame's own size nothing
// is blended, and the picture equals ClipFrameToImage of ToImage's frame
// byte for byte. Formats ToImage reads through libswscale take that road
// whole first.
class TDisplayFrame {
public:
    void Make(const AVFrame& frame, const TYCbCrCoding& coding, int width, int height, TImage& picture);

private:
    TFrameConverter converter_;
    TDeepImage whole_;  // the frame through ToImage, for formats read through libswscale
};
