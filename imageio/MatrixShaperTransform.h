#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

// The display transform of 24-bit sRGB pixels into a matrix/TRC profile (the
// kind monitors are calibrated to), worked out without LittleCMS's
// per-pixel dispatch: each channel through a 256-entry table into 1.14
// fixed point, the 3 x 3 matrix of both profiles' colorants in 1.14 fixed
// point, and a 16385-entry table of the display's inverse curve to 8 bits.
// This is the arithmetic LittleCMS itself uses for 8-bit matrix-shaper pairs,
// with the tables built from the profiles' own curves through LittleCMS; the
// products of the first table and the matrix are tabled too, so a pixel
// costs three 16-byte look-ups, two additions and three byte look-ups.
//
// The tables are only as good as their agreement with LittleCMS's plain
// transform, which is the reference: SameAs compares the two on every one of
// the 16.7 million colours, and the caller keeps this road only when they
// agree on all of them.
class TMatrixShaperTransform {
public:
    // From LittleCMS profile handles (cmsHPROFILE). Null where the display
    // profile is no plain matrix/TRC RGB profile with XYZ connection space,
    // or its numbers would not fit the fixed-point road.
    static std::unique_ptr<TMatrixShaperTransform> Build(void* srgbProfile, void* displayProfile);

    // Converts count pixels of 3 bytes, blue first; source and target may
    // be the same.
    void Apply(const unsigned char* source, unsigned char* target, std::size_t count) const;

    // True when Apply gives the bytes of the LittleCMS transform (a
    // cmsHTRANSFORM from TYPE_BGR_8 to TYPE_BGR_8) for every colour.
    bool SameAs(void* plainTransform) const;

private:
    TMatrixShaperTransform() = default;

    static constexpr int kLinearSteps = 16384;  // 1.0 in 1.14 fixed point
    // For each input channel (red, green, blue) and code value, what it adds
    // to the display's red, green and blue before the rounding: the linear
    // value times the matrix's column, in 1.14 times 1.14 fixed point; red's
    // also carry the half that rounds the sum. The fourth place pads the
    // entry to 16 bytes.
    alignas(16) std::int32_t terms_[3][256][4] = {};
    std::uint8_t toDisplay_[3][kLinearSteps + 1] = {};
};
