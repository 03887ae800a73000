#pragma once
#include <cstdint>
#include <random>

#include "engine/picture/Image.h"

// Small helpers for building test pictures.

inline void SetPixel(TImage& image, int x, int y, int r, int g, int b) {
    std::uint8_t* p = image.Row(y) + 3 * x;
    p[0] = static_cast<std::uint8_t>(b);
    p[1] = static_cast<std::uint8_t>(g);
    p[2] = static_cast<std::uint8_t>(r);
}

inline void Fill(TImage& image, int r, int g, int b) {
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x) SetPixel(image, x, y, r, g, b);
}

inline TImage RandomImage(int width, int height, std::uint32_t seed) {
    TImage image(width, height);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < 3 * width; ++x) image.Row(y)[x] = static_cast<std::uint8_t>(byte(rng));
    return image;
}

// Channel c (0 = blue, 1 = green, 2 = red) of a pixel.
inline int Channel(const TImage& image, int x, int y, int c) { return image.Row(y)[3 * x + c]; }
