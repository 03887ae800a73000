#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class TDeepImage;

// What a conversion makes of `count` RGB triples, in place. A triple's
// result must not depend on the others.
using TDeepResults = std::function<void(float* rgb, std::size_t count)>;

// Converting pictures at their own precision colour by colour. A frame made
// from 8-bit material, or one of 10-bit codes, holds far fewer distinct
// colours than pixels, and a footage conversion costs far more per colour
// than finding the colour in a table; a camera's noisy 16-bit frame holds
// nearly as many colours as pixels and is converted pixel by pixel.
//
// A memo belongs to one thread: each worker converting a part of a picture
// keeps its own. A colour is its three samples' bits, so the result of each
// pixel is exactly what `results` gives for it.
class TDeepColourMemo {
public:
    // `maxKept` bounds the colours kept, and so the memory (a table of 32
    // bytes a slot, twice to four times as many slots as colours); past it,
    // colours not met are converted without being kept.
    TDeepColourMemo(TDeepResults results, std::size_t maxKept);

    // Converts rows [y0, y1) of the picture in place as `results` on each
    // pixel would. It goes through bands of rows: the colours of a
    // band not met before are converted once, in one batch, and kept. Once
    // more than `maxShare` of the pixels seen (over a few bands, in this and
    // earlier calls) were colours not met before, the rest is converted row
    // by row and nothing more is looked up.
    void Convert(TDeepImage& image, int y0, int y1, double maxShare);

    // How many colours (or pixels) went through the conversion so far (to
    // show the road taken; the results do not depend on it).
    std::size_t Converted() const { return converted_; }

private:
    // A colour's bits and its result, in one half of a cache line.
    struct alignas(32) TSlot {
        std::uint32_t Key[3];
        std::uint32_t State;  // empty, known (Result holds it), or met first in this band
        float Result[3];
    };

    void ConvertBand(TDeepImage& image, int y0, int y1);
    TSlot& Find(const std::uint32_t* key);
    void Reserve(std::size_t entries);
    void ConvertDirect(const std::vector<float*>& pixels);

    TDeepResults results_;
    std::size_t maxKept_;
    struct TFree {
        void operator()(TSlot* slots) const;
    };
    std::unique_ptr<TSlot[], TFree> slots_;
    std::size_t slotCount_ = 0;  // a power of two, at most half of them used
    std::size_t kept_ = 0;
    std::size_t converted_ = 0;
    std::size_t seen_ = 0;  // pixels
};
