#pragma once
#include <cstdint>

#include "engine/picture/Image.h"

// A picture of one colour.
inline TImage Filled(int width, int height, int r, int g, int b) {
    TImage image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = image.Row(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(b);
            p[1] = static_cast<std::uint8_t>(g);
            p[2] = static_cast<std::uint8_t>(r);
        }
    return image;
}
