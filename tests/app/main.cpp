#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStyleFactory>
#include <QTemporaryDir>

#include <cstdio>

#include "app/Application.h"

namespace {

// The per-user folders of every program the tests start point into home,
// and the settings there name a library of the tests' own: neither the
// user's nor the build tree's library and settings are ever touched.
void UseHomeOfTheTests(const QTemporaryDir& home) {
    const QString config = home.filePath(".config");
    QDir().mkpath(config + "/tarnwerk");
    QDir().mkpath(home.filePath("lib"));
    QFile settings(config + "/tarnwerk/Ombrane.conf");
    if (settings.open(QIODevice::WriteOnly))
        settings.write("[General]\nlib=" + QFile::encodeName(home.filePath("lib")) + "\n");
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(".local/share")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.filePath(".cache")));
}

}  // namespace

// The window tests need one QApplication for the whole run; the Fusion style
// makes sizes and screenshots the same on every desktop.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // No display is needed, also when the test list is read at build time.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const QTemporaryDir home(QDir::tempPath() + "/ombrane-app-tests-XXXXXX");
    UseHomeOfTheTests(home);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication app(argc, argv);
    UseProgramLocale();
    // The windows keep choices in the settings: never in the user's own.
    const QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    return RUN_ALL_TESTS();
}
