#pragma once

// CIELAB coordinates (D65 white) and the CIEDE2000 colour difference
// between two of them.
struct TLab {
    double L = 0.0;
    double A = 0.0;
    double B = 0.0;
};

// An sRGB colour (0..1 each, the sRGB transfer curve) as CIELAB with the D65
// white of sRGB; values outside 0..1 are taken as they stand.
TLab SrgbToLab(double red, double green, double blue);

// The CIEDE2000 difference with the parametric factors kL = kC = kH = 1.
double DeltaE2000(const TLab& first, const TLab& second);
