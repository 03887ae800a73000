// Drives the window offscreen through a fixed number of slider moves, so that
// an instruction count of the regrade can be compared between two builds:
//
//   valgrind --tool=callgrind --collect-atstart=no
//       --toggle-collect='QAbstractSlider::setValue(int)' --toggle-collect='FitImage(*'
//       build/bench/window_regrade_count PICTURE REFERENCE
//
// The library holds the one reference (its thumbnail is made with FitImage);
// the picture is dropped on the preview; Color Gain is moved twenty times.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <cstdio>

#include "app/MainForm.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: window_regrade_count PICTURE REFERENCE\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("config"));
    const QString library = dir.filePath("lib");
    QDir().mkpath(library);
    QFile::copy(QString::fromLocal8Bit(argv[2]), library + "/reference.jpg");

    TfrmMain window(library.toStdString());
    window.resize(1280, 800);
    window.show();
    QApplication::processEvents();
    window.Preview().Drop({QString::fromLocal8Bit(argv[1])});
    window.Library().List()->item(0)->setSelected(true);
    QApplication::processEvents();
    QSlider* gain = window.findChild<QSlider*>("tbrColorGain");
    if (gain == nullptr) return 1;
    for (int step = 0; step < 20; ++step) {
        gain->setValue(60 + 5 * step);
        QApplication::processEvents();
    }
    std::printf("looks built: %d\n", window.Grading().BuildCount());
    return 0;
}
