#pragma once
extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}
struct SwsContext;

#include <cstdint>

#include "clip/YCbCrCoding.h"
#include "engine/picture/DeepImage.h"

// The conversion between the library's frames and RGB pictures. Y'CbCr
// formats are converted by TYCbCrCoding's formulas; subsampled chroma is
// repeated over the pixels it covers on the way in and averaged over them
// on the way out, so a picture read and written back is unchanged. RGB
// formats are only scaled. Formats neither road reads directly (palettes,
// bit streams, Bayer, floats, XYZ) go through libswscale to 16-bit RGB
// (with alpha where they have it).

// The sample depth of a pixel format.
int FormatBits(AVPixelFormat format);
// Whether the format holds an alpha channel; frames read from it give
// pictures with alpha, and a picture's alpha is written into it (a picture
// without alpha as opaque).
bool FormatHasAlpha(AVPixelFormat format);
// Whether the format holds RGB rather than Y'CbCr.
bool IsRgbFormat(AVPixelFormat format);

// The conversion the stream's tags ask for: their matrix (untagged pictures
// taller than 576 lines as BT.709, smaller ones as BT.601) and their range
// (untagged as limited, except the full-range "yuvj" formats).
TYCbCrCoding CodingOf(AVPixelFormat format, AVColorSpace space, AVColorRange range, int height);

// A converter for one stream; it keeps its libswscale context.
class TFrameConverter {
public:
    TFrameConverter() = default;
    ~TFrameConverter();
    TFrameConverter(const TFrameConverter&) = delete;
    TFrameConverter& operator=(const TFrameConverter&) = delete;

    // The frame as RGB floats; the image is resized as needed.
    void ToImage(const AVFrame& frame, const TYCbCrCoding& coding, TDeepImage& image);
    // The picture into a frame allocated with its format and size.
    void ToFrame(const TDeepImage& image, const TYCbCrCoding& coding, AVFrame& frame);

private:
    SwsContext* reader_ = nullptr;
    SwsContext* writer_ = nullptr;
};

// For frames read a row at a time (the viewer's picture while playing):
// whether ToImage reads the format by the formulas here rather than through
// libswscale, and the samples of component c in row y of such a frame.
bool ReadsDirectly(AVPixelFormat format);
void FetchComponentRow(const AVFrame& frame, int c, int y, int width, std::uint16_t* out);
