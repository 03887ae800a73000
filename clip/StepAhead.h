#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "clip/FrameCache.h"
#include "clip/SteppedFrame.h"

// The frames a person stepping through a clip may ask for next, made on a
// thread of its own into the cache while the frame shown is looked at.
// After a step forward: the next frames forward only (those behind are the
// ones just shown). After a jump, when play stops and after a step back:
// the nearest frames before the one shown, then the next one or two
// forward, then on back as far as the cache holds. Stand-alone frames (a
// seek costs no more than the frame sought) are each sought, nearest first. In
// a clip whose frames depend on others a seek decodes from the key frame
// before, so the frames back are decoded in runs in order, each after one
// seek and ending at the nearest frame missing; the next run starts as soon
// as one ends, while further steps back take their frames from the cache.
// The clip is opened again on the thread, so the caller's own clip keeps
// its place. Each request makes the work of the one before stale (it ends
// after the frame being made), but for a run back whose frames a step back
// still wants.
// The work is a pipeline over two threads: one decodes a frame while the
// other makes the pictures of the frame decoded before and puts them in the
// cache, so that frames come at the pace of the dearer of the two stages
// rather than of both together.
class TStepAhead {
public:
    TStepAhead(const std::string& fileName, std::int64_t count, TFrameCache& cache);
    // Stops the thread and waits for it.
    ~TStepAhead();
    TStepAhead(const TStepAhead&) = delete;
    TStepAhead& operator=(const TStepAhead&) = delete;

    // The frame shown is `centre`, reached by a step `direction` (1 forward,
    // -1 back, 0 any other way): the frames a next step may want are made
    // at `sizes`. With `withCentre` the frame to show is still to be made:
    // in a clip whose frames depend on others it is made last in the run
    // back, since the decode from its key frame passes the frames before it
    // anyway, and Wait gives it once made.
    void Request(std::int64_t centre, int direction, const TSteppedSizes& sizes, bool withCentre = false);
    // Makes nothing more (playing needs the cores).
    void Cancel();
    // The frame when the thread is making it now or in the run it is on,
    // waiting for it; null when it is not on its way.
    TFrameCache::TEntry Wait(std::int64_t number);
    // Waits until the work of the last request is done (or went stale).
    void WaitUntilDone();

    // Frames ahead of the one shown when stepping forward.
    static constexpr int kAhead = 2;
    // The fewest and the most frames of a run back from one seek.
    static constexpr int kShortestRunBack = 4;
    static constexpr int kLongestRunBack = 12;

private:
    struct TRun {
        std::int64_t First = 0, Last = -1;  // made in order
        bool Back = false;                  // frames before the one shown
    };
    struct TRequest {
        std::int64_t Centre = -1;
        int Direction = 0;
        TSteppedSizes Sizes;
        bool WithCentre = false;
    };
    // A decoded frame handed on to have its pictures made.
    struct TFinishing {
        std::int64_t Number = -1;
        TSteppedSizes Sizes;
        std::uint64_t Generation = 0;
    };
    void Run(std::string fileName);
    // The second stage: makes the pictures of each frame handed on.
    void Finish();
    // Makes the pictures of the frame handed on and puts them in the cache
    // unless the sizes asked for changed meanwhile; false when not kept.
    bool FinishFrame(const TFinishing& job);
    // Hands the frame just decoded on to the second stage once it is free;
    // false when a frame of that request was not kept (the cache is full).
    bool Hand(std::int64_t number, const TRequest& request, std::uint64_t generation);
    // Neither in the cache nor on its way through the second stage.
    bool Wanted(std::int64_t number) const;
    // The frames the request wants next, in the order they are made.
    std::vector<TRun> Plan(const TRequest& request, std::int64_t frameBytes) const;
    // The next frames back from `centre` not in the cache.
    std::vector<TRun> BackRuns(std::int64_t centre, std::int64_t frameBytes) const;
    // Makes what the request wants, as far as the cache holds.
    void MakeFrames(class TClip& clip, const TRequest& request, std::uint64_t generation);
    // Makes the run's frames not yet in the cache: how many it made, or -1
    // when the request went stale or the clip failed.
    int MakeRun(class TClip& clip, TRun run, const TRequest& request, std::uint64_t generation);
    // No request came after that one.
    bool Current(std::uint64_t generation) const;
    // The request the run was made for was followed by another that does
    // not want the rest of the run.
    bool Stale(std::uint64_t generation, const TRun& run) const;

    const std::int64_t count_;
    TFrameCache& cache_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    TRequest request_;
    std::uint64_t generation_ = 0;
    std::uint64_t done_ = 0;  // the last request whose work is done
    bool stopping_ = false;
    // The frames the thread is on its way to, in order, and the frame a
    // request with its centre asked for until the thread is done with it.
    std::int64_t promisedFrom_ = 0, promisedTo_ = -1;
    std::int64_t awaited_ = -1;
    // Whether each frame is decoded on its own, and what a seek and a frame
    // decoded in order took (seconds); set and read on the thread only.
    bool standAlone_ = false;
    double seekCost_ = 0, frameCost_ = 0;
    std::int64_t decoderAt_ = -1;  // the frame the thread's clip gives next
    // The frame decoded last at full precision, its memory reused frame
    // after frame (the decoding thread's only), and the one handed on
    // (the second stage's while finishing_): the two trade memory at each
    // hand-over.
    TDeepImage decoded_;
    TDeepImage handed_;
    TFinishing finishing_;
    bool finishingBusy_ = false;
    std::uint64_t notKept_ = 0;  // the last request a frame of which the cache did not keep
    std::thread worker_;
    std::thread finisher_;
};
