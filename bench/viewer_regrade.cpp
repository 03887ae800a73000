// Times the viewer's regrade in the real window offscreen: a slider move
// until the graded view and the scopes are painted, with the scopes open, at
// a 1920 x 1080 and a 1000 x 562 view:
//
//   build/bench/viewer_regrade [PICTURE REFERENCE] [MOVES]    (MOVES: 40)
//
// Without files a 3840 x 2160 picture and a reference are made up. The
// window is sized so that the viewer has the size asked for; the frame's
// working copy is then made at that size and every move regrades it. The goal
// is one 60 Hz frame (16 ms) at 1920 x 1080.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QSettings>
#include <QSlider>
#include <QSplitter>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/ImageViewer.h"
#include "app/MainForm.h"
#include "app/ScopesPanel.h"
#include "imageio/ImageFile.h"

namespace {

// A picture with gradients and edges in every channel.
TImage MadeUpPicture(int width, int height) {
    TImage picture(width, height);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = picture.Row(y);
        for (int x = 0; x < width; ++x) {
            row[3 * x] = static_cast<std::uint8_t>(x * 255 / width);
            row[3 * x + 1] = static_cast<std::uint8_t>(y * 255 / height);
            row[3 * x + 2] = static_cast<std::uint8_t>(((x / 64 + y / 64) % 2) * 120 + (x * y) % 97);
        }
    }
    return picture;
}

void Settle(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QApplication::processEvents();
        QThread::msleep(5);
    }
}

// Resizes the window until the viewer has the size asked for: the window
// grows by what the viewer lacks, and a splitter gives the viewer its height.
bool SizeViewer(TfrmMain& window, QSize wanted) {
    TImageViewer* viewer = window.Preview().Viewer();
    for (int round = 0; round < 10 && viewer->size() != wanted; ++round) {
        window.resize(window.size() + wanted - viewer->size());
        QApplication::processEvents();
        if (auto* splitter = qobject_cast<QSplitter*>(viewer->parentWidget())) {
            QList<int> sizes = splitter->sizes();
            const int index = splitter->indexOf(viewer);
            int others = 0;
            for (int i = 0; i < sizes.size(); ++i)
                if (i != index) others += sizes[i];
            const int spare = sizes[index] + others - wanted.height();
            for (int i = 0; i < sizes.size(); ++i)
                if (i != index) sizes[i] = std::max(spare / std::max(static_cast<int>(sizes.size()) - 1, 1), 1);
            sizes[index] = wanted.height();
            splitter->setSizes(sizes);
            QApplication::processEvents();
        }
    }
    Settle(400);  // the larger working copy is made once the size settles
    return viewer->size() == wanted;
}

// Counts the paints of a widget.
struct TPaintCount : QObject {
    int Paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++Paints;
        return false;
    }
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("config"));
    const QString library = dir.filePath("lib");
    QDir().mkpath(library);
    QString picture;
    if (argc >= 3) {
        picture = QString::fromLocal8Bit(argv[1]);
        QFile::copy(QString::fromLocal8Bit(argv[2]), library + "/reference.jpg");
    } else {
        picture = dir.filePath("frame.png");
        SaveImageFile(picture.toStdString(), MadeUpPicture(3840, 2160));
        SaveJpegFile((library + "/reference.jpg").toStdString(), MadeUpPicture(600, 400), 95);
    }
    const int moves = std::max(argc >= 4 ? std::atoi(argv[3]) : argc == 2 ? std::atoi(argv[1]) : 40, 1);

    // A window per size, the smaller first: each makes its working copy for its view.
    for (QSize size : {QSize(1000, 562), QSize(1920, 1080)}) {
        TfrmMain window(library.toStdString());
        window.resize(1280, 800);
        window.show();
        QApplication::processEvents();
        auto* scopes = window.findChild<TScopesPanel*>();
        QSlider* gain = window.findChild<QSlider*>("tbrColorGain");
        if (scopes == nullptr || gain == nullptr) return 1;
        scopes->show();
        TImageViewer* viewer = window.Preview().Viewer();
        if (!SizeViewer(window, size)) std::printf("(the viewer came to %d x %d)\n", viewer->width(), viewer->height());
        window.Preview().Drop({picture});
        window.Library().List()->item(0)->setSelected(true);
        Settle(100);
        // With the scopes open (the goal), then closed to show their share.
        for (bool open : {true, false}) {
            scopes->setVisible(open);
            QApplication::processEvents();
            // Closing the scopes gives their room back: the viewer is sized again.
            if (!SizeViewer(window, size))
                std::printf("(the viewer came to %d x %d)\n", viewer->width(), viewer->height());
            Settle(100);
            const int before = scopes->MeasureCount();
            TPaintCount viewerPaints, scopesPaints;
            viewer->installEventFilter(&viewerPaints);
            for (QWidget* part : scopes->findChildren<QWidget*>()) part->installEventFilter(&scopesPaints);
            std::vector<double> times;
            for (int step = 0; step < moves + 3; ++step) {
                QElapsedTimer clock;
                clock.start();
                gain->setValue(60 + (step % 2) * 40 + step % 7);
                // The regrade, the scopes' measurement and the paints it asked for.
                QApplication::processEvents();
                if (step >= 3) times.push_back(clock.nsecsElapsed() / 1e6);  // three to warm up
            }
            std::printf(
                "view %d x %d, working copy %d x %d, scopes %s (measured %d, viewer painted %d, scopes "
                "painted %d times in %d moves): %.2f ms per regrade (median of %d), min %.2f, max %.2f\n",
                viewer->width(), viewer->height(), viewer->Display().Width(), viewer->Display().Height(),
                open ? "open" : "closed", scopes->MeasureCount() - before, viewerPaints.Paints, scopesPaints.Paints,
                moves + 3, Median(times), moves, *std::min_element(times.begin(), times.end()),
                *std::max_element(times.begin(), times.end()));
            // The viewer's paint alone (the graded copy drawn, nothing regraded).
            std::vector<double> paints;
            for (int i = 0; i < 20; ++i) {
                QElapsedTimer clock;
                clock.start();
                viewer->repaint();
                paints.push_back(clock.nsecsElapsed() / 1e6);
            }
            std::printf("  the viewer's paint alone: %.2f ms (median of 20)\n", Median(paints));
        }
    }
    return 0;
}
