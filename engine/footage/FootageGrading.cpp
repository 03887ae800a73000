#include "engine/footage/FootageGrading.h"

#include <cstdint>
#include <vector>

#include "engine/footage/DistinctColours.h"
#include "engine/footage/FootageLook.h"
#include "engine/look/GradingRoad.h"
#include "engine/lut/LUT.h"
#include "engine/picture/Image.h"

namespace {

// From this many pixels on (of a picture, or of the strips graded so far)
// pictures are graded colour by colour: below it the table's pages cost
// more than they save.
constexpr std::int64_t kMinMemoPixels = 1 << 16;
// Converting each distinct colour once is never slower than converting each
// pixel, whatever share of the pixels are new colours.
constexpr double kAnyNewShare = 1.0;

// The look of converted colours (0xRRGGBB each, in place), through the
// look's own picture road on one row of them.
void GradeColours(const TLUT& look, std::uint32_t* colours, std::size_t count) {
    TImage row(static_cast<int>(count), 1);
    std::uint8_t* p = row.Row(0);  // blue, green, red
    for (std::size_t i = 0; i < count; ++i, p += 3) {
        p[2] = static_cast<std::uint8_t>(colours[i] >> 16);
        p[1] = static_cast<std::uint8_t>(colours[i] >> 8);
        p[0] = static_cast<std::uint8_t>(colours[i]);
    }
    look.ApplyToImage(row);
    p = row.Row(0);
    for (std::size_t i = 0; i < count; ++i, p += 3)
        colours[i] = (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[1]) << 8) | p[0];
}

}  // namespace

TFootageGrading::TFootageGrading(const TFootageConversion* footage) : footage_(footage) {}

TFootageGrading::~TFootageGrading() = default;

void TFootageGrading::Apply(const TLUT& look, TImage& picture) const {
    const std::int64_t pixels = static_cast<std::int64_t>(picture.Width()) * picture.Height();
    const bool large = pixelsSeen_.fetch_add(pixels, std::memory_order_relaxed) + pixels >= kMinMemoPixels;
    const TLUT* first = nullptr;
    const bool same = look_.compare_exchange_strong(first, &look) || first == &look;
    if (footage_ == nullptr || !large || !same) {
        GradePicture(look, picture, footage_);
        return;
    }
    std::call_once(memoMade_, [this] { memo_ = std::make_unique<TColourMemo>(); });
    const TFootageConversion& footage = *footage_;
    memo_->Convert(picture, kAnyNewShare, [&](std::uint32_t* colours, std::size_t count) {
        FootageResults(footage, FootageCode, colours, count);
        GradeColours(look, colours, count);
    });
}
