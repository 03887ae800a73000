#pragma once
#include <QByteArray>
#include <QDir>
#include <QString>

// For its lifetime HOME and XDG_DATA_HOME name folders of the test's own,
// so that what a window moves to the desktop's trash never reaches the
// user's: $XDG_DATA_HOME/Trash is then under `folder`.
class TTemporaryHome {
public:
    explicit TTemporaryHome(const QString& folder)
        : home_(qgetenv("HOME")),
          data_(qgetenv("XDG_DATA_HOME")),
          hadData_(qEnvironmentVariableIsSet("XDG_DATA_HOME")) {
        QDir().mkpath(folder + "/home");
        qputenv("HOME", QString(folder + "/home").toLocal8Bit());
        qputenv("XDG_DATA_HOME", QString(folder + "/data").toLocal8Bit());
    }
    ~TTemporaryHome() {
        qputenv("HOME", home_);
        if (hadData_)
            qputenv("XDG_DATA_HOME", data_);
        else
            qunsetenv("XDG_DATA_HOME");
    }
    TTemporaryHome(const TTemporaryHome&) = delete;
    TTemporaryHome& operator=(const TTemporaryHome&) = delete;

private:
    QByteArray home_, data_;
    bool hadData_;
};
