#include "app/LookSession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include "app/ImageViewer.h"
#include "app/LookFiles.h"
#include "grading/LookDocument.h"
#include "grading/UserSettings.h"

namespace {

const QString kFrameKey = kSessionFrameKey;
// The viewer's zoom in percent; 0 for fitted.
const QString kZoomKey = kSessionZoomKey;

}  // namespace

TLookSession::TLookSession(TLookFiles& files, TImageViewer& viewer, QObject* parent)
    : QObject(parent), files_(files), viewer_(viewer), timer_(new QTimer(this)) {
    timer_->setSingleShot(true);
    timer_->setInterval(kKeepDelay);
    connect(timer_, &QTimer::timeout, this, [this] { Keep(frameFile_ ? frameFile_() : QString()); });
}

QString TLookSession::Folder() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    // A relative XDG_STATE_HOME is passed over, as the desktop does.
    if (state.isEmpty() || QDir::isRelativePath(state)) state = QDir::homePath() + "/.local/state";
    return state + "/tarnwerk/Ombrane";
}

QString TLookSession::File() { return Folder() + "/session.olook"; }

void TLookSession::Changed() { timer_->start(); }

void TLookSession::Keep(const QString& frameFile) {
    timer_->stop();
    QSettings settings = UserSettings();
    settings.setValue(kFrameKey, frameFile.isEmpty() ? QString() : QFileInfo(frameFile).absoluteFilePath());
    settings.setValue(kZoomKey, viewer_.Fit() ? 0 : viewer_.ZoomPercent());
    try {
        QDir().mkpath(Folder());
        SaveLookDocument(files_.Document(), QFile::encodeName(File()).toStdString());
    } catch (const std::exception&) {
        // A look that cannot be kept (its reference gone meanwhile) leaves
        // the last one kept; the next change tries again.
    }
}

QString TLookSession::LastFrame() {
    const QString frame = UserSettings().value(kFrameKey).toString();
    return !frame.isEmpty() && QFileInfo(frame).isFile() ? frame : QString();
}

QString TLookSession::RestoreLook() {
    if (!QFileInfo::exists(File())) return QString();
    try {
        files_.Apply(LoadLookDocument(QFile::encodeName(File()).toStdString()));
        return QString();
    } catch (const std::exception& error) {
        return "The last session's look was not restored: " + QString::fromStdString(error.what());
    }
}

void TLookSession::RestoreZoom() {
    const int percent = UserSettings().value(kZoomKey, 0).toInt();
    if (percent > 0) viewer_.ZoomToPercent(percent);
}
