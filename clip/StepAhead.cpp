#include "clip/StepAhead.h"

#include <algorithm>
#include <chrono>
#include <exception>

#include "clip/ClipFile.h"

namespace {

using TClock = std::chrono::steady_clock;

double SecondsSince(TClock::time_point start) { return std::chrono::duration<double>(TClock::now() - start).count(); }

// The bytes of a stepped frame of a clip of that size at most.
std::int64_t SteppedBytes(const TClipInfo& info, const TSteppedSizes& sizes) {
    const auto pixels = [](std::int64_t width, std::int64_t height) { return width * height * 3; };
    return pixels(info.Width, info.Height) + pixels(sizes.BoxWidth, sizes.BoxHeight) +
           pixels(sizes.CopyWidth, sizes.CopyHeight);
}

}  // namespace

TStepAhead::TStepAhead(const std::string& fileName, std::int64_t count, TFrameCache& cache)
    : count_(count), cache_(cache) {
    worker_ = std::thread([this, fileName] { Run(fileName); });
}

TStepAhead::~TStepAhead() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        ++generation_;
    }
    changed_.notify_all();
    worker_.join();
}

void TStepAhead::Request(std::int64_t centre, int direction, const TSteppedSizes& sizes) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        request_ = {centre, direction, sizes};
        ++generation_;
    }
    changed_.notify_all();
}

void TStepAhead::Cancel() { Request(-1, 0, {}); }

TFrameCache::TEntry TStepAhead::Wait(std::int64_t number) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (TFrameCache::TEntry found = cache_.Find(number)) return found;
        if (number < promisedFrom_ || number > promisedTo_) return nullptr;
        changed_.wait(lock);
    }
}

void TStepAhead::WaitUntilDone() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return stopping_ || done_ == generation_; });
}

bool TStepAhead::Stale(std::uint64_t generation, const TRun& run) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return true;
    if (generation == generation_) return false;
    return !(run.Back && request_.Direction < 0 && request_.Centre > run.Last);
}

std::vector<TStepAhead::TRun> TStepAhead::Plan(const TRequest& request, std::int64_t frameBytes) const {
    std::vector<TRun> runs;
    const std::int64_t centre = request.Centre;
    if (centre < 0 || centre >= count_) return runs;
    const TRun ahead{centre + 1, std::min(count_ - 1, centre + (request.Direction < 0 ? 1 : kAhead))};
    // After a step forward or a jump, the frame before too (the one before
    // a step forward is mostly in the cache already).
    if (request.Direction >= 0) return {ahead, {std::max<std::int64_t>(0, centre - 1), centre - 1}};
    // As far back as the cache holds beside the frames ahead and the one shown.
    const std::int64_t depth = std::max<std::int64_t>(
        1, static_cast<std::int64_t>(cache_.Capacity()) / std::max<std::int64_t>(1, frameBytes) - kAhead - 2);
    const std::int64_t deepest = std::max<std::int64_t>(0, centre - depth);
    std::int64_t missing = centre - 1;  // the nearest frame back not in the cache
    while (missing >= deepest && cache_.Has(missing)) --missing;
    if (missing < deepest) return {ahead};
    if (seekCost_ <= 3 * frameCost_) {
        for (std::int64_t number = missing; number >= deepest; --number) runs.push_back({number, number, true});
    } else if (centre - 1 - missing < depth / 2) {
        runs.push_back({deepest, missing, true});
    }
    runs.push_back(ahead);
    return runs;
}

bool TStepAhead::MakeRun(TClip& clip, TRun run, const TRequest& request, std::uint64_t generation) {
    while (run.First <= run.Last && cache_.Has(run.First)) ++run.First;
    while (run.Last >= run.First && cache_.Has(run.Last)) --run.Last;
    if (run.First > run.Last) return true;
    {
        if (Stale(generation, run)) return false;
        std::lock_guard<std::mutex> lock(mutex_);
        promisedFrom_ = run.First;
        promisedTo_ = run.Last;
    }
    bool going = true;
    for (std::int64_t number = run.First; number <= run.Last && going; ++number) {
        const bool sought = decoderAt_ != number;
        const auto start = TClock::now();
        TDeepImage image;
        std::int64_t got = -1;
        clip.Seek(number);
        going = clip.Next(image, got) && got == number;
        decoderAt_ = going ? number + 1 : -1;
        (sought ? seekCost_ : frameCost_) = SecondsSince(start);
        if (going && !cache_.Has(number))
            going = cache_.Kept(cache_.Put(MakeSteppedFrame(number, image, request.Sizes)));
        going = going && !Stale(generation, run);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            promisedFrom_ = number + 1;
            if (!going) promisedTo_ = -1;
        }
        changed_.notify_all();
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        promisedFrom_ = 0;
        promisedTo_ = -1;
    }
    changed_.notify_all();
    return going;
}

void TStepAhead::Run(std::string fileName) {
    try {
        TClip clip(fileName);
        for (;;) {
            TRequest request;
            std::uint64_t generation = 0;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [&] { return stopping_ || generation_ != done_; });
                if (stopping_) break;
                request = request_;
                generation = generation_;
            }
            for (const TRun& run : Plan(request, SteppedBytes(clip.Info(), request.Sizes)))
                if (!MakeRun(clip, run, request, generation)) break;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                done_ = generation;
            }
            changed_.notify_all();
        }
    } catch (const std::exception&) {
        // The frame cannot be decoded here: the step that wants it decodes
        // it itself and says why.
    }
    std::lock_guard<std::mutex> lock(mutex_);
    promisedFrom_ = 0;
    promisedTo_ = -1;
    stopping_ = true;
    changed_.notify_all();
}
