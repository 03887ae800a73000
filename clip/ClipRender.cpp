#include "clip/ClipRender.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

#include "clip/ClipFile.h"
#include "clip/ClipMemory.h"
#include "clip/ClipPicture.h"
#include "engine/DeepGrade.h"
#include "engine/Error.h"
#include "engine/GradingRoad.h"
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

void Decode(TClip& clip, const TClipRenderSettings& settings, TFrameQueue& decoded) {
    clip.Seek(settings.In);
    std::int64_t expected = settings.In;
    while (settings.Out < 0 || expected < settings.Out) {
        TNumberedFrame frame;
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

}  // namespace

void GradeClipFrame(const TLUT& lut, TDeepImage& frame, const TFootageConversion* footage) {
    if (frame.Depth.Bits > 8) {
        if (footage != nullptr) throw EError("--footage converts 8-bit frames only");
        GradeDeepImage(lut, frame);
        return;
    }
    TImage picture = ClipFrameToImage(frame);
    GradePicture(lut, picture, footage);
    const TPictureDepth depth = frame.Depth;
    frame = DeepFromImage(picture, depth.Format);
    frame.Depth = depth;
}

void RenderClip(const std::string& input, const TClipRenderSettings& settings, const TFrameGrader& grade,
                const TRenderProgress& progress) {
    TClip clip(input);
    const std::int64_t end = settings.Out >= 0 ? settings.Out : clip.Info().Frames;
    const std::int64_t total = end > settings.In ? end - settings.In : 0;
    if (settings.Out >= 0 && settings.Out <= settings.In)
        throw EError("--out " + std::to_string(settings.Out) + " must come after --in " + std::to_string(settings.In));
    const std::size_t depth = QueueDepth(clip.Info());
    const std::uint64_t inFlight = 2 * depth + kFramesInStages;
    CheckClipFramesFit(input, clip.Info(), inFlight, PicturePixelBudget());
    // Renders of other jobs wait until these frames fit beside theirs.
    const TPixelReservation memory = PicturePixelBudget().Reserve(ClipFramesBytes(clip.Info(), inFlight));
    const TClipRenderSettings timed = WithTimes(clip, settings);
    TClip source(input);  // a reader of its own for the writer's copies
    WriteFileAtomicallyFrom(settings.OutputName, [&](int fd) {
        const auto writer = ClipModule().CreateWriter(source.Descriptor(), input, timed, fd);
        TFrameQueue decoded(depth), graded(depth);
        TFailure failure(decoded, graded);
        std::thread decoder([&] {
            try {
                Decode(clip, settings, decoded);
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
                failure.Keep(NamingTheClip(error, input));
            } catch (...) {
                failure.Keep(std::current_exception());
            }
        });
        try {
            std::int64_t done = 0;
            while (auto frame = graded.Pop()) {
                writer->WriteAt(frame->Image, frame->Number, frame->Time);
                if (progress) progress(++done, total);
            }
        } catch (...) {
            failure.Keep(std::current_exception());
        }
        decoder.join();
        grader.join();
        failure.Rethrow();
        writer->Finish();
        return 0;
    });
}
