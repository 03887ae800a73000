#pragma once
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

class TColourMemo;

// The conversion of camera footage colours into the display colours a look
// is made for. The engine only calls it; an implementation (the footage
// module) holds the colour-management work.
class TFootageConversion {
public:
    virtual ~TFootageConversion() = default;
    // What the footage is, as a LUT's comment names it after "input: ".
    virtual std::string Label() const = 0;
    // Converts `count` RGB triples (0..1) in place; every result lies in 0..1.
    // Safe to call from several threads at once on separate arrays.
    virtual void Convert(float* rgb, std::size_t count) const = 0;
    // True for scene-linear footage: its values are not 0..1 (any
    // non-negative value is a colour), so a LUT made for it needs a shaper
    // before its cube. Convert takes such values as they are.
    virtual bool SceneLinear() const { return false; }

    // The 8-bit results of this conversion found so far (DistinctColours.h),
    // made on first use.
    TColourMemo& Memo() const;

private:
    mutable std::once_flag memoMade_;
    mutable std::shared_ptr<TColourMemo> memo_;
};
