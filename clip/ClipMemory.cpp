#include "clip/ClipMemory.h"

#include <cstdio>

#include "engine/base/Error.h"

namespace {

// A frame at float precision (three channels of 4 bytes) and the planes it
// is decoded into or encoded from (at most four of 2 bytes).
constexpr std::uint64_t kBytesPerFramePixel = 3 * 4 + 4 * 2;
constexpr double kGigabyte = 1024.0 * 1024 * 1024;

std::string Gigabytes(std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f GB", bytes / kGigabyte);
    return text;
}

}  // namespace

std::uint64_t ClipFramesBytes(const TClipInfo& info, std::uint64_t frames) {
    return static_cast<std::uint64_t>(info.Width) * static_cast<std::uint64_t>(info.Height) * kBytesPerFramePixel *
           frames;
}

void CheckClipFramesFit(const std::string& fileName, const TClipInfo& info, std::uint64_t frames,
                        const TPixelBudget& budget) {
    const std::uint64_t bytes = ClipFramesBytes(info, frames);
    if (bytes <= budget.Capacity()) return;
    throw EError("\"" + fileName + "\": its frames of " + std::to_string(info.Width) + " x " +
                 std::to_string(info.Height) + " pixels need " + Gigabytes(bytes) + ", more than the " +
                 Gigabytes(budget.Capacity()) + " this machine keeps for pictures");
}
