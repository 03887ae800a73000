#include <gtest/gtest.h>

#include <string>

#include "clip/ClipMemory.h"
#include "engine/base/Error.h"

namespace {

std::string FramesFitMessage(const TClipInfo& info, std::uint64_t frames, const TPixelBudget& budget) {
    try {
        CheckClipFramesFit("huge.mkv", info, frames, budget);
    } catch (const EError& error) {
        return error.what();
    }
    return "(no error)";
}

// Frames that need more memory than the budget holds are refused before
// any is decoded, naming the file and the frame size; those that fit pass.
TEST(ClipMemory, FramesBeyondTheBudgetAreRefused) {
    const TPixelBudget budget(1ull << 30);
    TClipInfo info;
    info.Width = info.Height = 16000;
    const std::string message = FramesFitMessage(info, 1, budget);
    EXPECT_NE(message.find("\"huge.mkv\""), std::string::npos) << message;
    EXPECT_NE(message.find("16000 x 16000"), std::string::npos) << message;
    info.Width = info.Height = 6000;
    EXPECT_NO_THROW(CheckClipFramesFit("big.mkv", info, 1, budget));
    EXPECT_THROW(CheckClipFramesFit("big.mkv", info, 9, budget), EError);
}

}  // namespace
