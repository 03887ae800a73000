#include "app/LastSession.h"

#include <QFile>

#include "app/ImageViewer.h"
#include "app/LibraryDock.h"
#include "app/LookSession.h"
#include "app/MainForm.h"
#include "app/PreviewPanel.h"
#include "app/WindowStatus.h"
#include "grading/GradingSession.h"
#include "grading/UserSettings.h"

TLastSession::TLastSession(TfrmMain& window, TWindowStatus& status)
    : QObject(&window), window_(window), status_(status) {}

void TLastSession::RestoreLayout() {
    const QByteArray geometry = UserSettings().value(kGeometryKey).toByteArray();
    if (!geometry.isEmpty()) window_.restoreGeometry(geometry);
    window_.Dock().Restore();
}

void TLastSession::SaveLayout() const {
    UserSettings().setValue(kGeometryKey, window_.saveGeometry());
    window_.Dock().Save();
}

QString TLastSession::FrameFile() const { return QFile::decodeName(window_.Grading().PreviewFile().c_str()); }

void TLastSession::Restore(bool pictureGiven) {
    session_ = new TLookSession(window_.LookFiles(), *window_.Preview().Viewer(), &window_);
    session_->SetFrameFile([this] { return FrameFile(); });
    const QString frame = pictureGiven ? QString() : TLookSession::LastFrame();
    QString problem;
    try {
        if (!frame.isEmpty()) window_.Preview().OpenPreviewFile(frame);
    } catch (const std::exception& error) {
        problem = QString::fromStdString(error.what());
    }
    const QString lookProblem = session_->RestoreLook();
    if (problem.isEmpty()) problem = lookProblem;
    if (!problem.isEmpty()) status_.ShowMessage(problem);
    KeepChanges();
}

void TLastSession::KeepChanges() {
    auto changed = [this] { session_->Changed(); };
    TGradingSession& grading = window_.Grading();
    connect(&grading, &TGradingSession::LookEdited, session_, changed);
    connect(&grading.Snapshots(), &TSnapshots::StoredChanged, session_, changed);
    connect(&window_.Preview(), &TPreviewPanel::FrameChanged, session_, changed);
    connect(window_.Preview().Viewer(), &TImageViewer::ZoomChanged, session_, changed);
}

void TLastSession::RestoreZoom() {
    if (session_) session_->RestoreZoom();
}

void TLastSession::Keep() {
    SaveLayout();
    if (session_) session_->Keep(FrameFile());
}
