#include "app/ViewerFullScreen.h"

#include <QAction>
#include <QBoxLayout>
#include <QEvent>
#include <QPalette>
#include <QScreen>
#include <QSplitter>
#include <QWidget>

TViewerFullScreen::TViewerFullScreen(QWidget* viewer, QList<QAction*> actions)
    : QObject(viewer), viewer_(viewer), actions_(std::move(actions)) {}

// The full-screen window is a child of the viewer's window and goes with it.
TViewerFullScreen::~TViewerFullScreen() = default;

void TViewerFullScreen::Enter() {
    if (on_) return;
    parent_ = viewer_->parentWidget();
    index_ = -1;
    sizes_.clear();
    if (auto* splitter = qobject_cast<QSplitter*>(parent_.data())) {
        index_ = splitter->indexOf(viewer_);
        sizes_ = splitter->sizes();
    } else if (parent_ && parent_->layout()) {
        index_ = parent_->layout()->indexOf(viewer_);
    }
    if (!host_) {
        // A window of the viewer's window, so that it goes with it.
        host_ = new QWidget(viewer_->window(), Qt::Window);
        host_->setObjectName("ViewerFullScreen");
        auto* layout = new QVBoxLayout(host_);
        layout->setContentsMargins(0, 0, 0, 0);
        host_->addActions(actions_);
        // A dark surround, as on a grading monitor.
        QPalette dark = host_->palette();
        dark.setColor(QPalette::Window, QColor(24, 24, 24));
        host_->setPalette(dark);
        host_->installEventFilter(this);
    }
    host_->setWindowTitle(viewer_->window()->windowTitle());
    on_ = true;
    host_->layout()->addWidget(viewer_);
    viewer_->show();
    // The whole screen also where no window manager takes the full-screen state.
    host_->setGeometry(viewer_->window()->screen()->geometry());
    host_->showFullScreen();
    host_->activateWindow();
    if (OnChange) OnChange(true);
}

void TViewerFullScreen::Leave() {
    if (!on_) return;
    on_ = false;
    PutBack();
    host_->hide();
    viewer_->window()->activateWindow();
    if (OnChange) OnChange(false);
}

void TViewerFullScreen::PutBack() {
    if (auto* splitter = qobject_cast<QSplitter*>(parent_.data())) {
        splitter->insertWidget(index_, viewer_);
        splitter->setSizes(sizes_);
    } else if (auto* box = parent_ ? qobject_cast<QBoxLayout*>(parent_->layout()) : nullptr) {
        box->insertWidget(index_, viewer_, 1);
    } else {
        viewer_->setParent(parent_);
    }
    viewer_->show();
}

// Closing the full-screen window (by the window manager) leaves full screen.
bool TViewerFullScreen::eventFilter(QObject* watched, QEvent* event) {
    if (watched == host_ && event->type() == QEvent::Close && on_) {
        event->ignore();
        Leave();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
