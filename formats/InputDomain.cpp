#include "formats/InputDomain.h"

#include <algorithm>

#include "engine/lut/CubeOperation.h"
#include "engine/lut/CurveOperation.h"

#include <cmath>
#include <memory>

#include "formats/FormatText.h"
#include "formats/LutFormat.h"

namespace {

constexpr std::string_view kDomainMin = "DOMAIN_MIN";
constexpr std::string_view kDomainMax = "DOMAIN_MAX";

// The numbers of a declaration, separated as NextToken separates them;
// false when one does not read or there are not `count` of them.
bool ReadDomainNumbers(std::string_view values, int count, double* numbers) {
    std::string rest = Trim(values);
    for (int i = 0; i < count; ++i) {
        std::string token;
        rest = Trim(rest);
        NextToken(rest, token);
        if (!TryParseFloat(Trim(token), numbers[i])) return false;
    }
    return Trim(rest).empty();
}

// The input coordinate of point i of n on a channel declared low..high.
double TablePosition(int i, int n, double low, double high) {
    return (static_cast<double>(i) / (n - 1) - low) / (high - low);
}

}  // namespace

bool TInputDomain::IsKeyword(std::string_view keyword) {
    return keyword == kDomainMin || keyword == kDomainMax || keyword == "LUT_1D_INPUT_RANGE" ||
           keyword == "LUT_3D_INPUT_RANGE";
}

bool TInputDomain::Take(std::string_view keyword, std::string_view values) {
    const std::string text = std::string(keyword) + " " + Trim(values);
    const bool perChannel = keyword == kDomainMin || keyword == kDomainMax;
    double numbers[3] = {0.0, 0.0, 0.0};
    if (!ReadDomainNumbers(values, perChannel ? 3 : 2, numbers)) {
        if (Malformed.empty()) Malformed = text;
        return false;
    }
    bool unit = true;
    if (perChannel) {
        const double identity = keyword == kDomainMin ? 0.0 : 1.0;
        double* target = keyword == kDomainMin ? Low : High;
        for (int c = 0; c < 3; ++c) {
            target[c] = numbers[c];
            unit = unit && numbers[c] == identity;
        }
    } else {
        for (int c = 0; c < 3; ++c) {
            Low[c] = numbers[0];
            High[c] = numbers[1];
        }
        unit = numbers[0] == 0.0 && numbers[1] == 1.0;
    }
    if (!unit && Declared.empty()) Declared = text;
    return unit;
}

bool TInputDomain::IsUnit() const {
    for (int c = 0; c < 3; ++c)
        if (Low[c] != 0.0 || High[c] != 1.0) return false;
    return Malformed.empty();
}

void TInputDomain::Check() const {
    if (!Malformed.empty()) throw ELUTError("Invalid input range \"" + Malformed + "\".");
    for (int c = 0; c < 3; ++c)
        if (!(High[c] > Low[c]))
            throw ELUTError("Invalid input range \"" + Declared + "\": the maximum must lie above the minimum.");
}

void TInputDomain::CheckAbsent(std::string_view table) const {
    if (!Malformed.empty() || !Declared.empty())
        throw ELUTError("Unsupported input range \"" + (Malformed.empty() ? Declared : Malformed) +
                        "\": the file holds no " + std::string(table) + ".");
}

void TInputDomain::BakeIntoCube(TLUT& lut) const {
    const int n = CheckedCubeSize(lut.CubeSize);
    auto source = std::make_unique<TLUT>();
    source->Kind = lkCube;
    source->CubeSize = n;
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b) source->Cube[r][g][b] = lut.Cube[r][g][b];
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b) {
                const TRGBDouble in{TablePosition(r, n, Low[0], High[0]), TablePosition(g, n, Low[1], High[1]),
                                    TablePosition(b, n, Low[2], High[2])};
                source->InterpolateCube(in, lut.Cube[r][g][b]);
            }
}

void TInputDomain::BakeIntoCurve(TLUT& lut) const {
    const int n = CheckedCurveSize(lut.CurveSize);
    auto source = std::make_unique<TLUT>();
    source->Kind = lkCurve;
    source->CurveSize = n;
    for (int i = 0; i < n; ++i) source->Curve[i] = lut.Curve[i];
    for (int i = 0; i < n; ++i) {
        const TRGBDouble in{TablePosition(i, n, Low[0], High[0]), TablePosition(i, n, Low[1], High[1]),
                            TablePosition(i, n, Low[2], High[2])};
        source->InterpolateCurve(in, lut.Curve[i]);
    }
}

std::unique_ptr<TLutOperation> TInputDomain::CubeOperation(const TLUT& lut) const {
    const int n = CheckedCubeSize(lut.CubeSize);
    auto table = std::make_unique<TLUT>();
    table->Kind = lkCube;
    table->CubeSize = n;
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g) std::copy(lut.Cube[r][g], lut.Cube[r][g] + n, table->Cube[r][g]);
    return std::make_unique<TCubeOperation>(std::move(table), TCubeInterpolation::Trilinear,
                                            TRGBDouble{Low[0], Low[1], Low[2]}, TRGBDouble{High[0], High[1], High[2]});
}

std::unique_ptr<TLutOperation> TInputDomain::CurveOperation(const TLUT& lut) const {
    const int n = CheckedCurveSize(lut.CurveSize);
    return std::make_unique<TCurveOperation>(std::vector<TRGBDouble>(lut.Curve, lut.Curve + n),
                                             TRGBDouble{Low[0], Low[1], Low[2]}, TRGBDouble{High[0], High[1], High[2]});
}
