// The two resampling passes exactly as they are defined: every destination
// pixel is the weighted sum of its taps divided by the sum of the weights.
#include "engine/picture/ResizeReference.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/picture/Image.h"

namespace {

// The pixel rule: weighted sum divided by the sum of the weights.
std::uint8_t Evaluate(const TContributorList& list, const int* values) {
    int total = 0, sum = 0;
    for (int k = 0; k < list.Count; ++k) {
        total += list.Entries[k].Weight;
        sum += list.Entries[k].Weight * values[list.Entries[k].Pixel];
    }
    const int q = total != 0 ? sum / total : static_cast<int>(static_cast<std::uint32_t>(sum) >> 8);
    return static_cast<std::uint8_t>(std::clamp(q, 0, 255));
}

}  // namespace

void resizereference::StretchImage(TFilterFunction filter, const TImage& source, TImage& dest, float support) {
    if (source.Empty() || dest.Empty()) return;
    const int sw = source.Width(), sh = source.Height(), dw = dest.Width(), dh = dest.Height();
    const TStretchScales s = StretchScales(source, dest);
    TImage work(dw, sh);
    std::vector<int> buf[3];
    for (auto& b : buf) b.resize(static_cast<std::size_t>(std::max(sw, sh)));

    const TContributors columns = MakeContributors(filter, support, s.X, dw, sw);
    for (int y = 0; y < sh; ++y) {
        const std::uint8_t* src = source.Row(y);
        for (int x = 0; x < sw; ++x)
            for (int c = 0; c < 3; ++c) buf[c][x] = src[x * 3 + c];
        std::uint8_t* out = work.Row(y);
        for (int i = 0; i < dw; ++i)
            for (int c = 0; c < 3; ++c) out[i * 3 + c] = Evaluate(columns[i], buf[c].data());
    }

    const TContributors rows = MakeContributors(filter, support, s.Y, dh, sh);
    for (int k = 0; k < dw; ++k) {
        for (int y = 0; y < sh; ++y)
            for (int c = 0; c < 3; ++c) buf[c][y] = work.Row(y)[k * 3 + c];
        for (int i = 0; i < dh; ++i)
            for (int c = 0; c < 3; ++c) dest.Row(i)[k * 3 + c] = Evaluate(rows[i], buf[c].data());
    }
}
