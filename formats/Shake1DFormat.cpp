#include "formats/CountedCurveFormat.h"

namespace {

// Writes exactly as Cine-tal 1D; only its output profile differs.
class TShake1DLutFormat : public TCinetal1DLutFormat {
public:
    TShake1DLutFormat();
};

}  // namespace

TShake1DLutFormat::TShake1DLutFormat()
    : TCinetal1DLutFormat({.Id = "shake-1d",
                           .Name = "Shake 1D",
                           .Extensions = {"txt"},
                           .Is3D = false,
                           .Reads = false,
                           .MaxSize = kMaxCurveSize,
                           .MinBits = 1,
                           .MaxBits = 31}) {}

OMBRANE_LUT_FORMAT(TShake1DLutFormat)
