#include "clip/ClipRender.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "clip/ClipFile.h"
#include "clip/ClipMemory.h"
#include "clip/ClipPicture.h"
#include "clip/SequenceWriter.h"
#include "engine/base/Error.h"
#include "engine/look/GradingRoad.h"
#include "engine/picture/DeepGrade.h"
#include "fileio/AtomicFile.h"

namespace {

// Frames between two stages of the render; one for frames of more pixels
// than kLargeFrame, whose memory counts more than the overlap.
constexpr std::size_t kFramesInFlight = 3;
constexpr std::int64_t kLargeFrame = 4096LL * 2160;
// Frames besides those queued: one in each stage.
constexpr std::uint64_t kFramesInStages = 3;

struct TNumberedFrame {
    TDeepImage Image;
    std::int64_t Number = 0;
    std::int64_t Time = kNoTimestamp;  // the reader's timestamp
};

std::size_t QueueDepth(const TClipInfo& info) {
    return static_cast<std::int64_t>(info.Width) * info.Height > kLargeFrame ? 1 : kFramesInFlight;
}

// A queue of at most `depth` frames; Stop ends every wait.
class TFrameQueue {
public:
    explicit TFrameQueue(std::size_t depth) : depth_(depth) {}
    bool Push(TNumberedFrame frame) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return stopped_ || frames_.size() < depth_; });
        if (stopped_) return false;
        frames_.push_back(std::move(frame));
        changed_.notify_all();
        return true;
    }
    // The next frame; nothing once the queue is closed and empty, or stopped.
    std::optional<TNumberedFrame> Pop() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return stopped_ || closed_ || !frames_.empty(); });
        if (stopped_ || frames_.empty()) return std::nullopt;
        TNumberedFrame frame = std::move(frames_.front());
        frames_.pop_front();
        changed_.notify_all();
        return frame;
    }
    void Close() {
        const std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        changed_.notify_all();
    }
    void Stop() {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopped_ = true;
        changed_.notify_all();
    }

private:
    const std::size_t depth_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<TNumberedFrame> frames_;
    bool closed_ = false;
    bool stopped_ = false;
};

// Frames the writer is done with, handed back to the decoder: a frame of a
// large clip is tens of megabytes, which allocated afresh each time would be
// cleared and faulted into memory again for every frame.
class TSpareFrames {
public:
    explicit TSpareFrames(std::size_t most) : most_(most) {}
    TDeepImage Take() {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (frames_.empty()) return TDeepImage();
        TDeepImage frame = std::move(frames_.back());
        frames_.pop_back();
        return frame;
    }
    void Give(TDeepImage frame) {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (frames_.size() < most_) frames_.push_back(std::move(frame));
    }

private:
    const std::size_t most_;
    std::mutex mutex_;
    std::vector<TDeepImage> frames_;
};

// The first failure of any stage, and the stopping of the others.
class TFailure {
public:
    TFailure(TFrameQueue& decoded, TFrameQueue& graded) : decoded_(decoded), graded_(graded) {}
    void Keep(std::exception_ptr error) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            if (!error_) error_ = error;
        }
        decoded_.Stop();
        graded_.Stop();
    }
    void Rethrow() {
        if (error_) std::rethrow_exception(error_);
    }

private:
    std::mutex mutex_;
    std::exception_ptr error_;
    TFrameQueue& decoded_;
    TFrameQueue& graded_;
};

void Decode(TClip& clip, const TClipRenderSettings& settings, TFrameQueue& decoded, TSpareFrames& spare) {
    clip.Seek(settings.In);
    std::int64_t expected = settings.In;
    while (settings.Out < 0 || expected < settings.Out) {
        TNumberedFrame frame;
        frame.Image = spare.Take();
        if (!clip.Next(frame.Image, frame.Number)) {
            if (settings.Out >= 0)
                throw EError("\"" + clip.Name() + "\" ends before frame " + std::to_string(expected) +
                             ", within the range asked for (--out " + std::to_string(settings.Out) + ")");
            if (expected == settings.In)
                throw EError("\"" + clip.Name() + "\" has no frame " + std::to_string(settings.In));
            break;
        }
        expected = frame.Number + 1;
        frame.Time = clip.Timestamp();
        if (!decoded.Push(std::move(frame))) return;
    }
}

// The grader's failure being handled; a message that does not name the
// clip gets the clip's name in front, as the render reads one file and
// writes another.
std::exception_ptr NamingTheClip(const EError& error, const std::string& input) {
    const std::string message = error.what();
    if (message.find(input) != std::string::npos) return std::current_exception();
    return std::make_exception_ptr(EError("\"" + input + "\": " + message));
}

// The settings with the timestamps of the range's ends, so that the range
// is cut where its frames lie in a clip of variable rate too.
TClipRenderSettings WithTimes(TClip& clip, const TClipRenderSettings& settings) {
    TClipRenderSettings timed = settings;
    if (settings.In > 0) timed.InTime = clip.TimestampOf(settings.In);
    if (settings.Out >= 0) timed.OutTime = clip.TimestampOf(settings.Out);
    return timed;
}

// Decodes, grades and hands the frames to `write` in order, each stage on a
// thread of its own; the first failure of any stage is raised.
void RunRender(TClip& clip, const TClipRenderSettings& settings, const TFrameGrader& grade,
               const std::function<void(const TDeepImage&, std::int64_t, std::int64_t)>& write) {
    const std::size_t depth = QueueDepth(clip.Info());
    TFrameQueue decoded(depth), graded(depth);
    TSpareFrames spare(depth);
    TFailure failure(decoded, graded);
    std::thread decoder([&] {
        try {
            Decode(clip, settings, decoded, spare);
            decoded.Close();
        } catch (...) {
            failure.Keep(std::current_exception());
        }
    });
    std::thread grader([&] {
        try {
            while (auto frame = decoded.Pop()) {
                grade(frame->Image, frame->Number);
                if (!graded.Push(std::move(*frame))) break;
            }
            graded.Close();
        } catch (const EError& error) {
            failure.Keep(NamingTheClip(error, clip.Name()));
        } catch (...) {
            failure.Keep(std::current_exception());
        }
    });
    try {
        while (auto frame = graded.Pop()) {
            write(frame->Image, frame->Number, frame->Time);
            spare.Give(std::move(frame->Image));
        }
    } catch (...) {
        failure.Keep(std::current_exception());
    }
    decoder.join();
    grader.join();
    failure.Rethrow();
}

}  // namespace

void GradeClipFrame(const TLUT& lut, TDeepImage& frame, const TFootageConversion* footage) {
    if (frame.Depth.Bits > 8) {
        if (footage != nullptr) throw EError("--footage converts 8-bit frames only");
        GradeDeepImage(lut, frame);
        return;
    }
    // The colours go through the 24-bit picture; alpha stays in the frame.
    TImage picture = ClipFrameColours(frame);
    GradePicture(lut, picture, footage);
    PutClipFrameColours(picture, frame);
}

void RenderClip(const std::string& input, const TClipRenderSettings& settings, const TFrameGrader& grade,
                const TRenderProgress& progress) {
    TClip clip(input);
    const std::int64_t end = settings.Out >= 0 ? settings.Out : clip.Info().Frames;
    const std::int64_t total = end > settings.In ? end - settings.In : 0;
    if (settings.Out >= 0 && settings.Out <= settings.In)
        throw EError("--out " + std::to_string(settings.Out) + " must come after --in " + std::to_string(settings.In));
    const std::uint64_t inFlight = 2 * QueueDepth(clip.Info()) + kFramesInStages;
    CheckClipFramesFit(input, clip.Info(), inFlight, PicturePixelBudget());
    // Renders of other jobs wait until these frames fit beside theirs.
    const TPixelReservation memory = PicturePixelBudget().Reserve(ClipFramesBytes(clip.Info(), inFlight));
    if (IsSequenceOutputName(settings.OutputName)) {
        const TSequenceWriter writer(settings.OutputName);
        RunRender(clip, settings, grade, [&](const TDeepImage& image, std::int64_t number, std::int64_t) {
            writer.Write(image, number);
            if (progress) progress(number + 1 - settings.In, total);
        });
        return;
    }
    if (clip.Descriptor() < 0)
        throw EError("\"" + input + "\" is an image sequence; it is rendered to an image sequence, not to \"" +
                     settings.OutputName + "\"");
    const TClipRenderSettings timed = WithTimes(clip, settings);
    TClip source(input);  // a reader of its own for the writer's copies
    WriteFileAtomicallyFrom(settings.OutputName, [&](int fd) {
        const auto writer = ClipModule().CreateWriter(source.Descriptor(), input, timed, fd);
        std::int64_t done = 0;
        RunRender(clip, settings, grade, [&](const TDeepImage& image, std::int64_t number, std::int64_t time) {
            writer->WriteAt(image, number, time);
            if (progress) progress(++done, total);
        });
        writer->Finish();
        return 0;
    });
}
