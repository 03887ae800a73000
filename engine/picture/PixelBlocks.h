#pragma once
#include <cstddef>

// Memory for large pictures (a frame's size and more), taken in whole large
// pages and kept for the next picture when let go. Fresh memory costs far
// more to fault in than to fill (on a virtual machine about 1.6 ms a MB in
// large pages, 2.9 ms in small ones), and a picture of the size just let go
// is most often the next one asked for: the next frame's copy, the next
// clone of the viewer's picture. At most kMostKept bytes wait for reuse;
// the oldest go back to the system first.
namespace pixelblocks {

// Blocks of this size and more are taken from here.
constexpr std::size_t kLargePage = std::size_t(2) << 20;
constexpr std::size_t kMostKept = std::size_t(64) << 20;

// A block of at least `bytes` (kLargePage and more), aligned to a large
// page; its contents are undefined. std::bad_alloc when none can be had.
void* Take(std::size_t bytes);
// A block taken for `bytes`, let go.
void Give(void* block, std::size_t bytes) noexcept;
// The bytes kept for reuse now.
std::size_t Kept();

}  // namespace pixelblocks
