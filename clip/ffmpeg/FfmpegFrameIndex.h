#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "clip/ffmpeg/FfmpegInput.h"

// The frames of a clip's video stream as its packets give them, found by
// demuxing the whole stream once (nothing is decoded). Frames are numbered
// in the order they are shown (0, 1, 2, ...), whatever their timestamps:
// a clip of variable rate keeps every frame. Packets the container marks
// as not shown (those an edit list cuts away) are no frames.
class TFfmpegFrameIndex {
public:
    struct TPacket {
        std::int64_t Pts = 0;  // in the stream's time base
        std::int64_t Dts = 0;
        std::int64_t Position = -1;  // in the file, or -1
        std::int64_t Duration = 0;
        bool Key = false;
        bool Shown = true;  // false for packets the edit list cuts away
    };

    // Demuxes the video stream of `input` from its start; the demuxer is
    // left at the end (seek it before reading on).
    explicit TFfmpegFrameIndex(TInputClip& input);

    // The frames found; a file damaged somewhere gives the frames before.
    std::int64_t Count() const { return static_cast<std::int64_t>(shown_.size()); }
    // The number of the first frame the demuxer could not find where the
    // file is damaged, or -1 for a whole file.
    std::int64_t FirstMissing() const { return firstMissing_; }
    // Whether every packet has its own time to be shown; without them (AVI
    // with B-frames) frames are shown in the order decoded from a key frame
    // on, and the times below are those of decoding.
    bool Timed() const { return timed_; }
    // Timestamp of frame `number` (0 <= number < Count()).
    std::int64_t Pts(std::int64_t number) const { return packets_[shown_[number]].Pts; }
    // The time after the last frame (its timestamp and duration).
    std::int64_t End() const;
    // The last frame whose timestamp is at most `pts`; 0 when none is.
    std::int64_t LastAtOrBefore(std::int64_t pts) const;
    // The key frame to decode from for frame `number`, and the number of
    // the first frame shown from it.
    const TPacket& KeyFor(std::int64_t number, std::int64_t& firstShown) const;

    // The index of the file open in `input`, made once per process for a
    // file (the same device, inode, size and modification time).
    static std::shared_ptr<const TFfmpegFrameIndex> Of(int fd, TInputClip& input);

private:
    const bool reordered_;             // frames are shown in another order than decoded
    std::vector<TPacket> packets_;     // in decoding order
    std::vector<std::int64_t> shown_;  // packets in the order shown
    std::vector<std::int64_t> rank_;   // of each packet in shown_
    std::int64_t firstMissing_ = -1;
    bool timed_ = true;
};
