#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QStyleFactory>
#include <QTemporaryDir>

#include "app/Application.h"

// The window tests need one QApplication for the whole run; the Fusion style
// makes sizes and screenshots the same on every desktop.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // No display is needed, also when the test list is read at build time.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication app(argc, argv);
    UseProgramLocale();
    // The windows keep choices in the settings: never in the user's own.
    const QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    return RUN_ALL_TESTS();
}
