#pragma once
#include <string>
#include <vector>

// The coding of R'G'B' as Y'CbCr code values, by the formulas of ITU-R
// BT.601, BT.709 and BT.2020 (non-constant luminance):
//
//   Y' = Kr R' + Kg G' + Kb B'     Cb = (B' - Y') / (2 (1 - Kb))     Cr = (R' - Y') / (2 (1 - Kr))
//
// with Kg = 1 - Kr - Kb, and the code values of n bits
//   limited range: D_Y = 2^(n-8) (219 Y' + 16),   D_C = 2^(n-8) (224 C + 128)
//   full range:    D_Y = (2^n - 1) Y',            D_C = (2^n - 1) C + 2^(n-1)
// Decoding is the exact inverse, in double precision; no library's
// fixed-point approximation is involved.
// The offsets and scales of the code values at one depth and range.
struct TCodeScale {
    double LumaOffset, LumaScale, ChromaOffset, ChromaScale;
};

struct TYCbCrCoding {
    double Kr = 0.2126;
    double Kb = 0.0722;
    bool FullRange = false;
    int Bits = 8;
    std::string Name = "BT.709";  // the matrix's name for messages and reports

    TCodeScale Scale() const;
    // R'G'B' (nominally 0..1) from code values.
    void ToRgb(double y, double cb, double cr, float rgb[3]) const { ToRgb(Scale(), y, cb, cr, rgb); }
    // Code values, not yet rounded, from R'G'B'.
    void ToCodes(const float rgb[3], double& y, double& cb, double& cr) const { ToCodes(Scale(), rgb, y, cb, cr); }
    // The same with the scale of this coding taken once for many pixels.
    inline void ToRgb(const TCodeScale& s, double y, double cb, double cr, float rgb[3]) const;
    inline void ToCodes(const TCodeScale& s, const float rgb[3], double& y, double& cb, double& cr) const;
    // A code value rounded to the nearest integer within 0..2^Bits - 1.
    int Quantise(double code) const;
    // "BT.709 limited", "BT.601 full", ...
    std::string Description() const;
};

// The decoding of one coding for whole frames: the terms of each code value
// taken from tables made once, so a pixel costs one division instead of
// four. Each term is the same expression evaluated in the same order as in
// TYCbCrCoding::ToRgb, so the result is the same to the bit.
class TCodeTables {
public:
    // Tables for codes 0..2^bits - 1 (at least the coding's own).
    TCodeTables(const TYCbCrCoding& coding, int bits);
    // As coding.ToRgb(y, cb, cr, rgb) for codes within the tables.
    void ToRgb(int y, int cb, int cr, float rgb[3]) const {
        const double luma = luma_[y];
        const double red = luma + red_[cr];
        const double blue = luma + blue_[cb];
        const double green = (luma - kr_ * red - kb_ * blue) / greenShare_;
        rgb[0] = static_cast<float>(red);
        rgb[1] = static_cast<float>(green);
        rgb[2] = static_cast<float>(blue);
    }

private:
    double kr_, kb_, greenShare_;
    std::vector<double> luma_, red_, blue_;
};

// The matrices by their names in the clip's tags.
TYCbCrCoding Bt601Coding(int bits, bool fullRange);
TYCbCrCoding Bt709Coding(int bits, bool fullRange);
TYCbCrCoding Bt2020Coding(int bits, bool fullRange);

void TYCbCrCoding::ToRgb(const TCodeScale& s, double y, double cb, double cr, float rgb[3]) const {
    const double luma = (y - s.LumaOffset) / s.LumaScale;
    const double blueDiff = (cb - s.ChromaOffset) / s.ChromaScale;
    const double redDiff = (cr - s.ChromaOffset) / s.ChromaScale;
    const double red = luma + 2 * (1 - Kr) * redDiff;
    const double blue = luma + 2 * (1 - Kb) * blueDiff;
    const double green = (luma - Kr * red - Kb * blue) / (1 - Kr - Kb);
    rgb[0] = static_cast<float>(red);
    rgb[1] = static_cast<float>(green);
    rgb[2] = static_cast<float>(blue);
}

void TYCbCrCoding::ToCodes(const TCodeScale& s, const float rgb[3], double& y, double& cb, double& cr) const {
    const double red = rgb[0], green = rgb[1], blue = rgb[2];
    const double luma = Kr * red + (1 - Kr - Kb) * green + Kb * blue;
    y = s.LumaOffset + s.LumaScale * luma;
    cb = s.ChromaOffset + s.ChromaScale * ((blue - luma) / (2 * (1 - Kb)));
    cr = s.ChromaOffset + s.ChromaScale * ((red - luma) / (2 * (1 - Kr)));
}
