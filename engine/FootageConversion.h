#pragma once
#include <cstddef>
#include <string>

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
};
