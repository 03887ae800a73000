#include "formats/LutResampling.h"

#include <string>

#include "engine/base/Error.h"
#include "engine/lut/LUT.h"

void CheckUsableTables(const TLUT& source) {
    switch (source.Kind) {
        case lkCube:
        case lkCurveThenCube:
            if (source.CubeSize < 2 || source.CubeSize > kMaxCubeSize)
                throw EError("The LUT holds no usable cube (" + std::to_string(source.CubeSize) + " points per axis).");
            if (source.Kind == lkCube) break;
            [[fallthrough]];
        case lkCurve:
            if (source.CurveSize < 2 || source.CurveSize > kMaxCurveSize)
                throw EError("The LUT holds no usable curve (" + std::to_string(source.CurveSize) + " entries).");
            break;
        case lkIdentity:
            break;
    }
}

void BakeCube(const TLUT& source, int size, TLUT& target) {
    if (size < 2 || size > kMaxCubeSize) throw EError("Grid size " + std::to_string(size) + " is outside 2 to 101.");
    CheckUsableTables(source);
    if (source.Kind == lkCube && source.CubeSize == size) {
        for (int r = 0; r < size; ++r)
            for (int g = 0; g < size; ++g)
                for (int b = 0; b < size; ++b) target.Cube[r][g][b] = source.Cube[r][g][b];
    } else {
        for (int r = 0; r < size; ++r)
            for (int g = 0; g < size; ++g)
                for (int b = 0; b < size; ++b) {
                    const TRGBDouble in{GridValue(r, size), GridValue(g, size), GridValue(b, size)};
                    source.LookupNormalized(in, target.Cube[r][g][b]);
                }
    }
    target.CubeSize = size;
    target.Kind = lkCube;
}

void ResampleCurve(const TLUT& source, int size, TLUT& target) {
    if (size < 2 || size > kMaxCurveSize)
        throw EError("Curve length " + std::to_string(size) + " is outside 2 to 100001.");
    if (source.Kind != lkCurve) throw EError("The LUT holds no 1D curve to resample.");
    CheckUsableTables(source);
    if (source.CurveSize == size) {
        for (int i = 0; i < size; ++i) target.Curve[i] = source.Curve[i];
    } else {
        for (int i = 0; i < size; ++i) {
            const double v = GridValue(i, size);
            source.InterpolateCurve(TRGBDouble{v, v, v}, target.Curve[i]);
        }
    }
    target.CurveSize = size;
    target.Kind = lkCurve;
}
