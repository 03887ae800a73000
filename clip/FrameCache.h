#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "clip/SteppedFrame.h"

// The stepped frames of one clip kept in memory, so that a step to one of
// them shows it at once: frames decoded ahead and frames shown before. It
// never holds more than its capacity in bytes: to make room for a frame,
// the frames farthest from the centre (the frame shown) go first, and a
// frame farther from it than all those held is not kept. Safe to use from
// several threads; the frames are shared, never changed once kept. The
// memory of one frame let go that nobody else holds is kept besides, for
// the next frame made to be made in (TakeSpare) instead of taking fresh
// memory and clearing it.
class TFrameCache {
public:
    using TEntry = std::shared_ptr<const TSteppedFrame>;

    explicit TFrameCache(std::uint64_t capacity) : capacity_(capacity) {}

    // Keeps the frame (in place of one of its number) and gives it, kept
    // or not (for want of room).
    TEntry Put(TSteppedFrame frame);
    // Whether a frame of that number is kept.
    bool Kept(const TEntry& frame) const;
    // The frame of that number, or null.
    TEntry Find(std::int64_t number) const;
    bool Has(std::int64_t number) const { return Find(number) != nullptr; }
    // The frame the others are kept around.
    void SetCentre(std::int64_t number);
    // Lets every frame go (the clip changed), the spare one too.
    void Clear();
    // The frame let go last whose memory nobody holds any more (its
    // pictures of some other frame, to be made again), or an empty frame.
    TSteppedFrame TakeSpare();

    std::uint64_t Bytes() const;
    std::uint64_t Capacity() const { return capacity_; }
    std::size_t Size() const;

    // The capacity for stepping a clip whose stepped frames take
    // `frameBytes` each: a share of the pictures' pixel budget
    // (`budgetCapacity`), at most kMostBytes and room for two frames at the
    // least.
    static std::uint64_t CapacityFor(std::uint64_t frameBytes, std::uint64_t budgetCapacity);
    static constexpr std::uint64_t kMostBytes = std::uint64_t(768) << 20;

private:
    std::uint64_t Distance(std::int64_t number) const;
    // Makes room for `bytes` by letting frames farther than `distance` go;
    // false when that is not enough.
    bool MakeRoom(std::uint64_t bytes, std::uint64_t distance);
    // Lets the frame go, keeping its memory as the spare when nobody else
    // holds it.
    void LetGo(std::map<std::int64_t, TEntry>::iterator frame);

    const std::uint64_t capacity_;
    mutable std::mutex mutex_;
    std::map<std::int64_t, TEntry> frames_;
    std::uint64_t bytes_ = 0;
    std::int64_t centre_ = 0;
    TSteppedFrame spare_;
};
