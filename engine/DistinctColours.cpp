#include "DistinctColours.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdint>
#include <vector>

#include "Image.h"
#include "Parallel.h"

namespace {

constexpr int kWords = (1 << 24) / 64;  // one bit per 24-bit colour
constexpr int kMinRowsPerSlice = 16;
constexpr int kMinColoursPerSlice = 65536;

inline std::uint32_t KeyOf(const std::uint8_t* bgr) {
    return (static_cast<std::uint32_t>(bgr[2]) << 16) | (static_cast<std::uint32_t>(bgr[1]) << 8) | bgr[0];
}

// The set of colours a picture holds, and each colour's place in their
// ascending order.
class TColourSet {
public:
    TColourSet() : bits_(kWords, 0), before_(kWords, 0) {}

    void Mark(const TImage& image) {
        const int width = image.Width();
        ParallelFor(image.Height(), kMinRowsPerSlice, [&](int y0, int y1) {
            for (int y = y0; y < y1; ++y) {
                const std::uint8_t* p = image.Row(y);
                for (int x = 0; x < width; ++x, p += 3) {
                    const std::uint32_t key = KeyOf(p);
                    const std::uint64_t bit = 1ull << (key & 63);
                    std::atomic_ref<std::uint64_t> word(bits_[key >> 6]);
                    if (!(word.load(std::memory_order_relaxed) & bit)) word.fetch_or(bit, std::memory_order_relaxed);
                }
            }
        });
        std::uint32_t count = 0;
        for (int w = 0; w < kWords; ++w) {
            before_[w] = count;
            count += static_cast<std::uint32_t>(std::popcount(bits_[w]));
        }
        count_ = count;
    }

    std::uint32_t Count() const { return count_; }

    std::uint32_t Rank(std::uint32_t key) const {
        const std::uint64_t below = bits_[key >> 6] & ((1ull << (key & 63)) - 1);
        return before_[key >> 6] + static_cast<std::uint32_t>(std::popcount(below));
    }

    // The colours in ascending order as 0..1 red, green, blue floats.
    std::vector<float> Colours() const {
        std::vector<float> rgb;
        rgb.reserve(static_cast<std::size_t>(count_) * 3);
        for (int w = 0; w < kWords; ++w)
            for (std::uint64_t bits = bits_[w]; bits != 0; bits &= bits - 1) {
                const std::uint32_t key = (static_cast<std::uint32_t>(w) << 6) + std::countr_zero(bits);
                rgb.push_back(static_cast<float>((key >> 16) / 255.0f));
                rgb.push_back(static_cast<float>(((key >> 8) & 255) / 255.0f));
                rgb.push_back(static_cast<float>((key & 255) / 255.0f));
            }
        return rgb;
    }

private:
    std::vector<std::uint64_t> bits_;
    std::vector<std::uint32_t> before_;
    std::uint32_t count_ = 0;
};

}  // namespace

bool ConvertDistinctColours(const TFootageConversion& footage, TImage& image, double maxShare,
                            const std::function<unsigned char(float)>& toByte) {
    const double pixels = static_cast<double>(image.Width()) * image.Height();
    if (pixels == 0) return true;
    TColourSet set;
    set.Mark(image);
    if (set.Count() > maxShare * pixels) return false;
    std::vector<float> colours = set.Colours();
    const int count = static_cast<int>(set.Count());
    std::vector<std::uint8_t> converted(colours.size());
    ParallelFor(count, kMinColoursPerSlice, [&](int begin, int end) {
        float* rgb = colours.data() + static_cast<std::size_t>(begin) * 3;
        footage.Convert(rgb, static_cast<std::size_t>(end - begin));
        for (std::size_t i = static_cast<std::size_t>(begin) * 3; i < static_cast<std::size_t>(end) * 3; ++i)
            converted[i] = toByte(colours[i]);
    });
    const int width = image.Width();
    ParallelFor(image.Height(), kMinRowsPerSlice, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            std::uint8_t* p = image.Row(y);  // blue, green, red
            for (int x = 0; x < width; ++x, p += 3) {
                const std::uint8_t* c = converted.data() + static_cast<std::size_t>(set.Rank(KeyOf(p))) * 3;
                p[2] = c[0];
                p[1] = c[1];
                p[0] = c[2];
            }
        }
    });
    return true;
}
