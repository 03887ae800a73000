#include "clip/FrameCache.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

TFrameCache::TEntry TFrameCache::Put(TSteppedFrame frame) {
    const std::int64_t number = frame.Number;
    const std::uint64_t bytes = frame.Bytes();
    // Not const in itself, so that its memory may be taken back as the
    // spare once nobody holds it.
    TEntry entry = std::make_shared<TSteppedFrame>(std::move(frame));
    std::lock_guard<std::mutex> lock(mutex_);
    if (const auto old = frames_.find(number); old != frames_.end()) LetGo(old);
    if (!MakeRoom(bytes, Distance(number))) return entry;
    frames_.emplace(number, entry);
    bytes_ += bytes;
    return entry;
}

bool TFrameCache::Kept(const TEntry& frame) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = frames_.find(frame->Number);
    return found != frames_.end() && found->second == frame;
}

bool TFrameCache::MakeRoom(std::uint64_t bytes, std::uint64_t distance) {
    if (bytes > capacity_) return false;
    while (bytes_ + bytes > capacity_) {
        // The farthest of the first and the last frame held.
        const auto first = frames_.begin();
        const auto last = std::prev(frames_.end());
        const auto farthest = Distance(first->first) >= Distance(last->first) ? first : last;
        if (Distance(farthest->first) <= distance) return false;
        LetGo(farthest);
    }
    return true;
}

void TFrameCache::LetGo(std::map<std::int64_t, TEntry>::iterator frame) {
    bytes_ -= frame->second->Bytes();
    // Nobody else holds it, nor can take it while the lock is held: its
    // pictures are this cache's to reuse.
    if (frame->second.use_count() == 1) spare_ = std::move(const_cast<TSteppedFrame&>(*frame->second));
    frames_.erase(frame);
}

TSteppedFrame TFrameCache::TakeSpare() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(spare_, TSteppedFrame());
}

TFrameCache::TEntry TFrameCache::Find(std::int64_t number) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = frames_.find(number);
    return found == frames_.end() ? nullptr : found->second;
}

void TFrameCache::SetCentre(std::int64_t number) {
    std::lock_guard<std::mutex> lock(mutex_);
    centre_ = number;
}

void TFrameCache::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    frames_.clear();
    bytes_ = 0;
    spare_ = TSteppedFrame();
}

std::uint64_t TFrameCache::Bytes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return bytes_;
}

std::size_t TFrameCache::Size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_.size();
}

std::uint64_t TFrameCache::Distance(std::int64_t number) const {
    return static_cast<std::uint64_t>(std::llabs(number - centre_));
}

std::uint64_t TFrameCache::CapacityFor(std::uint64_t frameBytes, std::uint64_t budgetCapacity) {
    return std::max(2 * frameBytes, std::min(kMostBytes, budgetCapacity / 4));
}
