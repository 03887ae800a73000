#pragma once
#include <QList>
#include <QObject>

class QAction;
class QKeySequence;
class TfrmMain;
struct TToolStrip;

// The window's menu bar: every action of the window with its short-cut. The
// tool strip's and the look panel's buttons get actions that click them;
// the look panel's undo and snapshot actions, the preview's and the
// library's own actions take their places in the menus.
class TWindowMenus : public QObject {
    Q_OBJECT
public:
    TWindowMenus(TfrmMain& window, const TToolStrip& strip);

private:
    void CreateButtonActions(const TToolStrip& strip);
    void CreateOwnActions();
    void BuildMenus();
    QList<QAction*> ViewMenu();
    QAction* NewAction(const QString& text, const char* name, const QKeySequence& keys);
    QAction* NamedAction(const char* name) const;
    // Alt+Left and Alt+Right move the split view's divider.
    void MoveDivider(double by);

    TfrmMain& window_;
    QAction* createLut_ = nullptr;
    QAction* showOriginal_ = nullptr;
    QAction* splitView_ = nullptr;
    QAction* about_ = nullptr;
    QAction* defaults_ = nullptr;
    QAction* generalDefaults_ = nullptr;
    QAction* dividerLeft_ = nullptr;
    QAction* dividerRight_ = nullptr;
    QAction* keys_ = nullptr;
    QAction* quit_ = nullptr;
    QAction* openLook_ = nullptr;
    QAction* saveLook_ = nullptr;
};
