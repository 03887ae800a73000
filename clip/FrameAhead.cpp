#include "clip/FrameAhead.h"

#include <algorithm>
#include <exception>

#include "clip/ClipFile.h"
#include "engine/base/Error.h"

TFrameAhead::TFrameAhead(const std::string& fileName, std::int64_t first, std::int64_t step, std::int64_t count,
                         int depth, TRead read)
    : step_(step == 0 ? 1 : step),
      count_(count),
      depth_(static_cast<std::size_t>(std::max(1, depth))),
      read_(std::move(read)),
      skipTo_(first) {
    worker_ = std::thread([this, fileName, first] { Run(fileName, first); });
}

TFrameAhead::TRead TFrameAhead::Prepared(TPrepare prepare) {
    return [prepare = std::move(prepare), image = TDeepImage()](TClip& clip, TAheadFrame& frame) mutable {
        if (!clip.Next(image, frame.Number)) return false;
        frame.Picture = prepare(image);
        return true;
    };
}

TFrameAhead::TFrameAhead(const std::string& fileName, std::int64_t first, std::int64_t step, std::int64_t count,
                         int depth, TPrepare prepare)
    : TFrameAhead(fileName, first, step, count, depth, Prepared(std::move(prepare))) {}

TFrameAhead::TRead TFrameAhead::Displayed(int width, int height) {
    return [width, height](TClip& clip, TAheadFrame& frame) {
        return clip.NextPicture(frame.Picture, width, height, frame.Number);
    };
}

TFrameAhead::~TFrameAhead() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

bool TFrameAhead::Push(TAheadFrame frame) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return stopping_ || frames_.size() < depth_; });
    if (stopping_) return false;
    frames_.push_back(std::move(frame));
    changed_.notify_all();
    return true;
}

void TFrameAhead::Run(std::string fileName, std::int64_t first) {
    std::string problem;
    try {
        TClip clip(fileName);
        // The last frame of the order of play, where skipping ends at the latest.
        const std::int64_t last = step_ > 0 ? first + (count_ - 1 - first) / step_ * step_ : first % -step_;
        for (std::int64_t number = first; number >= 0 && number < count_; number += step_) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (stopping_) break;
                const std::int64_t skip = std::min((skipTo_ - number) / step_, (last - number) / step_);
                if (skip > 0) number += skip * step_;
            }
            if (number < 0 || number >= count_) break;
            // Forward one by one the decoder goes on from where it is;
            // any other step goes to each frame.
            TAheadFrame frame;
            clip.Seek(number);
            if (!read_(clip, frame)) break;  // the count was estimated too high: the clip ends here
            if (frame.Number != number) throw EError("\"" + fileName + "\" has no frame " + std::to_string(number));
            if (!Push(std::move(frame))) break;
        }
    } catch (const std::exception& error) {
        problem = error.what();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    problem_ = problem;
    finished_ = true;
    changed_.notify_all();
}

void TFrameAhead::SkipTo(std::int64_t number) {
    std::lock_guard<std::mutex> lock(mutex_);
    skipTo_ = number;
}

bool TFrameAhead::Take(TAheadFrame& frame) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (frames_.empty()) return false;
    frame = std::move(frames_.front());
    frames_.pop_front();
    changed_.notify_all();
    return true;
}

bool TFrameAhead::Wait(TAheadFrame& frame) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return finished_ || !frames_.empty(); });
    if (frames_.empty()) return false;
    frame = std::move(frames_.front());
    frames_.pop_front();
    changed_.notify_all();
    return true;
}

bool TFrameAhead::Full() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_.size() >= depth_ || finished_;
}

bool TFrameAhead::Ended() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return finished_ && frames_.empty();
}

std::string TFrameAhead::Problem() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return problem_;
}
