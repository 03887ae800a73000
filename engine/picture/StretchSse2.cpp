// The fast form of the two resampling passes. The taps of one destination
// pixel are merged per source index into a dense run of 16-bit weights (taps
// that reflection sent to the same index are added up), so a pass becomes
// plain multiply-adds over contiguous memory. All sums are exact 32-bit
// integer sums of the same products, hence the same bytes as the
// column-by-column passes. The AVX2 forms (StretchAvx2.cpp) are taken in
// place of these where the processor has AVX2.
#include "engine/picture/StretchSse2.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <vector>

#include "engine/base/Parallel.h"
#include "engine/picture/Image.h"
#include "engine/picture/StretchAvx2.h"
#include "engine/picture/StretchForm.h"
#include "engine/picture/StretchTaps.h"

#if defined(__SSE2__)
#include <emmintrin.h>

namespace {

constexpr int kLanes = 8;  // 16-bit weights per vector

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
            const std::uint32_t m = taps.Multiplier[i];
            out[3 * i] = DivideSum(HorizontalSum(a0), m, taps.Shift);
            out[3 * i + 1] = DivideSum(HorizontalSum(a1), m, taps.Shift);
            out[3 * i + 2] = DivideSum(HorizontalSum(a2), m, taps.Shift);
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
        const std::uint32_t m = taps.Multiplier[i];
        for (int x = 0; x < bytes; ++x) out[x] = DivideSum(acc[x], m, taps.Shift);
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

// The form the passes take; see LimitStretchForm.
std::atomic<TStretchForm> formCap{TStretchForm::Avx2};

// Both passes through the work picture, each split across threads.
template <typename THorizontal, typename TVertical>
void RunPasses(const TImage& source, TImage& dest, THorizontal horizontal, TVertical vertical) {
    TImage& work = WorkPicture();  // every pixel written by the first pass
    work.SetSizeToFill(dest.Width(), source.Height());
    ParallelFor(source.Height(), MinRowsPerThread(dest.Width()), [&](int y0, int y1) { horizontal(work, y0, y1); });
    ParallelFor(dest.Height(), MinRowsPerThread(dest.Width()), [&](int y0, int y1) { vertical(work, y0, y1); });
    LetWorkGo(work);
}

bool StretchSse2(const TContributors& columns, const TContributors& rows, const TImage& source, TImage& dest) {
    TDenseTaps h, v;
    if (!MakeDenseTaps(columns, kLanes, false, h) || !MakeDenseTaps(rows, kLanes, false, v)) return false;
    RunPasses(
        source, dest, [&](TImage& work, int y0, int y1) { HorizontalRows(h, source, work, y0, y1); },
        [&](const TImage& work, int y0, int y1) { VerticalRows(v, work, dest, y0, y1); });
    return true;
}

// The horizontal runs are padded to four taps (one multiply-add of two pixel
// pairs), all to the same length (the loop over them unrolled); the vertical
// ones to two (one row pair).
bool StretchAvx2(const TContributors& columns, const TContributors& rows, const TImage& source, TImage& dest) {
    TDenseTaps h, v;
    if (!MakeDenseTaps(columns, 4, true, h) || !MakeDenseTaps(rows, 2, false, v)) return false;
    const std::vector<std::int16_t> pairs = HorizontalPairWeights(h);
    RunPasses(
        source, dest, [&](TImage& work, int y0, int y1) { HorizontalRowsAvx2(h, pairs, source, work, y0, y1); },
        [&](const TImage& work, int y0, int y1) { VerticalRowsAvx2(v, work, dest, y0, y1); });
    return true;
}

}  // namespace

TStretchForm WidestStretchForm() {
    static const TStretchForm widest = __builtin_cpu_supports("avx2") ? TStretchForm::Avx2 : TStretchForm::Sse2;
    return widest;
}

TStretchForm LimitStretchForm(TStretchForm form) { return formCap.exchange(form); }

bool StretchFast(const TContributors& columns, const TContributors& rows, const TImage& source, TImage& dest) {
    if (std::min(formCap.load(), WidestStretchForm()) == TStretchForm::Avx2)
        return StretchAvx2(columns, rows, source, dest);
    return StretchSse2(columns, rows, source, dest);
}

#else

TStretchForm WidestStretchForm() { return TStretchForm::Sse2; }

TStretchForm LimitStretchForm(TStretchForm form) { return form; }

bool StretchFast(const TContributors&, const TContributors&, const TImage&, TImage&) { return false; }

#endif
