// The AVX2 forms of the two resampling passes. Only these functions are
// compiled for AVX2 (the build targets plain x86-64); StretchFast calls them
// when the processor has it. The sums are the same exact 32-bit integer sums
// as the SSE2 passes make, sixteen 16-bit products to a multiply-add.
#include "engine/picture/StretchAvx2.h"

#include <algorithm>
#include <cstring>

#include "engine/picture/Image.h"
#include "engine/picture/StretchTaps.h"

#if defined(__SSE2__)
#include <immintrin.h>

#define OMBRANE_AVX2 __attribute__((target("avx2")))

namespace {

// DivideSum of eight sums at once; the multipliers lie in the low half of
// each 64-bit lane. Every quotient is below 2^31, so signed packing keeps it.
OMBRANE_AVX2 inline __m256i DivideEight(__m256i sums, __m256i multipliers, __m128i shift) {
    const __m256i n = _mm256_max_epi32(sums, _mm256_setzero_si256());
    const __m256i even = _mm256_srl_epi64(_mm256_mul_epu32(n, multipliers), shift);
    const __m256i odd = _mm256_srl_epi64(_mm256_mul_epu32(_mm256_srli_epi64(n, 32), multipliers), shift);
    return _mm256_or_si256(even, _mm256_slli_epi64(odd, 32));
}

// The 16 bytes of pixels k .. k+4 (both halves) as the 16-bit channel pairs
// HorizontalPairWeights lays out: blue, green and red of taps k and k+1 in
// the low half, of taps k+2 and k+3 in the high half, two zeros after each.
OMBRANE_AVX2 inline __m256i PairOrder() {
    return _mm256_setr_epi8(0, -1, 3, -1, 1, -1, 4, -1, 2, -1, 5, -1, -1, -1, -1, -1,  //
                            6, -1, 9, -1, 7, -1, 10, -1, 8, -1, 11, -1, -1, -1, -1, -1);
}

// The blue, green and red sums (and a zero) of one destination pixel in two
// rows, which share the weights: groups of four taps, kGroups of them when
// not 0 (then the loop unrolls).
template <int kGroups>
OMBRANE_AVX2 inline void PixelSums(const std::uint8_t* a, const std::uint8_t* b, const std::int16_t* w, int groups,
                                   __m256i order, __m128i& sa, __m128i& sb) {
    if (kGroups != 0) groups = kGroups;
    __m256i accA = _mm256_setzero_si256(), accB = accA;
#pragma GCC unroll 4
    for (int g = 0; g < groups; ++g) {
        const __m256i wv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w + 16 * g));
        const __m256i pa = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 12 * g)));
        const __m256i pb = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 12 * g)));
        accA = _mm256_add_epi32(accA, _mm256_madd_epi16(_mm256_shuffle_epi8(pa, order), wv));
        accB = _mm256_add_epi32(accB, _mm256_madd_epi16(_mm256_shuffle_epi8(pb, order), wv));
    }
    sa = _mm_add_epi32(_mm256_castsi256_si128(accA), _mm256_extracti128_si256(accA, 1));
    sb = _mm_add_epi32(_mm256_castsi256_si128(accB), _mm256_extracti128_si256(accB, 1));
}

// Divides the sums of four pixels by their multipliers and writes their 12 bytes.
OMBRANE_AVX2 inline void StoreFour(__m128i s0, __m128i s1, __m128i s2, __m128i s3, const std::uint32_t* multipliers,
                                   __m128i shift, std::uint8_t* out) {
    // Each pixel's multiplier spread over its four lanes.
    const __m256i m = _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(multipliers)));
    const __m256i m01 = _mm256_permutevar8x32_epi32(m, _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1));
    const __m256i m23 = _mm256_permutevar8x32_epi32(m, _mm256_setr_epi32(2, 2, 2, 2, 3, 3, 3, 3));
    const __m256i q01 = DivideEight(_mm256_set_m128i(s1, s0), m01, shift);
    const __m256i q23 = DivideEight(_mm256_set_m128i(s3, s2), m23, shift);
    // In-lane packing leaves pixels 0 and 2 in the low half, 1 and 3 in the high one.
    const __m256i words = _mm256_packs_epi32(q01, q23);
    const __m256i bytes = _mm256_packus_epi16(words, words);
    const __m256i ordered = _mm256_permutevar8x32_epi32(bytes, _mm256_setr_epi32(0, 4, 1, 5, 0, 0, 0, 0));
    const __m128i packed = _mm_shuffle_epi8(_mm256_castsi256_si128(ordered),
                                            _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), packed);
    _mm_storeu_si32(out + 8, _mm_srli_si128(packed, 8));
}

// Destination pixels i .. i+3 in rows a and b (the same row when there is one).
template <int kGroups>
OMBRANE_AVX2 inline void FourPixels(const TDenseTaps& taps, const std::int16_t* pairs, const std::uint8_t* a,
                                    const std::uint8_t* b, std::uint8_t* outA, std::uint8_t* outB, int i) {
    const int groups = taps.Length[0] / 4;
    const __m256i order = PairOrder();
    __m128i a0, a1, a2, a3, b0, b1, b2, b3;
    const std::int32_t *start = taps.Start.data() + i, *offset = taps.Offset.data() + i;
    PixelSums<kGroups>(a + 3 * start[0], b + 3 * start[0], pairs + 4 * offset[0], groups, order, a0, b0);
    PixelSums<kGroups>(a + 3 * start[1], b + 3 * start[1], pairs + 4 * offset[1], groups, order, a1, b1);
    PixelSums<kGroups>(a + 3 * start[2], b + 3 * start[2], pairs + 4 * offset[2], groups, order, a2, b2);
    PixelSums<kGroups>(a + 3 * start[3], b + 3 * start[3], pairs + 4 * offset[3], groups, order, a3, b3);
    const __m128i shift = _mm_cvtsi32_si128(taps.Shift);
    StoreFour(a0, a1, a2, a3, taps.Multiplier.data() + i, shift, outA + 3 * i);
    StoreFour(b0, b1, b2, b3, taps.Multiplier.data() + i, shift, outB + 3 * i);
}

// The last one to three destination pixels from i on, through a buffer of four.
OMBRANE_AVX2 void LastPixels(const TDenseTaps& taps, const std::int16_t* pairs, const std::uint8_t* a,
                             const std::uint8_t* b, std::uint8_t* outA, std::uint8_t* outB, int i, int width) {
    const int groups = taps.Length[0] / 4, count = width - i;
    __m128i sa[4], sb[4];
    std::uint32_t multipliers[4] = {1, 1, 1, 1};
    for (int j = 0; j < 4; ++j) {
        sa[j] = sb[j] = _mm_setzero_si128();
        if (j >= count) continue;
        const int start = 3 * taps.Start[i + j];
        PixelSums<0>(a + start, b + start, pairs + 4 * taps.Offset[i + j], groups, PairOrder(), sa[j], sb[j]);
        multipliers[j] = taps.Multiplier[i + j];
    }
    const __m128i shift = _mm_cvtsi32_si128(taps.Shift);
    std::uint8_t last[12];
    StoreFour(sa[0], sa[1], sa[2], sa[3], multipliers, shift, last);
    std::memcpy(outA + 3 * i, last, static_cast<std::size_t>(3 * count));
    StoreFour(sb[0], sb[1], sb[2], sb[3], multipliers, shift, last);
    std::memcpy(outB + 3 * i, last, static_cast<std::size_t>(3 * count));
}

// Rows a and b of the horizontal pass; the sources may be read up to the
// reach of HorizontalRowsAvx2.
template <int kGroups>
OMBRANE_AVX2 void TwoRows(const TDenseTaps& taps, const std::int16_t* pairs, const std::uint8_t* a,
                          const std::uint8_t* b, std::uint8_t* outA, std::uint8_t* outB, int width) {
    int i = 0;
    for (; i + 4 <= width; i += 4) FourPixels<kGroups>(taps, pairs, a, b, outA, outB, i);
    if (i < width) LastPixels(taps, pairs, a, b, outA, outB, i, width);
}

// The sums of 32 bytes of a destination row over the row pairs, divided.
OMBRANE_AVX2 inline void VerticalChunk(const std::uint8_t* const* rows, const std::int32_t* pairs, int count, int x,
                                       __m256i m, __m128i shift, std::uint8_t* out) {
    const __m256i zero = _mm256_setzero_si256();
    __m256i acc[4] = {zero, zero, zero, zero};
    for (int p = 0; p < count; ++p) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[2 * p] + x));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[2 * p + 1] + x));
        const __m256i w = _mm256_set1_epi32(pairs[p]);
        // Bytes of a and b side by side, then widened: a * wa + b * wb per byte.
        const __m256i lo = _mm256_unpacklo_epi8(a, b), hi = _mm256_unpackhi_epi8(a, b);
        acc[0] = _mm256_add_epi32(acc[0], _mm256_madd_epi16(_mm256_unpacklo_epi8(lo, zero), w));
        acc[1] = _mm256_add_epi32(acc[1], _mm256_madd_epi16(_mm256_unpackhi_epi8(lo, zero), w));
        acc[2] = _mm256_add_epi32(acc[2], _mm256_madd_epi16(_mm256_unpacklo_epi8(hi, zero), w));
        acc[3] = _mm256_add_epi32(acc[3], _mm256_madd_epi16(_mm256_unpackhi_epi8(hi, zero), w));
    }
    // In-lane packing undoes the in-lane unpacking: the bytes come out in order.
    const __m256i w01 = _mm256_packs_epi32(DivideEight(acc[0], m, shift), DivideEight(acc[1], m, shift));
    const __m256i w23 = _mm256_packs_epi32(DivideEight(acc[2], m, shift), DivideEight(acc[3], m, shift));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), _mm256_packus_epi16(w01, w23));
}

// A row narrower than one vector, byte by byte.
void NarrowRow(const std::uint8_t* const* rows, const std::int32_t* pairs, int count, std::uint32_t m, int shift,
               std::uint8_t* out, int bytes) {
    for (int x = 0; x < bytes; ++x) {
        std::int32_t sum = 0;
        for (int p = 0; p < count; ++p)
            sum += static_cast<std::int16_t>(pairs[p] & 0xFFFF) * rows[2 * p][x] +
                   static_cast<std::int16_t>(pairs[p] >> 16) * rows[2 * p + 1][x];
        out[x] = DivideSum(sum, m, shift);
    }
}

}  // namespace

std::vector<std::int16_t> HorizontalPairWeights(const TDenseTaps& taps) {
    std::vector<std::int16_t> pairs(taps.Weights.size() * 4, 0);
    for (std::size_t k = 0; k < taps.Weights.size(); k += 4)
        for (int half = 0; half < 2; ++half)
            for (int c = 0; c < 3; ++c) {
                pairs[4 * k + 8 * half + 2 * c] = taps.Weights[k + 2 * half];
                pairs[4 * k + 8 * half + 2 * c + 1] = taps.Weights[k + 2 * half + 1];
            }
    return pairs;
}

OMBRANE_AVX2 void HorizontalRowsAvx2(const TDenseTaps& taps, const std::vector<std::int16_t>& pairs,
                                     const TImage& source, TImage& work, int y0, int y1) {
    if (taps.Start.empty()) return;
    // Each pixel's last four taps are read 16 bytes at a time: up to 4 bytes
    // past its run, and a run padded to four taps may pass the row's end.
    // Rows are read in place as long as that stays inside the picture, from
    // a copy with a zero tail otherwise.
    std::size_t reach = static_cast<std::size_t>(source.Width()) * 3;
    for (std::size_t i = 0; i < taps.Start.size(); ++i)
        reach = std::max<std::size_t>(reach, 3 * static_cast<std::size_t>(taps.Start[i] + taps.Length[i]) + 4);
    const std::size_t end = source.Stride() * static_cast<std::size_t>(source.Height());
    std::vector<std::uint8_t> copies[2];
    const auto row = [&](int y, int c) {
        const std::uint8_t* src = source.Row(y);
        if (static_cast<std::size_t>(y) * source.Stride() + reach <= end) return src;
        copies[c].assign(reach, 0);
        std::memcpy(copies[c].data(), src, static_cast<std::size_t>(source.Width()) * 3);
        return static_cast<const std::uint8_t*>(copies[c].data());
    };
    // Runs of one to four groups with the loop over them unrolled.
    constexpr decltype(&TwoRows<0>) kPasses[] = {&TwoRows<0>, &TwoRows<1>, &TwoRows<2>, &TwoRows<3>, &TwoRows<4>};
    const int groups = taps.Length[0] / 4;
    const auto pass = kPasses[groups <= 4 ? groups : 0];
    for (int y = y0; y < y1; y += 2) {
        const int y2 = std::min(y + 1, y1 - 1);
        pass(taps, pairs.data(), row(y, 0), row(y2, 1), work.Row(y), work.Row(y2), work.Width());
    }
}

OMBRANE_AVX2 void VerticalRowsAvx2(const TDenseTaps& taps, const TImage& work, TImage& dest, int y0, int y1) {
    const int bytes = dest.Width() * 3;
    const __m128i shift = _mm_cvtsi32_si128(taps.Shift);
    std::vector<const std::uint8_t*> rows;
    std::vector<std::int32_t> pairs;  // weight of the first row low, of the second high
    for (int i = y0; i < y1; ++i) {
        const std::int16_t* w = taps.Weights.data() + taps.Offset[i];
        const int start = taps.Start[i];
        // Only the rows of the run that exist; a lone last row pairs with itself at weight 0.
        const int count = std::min(taps.Length[i], work.Height() - start);
        rows.clear();
        pairs.clear();
        for (int k = 0; k < count; k += 2) {
            const bool two = k + 1 < count;
            rows.push_back(work.Row(start + k));
            rows.push_back(work.Row(start + (two ? k + 1 : k)));
            pairs.push_back(static_cast<std::int32_t>((static_cast<std::uint32_t>(two ? w[k + 1] : 0) << 16) |
                                                      (static_cast<std::uint32_t>(w[k]) & 0xFFFFu)));
        }
        const int n = static_cast<int>(pairs.size());
        std::uint8_t* out = dest.Row(i);
        if (bytes < 32) {
            NarrowRow(rows.data(), pairs.data(), n, taps.Multiplier[i], taps.Shift, out, bytes);
            continue;
        }
        const __m256i m = _mm256_set1_epi32(static_cast<int>(taps.Multiplier[i]));
        // The last 32 bytes overlap the ones before rather than pass the row's end.
        for (int x = 0; x < bytes; x += 32)
            VerticalChunk(rows.data(), pairs.data(), n, std::min(x, bytes - 32), m, shift, out);
    }
}

#undef OMBRANE_AVX2

#endif
