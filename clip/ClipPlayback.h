#pragma once
#include <cstdint>
#include <string>

#include "clip/FrameAhead.h"

// A clip played at its rate from a frame on, forward or back, `speed` times
// as fast by taking every speed-th frame, the frames decoded ahead by
// TFrameAhead. The frame after the start is due one frame time after it,
// the next one frame time later, and so on. A frame whose successor is
// already due by the time it is ready is never shown, nor one the decoding
// falls behind: it is dropped and counted.
class TClipPlayback {
public:
    TClipPlayback(const std::string& fileName, std::int64_t from, int direction, int speed, std::int64_t count,
                  double framesPerSecond, TFrameAhead::TPrepare prepare, int depth = kDepth);
    // The pictures read by `read` (e.g. TFrameAhead::Displayed) instead.
    TClipPlayback(const std::string& fileName, std::int64_t from, int direction, int speed, std::int64_t count,
                  double framesPerSecond, TFrameAhead::TRead read, int depth = kDepth);

    // The newest frame due `seconds` after the start and not shown yet, if
    // one is ready; with `wait`, waits for the frame due then. False when
    // none is to be shown now.
    bool FrameDue(double seconds, TAheadFrame& frame, bool wait = false);
    // Every frame up to the clip's end (or its start, going back) has come.
    bool Finished() const;
    // The frames decoded ahead fill their queue (or are all there is): the
    // clock of play may start without the first frames coming late.
    bool Primed() const { return ahead_.Full(); }
    std::int64_t Shown() const { return shown_; }
    std::int64_t Dropped() const { return dropped_; }
    // The time between two frames shown, in seconds.
    double FrameTime() const { return frameTime_; }
    // Why the frames ended early ("" when they did not).
    std::string Problem() const { return ahead_.Problem(); }

    // Frames decoded ahead at the most.
    static constexpr int kDepth = 4;

private:
    // The frame's place in the order of play: 0 for the first after the start.
    std::int64_t IndexOf(std::int64_t number) const { return (number - from_) / step_ - 1; }

    const std::int64_t from_;
    const std::int64_t step_;
    const double frameTime_;
    TFrameAhead ahead_;
    TAheadFrame pending_;  // taken from the queue, not due yet
    bool hasPending_ = false;
    std::int64_t lastIndex_ = -1;  // the place of the frame shown last
    std::int64_t shown_ = 0;
    std::int64_t dropped_ = 0;
    std::int64_t lead_ = 0;  // frames the thread is sent ahead of the one due
    static constexpr std::int64_t kMostLead = 8;
};
