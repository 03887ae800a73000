#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "engine/picture/DeepImage.h"
#include "engine/picture/Image.h"

// A frame decoded ahead: its number in the clip and its picture.
struct TAheadFrame {
    std::int64_t Number = -1;
    TImage Picture;
};

class TClip;

// Frames of a clip decoded ahead on a thread of their own while the caller
// shows others: from `first` on, every `step` frames (negative backwards),
// while the number stays within [0, count). Each is made into a picture on
// that thread, by `prepare` from the frame at full precision or by `read`
// straight from the clip, and waits in a queue of at most `depth` frames;
// the thread rests while the queue is full. The clip is opened again on
// that thread, so the caller's own clip keeps its place.
class TFrameAhead {
public:
    using TPrepare = std::function<TImage(const TDeepImage&)>;
    // Reads the clip's next frame into `frame` (its number and picture);
    // false at the clip's end.
    using TRead = std::function<bool(TClip& clip, TAheadFrame& frame)>;

    TFrameAhead(const std::string& fileName, std::int64_t first, std::int64_t step, std::int64_t count, int depth,
                TRead read);
    TFrameAhead(const std::string& fileName, std::int64_t first, std::int64_t step, std::int64_t count, int depth,
                TPrepare prepare);
    // The frames as the viewer shows them while playing: 24-bit pictures of
    // width x height made straight from the decoder's planes.
    static TRead Displayed(int width, int height);
    // Each frame read at full precision and made into a picture by `prepare`.
    static TRead Prepared(TPrepare prepare);
    // Stops the thread and waits for it.
    ~TFrameAhead();
    TFrameAhead(const TFrameAhead&) = delete;
    TFrameAhead& operator=(const TFrameAhead&) = delete;

    // The next frame if it is ready; false otherwise, without waiting.
    bool Take(TAheadFrame& frame);
    // The next frame, waiting for it; false once no frame will come.
    bool Wait(TAheadFrame& frame);
    // Frames before `number` in the order of play are no longer wanted: the
    // thread goes on from there if it is not past it yet (the queue keeps
    // what it holds).
    void SkipTo(std::int64_t number);
    // The queue holds as many frames as it takes, or no more will come.
    bool Full() const;
    // No frame will come any more (every frame given, or the clip failed).
    bool Ended() const;
    // Why the frames ended early ("" when they did not): the clip's message.
    std::string Problem() const;

private:
    void Run(std::string fileName, std::int64_t first);
    bool Push(TAheadFrame frame);

    const std::int64_t step_;
    const std::int64_t count_;
    const std::size_t depth_;
    TRead read_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<TAheadFrame> frames_;
    std::int64_t skipTo_;
    bool stopping_ = false;
    bool finished_ = false;
    std::string problem_;
    std::thread worker_;
};
