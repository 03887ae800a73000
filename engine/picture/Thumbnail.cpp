#include "engine/picture/Thumbnail.h"

#include <algorithm>
#include <cstring>

#include "engine/picture/Image.h"

TImage MakeThumbnailCell(const TImage& picture) {
    TImage cell(kThumbnailSize, kThumbnailSize);
    for (int y = 0; y < kThumbnailSize; ++y)
        std::memset(cell.Row(y), 255, static_cast<std::size_t>(kThumbnailSize) * 3);

    // C++ division truncates toward zero, so oversized pictures get negative offsets.
    const int left = (kThumbnailSize - picture.Width()) / 2;
    const int top = (kThumbnailSize - picture.Height()) / 2;
    const int x0 = std::max(0, left), x1 = std::min(kThumbnailSize, left + picture.Width());
    const int y0 = std::max(0, top), y1 = std::min(kThumbnailSize, top + picture.Height());
    if (x0 >= x1) return cell;
    for (int y = y0; y < y1; ++y)
        std::memcpy(cell.Row(y) + static_cast<std::size_t>(x0) * 3,
                    picture.Row(y - top) + static_cast<std::size_t>(x0 - left) * 3,
                    static_cast<std::size_t>(x1 - x0) * 3);
    return cell;
}
