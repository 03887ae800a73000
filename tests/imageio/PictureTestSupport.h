#pragma once
#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/picture/Image.h"

// Pictures, files and PNG chunks the picture tests share.

// The colour profiles the system's colour manager installs.
inline const std::string kProfiles = "/usr/share/color/icc/colord/";

// A colour picture whose pixels all differ from their neighbours.
inline TImage Pattern(int width, int height) {
    TImage image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = image.Row(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(x * 7 + y);
            p[1] = static_cast<std::uint8_t>(y * 5 + 3 * x);
            p[2] = static_cast<std::uint8_t>(x * y + 11);
        }
    return image;
}

// Bytes in stripes that wrap round.
inline TImage Colours(int width, int height) {
    TImage image(width, height);
    for (int y = 0; y < height; ++y)
        for (int i = 0; i < 3 * width; ++i) image.Row(y)[i] = static_cast<std::uint8_t>((i * 37 + y * 11) % 256);
    return image;
}

// Noise: the largest stream a picture of its size makes.
inline TImage Noise(int width, int height) {
    TImage image(width, height);
    std::uint32_t state = 12345;
    for (int y = 0; y < height; ++y)
        for (int i = 0; i < 3 * width; ++i) {
            state = state * 1664525u + 1013904223u;
            image.Row(y)[i] = static_cast<std::uint8_t>(state >> 24);
        }
    return image;
}

inline void WriteBytes(const std::string& fileName, const std::string& bytes) {
    std::ofstream(fileName, std::ios::binary) << bytes;
}

inline std::string ReadBytes(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::string BigEndian32(std::uint32_t value) {
    std::string out;
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
    return out;
}

// The bytes with a chunk of the type and data put after IHDR.
inline std::string WithPngChunk(const std::string& png, const std::string& type, const std::string& data) {
    const std::string body = type + data;
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
    return png.substr(0, 33) + BigEndian32(static_cast<std::uint32_t>(data.size())) + body +
           BigEndian32(static_cast<std::uint32_t>(crc)) + png.substr(33);
}
