#include "clip/ClipPicture.h"

#include <cstdint>

#include "engine/base/Clamp01.h"
#include "engine/base/Parallel.h"
#include "engine/picture/DeepGrade.h"
#include "engine/picture/ImageResize.h"

namespace {

constexpr int kMinRowsPerSlice = 16;

inline std::uint8_t Level8(float value) { return static_cast<std::uint8_t>(Clamp01(value) * 255.0 + 0.5); }

// The frame's colours rounded to 8 bits into `result`, every pixel written.
void PutColours(const TDeepImage& frame, TImage& result) {
    result.SetSizeToFill(frame.Width(), frame.Height());
    const int width = frame.Width();
    ParallelFor(frame.Height(), kMinRowsPerSlice, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const float* p = frame.Row(y);
            std::uint8_t* q = result.Row(y);
            // Stored blue, green, red.
            for (int x = 0; x < width; ++x, p += 3, q += 3) {
                q[0] = Level8(p[2]);
                q[1] = Level8(p[1]);
                q[2] = Level8(p[0]);
            }
        }
    });
}

}  // namespace

TImage ClipFrameToImage(const TDeepImage& frame) {
    TImage picture;
    PutClipFrameToImage(frame, picture);
    return picture;
}

void PutClipFrameToImage(const TDeepImage& frame, TImage& picture) {
    if (frame.HasAlpha()) {
        picture = DeepToImage(frame);
        return;
    }
    PutColours(frame, picture);
}

TImage ClipFrameColours(const TDeepImage& frame) {
    TImage result;
    PutColours(frame, result);
    return result;
}

void PutClipFrameColours(const TImage& picture, TDeepImage& frame) {
    const int width = frame.Width();
    ParallelFor(frame.Height(), kMinRowsPerSlice, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const std::uint8_t* p = picture.Row(y);
            float* q = frame.Row(y);
            for (int x = 0; x < width; ++x, p += 3, q += 3)
                for (int c = 0; c < 3; ++c) q[c] = static_cast<float>(p[2 - c] / 255.0);
        }
    });
}

TImage ClipFramePreview(const TDeepImage& frame, int boxWidth, int boxHeight) {
    return FitImage(ClipFrameToImage(frame), boxWidth, boxHeight);
}
