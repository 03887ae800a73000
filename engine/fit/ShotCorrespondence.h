#pragma once
#include <cstdint>
#include <vector>

class TImage;

// Two frames of one scene put side by side pixel for pixel: every pixel of
// FRAME beside GRADED's colour at the place a homography takes it to.

struct TShotCorrespondence {
    int Width = 0;  // FRAME's size
    int Height = 0;
    std::vector<float> Frame;           // FRAME's colours, red, green, blue 0..1, row by row
    std::vector<float> Graded;          // GRADED's colours at the mapped places (bilinear), 0 outside
    std::vector<std::uint8_t> Overlap;  // 1 where the mapped place lies inside GRADED

    std::size_t Pixels() const { return static_cast<std::size_t>(Width) * Height; }
};

// Maps FRAME's pixels into GRADED with the homography (row by row, taking
// FRAME's pixel (x, y, 1) to GRADED's, pixel centres at whole coordinates)
// and reads GRADED there bilinearly. Rows are shared out over the worker
// threads; the result does not depend on their number.
TShotCorrespondence MapGradedOntoFrame(const TImage& graded, const TImage& frame, const double homography[9]);
