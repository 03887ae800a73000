// Frame-step latency and playback of a clip as the window does them: each
// frame shown is decoded, converted to the 24-bit road, fitted into the
// 1000 x 500 preview box with Lanczos3 and graded with a look.
//
//   clip_measure CLIP LUTFILE [STEPS] [PLAY_SECONDS]
//
// Prints the time to the first frame shown; the median, 95th percentile and
// worst step forward and back, back to back; the same steps taken at the
// pace of a held key (one every 40 ms), where the frame next to the one
// shown is decoded ahead while the key is up; where a step's time goes
// (decoding, the picture, grading) and its processor time over all
// threads; and PLAY_SECONDS (default 10) of
// playback at the clip's rate with the frames decoded ahead, the look
// graded on this thread as the window's does, and the frames dropped.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <thread>
#include <vector>

#include "clip/ClipFile.h"
#include "clip/ClipPicture.h"
#include "clip/ClipPlayback.h"
#include "engine/look/GradingRoad.h"
#include "engine/lut/LUT.h"
#include "formats/LutConvert.h"

namespace {

using TClock = std::chrono::steady_clock;
constexpr int kBoxWidth = 1000, kBoxHeight = 500;

double Milliseconds(TClock::time_point since) {
    return std::chrono::duration<double, std::milli>(TClock::now() - since).count();
}

TImage Preview(const TDeepImage& frame) { return ClipFramePreview(frame, kBoxWidth, kBoxHeight); }

void ShowFrame(TClip& clip, std::int64_t number, const TLUT& look) {
    TImage preview = Preview(clip.Frame(number));
    GradePicture(look, preview);
}

void Report(const char* what, std::vector<double> times) {
    if (times.empty()) return;
    std::sort(times.begin(), times.end());
    const auto at = [&](double share) { return times[std::min(times.size() - 1, std::size_t(share * times.size()))]; };
    std::printf("%-26s median %6.1f ms   p95 %6.1f ms   worst %6.1f ms   (%zu steps)\n", what, at(0.5), at(0.95),
                times.back(), times.size());
}

// Steps back to back, as a program stepping as fast as it can.
void StepBackToBack(TClip& clip, int steps, const TLUT& look) {
    std::vector<double> forward, back;
    for (int n = 1; n <= steps; ++n) {
        const auto start = TClock::now();
        ShowFrame(clip, n, look);
        forward.push_back(Milliseconds(start));
    }
    for (int n = steps - 1; n >= steps / 2; --n) {
        const auto start = TClock::now();
        ShowFrame(clip, n, look);
        back.push_back(Milliseconds(start));
    }
    Report("step forward", forward);
    Report("step back", back);
}

// Steps one a key repeat apart, the neighbour in the direction of the last
// step decoded ahead in between, as the frame bar does.
void StepPaced(const std::string& file, std::int64_t count, int steps, const TLUT& look) {
    constexpr auto kRepeat = std::chrono::milliseconds(40);
    for (const int direction : {1, -1}) {
        std::vector<double> times;
        std::int64_t number = direction > 0 ? 0 : std::min<std::int64_t>(count - 1, steps);
        auto ahead = std::make_unique<TFrameAhead>(file, number + direction, direction, count, 1, Preview);
        for (int s = 0; s < steps && number + direction >= 0 && number + direction < count; ++s) {
            std::this_thread::sleep_for(kRepeat);
            const auto start = TClock::now();
            TAheadFrame frame;
            if (!ahead->Wait(frame)) break;
            GradePicture(look, frame.Picture);
            number = frame.Number;
            times.push_back(Milliseconds(start));
        }
        Report(direction > 0 ? "step forward, key held" : "step back, key held", times);
    }
}

// Where a step's time goes, frame by frame forward.
void Breakdown(TClip& clip, int steps, const TLUT& look) {
    std::vector<double> decode, picture, grade;
    const std::clock_t cpuStart = std::clock();
    for (int n = 0; n < steps; ++n) {
        auto start = TClock::now();
        const TDeepImage frame = clip.Frame(n);
        decode.push_back(Milliseconds(start));
        start = TClock::now();
        TImage preview = Preview(frame);
        picture.push_back(Milliseconds(start));
        start = TClock::now();
        GradePicture(look, preview);
        grade.push_back(Milliseconds(start));
    }
    Report("  decode + Y'CbCr to RGB", decode);
    Report("  24 bits + fit", picture);
    Report("  grade", grade);
    // The processor time of all threads: what a frame costs whatever the load.
    std::printf("  processor time a frame   %6.1f ms (all threads)\n",
                1000.0 * double(std::clock() - cpuStart) / CLOCKS_PER_SEC / std::max(1, steps));
}

// Plays the clip at its rate, grading each frame shown on this thread.
void Play(const std::string& file, const TClipInfo& info, double seconds, const TLUT& look) {
    const double rate = double(info.RateNumerator) / info.RateDenominator;
    const std::int64_t count = std::min<std::int64_t>(info.Frames, std::int64_t(seconds * rate) + 1);
    const auto start = TClock::now();
    TClipPlayback play(file, 0, 1, 1, count, rate, Preview);
    std::vector<double> late;
    while (!play.Finished()) {
        const double now = Milliseconds(start) / 1000;
        TAheadFrame frame;
        if (play.FrameDue(now, frame)) {
            const std::int64_t index = frame.Number - 1;
            late.push_back(1000 * (now - (index + 1) * play.FrameTime()));
            GradePicture(look, frame.Picture);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(int(play.FrameTime() * 250000)));
    }
    std::printf("playback                   %lld frames at %.3f fps in %.2f s: %lld shown, %lld dropped\n",
                static_cast<long long>(count - 1), rate, Milliseconds(start) / 1000,
                static_cast<long long>(play.Shown()), static_cast<long long>(play.Dropped()));
    Report("  shown after its time", late);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: clip_measure CLIP LUTFILE [STEPS] [PLAY_SECONDS]\n");
        return 2;
    }
    const int steps = argc > 3 ? std::atoi(argv[3]) : 48;
    const double seconds = argc > 4 ? std::atof(argv[4]) : 10;
    const auto look = ReadLutFile(argv[2]);
    const auto start = TClock::now();
    TClip clip(argv[1]);
    ShowFrame(clip, 0, *look);
    std::printf("%-26s %6.1f ms\n", "first frame shown", Milliseconds(start));
    const std::int64_t count = clip.Info().Frames;
    StepBackToBack(clip, std::min<std::int64_t>(steps, count - 1), *look);
    StepPaced(argv[1], count, std::min<std::int64_t>(steps, count - 1), *look);
    std::printf("where a step forward goes:\n");
    Breakdown(clip, std::min<std::int64_t>(steps, count), *look);
    const double budget = 1000.0 * clip.Info().RateDenominator / clip.Info().RateNumerator;
    std::printf("%-26s %6.1f ms a frame at the clip's rate\n", "playback budget", budget);
    if (seconds > 0) Play(argv[1], clip.Info(), seconds, *look);
    return 0;
}
