// The fast form of the two resampling passes. The taps of one destination
// pixel are merged per source index into a dense run of 16-bit weights (taps
// that reflection sent to the same index are added up), so a pass becomes
// plain multiply-adds over contiguous memory. All sums are exact 32-bit
// integer sums of the same products, hence the same bytes as the
// column-by-column passes.
#include "engine/picture/StretchSse2.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "engine/base/Parallel.h"
#include "engine/picture/Image.h"

#if defined(__SSE2__)
#include <emmintrin.h>

namespace {

constexpr int kLanes = 8;  // 16-bit weights per vector

// Every list as one dense run: weight k applies to source index Start + k.
struct TDenseTaps {
    std::vector<std::int32_t> Start, Length, Offset, Total;
    std::vector<std::int16_t> Weights;  // runs padded with zeros to whole vectors
};

bool MakeDense(const TContributors& lists, TDenseTaps& d) {
    const std::size_t n = lists.size();
    d.Start.assign(n, 0);
    d.Length.assign(n, 0);
    d.Offset.assign(n, 0);
    d.Total.assign(n, 0);
    std::vector<std::int32_t> merged;
    for (std::size_t i = 0; i < n; ++i) {
        const TContributorList& list = lists[i];
        d.Offset[i] = static_cast<std::int32_t>(d.Weights.size());
        if (list.Count == 0) continue;
        int lo = list.Entries[0].Pixel, hi = lo;
        for (int k = 0; k < list.Count; ++k) {
            lo = std::min(lo, list.Entries[k].Pixel);
            hi = std::max(hi, list.Entries[k].Pixel);
            d.Total[i] += list.Entries[k].Weight;
        }
        const int span = hi - lo + 1;
        const int padded = (span + kLanes - 1) / kLanes * kLanes;
        merged.assign(static_cast<std::size_t>(padded), 0);
        for (int k = 0; k < list.Count; ++k) merged[list.Entries[k].Pixel - lo] += list.Entries[k].Weight;
        for (int w : merged) {
            if (w < std::numeric_limits<std::int16_t>::min() || w > std::numeric_limits<std::int16_t>::max())
                return false;
            d.Weights.push_back(static_cast<std::int16_t>(w));
        }
        d.Start[i] = lo;
        d.Length[i] = padded;
    }
    return true;
}

inline std::uint8_t Finish(int sum, int total) {
    const int q = total != 0 ? sum / total : static_cast<int>(static_cast<std::uint32_t>(sum) >> 8);
    return static_cast<std::uint8_t>(std::clamp(q, 0, 255));
}

inline int HorizontalSum(__m128i v) {
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm_cvtsi128_si32(v);
}

// Horizontal pass over source rows [y0, y1): each row is split into three
// 16-bit channel planes (with a zero tail for the padded runs).
void HorizontalRows(const TDenseTaps& taps, const TImage& source, TImage& work, int y0, int y1) {
    const int sw = source.Width(), dw = work.Width();
    const std::size_t plane = static_cast<std::size_t>(sw) + kLanes;
    std::vector<std::int16_t> planes(plane * 3, 0);
    std::int16_t* ch[3] = {planes.data(), planes.data() + plane, planes.data() + 2 * plane};
    for (int y = y0; y < y1; ++y) {
        const std::uint8_t* src = source.Row(y);
        for (int x = 0; x < sw; ++x) {
            ch[0][x] = src[3 * x];
            ch[1][x] = src[3 * x + 1];
            ch[2][x] = src[3 * x + 2];
        }
        std::uint8_t* out = work.Row(y);
        for (int i = 0; i < dw; ++i) {
            const std::int16_t* w = taps.Weights.data() + taps.Offset[i];
            const int start = taps.Start[i];
            __m128i a0 = _mm_setzero_si128(), a1 = a0, a2 = a0;
            for (int k = 0; k < taps.Length[i]; k += kLanes) {
                const __m128i wv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + k));
                a0 = _mm_add_epi32(
                    a0, _mm_madd_epi16(wv, _mm_loadu_si128(reinterpret_cast<const __m128i*>(ch[0] + start + k))));
                a1 = _mm_add_epi32(
                    a1, _mm_madd_epi16(wv, _mm_loadu_si128(reinterpret_cast<const __m128i*>(ch[1] + start + k))));
                a2 = _mm_add_epi32(
                    a2, _mm_madd_epi16(wv, _mm_loadu_si128(reinterpret_cast<const __m128i*>(ch[2] + start + k))));
            }
            const int total = taps.Total[i];
            out[3 * i] = Finish(HorizontalSum(a0), total);
            out[3 * i + 1] = Finish(HorizontalSum(a1), total);
            out[3 * i + 2] = Finish(HorizontalSum(a2), total);
        }
    }
}

// Adds wa * rowA + wb * rowB to the 32-bit sums, 16 bytes at a time.
void AddRowPair(const std::uint8_t* ra, const std::uint8_t* rb, int wa, int wb, std::int32_t* acc, int bytes) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i w = _mm_set1_epi32(
        static_cast<int>((static_cast<std::uint32_t>(wb) << 16) | (static_cast<std::uint32_t>(wa) & 0xFFFFu)));
    int x = 0;
    for (; x + 16 <= bytes; x += 16) {
        const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ra + x));
        const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rb + x));
        const __m128i alo = _mm_unpacklo_epi8(va, zero), ahi = _mm_unpackhi_epi8(va, zero);
        const __m128i blo = _mm_unpacklo_epi8(vb, zero), bhi = _mm_unpackhi_epi8(vb, zero);
        __m128i* dst = reinterpret_cast<__m128i*>(acc + x);
        _mm_storeu_si128(dst, _mm_add_epi32(_mm_loadu_si128(dst), _mm_madd_epi16(_mm_unpacklo_epi16(alo, blo), w)));
        _mm_storeu_si128(dst + 1,
                         _mm_add_epi32(_mm_loadu_si128(dst + 1), _mm_madd_epi16(_mm_unpackhi_epi16(alo, blo), w)));
        _mm_storeu_si128(dst + 2,
                         _mm_add_epi32(_mm_loadu_si128(dst + 2), _mm_madd_epi16(_mm_unpacklo_epi16(ahi, bhi), w)));
        _mm_storeu_si128(dst + 3,
                         _mm_add_epi32(_mm_loadu_si128(dst + 3), _mm_madd_epi16(_mm_unpackhi_epi16(ahi, bhi), w)));
    }
    for (; x < bytes; ++x) acc[x] += wa * ra[x] + wb * rb[x];
}

// Vertical pass for destination rows [y0, y1), whole rows at a time.
void VerticalRows(const TDenseTaps& taps, const TImage& work, TImage& dest, int y0, int y1) {
    const int bytes = dest.Width() * 3;
    std::vector<std::int32_t> acc(static_cast<std::size_t>(bytes));
    for (int i = y0; i < y1; ++i) {
        std::fill(acc.begin(), acc.end(), 0);
        const std::int16_t* w = taps.Weights.data() + taps.Offset[i];
        const int start = taps.Start[i];
        // Only the rows of the run that exist; the padding weights are zero.
        const int count = std::min(taps.Length[i], work.Height() - start);
        for (int k = 0; k < count; k += 2) {
            const int wb = k + 1 < count ? w[k + 1] : 0;
            const std::uint8_t* rb = work.Row(start + (k + 1 < count ? k + 1 : k));
            AddRowPair(work.Row(start + k), rb, w[k], wb, acc.data(), bytes);
        }
        std::uint8_t* out = dest.Row(i);
        const int total = taps.Total[i];
        for (int x = 0; x < bytes; ++x) out[x] = Finish(acc[x], total);
    }
}

constexpr int kMinOutputsPerThread = 1 << 14;

int MinRowsPerThread(int rowWidth) { return std::max(1, kMinOutputsPerThread / std::max(1, rowWidth)); }

// The first pass's picture, kept by each thread from one resize to the next:
// fresh memory costs more to fault in than the pass takes to fill it. Kept
// only up to a frame of 4K's worth, so that a thread done with large
// pictures does not hold their memory.
constexpr std::size_t kLargestKeptWork = std::size_t(3840) * 2160 * 3;

TImage& WorkPicture() {
    thread_local TImage work;
    return work;
}

void LetWorkGo(TImage& work) {
    if (work.Stride() * static_cast<std::size_t>(work.Height()) > kLargestKeptWork) work = TImage();
}

}  // namespace

bool StretchFast(const TContributors& columns, const TContributors& rows, const TImage& source, TImage& dest) {
    TDenseTaps h, v;
    if (!MakeDense(columns, h) || !MakeDense(rows, v)) return false;
    TImage& work = WorkPicture();  // every pixel written by the first pass
    work.SetSizeToFill(dest.Width(), source.Height());
    ParallelFor(source.Height(), MinRowsPerThread(dest.Width()),
                [&](int y0, int y1) { HorizontalRows(h, source, work, y0, y1); });
    ParallelFor(dest.Height(), MinRowsPerThread(dest.Width()),
                [&](int y0, int y1) { VerticalRows(v, work, dest, y0, y1); });
    LetWorkGo(work);
    return true;
}

#else

bool StretchFast(const TContributors&, const TContributors&, const TImage&, TImage&) { return false; }

#endif
