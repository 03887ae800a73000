#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/lut/LUT.h"

// Which table sizes a format's writer holds.
enum class TSizeRule {
    Range,              // every size from MinSize to MaxSize
    PowerOfTwoPlusOne,  // the sizes 2^k + 1 from MinSize to MaxSize
    Squares,            // the sizes k * k from MinSize to MaxSize
    Fixed,              // MinSize only (MaxSize is the same)
    TwoToTheBits,       // 2^bits entries at 1..kMaxPowerBits bits, else as Range
};

// What a format is and can do, stated once by the format itself. The
// conversion road, the command line and the tests ask this description and
// never compare display names.
struct TLutFormatInfo {
    // Stable identifier: output profiles cite it, and it never changes even
    // when the display name does. Lower case, digits and "-".
    std::string Id;
    // The format's own name (TLUTFormat::Name).
    std::string Name;
    // Extensions its files usually carry, without the leading dot, the most
    // common first. Detection does not rely on them unless the format says so.
    std::vector<std::string> Extensions;
    bool Is3D = true;
    bool Reads = true;   // CanRead can accept a file
    bool Writes = true;  // SaveToFile writes (readers only raise ELUTError)
    TSizeRule Sizes = TSizeRule::Range;
    int MinSize = 2;
    int MaxSize = kMaxCubeSize;
    // The integer bit depths the writer takes; 0..0 when the format stores
    // decimal numbers and ignores the bit depth.
    int MinBits = 0;
    int MaxBits = 0;
    // The writer keeps a curve before the cube (a curve-then-cube LUT is
    // written as it stands, not baked into the cube).
    bool KeepsCurveBeforeCube = false;
    // The id of an earlier format whose detection would claim this format's
    // files too: detection tries this format just before that one.
    std::string DetectedBefore{};

    // Bit depths up to this give Codex 1D its 2^bits rule.
    static constexpr int kMaxPowerBits = 16;

    bool StoresIntegers() const { return MaxBits > 0; }
    // The writer holds this size at this bit depth.
    bool TakesSize(int size, int bits) const;
    // The one size the writer holds at this bit depth, or 0 when it holds more.
    int OnlySize(int bits) const;
    // The sizes as text for a message: "2 to 101", "2, 3, 5, 9, 17, 33 or 65", "64".
    std::string SizesText(int bits) const;
    // Raises ELUTError "Unsupported bit depth N: integer LUT files hold
    // MinBits to MaxBits bits." unless the writer takes the depth; returns it.
    int CheckedBits(std::int64_t bits) const;
};
