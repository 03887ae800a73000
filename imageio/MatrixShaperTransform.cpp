#include "imageio/MatrixShaperTransform.h"

#include <lcms2.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <vector>

#include "engine/base/Parallel.h"

namespace {

using TMatrix = double[3][3];

// Both rounding steps as LittleCMS takes them: to 1.14 fixed point, and a
// sample of 0..1 to 16 bits (its quick floor adds a large constant so that
// the double's low word holds the value in 16.16 fixed point).
std::int64_t Fixed14(double x) { return static_cast<std::int64_t>(std::floor(x * 16384.0 + 0.5)); }

std::uint16_t SaturatedWord(double d) {
    d += 0.5;
    if (d <= 0) return 0;
    if (d >= 65535.0) return 0xFFFF;
    const auto bits = std::bit_cast<std::uint64_t>(d - 32767.0 + 68719476736.0 * 1.5);
    return static_cast<std::uint16_t>((static_cast<std::int32_t>(bits & 0xFFFFFFFFu) >> 16) + 32767);
}

std::uint8_t WordToByte(std::uint32_t w) { return static_cast<std::uint8_t>(((w * 65281u + 8388608u) >> 24) & 0xFFu); }

// The colorants as columns of an RGB to XYZ matrix.
bool Colorants(cmsHPROFILE profile, TMatrix& m) {
    const cmsTagSignature tags[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag};
    for (int c = 0; c < 3; ++c) {
        const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, tags[c]));
        if (xyz == nullptr) return false;
        m[0][c] = xyz->X;
        m[1][c] = xyz->Y;
        m[2][c] = xyz->Z;
    }
    return true;
}

bool Inverse(const TMatrix& a, TMatrix& b) {
    const double c0 = a[1][1] * a[2][2] - a[1][2] * a[2][1];
    const double c1 = -a[1][0] * a[2][2] + a[1][2] * a[2][0];
    const double c2 = a[1][0] * a[2][1] - a[1][1] * a[2][0];
    const double det = a[0][0] * c0 + a[0][1] * c1 + a[0][2] * c2;
    if (!(std::fabs(det) >= 0.0001)) return false;
    b[0][0] = c0 / det;
    b[0][1] = (a[0][2] * a[2][1] - a[0][1] * a[2][2]) / det;
    b[0][2] = (a[0][1] * a[1][2] - a[0][2] * a[1][1]) / det;
    b[1][0] = c1 / det;
    b[1][1] = (a[0][0] * a[2][2] - a[0][2] * a[2][0]) / det;
    b[1][2] = (a[0][2] * a[1][0] - a[0][0] * a[1][2]) / det;
    b[2][0] = c2 / det;
    b[2][1] = (a[0][1] * a[2][0] - a[0][0] * a[2][1]) / det;
    b[2][2] = (a[0][0] * a[1][1] - a[0][1] * a[1][0]) / det;
    return true;
}

// Colorants and curves only: LittleCMS takes any table towards the device
// before them, that of another intent too where the asked one is missing.
bool PlainRgbMatrixShaper(cmsHPROFILE profile) {
    if (cmsGetColorSpace(profile) != cmsSigRgbData || cmsGetPCS(profile) != cmsSigXYZData ||
        !cmsIsMatrixShaper(profile))
        return false;
    for (cmsTagSignature table : {cmsSigBToA0Tag, cmsSigBToA1Tag, cmsSigBToA2Tag, cmsSigBToD0Tag, cmsSigBToD1Tag,
                                  cmsSigBToD2Tag, cmsSigBToD3Tag})
        if (cmsIsTag(profile, table)) return false;
    return true;
}

const cmsTagSignature kCurves[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};

// The 65536 colours of one red value, blue first.
void ColoursOfRed(int red, std::vector<unsigned char>& colours) {
    colours.resize(65536 * 3);
    unsigned char* p = colours.data();
    for (int g = 0; g < 256; ++g)
        for (int b = 0; b < 256; ++b, p += 3) {
            p[0] = static_cast<unsigned char>(b);
            p[1] = static_cast<unsigned char>(g);
            p[2] = static_cast<unsigned char>(red);
        }
}

}  // namespace

std::unique_ptr<TMatrixShaperTransform> TMatrixShaperTransform::Build(void* srgbProfile, void* displayProfile) {
    if (!PlainRgbMatrixShaper(srgbProfile) || !PlainRgbMatrixShaper(displayProfile)) return nullptr;
    TMatrix toXyz, display, fromXyz;
    if (!Colorants(srgbProfile, toXyz) || !Colorants(displayProfile, display) || !Inverse(display, fromXyz))
        return nullptr;
    // The connection space holds XYZ scaled into 0..1 of its 16-bit
    // encoding: in on the way in, out on the way out.
    constexpr double kEncodable = 1.0 + 32767.0 / 32768.0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            toXyz[i][j] *= 1.0 / kEncodable;
            fromXyz[i][j] *= kEncodable;
        }
    std::int64_t matrix[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const double m = fromXyz[i][0] * toXyz[0][j] + fromXyz[i][1] * toXyz[1][j] + fromXyz[i][2] * toXyz[2][j];
            if (!(std::fabs(m) < 64.0)) return nullptr;
            matrix[i][j] = Fixed14(m);
        }
    std::unique_ptr<TMatrixShaperTransform> t(new TMatrixShaperTransform);
    for (int c = 0; c < 3; ++c) {
        const auto* in = static_cast<const cmsToneCurve*>(cmsReadTag(srgbProfile, kCurves[c]));
        const auto* out = static_cast<const cmsToneCurve*>(cmsReadTag(displayProfile, kCurves[c]));
        if (in == nullptr || out == nullptr) return nullptr;
        for (int i = 0; i < 256; ++i) {
            const float y = cmsEvalToneCurveFloat(in, static_cast<float>(i / 255.0));
            // Beyond the fixed-point range nothing here agrees with
            // LittleCMS; there is no such curve in sRGB's profile.
            if (!(std::fabs(y) < 2.0f)) return nullptr;
            // Below 2^29 each, the rounding included, so that three terms
            // add up within 32 bits.
            for (int k = 0; k < 3; ++k) {
                // The rounding of the sum rides on red's terms.
                const std::int64_t term = matrix[k][c] * Fixed14(y) + (c == 0 ? 0x2000 : 0);
                if (term <= -(std::int64_t{1} << 29) || term >= (std::int64_t{1} << 29)) return nullptr;
                t->terms_[c][i][k] = static_cast<std::int32_t>(term);
            }
        }
        const std::unique_ptr<cmsToneCurve, void (*)(cmsToneCurve*)> inverse(cmsReverseToneCurve(out),
                                                                             cmsFreeToneCurve);
        if (!inverse) return nullptr;
        for (int i = 0; i <= kLinearSteps; ++i) {
            float v = cmsEvalToneCurveFloat(inverse.get(), static_cast<float>(i / 16384.0));
            v = std::isnan(v) ? 0.0f : std::clamp(v, 0.0f, 1.0f);
            t->toDisplay_[c][i] = WordToByte(SaturatedWord(v * 65535.0));
        }
    }
    return t;
}

#if defined(__SSE2__)
void TMatrixShaperTransform::Apply(const unsigned char* source, unsigned char* target, std::size_t count) const {
    const __m128i* red = reinterpret_cast<const __m128i*>(terms_[0]);
    const __m128i* green = reinterpret_cast<const __m128i*>(terms_[1]);
    const __m128i* blue = reinterpret_cast<const __m128i*>(terms_[2]);
    const __m128i zero = _mm_setzero_si128(), top = _mm_set1_epi16(kLinearSteps);
    for (std::size_t i = 0; i < count; ++i, source += 3, target += 3) {
        const __m128i sum =
            _mm_srai_epi32(_mm_add_epi32(_mm_add_epi32(red[source[2]], green[source[1]]), blue[source[0]]), 14);
        // To 16 bits with saturation, then into 0..16384.
        const __m128i index = _mm_min_epi16(_mm_max_epi16(_mm_packs_epi32(sum, sum), zero), top);
        target[2] = toDisplay_[0][_mm_extract_epi16(index, 0)];
        target[1] = toDisplay_[1][_mm_extract_epi16(index, 1)];
        target[0] = toDisplay_[2][_mm_extract_epi16(index, 2)];
    }
}
#else
void TMatrixShaperTransform::Apply(const unsigned char* source, unsigned char* target, std::size_t count) const {
    auto index = [](std::int32_t sum) {
        const std::int32_t l = sum >> 14;
        return l < 0 ? 0 : (l > kLinearSteps ? kLinearSteps : l);
    };
    for (std::size_t i = 0; i < count; ++i, source += 3, target += 3) {
        const std::int32_t *r = terms_[0][source[2]], *g = terms_[1][source[1]], *b = terms_[2][source[0]];
        const auto red = index(r[0] + g[0] + b[0]), green = index(r[1] + g[1] + b[1]), blue = index(r[2] + g[2] + b[2]);
        target[0] = toDisplay_[2][blue];
        target[1] = toDisplay_[1][green];
        target[2] = toDisplay_[0][red];
    }
}
#endif

bool TMatrixShaperTransform::SameAs(void* plainTransform) const {
    std::atomic<bool> same = true;
    ParallelFor(256, 16, [&](int begin, int end) {
        std::vector<unsigned char> colours, plain(65536 * 3), fast(65536 * 3);
        for (int red = begin; red < end && same.load(std::memory_order_relaxed); ++red) {
            ColoursOfRed(red, colours);
            cmsDoTransform(plainTransform, colours.data(), plain.data(), 65536);
            Apply(colours.data(), fast.data(), 65536);
            if (plain != fast) same = false;
        }
    });
    return same;
}
