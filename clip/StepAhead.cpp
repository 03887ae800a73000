#include "clip/StepAhead.h"

#include <algorithm>
#include <chrono>
#include <cmath>
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

bool SameSizes(const TSteppedSizes& a, const TSteppedSizes& b) {
    return a.BoxWidth == b.BoxWidth && a.BoxHeight == b.BoxHeight && a.CopyWidth == b.CopyWidth &&
           a.CopyHeight == b.CopyHeight;
}

}  // namespace

TStepAhead::TStepAhead(const std::string& fileName, std::int64_t count, TFrameCache& cache)
    : count_(count), cache_(cache) {
    finisher_ = std::thread([this] { Finish(); });
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
    finisher_.join();
}

void TStepAhead::Request(std::int64_t centre, int direction, const TSteppedSizes& sizes, bool withCentre) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        request_ = {centre, direction, sizes, withCentre};
        awaited_ = withCentre ? centre : -1;
        ++generation_;
    }
    changed_.notify_all();
}

void TStepAhead::Cancel() { Request(-1, 0, {}); }

TFrameCache::TEntry TStepAhead::Wait(std::int64_t number) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (TFrameCache::TEntry found = cache_.Find(number)) return found;
        // A thread that could not open the clip makes nothing.
        if (stopping_) return nullptr;
        // The second stage puts the frame in the cache before it says it
        // is free, under the lock held here: no frame slips between.
        const bool handed = finishingBusy_ && finishing_.Number == number;
        if (!handed && number != awaited_ && (number < promisedFrom_ || number > promisedTo_)) return nullptr;
        changed_.wait(lock);
    }
}

void TStepAhead::WaitUntilDone() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return stopping_ || (done_ == generation_ && !finishingBusy_); });
}

bool TStepAhead::Stale(std::uint64_t generation, const TRun& run) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_ || notKept_ == generation) return true;
    if (generation == generation_) return false;
    return !(run.Back && request_.Direction < 0 && request_.Centre > run.Last);
}

std::vector<TStepAhead::TRun> TStepAhead::Plan(const TRequest& request, std::int64_t frameBytes) const {
    const std::int64_t centre = request.Centre;
    if (centre < 0 || centre >= count_) return {};
    const TRun ahead{centre + 1, std::min(count_ - 1, centre + (request.Direction < 0 ? 1 : kAhead))};
    // After a step forward the frames behind are the ones just shown.
    if (request.Direction > 0) return {ahead};
    // After a jump, when play stops and after a step back: the nearest
    // frames back first (a step back from a frame of a run of dependent
    // frames costs the decode from its key frame), then the frames ahead;
    // the thread goes on back while nothing newer is asked. The frame to
    // show, when still to be made, ends the first run back.
    std::vector<TRun> runs = BackRuns(request.WithCentre && !standAlone_ ? centre + 1 : centre, frameBytes);
    runs.push_back(ahead);
    return runs;
}

std::vector<TStepAhead::TRun> TStepAhead::BackRuns(std::int64_t centre, std::int64_t frameBytes) const {
    // As far back as the cache holds beside the frames ahead and the one shown.
    const std::int64_t depth = std::max<std::int64_t>(
        1, static_cast<std::int64_t>(cache_.Capacity()) / std::max<std::int64_t>(1, frameBytes) - kAhead - 2);
    const std::int64_t deepest = std::max<std::int64_t>(0, centre - depth);
    std::int64_t missing = centre - 1;  // the nearest frame back not in the cache
    while (missing >= deepest && !Wanted(missing)) --missing;
    if (missing < deepest) return {};
    std::vector<TRun> runs;
    if (standAlone_) {
        // Each frame sought on its own, nearest first, a few at a time.
        const std::int64_t last = std::max(deepest, missing - kAhead + 1);
        for (std::int64_t number = missing; number >= last; --number) runs.push_back({number, number, true});
        return runs;
    }
    // One run in order from one seek, ending at the nearest frame missing:
    // long enough that the seek takes no more than about half its time,
    // short enough that a step back that catches up with the thread (it
    // wants the run's last frame) waits for a dozen frames at most.
    const double framesASeek = (seekCost_ - frameCost_) / std::max(frameCost_, 1e-6);
    const std::int64_t length =
        std::clamp<std::int64_t>(static_cast<std::int64_t>(std::ceil(framesASeek)), kShortestRunBack,
                                 std::clamp<std::int64_t>(depth / 2, kShortestRunBack, kLongestRunBack));
    runs.push_back({std::max(deepest, missing - length + 1), missing, true});
    return runs;
}

int TStepAhead::MakeRun(TClip& clip, TRun run, const TRequest& request, std::uint64_t generation) {
    while (run.First <= run.Last && !Wanted(run.First)) ++run.First;
    while (run.Last >= run.First && !Wanted(run.Last)) --run.Last;
    if (run.First > run.Last) return 0;
    {
        if (Stale(generation, run)) return -1;
        std::lock_guard<std::mutex> lock(mutex_);
        promisedFrom_ = run.First;
        promisedTo_ = run.Last;
    }
    bool going = true;
    int made = 0;
    for (std::int64_t number = run.First; number <= run.Last && going; ++number) {
        const bool sought = decoderAt_ != number;
        const auto start = TClock::now();
        std::int64_t got = -1;
        clip.Seek(number);
        going = clip.Next(decoded_, got) && got == number;
        decoderAt_ = going ? number + 1 : -1;
        const double cost = SecondsSince(start);
        // A seek costs more the farther the frame is from its key frame:
        // the dearest one seen counts, forgotten by halves.
        if (sought)
            seekCost_ = std::max(cost, (seekCost_ + cost) / 2);
        else
            frameCost_ = cost;
        if (going && Wanted(number)) {
            going = Hand(number, request, generation);
            made += going;
        }
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
    return going ? made : -1;
}

void TStepAhead::MakeFrames(TClip& clip, const TRequest& request, std::uint64_t generation) {
    const std::int64_t frameBytes = SteppedBytes(clip.Info(), request.Sizes);
    // Pass after pass while each makes frames and nothing newer is asked:
    // every pass makes frames the cache did not hold, so the passes end.
    for (bool making = true; making && Current(generation);) {
        making = false;
        for (const TRun& run : Plan(request, frameBytes)) {
            const int made = MakeRun(clip, run, request, generation);
            if (made < 0) return;
            making = making || made > 0;
        }
    }
}

bool TStepAhead::Hand(std::int64_t number, const TRequest& request, std::uint64_t generation) {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return stopping_ || !finishingBusy_; });
        if (stopping_ || notKept_ == generation) return false;
        std::swap(decoded_, handed_);
        finishing_ = {number, request.Sizes, generation};
        finishingBusy_ = true;
        promisedFrom_ = number + 1;
    }
    changed_.notify_all();
    return true;
}

bool TStepAhead::Wanted(std::int64_t number) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !(finishingBusy_ && finishing_.Number == number) && !cache_.Has(number);
}

void TStepAhead::Finish() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stopping_ || finishingBusy_; });
        if (stopping_) break;
        const TFinishing job = finishing_;
        lock.unlock();
        const bool kept = FinishFrame(job);
        lock.lock();
        if (!kept) notKept_ = std::max(notKept_, job.Generation);
        finishingBusy_ = false;
        changed_.notify_all();
    }
    finishingBusy_ = false;
    changed_.notify_all();
}

bool TStepAhead::FinishFrame(const TFinishing& job) {
    try {
        // The memory of a frame the cache let go, when there is one.
        TSteppedFrame frame = cache_.TakeSpare();
        RemakeSteppedFrame(frame, job.Number, handed_, job.Sizes);
        // Put while no new sizes can be asked for: a frame of the sizes
        // before never lands in a cache cleared for new ones.
        std::lock_guard<std::mutex> lock(mutex_);
        if (!SameSizes(job.Sizes, request_.Sizes)) return true;
        return cache_.Kept(cache_.Put(std::move(frame)));
    } catch (const std::exception&) {
        // Not made here: the step that wants it makes it itself and says why.
        return false;
    }
}

bool TStepAhead::Current(std::uint64_t generation) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !stopping_ && generation == generation_;
}

void TStepAhead::Run(std::string fileName) {
    try {
        TClip clip(fileName);
        standAlone_ = clip.Info().FramesStandAlone;
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
            MakeFrames(clip, request, generation);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                done_ = generation;
                if (generation == generation_) awaited_ = -1;
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
    awaited_ = -1;
    stopping_ = true;
    changed_.notify_all();
}
