#include "engine/fit/ShotCorrespondence.h"

#include <algorithm>

#include "engine/base/Parallel.h"
#include "engine/picture/Image.h"

namespace {

constexpr int kCorrespondenceRowsPerSlice = 8;

struct TPlace {
    double X;
    double Y;
};

TPlace Mapped(const double* h, int x, int y) {
    const double w = h[6] * x + h[7] * y + h[8];
    if (!(w > 1e-12)) return {-1.0, -1.0};
    return {(h[0] * x + h[1] * y + h[2]) / w, (h[3] * x + h[4] * y + h[5]) / w};
}

bool Inside(const TPlace& p, const TImage& image) {
    return p.X >= 0.0 && p.Y >= 0.0 && p.X <= image.Width() - 1 && p.Y <= image.Height() - 1;
}

// The bilinear colour at a place inside the image, red, green, blue 0..1.
void Bilinear(const TImage& image, const TPlace& p, float* rgb) {
    const int x0 = static_cast<int>(p.X);
    const int y0 = static_cast<int>(p.Y);
    const int x1 = std::min(x0 + 1, image.Width() - 1);
    const int y1 = std::min(y0 + 1, image.Height() - 1);
    const double fx = p.X - x0;
    const double fy = p.Y - y0;
    const std::uint8_t* top = image.Row(y0);
    const std::uint8_t* bottom = image.Row(y1);
    for (int c = 0; c < 3; ++c) {
        const int byte = 2 - c;  // stored blue, green, red
        const double upper = top[3 * x0 + byte] + fx * (top[3 * x1 + byte] - top[3 * x0 + byte]);
        const double lower = bottom[3 * x0 + byte] + fx * (bottom[3 * x1 + byte] - bottom[3 * x0 + byte]);
        rgb[c] = static_cast<float>((upper + fy * (lower - upper)) / 255.0);
    }
}

void MapRow(const TImage& graded, const TImage& frame, const double* h, int y, TShotCorrespondence& out) {
    const std::uint8_t* row = frame.Row(y);
    const std::size_t first = static_cast<std::size_t>(y) * out.Width;
    for (int x = 0; x < out.Width; ++x) {
        float* rgb = &out.Frame[(first + x) * 3];
        for (int c = 0; c < 3; ++c) rgb[c] = row[3 * x + 2 - c] / 255.0f;
        const TPlace p = Mapped(h, x, y);
        if (!Inside(p, graded)) continue;
        out.Overlap[first + x] = 1;
        Bilinear(graded, p, &out.Graded[(first + x) * 3]);
    }
}

}  // namespace

TShotCorrespondence MapGradedOntoFrame(const TImage& graded, const TImage& frame, const double homography[9]) {
    TShotCorrespondence out;
    out.Width = frame.Width();
    out.Height = frame.Height();
    out.Frame.assign(out.Pixels() * 3, 0.0f);
    out.Graded.assign(out.Pixels() * 3, 0.0f);
    out.Overlap.assign(out.Pixels(), 0);
    if (graded.Empty()) return out;
    ParallelFor(out.Height, kCorrespondenceRowsPerSlice, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) MapRow(graded, frame, homography, y, out);
    });
    return out;
}
