#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "engine/footage/FootageConversion.h"

class TImage;

// Converting 8-bit pictures colour by colour: a photograph holds far fewer
// distinct colours than pixels, and a footage conversion (a camera log
// through an output transform) costs far more per colour than a table look.

// What a conversion makes of `count` colours: each 0xRRGGBB is replaced by
// its result, 0xRRGGBB. Called from several threads at once on separate
// arrays; a colour's result must not depend on the others.
using TColourResults = std::function<void(std::uint32_t* colours, std::size_t count)>;

// The 8-bit results of one conversion found so far, one 32-bit word per
// 24-bit colour (made on first use, 64 MB of address space of which only
// the pages of colours met are touched). Safe to use from several threads
// at once: a word is written whole; a colour another call is converting at
// that moment is converted on its own.
class TColourMemo {
public:
    TColourMemo();
    ~TColourMemo();
    TColourMemo(const TColourMemo&) = delete;
    TColourMemo& operator=(const TColourMemo&) = delete;

    // Converts the picture in place as converting each pixel through
    // `results` would. It goes through bands of rows: the colours of a band
    // not met before are converted once, in one batch over the worker
    // threads, and kept; when more than `maxShare` of a band's pixels are
    // colours not met before, its pixels not known are converted each on
    // its own and nothing is kept (the per-pixel road is then as quick).
    // Every call to one memo must give the same results.
    void Convert(TImage& image, double maxShare, const TColourResults& results);

    // The same with the results of `footage.Convert`, each channel rounded
    // with `toByte`.
    void Convert(const TFootageConversion& footage, TImage& image, double maxShare, std::uint8_t (*toByte)(float));

private:
    struct TPlace {
        int Y, X;
    };
    void ConvertBand(TImage& image, int y0, int y1, double maxShare, const TColourResults& results);

    struct TFreeDeleter {
        void operator()(std::uint32_t* table) const;
    };
    // 0 (not met), pending (being converted by one call), or
    // 0x80000000 | red << 16 | green << 8 | blue.
    std::unique_ptr<std::uint32_t[], TFreeDeleter> table_;
};

// The results of `footage.Convert` on each colour, each channel rounded with
// `toByte`, as TColourResults gives them.
void FootageResults(const TFootageConversion& footage, std::uint8_t (*toByte)(float), std::uint32_t* colours,
                    std::size_t count);
