// Playback of clips in the real window, offscreen: the frames shown and
// dropped and the frame rate reached over PLAY_SECONDS of play at the clip's
// rate, with a look chosen and the scopes closed, the window 1920 x 1080 and
// the viewer at fit; then the time of a step of one frame, back to back and
// at the pace of a held key, and of steps back from frames not shown
// before, the first step back there (the decoder's worst case) on its own.
// Everything goes through the window's own roads: keys to the viewer, the
// frame bar's playback, the panel's grade, the viewer's paint. Last, the processor time a frame of the exact road
// of a paused frame (and its parts) and of the one-pass road of playing,
// to the viewer's picture, frame by frame outside the window.
//
//   clip_playback [--seconds N] [--uhd] [CLIP...]
//
// Without clips, 1920 x 1080 clips of PLAY_SECONDS (default 10) and a frame
// at 24 fps are made in a temporary folder from mate-backgrounds' Elephants
// picture (a crop moving across it, BT.709 limited range): ProRes 422 HQ
// (yuv422p10le, prores_ks profile 3) and H.264 (yuv420p, CRF 16); with
// --uhd a 3840 x 2160 ProRes 422 HQ clip too. The look is built from the
// same package's Garden picture as the reference. The load average and
// the processor time over all threads are printed with each figure.
#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QListWidget>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/FrameBar.h"
#include "app/ImageViewer.h"
#include "app/MainForm.h"
#include "app/ScopesPanel.h"
#include "clip/ClipFile.h"
#include "clip/ClipPicture.h"
#include "engine/picture/ImageResize.h"

namespace {

const char* const kPhoto = "/usr/share/backgrounds/mate/abstract/Elephants_3840x2160.jpg";
const char* const kReference = "/usr/share/backgrounds/mate/nature/Garden.jpg";

std::string LoadAverage() {
    QFile file("/proc/loadavg");
    if (!file.open(QIODevice::ReadOnly)) return "?";
    return QString::fromLatin1(file.readAll()).section(' ', 0, 2).toStdString();
}

// Processor seconds of this process over all its threads.
double ProcessorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

bool MakeClip(const QString& file, int width, int height, double seconds, const std::string& encoding) {
    const std::string filter = "crop=iw*3/4:ih*3/4:n*4:n*2,scale=" + std::to_string(width) + ":" +
                               std::to_string(height) +
                               ",scale=out_color_matrix=bt709:out_range=tv,setparams=colorspace=bt709:range=tv:"
                               "color_primaries=bt709:color_trc=bt709";
    const std::string command = "ffmpeg -nostdin -v error -y -loop 1 -framerate 24 -i " + std::string(kPhoto) +
                                " -vf '" + filter + "' -frames:v " + std::to_string(int(seconds * 24) + 1) + " " +
                                encoding + " '" + file.toStdString() + "'";
    std::printf("making %s...\n", QFileInfo(file).fileName().toStdString().c_str());
    std::fflush(stdout);
    return std::system(command.c_str()) == 0;
}

// Runs the window's events for a while.
void Settle(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QApplication::processEvents();
        QThread::msleep(2);
    }
}

// A key pressed on the viewer, as the user presses it; its paint done.
void Key(TImageViewer* viewer, Qt::Key key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(viewer, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(viewer, &release);
    viewer->repaint();
}

void Report(const char* what, std::vector<double> times) {
    if (times.empty()) return;
    std::sort(times.begin(), times.end());
    const auto at = [&](double share) { return times[std::min(times.size() - 1, std::size_t(share * times.size()))]; };
    std::printf("  %-24s median %6.1f ms   p95 %6.1f ms   worst %6.1f ms   (%zu steps)\n", what, at(0.5), at(0.95),
                times.back(), times.size());
}

void Play(TfrmMain& window, double seconds) {
    TFrameBar* bar = window.Preview().FrameBar();
    TImageViewer* viewer = window.Preview().Viewer();
    const std::int64_t shownBefore = bar->PlayedFrames(), droppedBefore = bar->DroppedFrames();
    const std::string loadBefore = LoadAverage();
    const double processorBefore = ProcessorSeconds();
    QElapsedTimer clock;
    clock.start();
    Key(viewer, Qt::Key_Space);
    while (bar->Playing() && clock.elapsed() < seconds * 1000 + 500) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    const double elapsed = clock.nsecsElapsed() / 1e9;
    if (bar->Playing()) Key(viewer, Qt::Key_K);
    const double processor = ProcessorSeconds() - processorBefore;
    const std::int64_t shown = bar->PlayedFrames() - shownBefore, dropped = bar->DroppedFrames() - droppedBefore;
    std::printf(
        "  played %.2f s: %lld shown, %lld dropped, %.2f fps; processor %.1f ms a frame time (%.0f %% of "
        "a core); load %s before, %s after\n",
        elapsed, static_cast<long long>(shown), static_cast<long long>(dropped), shown / elapsed,
        1000 * processor / std::max<std::int64_t>(1, shown + dropped), 100 * processor / elapsed, loadBefore.c_str(),
        LoadAverage().c_str());
}

void Steps(TfrmMain& window, int steps) {
    TImageViewer* viewer = window.Preview().Viewer();
    for (const bool paced : {false, true}) {
        for (const Qt::Key key : {Qt::Key_Right, Qt::Key_Left}) {
            std::vector<double> times;
            for (int i = 0; i < steps; ++i) {
                if (paced) Settle(40);  // a held key repeats about every 40 ms
                QElapsedTimer clock;
                clock.start();
                Key(viewer, key);
                times.push_back(clock.nsecsElapsed() / 1e6);
            }
            Report(key == Qt::Key_Right ? (paced ? "step forward, key held" : "step forward")
                                        : (paced ? "step back, key held" : "step back"),
                   times);
        }
    }
}

// Steps back from frames not shown before: the bar goes to each of three
// frames far apart (a click on the slider), rests a moment as a person
// would, then steps back `steps` times back to back. The first step back
// there waits for the decoder (from the key frame before, in a clip of
// dependent frames): reported on its own; the steps after it find their
// frames made in the background.
void StepsBackAfterJumps(TfrmMain& window, int steps) {
    TFrameBar* bar = window.Preview().FrameBar();
    TImageViewer* viewer = window.Preview().Viewer();
    std::vector<double> first, after;
    for (const double place : {0.95, 0.62, 0.3}) {
        bar->ShowFrame(static_cast<std::int64_t>(place * (bar->FrameCount() - 1)));
        viewer->repaint();
        Settle(300);
        for (int i = 0; i < steps; ++i) {
            QElapsedTimer clock;
            clock.start();
            Key(viewer, Qt::Key_Left);
            (i == 0 ? first : after).push_back(clock.nsecsElapsed() / 1e6);
        }
    }
    Report("first step back, jumped", first);
    Report("step back after it", after);
}

// Processor time a frame (all threads) of the two roads to the viewer's
// picture of `size`, over `frames` frames in order: the exact one of a
// paused frame (full precision, 24 bits, Lanczos3 to the copy's size) and
// the one-pass one of playing. Load changes these far less than wall time.
void RoadCosts(const QString& clip, QSize size, int frames) {
    const auto cost = [&](const std::function<void(TClip&, std::int64_t)>& road) {
        TClip opened(clip.toStdString());
        frames = static_cast<int>(std::min<std::int64_t>(frames, opened.Info().Frames));
        const double before = ProcessorSeconds();
        for (int n = 0; n < frames; ++n) road(opened, n);
        return 1000 * (ProcessorSeconds() - before) / std::max(1, frames);
    };
    const double exact = cost([&](TClip& opened, std::int64_t n) {
        TImage copy;
        ResizeImage(size.width(), size.height(), kLanczos3Filter, copy, ClipFrameToImage(opened.Frame(n)), 0.0f);
    });
    // The exact road in its parts, frame by frame as the frame bar's threads
    // make them (each picture made in the memory of the one before).
    double decode = 0, convert = 0, preview = 0, copy = 0;
    const auto part = [](double& total, const std::function<void()>& work) {
        const double before = ProcessorSeconds();
        work();
        total += ProcessorSeconds() - before;
    };
    TDeepImage decoded;
    TImage full, fitted, resampled;
    cost([&](TClip& opened, std::int64_t n) {
        std::int64_t got = -1;
        part(decode, [&] {
            opened.Seek(n);
            opened.Next(decoded, got);
        });
        part(convert, [&] { PutClipFrameToImage(decoded, full); });
        part(preview, [&] {
            int width = 0, height = 0;
            FitToBox(full.Width(), full.Height(), 1000, 500, width, height);
            ResizeImage(width, height, kLanczos3Filter, fitted, full, 0.0f);
        });
        part(copy, [&] { ResizeImage(size.width(), size.height(), kLanczos3Filter, resampled, full, 0.0f); });
    });
    const auto perFrame = [&](double total) { return 1000 * total / std::max(1, frames); };
    decode = perFrame(decode);
    convert = perFrame(convert);
    preview = perFrame(preview);
    copy = perFrame(copy);
    std::printf(
        "  the exact road's parts: decode %.1f ms, 24 bits %.1f ms, 1000 x 500 preview fit %.1f ms, "
        "viewer's copy %.1f ms\n",
        decode, convert, preview, copy);
    TImage picture;
    const double played = cost([&](TClip& opened, std::int64_t n) {
        std::int64_t got = -1;
        opened.Seek(n);
        opened.NextPicture(picture, size.width(), size.height(), got);
    });
    std::printf("  processor time a frame to a %d x %d picture: exact road %.1f ms, one pass %.1f ms\n", size.width(),
                size.height(), exact, played);
}

void Measure(const QString& library, const QString& clip, double seconds) {
    TfrmMain window(library.toStdString());
    window.resize(1920, 1080);
    window.show();
    window.Scopes()->hide();
    QApplication::processEvents();
    window.Preview().Drop({clip});
    window.Library().List()->item(0)->setSelected(true);
    Settle(300);
    const TImageViewer* viewer = window.Preview().Viewer();
    std::printf("%s: viewer %d x %d, working copy %d x %d, look %s\n", QFileInfo(clip).fileName().toStdString().c_str(),
                viewer->width(), viewer->height(), viewer->Scaled().Width(), viewer->Scaled().Height(),
                window.Grading().LookBuilt() ? "on" : "OFF");
    Play(window, seconds);
    Key(window.Preview().Viewer(), Qt::Key_Home);
    Settle(300);
    Steps(window, 24);
    StepsBackAfterJumps(window, 16);
    RoadCosts(clip, QSize(viewer->Scaled().Width(), viewer->Scaled().Height()), 24);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    double seconds = 10;
    bool uhd = false;
    QStringList clips;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--seconds" && i + 1 < argc)
            seconds = std::atof(argv[++i]);
        else if (arg == "--uhd")
            uhd = true;
        else
            clips << QString::fromLocal8Bit(argv[i]);
    }
    QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("config"));
    const QString library = dir.filePath("lib");
    QDir().mkpath(library);
    if (!QFile::copy(kReference, library + "/Garden.jpg")) {
        std::fprintf(stderr, "clip_playback: %s is missing (apt install mate-backgrounds)\n", kReference);
        return 1;
    }
    if (clips.isEmpty()) {
        const char* hq = "-pix_fmt yuv422p10le -c:v prores_ks -profile:v 3";
        clips << dir.filePath("hq-1080.mov") << dir.filePath("h264-1080.mp4");
        if (!MakeClip(clips[0], 1920, 1080, seconds, hq) ||
            !MakeClip(clips[1], 1920, 1080, seconds, "-pix_fmt yuv420p -c:v libx264 -crf 16"))
            return 1;
        if (uhd) {
            clips << dir.filePath("hq-2160.mov");
            if (!MakeClip(clips[2], 3840, 2160, seconds, hq)) return 1;
        }
    }
    for (const QString& clip : clips)
        if (!QFileInfo(clip).isFile()) {
            std::fprintf(stderr, "clip_playback: \"%s\" is no file\n", clip.toLocal8Bit().constData());
            return 1;
        }
    std::printf("%d cores, load %s\n", QThread::idealThreadCount(), LoadAverage().c_str());
    for (const QString& clip : clips) Measure(library, clip, seconds);
    return 0;
}
