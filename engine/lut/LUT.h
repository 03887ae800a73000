#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TImage;
class TLutChain;

// Three 64-bit floats, red, green, blue, normalised 0..1.
struct TRGBDouble {
    double Red = 0.0;
    double Green = 0.0;
    double Blue = 0.0;
};

enum TLutKind : std::uint8_t {
    lkCurve = 0,          // the curve only, each channel through its own column
    lkCube = 1,           // the cube only
    lkCurveThenCube = 2,  // the curve first, then the cube on the curve's result
    lkIdentity = 3,       // nothing: the output equals the input
};

// One integer pixel of a given bit depth (full scale is 2^Depth - 1).
struct TLutPixel {
    std::uint16_t Red = 0;
    std::uint16_t Green = 0;
    std::uint16_t Blue = 0;
    std::uint8_t Depth = 8;
};

constexpr int kMaxCubeSize = 101;      // grid points per cube axis
constexpr int kMaxCurveSize = 100001;  // curve entries

// The colour look-up table: a 101 x 101 x 101 cube indexed [red][green][blue]
// (blue fastest, the full 101-wide stride kept whatever CubeSize is) and a
// 100001-entry curve. Only the first CubeSize / CurveSize points are in use.
// The tables (about 27 MB) are mapped once with the object, zero-filled;
// the object is neither copied nor moved, so the table pointers stay valid.
class TLUT {
public:
    using TCubePlane = TRGBDouble[kMaxCubeSize][kMaxCubeSize];

    TLUT();
    ~TLUT();
    TLUT(const TLUT&) = delete;
    TLUT& operator=(const TLUT&) = delete;

    TLutKind Kind = lkCurve;
    std::vector<std::string> Comments;

    // A LUT read from a file that is a chain of operations (a matrix before
    // a curve, a log function, an input domain, ...) keeps the chain here:
    // every lookup and ApplyToImage then evaluate the chain exactly, and the
    // tables hold the chain baked for the writers. Empty for a LUT that is
    // its tables.
    std::shared_ptr<const TLutChain> Chain;

private:
    // The tables are pages of their own, mapped zeroed by the system (see
    // LUT.cpp); the deleter knows the table's size to unmap them.
    struct TPagesDeleter {
        std::size_t Bytes = 0;
        void operator()(void* p) const;
    };
    std::unique_ptr<TCubePlane[], TPagesDeleter> cubeStore_;
    std::unique_ptr<TRGBDouble[], TPagesDeleter> curveStore_;

public:
    TCubePlane* const Cube;   // Cube[r][g][b]
    TRGBDouble* const Curve;  // Curve[i]
    std::int32_t CurveSize = 0;
    std::int32_t CubeSize = 0;

    // Trilinear interpolation in the cube; coordinates are clamped into
    // [0, 1] (NaN becomes 0) so no input reads outside the table.
    void InterpolateCube(const TRGBDouble& in, TRGBDouble& out) const;
    // Per-channel linear interpolation in the curve, clamped the same way.
    void InterpolateCurve(const TRGBDouble& in, TRGBDouble& out) const;
    // Lookup by Kind.
    void LookupNormalized(const TRGBDouble& in, TRGBDouble& out) const;
    // Integer lookup: the caller sets out.Depth before the call.
    void LookupPixel(const TLutPixel& in, TLutPixel& out) const;
    // Grades a 24-bit image in place (8-bit in, 8-bit out).
    void ApplyToImage(TImage& image) const;
    // Grades source into out (made source's size when it is not): the
    // pixels of a copy of source graded in place, without the copy.
    void ApplyToImage(const TImage& source, TImage& out) const;
};
