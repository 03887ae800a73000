#include "app/WindowMenus.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

#include "app/Application.h"
#include "app/ImageViewer.h"
#include "app/LibraryDock.h"
#include "app/LibraryPanel.h"
#include "app/LookFiles.h"
#include "app/LookPanel.h"
#include "app/MainForm.h"
#include "app/MenuBar.h"
#include "app/PreviewPanel.h"
#include "app/ScopesPanel.h"
#include "app/ToolStrip.h"
#include "grading/UserSettings.h"

namespace {

// The divider's step.
constexpr double kDividerStep = 0.05;

}  // namespace

TWindowMenus::TWindowMenus(TfrmMain& window, const TToolStrip& strip) : QObject(&window), window_(window) {
    CreateButtonActions(strip);
    CreateOwnActions();
    BuildMenus();
}

void TWindowMenus::CreateButtonActions(const TToolStrip& strip) {
    createLut_ = MakeButtonAction(strip.CreateLUT, "Create 3D LUT...", QKeySequence(Qt::CTRL | Qt::Key_E));
    showOriginal_ = MakeButtonAction(strip.ShowOriginal, "Show Original", QKeySequence(Qt::Key_Backslash));
    splitView_ = MakeButtonAction(strip.SplitView, "Split View", QKeySequence(Qt::CTRL | Qt::Key_Backslash));
    about_ = MakeButtonAction(strip.About, "About...", QKeySequence(Qt::CTRL | Qt::Key_F1));
    defaults_ = MakeButtonAction(window_.findChild<QPushButton*>("sbnDefaults"), "Saturation Defaults", QKeySequence());
    generalDefaults_ =
        MakeButtonAction(window_.findChild<QPushButton*>("sbnGeneralDefaults"), "General Defaults", QKeySequence());
    connect(strip.AddToLib, &QToolButton::clicked, window_.Library().AddAction(), &QAction::trigger);
}

void TWindowMenus::CreateOwnActions() {
    dividerLeft_ = NewAction("Move Divider Left", "actDividerLeft", QKeySequence(Qt::ALT | Qt::Key_Left));
    connect(dividerLeft_, &QAction::triggered, this, [this] { MoveDivider(-kDividerStep); });
    dividerRight_ = NewAction("Move Divider Right", "actDividerRight", QKeySequence(Qt::ALT | Qt::Key_Right));
    connect(dividerRight_, &QAction::triggered, this, [this] { MoveDivider(kDividerStep); });
    keys_ = NewAction("Keys...", "actKeys", QKeySequence(Qt::Key_F1));
    connect(keys_, &QAction::triggered, this, [this] { RunHandler([this] { window_.ShowKeys(); }); });
    quit_ = NewAction("Quit", "actQuit", QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quit_, &QAction::triggered, &window_, &QWidget::close);
    NamedAction("miLearnPair")->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L));
    NamedAction("miMatchShot")->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M));
    TLookFiles* files = &window_.LookFiles();
    openLook_ =
        NewAction(QString("Open Look") + QChar(0x2026), "miOpenLook", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    connect(openLook_, &QAction::triggered, this, [files] { RunHandler([files] { files->OpenClick(); }); });
    saveLook_ =
        NewAction(QString("Save Look") + QChar(0x2026), "miSaveLook", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    connect(saveLook_, &QAction::triggered, this, [files] { RunHandler([files] { files->SaveClick(); }); });
}

void TWindowMenus::BuildMenus() {
    TMenuActions menus;
    menus.File = {NamedAction("miOpenPreviewImage"),
                  NamedAction("miSaveGradedImage"),
                  nullptr,
                  openLook_,
                  saveLook_,
                  window_.LookFiles().RecentMenu()->menuAction(),
                  nullptr,
                  createLut_,
                  nullptr,
                  quit_};
    const QList<QAction*> look = window_.Look().LookActions();
    menus.Edit = {look.value(0), look.value(1), nullptr, NamedAction("miPaste")};
    menus.View = ViewMenu();
    menus.Look = {NamedAction("miPreviewLutFile"),
                  NamedAction("miLearnPair"),
                  NamedAction("miMatchShot"),
                  nullptr,
                  generalDefaults_,
                  defaults_};
    // The snapshots: store, recall and compare, slot by slot.
    for (qsizetype i = 2; i < look.size(); ++i) {
        if ((i - 2) % 3 == 0) menus.Look += nullptr;
        menus.Look += look[i];
    }
    const TLibraryPanel& library = window_.Library();
    menus.Library = {library.AddAction(),         library.RenameAction(),     library.DeleteAction(), nullptr,
                     window_.Dock().ShowAction(), window_.Dock().GridAction()};
    menus.Help = {keys_, about_};
    BuildMenuBar(window_, menus);
}

QList<QAction*> TWindowMenus::ViewMenu() {
    TPreviewPanel* preview = &window_.Preview();
    QList<QAction*> view = {
        showOriginal_, splitView_, dividerLeft_, dividerRight_, nullptr, window_.Scopes()->toggleViewAction(), nullptr};
    view += preview->ViewActions();
    view += nullptr;
    view += MakeRememberedToggle(&window_, "Dark Surround", "actDarkSurround", kDarkSurroundKey,
                                 [preview](bool dark) { preview->Viewer()->SetDarkSurround(dark); });
    return view;
}

// The new action belongs to the window, as the menus' other actions do.
QAction* TWindowMenus::NewAction(const QString& text, const char* name, const QKeySequence& keys) {
    auto* action = new QAction(text, &window_);
    action->setObjectName(name);
    action->setShortcut(keys);
    return action;
}

QAction* TWindowMenus::NamedAction(const char* name) const { return window_.findChild<QAction*>(name); }

void TWindowMenus::MoveDivider(double by) {
    TImageViewer* viewer = window_.Preview().Viewer();
    if (!viewer->SplitView()) return;
    viewer->SetSplitPosition(viewer->SplitPosition() + by);
    // As a drag of the divider: kept in the settings, the scopes follow.
    emit viewer->SplitPositionChanged(viewer->SplitPosition());
}
