// Frame-step latency of a clip as the window steps through it: each step
// decodes the frame, converts it to the 24-bit road, fits it into the
// 1000 x 500 preview box with Lanczos3 and grades it with a look. Prints the
// time to the first frame, and the median and worst step forward and back.
//
//   clip_measure CLIP LUTFILE [STEPS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "ClipFile.h"
#include "ClipPicture.h"
#include "DeepGrade.h"
#include "GradingRoad.h"
#include "ImageResize.h"
#include "LUT.h"
#include "LutConvert.h"

namespace {

using TClock = std::chrono::steady_clock;

double Milliseconds(TClock::time_point since)
{
    return std::chrono::duration<double, std::milli>(TClock::now() - since).count();
}

void ShowFrame(TClip& clip, std::int64_t number, const TLUT& look)
{
    TImage preview = FitImage(ClipFrameToImage(clip.Frame(number)), 1000, 500);
    GradePicture(look, preview);
}

void Report(const char* what, std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    std::printf("%-22s median %6.1f ms   worst %6.1f ms   (%zu steps)\n", what, times[times.size() / 2], times.back(),
                times.size());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: clip_measure CLIP LUTFILE [STEPS]\n");
        return 2;
    }
    const int steps = argc > 3 ? std::atoi(argv[3]) : 48;
    const auto look = ReadLutFile(argv[2]);
    auto start = TClock::now();
    TClip clip(argv[1]);
    ShowFrame(clip, 0, *look);
    std::printf("%-22s %6.1f ms\n", "first frame shown", Milliseconds(start));
    std::vector<double> forward, back;
    for (int n = 1; n <= steps; ++n) {
        start = TClock::now();
        ShowFrame(clip, n, *look);
        forward.push_back(Milliseconds(start));
    }
    for (int n = steps - 1; n >= steps / 2; --n) {
        start = TClock::now();
        ShowFrame(clip, n, *look);
        back.push_back(Milliseconds(start));
    }
    Report("step forward", forward);
    Report("step back", back);
    const double budget = 1000.0 * clip.Info().RateDenominator / clip.Info().RateNumerator;
    std::printf("%-22s %6.1f ms a frame at the clip's rate\n", "playback budget", budget);
    return 0;
}
