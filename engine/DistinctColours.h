#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "FootageConversion.h"

class TImage;

// Converting 8-bit pictures colour by colour: a photograph holds far fewer
// distinct colours than pixels, and a footage conversion (a camera log
// through an output transform) costs far more per colour than a table look.

// The 8-bit results of one footage conversion found so far, one 32-bit
// word per 24-bit colour (made on first use, 64 MB of address space of
// which only the pages of colours met are touched). Safe to use from
// several threads at once: a word is written whole; a colour another call
// is converting at that moment is converted on its own.
class TColourMemo {
public:
    TColourMemo();
    ~TColourMemo();
    TColourMemo(const TColourMemo&) = delete;
    TColourMemo& operator=(const TColourMemo&) = delete;

    // Converts the picture in place as converting each pixel through
    // `footage.Convert` and rounding with `toByte` would: the colours not
    // met before are converted once, in batches over the worker threads, and
    // kept.
    void Convert(const TFootageConversion& footage, TImage& image, std::uint8_t (*toByte)(float));

    // The same for any per-colour function of an 8-bit picture: `batch` gets
    // colours as keys (red << 16 | green << 8 | blue) and writes each one's
    // 8-bit result packed the same way. It is called from several threads at
    // once, on separate keys.
    using TBatch = std::function<void(const std::uint32_t* keys, std::uint32_t* results, std::size_t count)>;
    void Map(TImage& image, const TBatch& batch);

private:
    struct TFreeDeleter {
        void operator()(std::uint32_t* table) const;
    };
    // 0 (not met), pending (being converted by one call), or
    // 0x80000000 | red << 16 | green << 8 | blue.
    std::unique_ptr<std::uint32_t[], TFreeDeleter> table_;
};
