#include "clip/ClipPlayback.h"

#include <algorithm>
#include <cmath>

TClipPlayback::TClipPlayback(const std::string& fileName, std::int64_t from, int direction, int speed,
                             std::int64_t count, double framesPerSecond, TFrameAhead::TPrepare prepare, int depth)
    : TClipPlayback(fileName, from, direction, speed, count, framesPerSecond, TFrameAhead::Prepared(std::move(prepare)),
                    depth) {}

TClipPlayback::TClipPlayback(const std::string& fileName, std::int64_t from, int direction, int speed,
                             std::int64_t count, double framesPerSecond, TFrameAhead::TRead read, int depth)
    : from_(from),
      step_(static_cast<std::int64_t>(direction < 0 ? -1 : 1) * std::max(1, speed)),
      frameTime_(1.0 / (framesPerSecond > 0 ? framesPerSecond : 25.0)),
      ahead_(fileName, from + step_, step_, count, depth, std::move(read)) {}

bool TClipPlayback::FrameDue(double seconds, TAheadFrame& frame, bool wait) {
    const std::int64_t due = static_cast<std::int64_t>(std::floor(seconds / frameTime_ + 1e-9)) - 1;
    if (due <= lastIndex_) return false;
    // Frames already late are not decoded at all: the thread goes on from
    // the one due now, or as many frames later as the last frame shown
    // came whole frame times late, so that it comes in its time.
    ahead_.SkipTo(from_ + (due + 1 + lead_) * step_);
    TAheadFrame newest;
    bool found = false;
    for (;;) {
        if (!hasPending_) {
            hasPending_ = wait ? ahead_.Wait(pending_) : ahead_.Take(pending_);
            if (!hasPending_) break;
        }
        const std::int64_t index = IndexOf(pending_.Number);
        if (index > due) break;
        newest = std::move(pending_);
        hasPending_ = false;
        found = true;
        if (index == due) break;
    }
    if (!found) return false;
    const std::int64_t index = IndexOf(newest.Number);
    dropped_ += index - lastIndex_ - 1;
    const double late = seconds - static_cast<double>(index + 1) * frameTime_;
    lead_ = std::clamp<std::int64_t>(static_cast<std::int64_t>(late / frameTime_), 0, kMostLead);
    lastIndex_ = index;
    ++shown_;
    frame = std::move(newest);
    return true;
}

bool TClipPlayback::Finished() const { return !hasPending_ && ahead_.Ended(); }
