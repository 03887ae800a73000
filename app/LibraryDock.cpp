#include "app/LibraryDock.h"

#include <QAction>
#include <QDockWidget>
#include <QListWidget>
#include <QMainWindow>
#include <algorithm>

#include "app/LibraryPanel.h"
#include "grading/UserSettings.h"

namespace {

// The settings keys of the panel's place and a grid's default extent.
constexpr int kLibraryGridExtent = 300;

}  // namespace

TLibraryDock::TLibraryDock(QMainWindow& window) : QObject(&window), window_(window) {
    dock_ = new QDockWidget("Library", &window);
    dock_->setObjectName("dckLibrary");
    dock_->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::BottomDockWidgetArea);
    dock_->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);

    QAction* show = dock_->toggleViewAction();
    show->setObjectName("actLibrary");
    show->setText("Show Library");
    show->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B));
    connect(show, &QAction::triggered, this, [this] { Save(); });
    grid_ = new QAction("Library as Grid", &window);
    grid_->setObjectName("actLibraryGrid");
    grid_->setCheckable(true);
    grid_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_G));
    connect(grid_, &QAction::triggered, this, [this](bool grid) {
        SetStrip(!grid);
        Save();
    });
}

void TLibraryDock::SetPanel(TLibraryPanel* library) {
    library_ = library;
    dock_->setWidget(library->List());
}

QAction* TLibraryDock::ShowAction() const { return dock_->toggleViewAction(); }

bool TLibraryDock::Strip() const { return library_->Strip(); }

bool TLibraryDock::Left() const { return window_.dockWidgetArea(dock_) == Qt::LeftDockWidgetArea; }

void TLibraryDock::SetStrip(bool strip) {
    library_->SetStrip(strip, Left());
    Apply();
}

void TLibraryDock::SetArea(Qt::DockWidgetArea area) {
    window_.addDockWidget(area, dock_);
    Apply();
}

void TLibraryDock::Restore() {
    const QSettings settings = UserSettings();
    const bool left = settings.value(kLibraryAreaKey).toString() == "left";
    window_.addDockWidget(left ? Qt::LeftDockWidgetArea : Qt::BottomDockWidgetArea, dock_);
    dock_->setVisible(settings.value(kLibraryShownKey, true).toBool());
    library_->SetStrip(!settings.value(kLibraryGridKey, false).toBool(), left);
    Apply();
    connect(dock_, &QDockWidget::dockLocationChanged, this, [this] {
        Apply();
        Save();
    });
}

void TLibraryDock::Save() const {
    QSettings settings = UserSettings();
    const bool left = Left();
    settings.setValue(kLibraryAreaKey, left ? "left" : "bottom");
    settings.setValue(kLibraryShownKey, !dock_->isHidden());
    settings.setValue(kLibraryGridKey, !Strip());
    if (!Strip() && dock_->isVisible()) settings.setValue(kLibraryExtentKey, left ? dock_->width() : dock_->height());
}

void TLibraryDock::WindowShown() {
    shown_ = true;
    if (!Strip()) SizeGrid();
}

// A strip is one row of thumbnails high (one column wide when docked
// left); a grid is as large as the user makes it.
void TLibraryDock::Apply() {
    const bool left = Left();
    const bool strip = library_->Strip();
    library_->SetStrip(strip, left);
    QListWidget* list = library_->List();
    list->setMinimumSize(60, 60);
    list->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (strip && left)
        list->setFixedWidth(library_->StripExtent(true));
    else if (strip)
        list->setFixedHeight(library_->StripExtent(false));
    grid_->setChecked(!strip);
    if (OnLayoutChanged) OnLayoutChanged();
    if (!strip && shown_) SizeGrid();
}

void TLibraryDock::SizeGrid() {
    const int extent = UserSettings().value(kLibraryExtentKey, kLibraryGridExtent).toInt();
    window_.resizeDocks({dock_}, {std::max(extent, 60)}, Left() ? Qt::Horizontal : Qt::Vertical);
}
