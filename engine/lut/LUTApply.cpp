// The lookup operations of TLUT: trilinear cube and linear curve
// interpolation, lookup by kind, integer pixels and whole 8-bit images.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>

#include "engine/base/Clamp01.h"
#include "engine/base/Parallel.h"
#include "engine/footage/DistinctColours.h"
#include "engine/lut/LUT.h"
#include "engine/lut/LUTReference.h"
#include "engine/lut/LutChain.h"
#include "engine/picture/Image.h"

// The blends below work on 4-lane vectors inside this file only.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

constexpr int kPlane = kMaxCubeSize * kMaxCubeSize;  // entries between two red indexes

// Grid position of a coordinate along an axis whose last point is `last`:
// the coordinate is clamped into [0, 1] so the index stays in 0..last, and the
// upper neighbour is the index itself at the last point (weight 0 there).
struct TAxisPos {
    int Index;
    int Next;
    double Frac;
};

inline TAxisPos AxisPos(double x, int last) {
    const double p = last * Clamp01(x);
    const int i = static_cast<int>(p);
    return {i, std::min(i + 1, last), p - i};
}

// Last usable index of a table with `size` points, kept inside the capacity
// whatever the size field says.
inline int LastIndex(std::int32_t size, int capacity) {
    return static_cast<int>(std::clamp<std::int64_t>(std::int64_t{size} - 1, 0, capacity - 1));
}

inline double Lerp(double a, double b, double f) { return (1.0 - f) * a + f * b; }

inline double ChannelOf(const TRGBDouble& c, int ch) { return ch == 0 ? c.Red : ch == 1 ? c.Green : c.Blue; }

}  // namespace

void TLUT::InterpolateCube(const TRGBDouble& in, TRGBDouble& out) const {
    const int last = LastIndex(CubeSize, kMaxCubeSize);
    const TAxisPos r = AxisPos(in.Red, last), g = AxisPos(in.Green, last), b = AxisPos(in.Blue, last);
    double res[3];
    for (int c = 0; c < 3; ++c) {
        const double x00 =
            Lerp(ChannelOf(Cube[r.Index][g.Index][b.Index], c), ChannelOf(Cube[r.Index][g.Index][b.Next], c), b.Frac);
        const double x01 =
            Lerp(ChannelOf(Cube[r.Index][g.Next][b.Index], c), ChannelOf(Cube[r.Index][g.Next][b.Next], c), b.Frac);
        const double x10 =
            Lerp(ChannelOf(Cube[r.Next][g.Index][b.Index], c), ChannelOf(Cube[r.Next][g.Index][b.Next], c), b.Frac);
        const double x11 =
            Lerp(ChannelOf(Cube[r.Next][g.Next][b.Index], c), ChannelOf(Cube[r.Next][g.Next][b.Next], c), b.Frac);
        const double y0 = Lerp(x00, x01, g.Frac);
        const double y1 = Lerp(x10, x11, g.Frac);
        res[c] = Lerp(y0, y1, r.Frac);
    }
    out = {res[0], res[1], res[2]};
}

void TLUT::InterpolateCurve(const TRGBDouble& in, TRGBDouble& out) const {
    const int last = LastIndex(CurveSize, kMaxCurveSize);
    const TAxisPos r = AxisPos(in.Red, last), g = AxisPos(in.Green, last), b = AxisPos(in.Blue, last);
    out = {Lerp(Curve[r.Index].Red, Curve[r.Next].Red, r.Frac), Lerp(Curve[g.Index].Green, Curve[g.Next].Green, g.Frac),
           Lerp(Curve[b.Index].Blue, Curve[b.Next].Blue, b.Frac)};
}

void TLUT::LookupNormalized(const TRGBDouble& in, TRGBDouble& out) const {
    if (Chain) {
        TRGBDouble colour = in;
        Chain->Apply(colour);
        out = colour;
        return;
    }
    switch (Kind) {
        case lkCurve:
            InterpolateCurve(in, out);
            return;
        case lkCube:
            InterpolateCube(in, out);
            return;
        case lkCurveThenCube: {
            TRGBDouble mid;
            InterpolateCurve(in, mid);
            InterpolateCube(mid, out);
            return;
        }
        default:  // lkIdentity
            out = in;
            return;
    }
}

void TLUT::LookupPixel(const TLutPixel& in, TLutPixel& out) const {
    const double inScale = std::ldexp(1.0, in.Depth) - 1.0;
    const double outScale = std::ldexp(1.0, out.Depth) - 1.0;
    TRGBDouble v{in.Red / inScale, in.Green / inScale, in.Blue / inScale};
    TRGBDouble r;
    LookupNormalized(v, r);
    auto level = [outScale](double x) {
        const double q = std::nearbyint(outScale * Clamp01(x));
        return static_cast<std::uint16_t>(std::min(q, 65535.0));
    };
    out.Red = level(r.Red);
    out.Green = level(r.Green);
    out.Blue = level(r.Blue);
}

void lutreference::ApplyToImage(const TLUT& lut, TImage& image) {
    for (int y = 0; y < image.Height(); ++y) {
        std::uint8_t* p = image.Row(y);
        for (int x = 0; x < image.Width(); ++x, p += 3) {
            TLutPixel in, out;
            in.Red = p[2];
            in.Green = p[1];
            in.Blue = p[0];
            in.Depth = 8;
            out.Depth = 8;
            lut.LookupPixel(in, out);
            p[2] = static_cast<std::uint8_t>(out.Red);
            p[1] = static_cast<std::uint8_t>(out.Green);
            p[0] = static_cast<std::uint8_t>(out.Blue);
        }
    }
}

// ---------------------------------------------------------------------------
// The fast form of ApplyToImage. An 8-bit channel value decides alone where
// that channel lands on its cube axis (and what the curve makes of it), so the
// grid index, the neighbour step and the fraction are tabulated once per call
// with the same arithmetic as the per-pixel lookup. The three channels of a
// cube entry lie side by side, so the corners are blended as short vectors;
// each lane still computes (1 - f) * a + f * b with the same roundings.

namespace {

typedef double TVec4 __attribute__((vector_size(32)));

// Where one 8-bit value of one channel lands in the cube.
struct TAxisTable {
    std::int32_t Offset[256];  // index * stride of the axis, in doubles
    std::int32_t Step[256];    // (next - index) * stride, in doubles
    double Frac[256];
    double OneMinusFrac[256];
};

struct TApplyTables {
    TAxisTable Axis[3];  // red, green, blue
};

// Coordinate of 8-bit value v of channel ch on the cube axis: v / 255,
// through the curve first for lkCurveThenCube.
double CubeCoordinate(const TLUT& lut, int ch, int v) {
    const double x = v / 255.0;
    if (lut.Kind != lkCurveThenCube) return x;
    const int last = LastIndex(lut.CurveSize, kMaxCurveSize);
    const TAxisPos p = AxisPos(x, last);
    return Lerp(ChannelOf(lut.Curve[p.Index], ch), ChannelOf(lut.Curve[p.Next], ch), p.Frac);
}

void FillCubeTables(const TLUT& lut, TApplyTables& t) {
    const int last = LastIndex(lut.CubeSize, kMaxCubeSize);
    const int stride[3] = {kPlane * 3, kMaxCubeSize * 3, 3};
    for (int ch = 0; ch < 3; ++ch)
        for (int v = 0; v < 256; ++v) {
            const TAxisPos p = AxisPos(CubeCoordinate(lut, ch, v), last);
            t.Axis[ch].Offset[v] = p.Index * stride[ch];
            t.Axis[ch].Step[v] = (p.Next - p.Index) * stride[ch];
            t.Axis[ch].Frac[v] = p.Frac;
            t.Axis[ch].OneMinusFrac[v] = 1.0 - p.Frac;
        }
}

// Loads the three channels of an entry into the first lanes. The wide form
// also reads the next entry's red into the unused lane, so it is only used
// when that entry lies inside the table (any cube of at most 100 points).
template <bool kWide>
inline TVec4 LoadEntry(const double* p) {
    if constexpr (kWide) {
        TVec4 v;
        std::memcpy(&v, p, sizeof v);
        return v;
    } else {
        return TVec4{p[0], p[1], p[2], 0.0};
    }
}

inline TVec4 Blend(TVec4 a, TVec4 b, double g, double f) { return g * a + f * b; }

// Clamps into [0, 1] (not a number gives 0), scales to 255 and rounds half
// to even by adding and removing 2^52, as nearbyint does for these values.
inline void StoreBytes(TVec4 v, std::uint8_t* p) {
    typedef std::int64_t TLong4 __attribute__((vector_size(32)));
    const TVec4 zero = {0, 0, 0, 0}, one = {1, 1, 1, 1};
    v = v >= zero ? v : zero;
    v = v > one ? one : v;
    const double shift = 4503599627370496.0;  // 2^52
    const TVec4 rounded = (v * 255.0 + shift) - shift;
    const TLong4 q = __builtin_convertvector(rounded, TLong4);
    p[2] = static_cast<std::uint8_t>(q[0]);
    p[1] = static_cast<std::uint8_t>(q[1]);
    p[0] = static_cast<std::uint8_t>(q[2]);
}

// Grades the rows of source into out (the same picture when in place).
template <bool kWide>
__attribute__((target_clones("avx2", "default"))) void CubeRows(const TLUT& lut, const TApplyTables& t,
                                                                const TImage& source, TImage& out, int y0, int y1) {
    const double* cube = &lut.Cube[0][0][0].Red;
    const TAxisTable &ar = t.Axis[0], &ag = t.Axis[1], &ab = t.Axis[2];
    for (int y = y0; y < y1; ++y) {
        const std::uint8_t* p = source.Row(y);
        std::uint8_t* q = out.Row(y);
        for (int x = 0; x < source.Width(); ++x, p += 3, q += 3) {
            const int vb = p[0], vg = p[1], vr = p[2];
            const double* c000 = cube + ar.Offset[vr] + ag.Offset[vg] + ab.Offset[vb];
            const int sr = ar.Step[vr], sg = ag.Step[vg], sb = ab.Step[vb];
            const double fb = ab.Frac[vb], gb = ab.OneMinusFrac[vb];
            const TVec4 x00 = Blend(LoadEntry<kWide>(c000), LoadEntry<kWide>(c000 + sb), gb, fb);
            const TVec4 x01 = Blend(LoadEntry<kWide>(c000 + sg), LoadEntry<kWide>(c000 + sg + sb), gb, fb);
            const TVec4 x10 = Blend(LoadEntry<kWide>(c000 + sr), LoadEntry<kWide>(c000 + sr + sb), gb, fb);
            const TVec4 x11 = Blend(LoadEntry<kWide>(c000 + sr + sg), LoadEntry<kWide>(c000 + sr + sg + sb), gb, fb);
            const double fg = ag.Frac[vg], gg = ag.OneMinusFrac[vg];
            const TVec4 y0v = Blend(x00, x01, gg, fg);
            const TVec4 y1v = Blend(x10, x11, gg, fg);
            StoreBytes(Blend(y0v, y1v, ar.OneMinusFrac[vr], ar.Frac[vr]), q);
        }
    }
}

// For lkCurve every output channel depends on its own input channel only.
void CurveRows(const std::uint8_t (&table)[3][256], TImage& image, int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
        std::uint8_t* p = image.Row(y);
        for (int x = 0; x < image.Width(); ++x, p += 3) {
            p[0] = table[2][p[0]];
            p[1] = table[1][p[1]];
            p[2] = table[0][p[2]];
        }
    }
}

constexpr int kMinPixelsPerThread = 1 << 16;

void ForRows(const TImage& image, const std::function<void(int, int)>& rows) {
    const int minRows = std::max(1, kMinPixelsPerThread / std::max(1, image.Width()));
    ParallelFor(image.Height(), minRows, rows);
}

void ApplyCurve(const TLUT& lut, TImage& image) {
    std::uint8_t table[3][256];
    for (int v = 0; v < 256; ++v) {
        TLutPixel in, out;
        in.Red = in.Green = in.Blue = static_cast<std::uint16_t>(v);
        in.Depth = out.Depth = 8;
        lut.LookupPixel(in, out);
        table[0][v] = static_cast<std::uint8_t>(out.Red);
        table[1][v] = static_cast<std::uint8_t>(out.Green);
        table[2][v] = static_cast<std::uint8_t>(out.Blue);
    }
    ForRows(image, [&](int y0, int y1) { CurveRows(table, image, y0, y1); });
}

void ApplyCube(const TLUT& lut, const TImage& source, TImage& out) {
    auto tables = std::make_unique<TApplyTables>();
    FillCubeTables(lut, *tables);
    if (LastIndex(lut.CubeSize, kMaxCubeSize) < kMaxCubeSize - 1)
        ForRows(source, [&](int y0, int y1) { CubeRows<true>(lut, *tables, source, out, y0, y1); });
    else
        ForRows(source, [&](int y0, int y1) { CubeRows<false>(lut, *tables, source, out, y0, y1); });
}

// A chain is evaluated per pixel, as the reference lookup does.
std::uint32_t ChainColour(const TLUT& lut, std::uint32_t key) {
    TLutPixel in, out;
    in.Red = static_cast<std::uint16_t>(key >> 16);
    in.Green = static_cast<std::uint16_t>((key >> 8) & 255);
    in.Blue = static_cast<std::uint16_t>(key & 255);
    lut.LookupPixel(in, out);
    return (std::uint32_t{out.Red} << 16) | (std::uint32_t{out.Green} << 8) | out.Blue;
}

void ApplyChainPerPixel(const TLUT& lut, TImage& image) {
    ForRows(image, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            std::uint8_t* p = image.Row(y);
            for (int x = 0; x < image.Width(); ++x, p += 3) {
                const std::uint32_t out =
                    ChainColour(lut, (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0]);
                p[2] = static_cast<std::uint8_t>(out >> 16);
                p[1] = static_cast<std::uint8_t>(out >> 8);
                p[0] = static_cast<std::uint8_t>(out);
            }
        }
    });
}

// A chain costs far more per pixel than a table, and a photograph holds few
// distinct colours among its millions of pixels (a few hundred thousand):
// pictures, or strips of one, from this size on evaluate each colour once and
// look the rest up in the chain's memo; a band of rows of mostly new colours
// is evaluated pixel by pixel there.
constexpr double kMemoMinPixels = 1 << 16;
constexpr double kMemoMaxNewShare = 0.5;

void ApplyChain(const TLUT& lut, TImage& image) {
    if (static_cast<double>(image.Width()) * image.Height() < kMemoMinPixels) {
        ApplyChainPerPixel(lut, image);
        return;
    }
    lut.Chain->Memo().Convert(image, kMemoMaxNewShare, [&](std::uint32_t* colours, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) colours[i] = ChainColour(lut, colours[i]);
    });
}

}  // namespace

void TLUT::ApplyToImage(TImage& image) const {
    if (image.Empty()) return;
    if (Chain) {
        ApplyChain(*this, image);
        return;
    }
    switch (Kind) {
        case lkCurve:
            ApplyCurve(*this, image);
            return;
        case lkCube:
        case lkCurveThenCube:
            ApplyCube(*this, image, image);
            return;
        default:
            // The identity maps every 8-bit value to itself: 255 * (v / 255) rounds back to v.
            return;
    }
}

void TLUT::ApplyToImage(const TImage& source, TImage& out) const {
    if (&source == &out) {
        ApplyToImage(out);
        return;
    }
    if (out.Width() != source.Width() || out.Height() != source.Height()) out = TImage(source.Width(), source.Height());
    if (!Chain && (Kind == lkCube || Kind == lkCurveThenCube) && !source.Empty()) {
        ApplyCube(*this, source, out);
        return;
    }
    for (int y = 0; y < source.Height(); ++y)
        std::memcpy(out.Row(y), source.Row(y), 3 * static_cast<std::size_t>(source.Width()));
    ApplyToImage(out);
}
