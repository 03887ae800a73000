#pragma once
#include <cstdint>
#include <vector>

struct TShotCorrespondence;

// Whether the two frames of a correspondence show the same thing around
// each pixel. A grade changes colour and tone but keeps the picture's
// structure, so the lumas' gradients are compared, not the colours: in the
// window around a pixel, the cosine between the two fields of gradient
// vectors (one for a grade that only scales the contrast, near 0 for
// unrelated content).

enum TAgreement : std::uint8_t {
    agOutside = 0,  // the pixel's place lies outside GRADED
    agFlat = 1,     // too little structure in either frame to tell
    agAgrees = 2,
    agDiffers = 3,
};

constexpr int kAgreementRadius = 4;           // the window: (2 r + 1) squared pixels
constexpr double kStructureThreshold = 0.55;  // the least cosine taken as agreement

// One agreement per pixel of the correspondence, row by row.
std::vector<std::uint8_t> StructureAgreement(const TShotCorrespondence& pair);
