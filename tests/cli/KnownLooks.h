#pragma once
#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/colour/ColorSpace.h"
#include "engine/fit/LutFit.h"
#include "engine/look/GradingRoad.h"
#include "engine/lut/LUT.h"
#include "engine/picture/Image.h"
#include "engine/picture/ImageResize.h"
#include "engine/picture/Thumbnail.h"
#include "imageio/ImageFile.h"

// Known looks to learn from graded pairs, and the photographs they grade
// (Debian's mate-backgrounds). Shared by the tests and bench/.

inline const std::string kPhotoFolder = "/usr/share/backgrounds/mate/nature/";

// A photograph fitted into the box with Lanczos3.
inline TImage LoadPhoto(const std::string& name, int box) {
    TImage photo;
    LoadImageFile(kPhotoFolder + name, photo);
    return FitImage(photo, box, box);
}

using TColourFunction = std::function<void(double r, double g, double b, double* out)>;

inline std::unique_ptr<TLUT> CubeOf(const TColourFunction& grade, int size = 33) {
    auto lut = std::make_unique<TLUT>();
    lut->Kind = lkCube;
    lut->CubeSize = size;
    for (int r = 0; r < size; ++r)
        for (int g = 0; g < size; ++g)
            for (int b = 0; b < size; ++b) {
                double out[3];
                grade(double(r) / (size - 1), double(g) / (size - 1), double(b) / (size - 1), out);
                lut->Cube[r][g][b] = {std::clamp(out[0], 0.0, 1.0), std::clamp(out[1], 0.0, 1.0),
                                      std::clamp(out[2], 0.0, 1.0)};
            }
    return lut;
}

// A strong S-curve on every channel and the hues turned by 25 degrees.
inline std::unique_ptr<TLUT> SCurveHueTwist() {
    return CubeOf([](double r, double g, double b, double* out) {
        double y, u, v;
        RGBToYUV(r, g, b, y, u, v);
        const double turn = 25.0 * 3.14159265358979 / 180.0;
        const double u2 = u * std::cos(turn) - v * std::sin(turn);
        const double v2 = u * std::sin(turn) + v * std::cos(turn);
        YUVToRGB(y, u2, v2, out[0], out[1], out[2]);
        for (int c = 0; c < 3; ++c) {
            const double x = std::clamp(out[c], 0.0, 1.0);
            out[c] = x * x * x * (x * (6.0 * x - 15.0) + 10.0);
        }
    });
}

// Almost black and white: a warm tone with a tenth of the colour left.
inline std::unique_ptr<TLUT> NearMonochrome() {
    return CubeOf([](double r, double g, double b, double* out) {
        const double y = 0.2126 * r + 0.7152 * g + 0.0722 * b;
        const double tint[3] = {1.0, 0.94, 0.82};
        const double in[3] = {r, g, b};
        for (int c = 0; c < 3; ++c) out[c] = 0.9 * y * tint[c] + 0.1 * in[c];
    });
}

// A camera-log encoding of linear light and back.
inline double LogEncode(double linear) { return std::log2(linear * 64.0 + 1.0) / std::log2(65.0); }
inline double LogDecode(double code) { return (std::exp2(code * std::log2(65.0)) - 1.0) / 64.0; }
inline double SrgbDecode(double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); }
inline double SrgbEncode(double v) {
    v = std::clamp(v, 0.0, 1.0);
    return v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1.0 / 2.4) - 0.055;
}

// From the log footage to display, with a little more saturation.
inline std::unique_ptr<TLUT> LogToDisplay() {
    return CubeOf([](double r, double g, double b, double* out) {
        const double lin[3] = {LogDecode(r), LogDecode(g), LogDecode(b)};
        const double y = 0.2126 * lin[0] + 0.7152 * lin[1] + 0.0722 * lin[2];
        for (int c = 0; c < 3; ++c) out[c] = SrgbEncode(y + 1.15 * (lin[c] - y));
    });
}

// A photograph as the log footage of the scene it shows.
inline TImage AsLogFootage(const TImage& photo) {
    TImage footage = photo.Clone();
    std::uint8_t table[256];
    for (int v = 0; v < 256; ++v)
        table[v] = static_cast<std::uint8_t>(std::lround(255.0 * LogEncode(SrgbDecode(v / 255.0))));
    for (int y = 0; y < footage.Height(); ++y)
        for (int x = 0; x < 3 * footage.Width(); ++x) footage.Row(y)[x] = table[footage.Row(y)[x]];
    return footage;
}

// The look of a reference picture as the library makes it, at the
// sliders' defaults.
inline std::unique_ptr<TLUT> LibraryLook(const std::string& referencePhoto) {
    const TImage reference = LoadPhoto(referencePhoto, 150);
    return MakeLookLut(LookFromReference(MakeThumbnailCell(reference), TLookPositions{}));
}

inline TImage Graded(const TImage& picture, const TLUT& lut) {
    TImage graded = picture.Clone();
    lut.ApplyToImage(graded);
    return graded;
}

inline void EightBitRow(const TImage& image, int y, float* rgb) {
    const std::uint8_t* p = image.Row(y);
    for (int x = 0; x < image.Width(); ++x, p += 3) {
        rgb[3 * x] = p[2] / 255.0f;
        rgb[3 * x + 1] = p[1] / 255.0f;
        rgb[3 * x + 2] = p[0] / 255.0f;
    }
}

// Two 24-bit pictures of one size as a pair (they must outlive it).
inline TPicturePair PairOf(const TImage& before, const TImage& after) {
    return {before.Width(), before.Height(), [&before, &after](int y, float* b, float* a) {
                EightBitRow(before, y, b);
                EightBitRow(after, y, a);
            }};
}
