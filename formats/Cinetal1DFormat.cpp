#include <string>

#include "formats/CountedCurveFormat.h"
#include "formats/FormatFiles.h"
#include "formats/FormatText.h"

TCinetal1DLutFormat::TCinetal1DLutFormat()
    : TCountedCurveLutFormat({.Id = "cinetal-1d",
                              .Name = "Cine-tal 1D",
                              .Extensions = {"txt"},
                              .Is3D = false,
                              .Reads = false,
                              .MaxSize = kMaxCurveSize,
                              .MinBits = 1,
                              .MaxBits = 31}) {}

OMBRANE_LUT_FORMAT(TCinetal1DLutFormat)

bool TCinetal1DLutFormat::CanRead(std::string_view, const std::string&) const { return false; }

std::string TCinetal1DLutFormat::Write(const TLUT& lut, int Bits, const std::string&) const {
    const std::int32_t size = CheckedCurveSize(lut.CurveSize);
    FullScaleForBits(Info(), Bits);
    TTextFile text;
    text.Reserve(static_cast<std::size_t>(size));
    for (std::int32_t i = 0; i < size; ++i) text.Add(CountedCurveScaledTriple(Bits, lut.Curve[i]));
    return text.Text();
}
