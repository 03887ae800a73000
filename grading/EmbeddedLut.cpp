#include "grading/EmbeddedLut.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/base/Error.h"
#include "engine/lut/LUT.h"
#include "formats/ClfFormat.h"

namespace {

// What the CLF reader keeps as it is: NaN, the infinities and magnitudes
// beyond a 32-bit float's would come back changed.
bool Keepable(const TRGBDouble& v) {
    constexpr double kLargest = std::numeric_limits<float>::max();
    return std::fabs(v.Red) <= kLargest && std::fabs(v.Green) <= kLargest && std::fabs(v.Blue) <= kLargest;
}

bool AllKeepable(const TLUT& lut) {
    if (lut.Kind == lkCurve || lut.Kind == lkCurveThenCube)
        for (int i = 0; i < std::clamp(lut.CurveSize, 0, kMaxCurveSize); ++i)
            if (!Keepable(lut.Curve[i])) return false;
    if (lut.Kind == lkCurve) return true;
    const int n = std::clamp(lut.CubeSize, 0, kMaxCubeSize);
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b)
                if (!Keepable(lut.Cube[r][g][b])) return false;
    return true;
}

}  // namespace

std::string KeptLutText(const TLUT& lut) {
    if (!AllKeepable(lut)) throw EError("the LUT holds a value that is not a finite 32-bit float number");
    return WriteExactClf(lut);
}

std::shared_ptr<const TLUT> KeptLutFromText(const std::string& text) {
    if (text.size() > kMaxKeptLutBytes)
        throw EError("the LUT is larger than " + std::to_string(kMaxKeptLutBytes / (1024 * 1024)) + " MiB");
    auto lut = std::make_shared<TLUT>();
    ReadClf(text, "", *lut);
    // Only tables come back exactly as written, and are written again.
    if (lut->Chain) throw EError("the LUT holds operators other than a curve and a cube");
    return lut;
}

std::unique_ptr<TLUT> CopyLutTables(const TLUT& lut) {
    auto copy = std::make_unique<TLUT>();
    copy->Kind = lut.Kind;
    copy->Comments = lut.Comments;
    copy->CurveSize = lut.CurveSize;
    copy->CubeSize = lut.CubeSize;
    std::copy(lut.Curve, lut.Curve + std::clamp(lut.CurveSize, 0, kMaxCurveSize), copy->Curve);
    const int n = std::clamp(lut.CubeSize, 0, kMaxCubeSize);
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g) std::copy(lut.Cube[r][g], lut.Cube[r][g] + n, copy->Cube[r][g]);
    return copy;
}
