#pragma once
#include <string>

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
struct TYCbCrCoding {
    double Kr = 0.2126;
    double Kb = 0.0722;
    bool FullRange = false;
    int Bits = 8;
    std::string Name = "BT.709";  // the matrix's name for messages and reports

    // R'G'B' (nominally 0..1) from code values.
    void ToRgb(double y, double cb, double cr, float rgb[3]) const;
    // Code values, not yet rounded, from R'G'B'.
    void ToCodes(const float rgb[3], double& y, double& cb, double& cr) const;
    // A code value rounded to the nearest integer within 0..2^Bits - 1.
    int Quantise(double code) const;
    // "BT.709 limited", "BT.601 full", ...
    std::string Description() const;
};

// The matrices by their names in the clip's tags.
TYCbCrCoding Bt601Coding(int bits, bool fullRange);
TYCbCrCoding Bt709Coding(int bits, bool fullRange);
TYCbCrCoding Bt2020Coding(int bits, bool fullRange);
