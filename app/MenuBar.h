#pragma once
#include <QAction>
#include <QKeySequence>
#include <QList>
#include <QString>
#include <functional>

class QAbstractButton;
class QMainWindow;
class QMenuBar;

// The actions of each menu of the window's menu bar, in menu order; a null
// entry is a separator.
struct TMenuActions {
    QList<QAction*> File;
    QList<QAction*> Edit;
    QList<QAction*> View;
    QList<QAction*> Look;
    QList<QAction*> Library;
    QList<QAction*> Help;
};

// Fills the window's menu bar: File, Edit, View, Look, Library, Help. Every
// action is also the window's own (QWidget::addAction), so its short-cut
// works whether a menu is open or not.
void BuildMenuBar(QMainWindow& window, const TMenuActions& actions);

// An action that clicks a button: a menu item and a short-cut for a tool bar
// or panel button, enabled and checked as the button is. The button keeps
// its own handlers; the action only clicks it.
QAction* MakeButtonAction(QAbstractButton* button, const QString& text, const QKeySequence& keys = QKeySequence());

// A checkable action kept in the user's settings under key (unchecked when
// the settings hold nothing); apply gets its state at once and at every
// change.
QAction* MakeRememberedToggle(QObject* parent, const QString& text, const char* name, const QString& key,
                              const std::function<void(bool)>& apply);

// Every action of the window's menu bar (separators and sub-menus left out)
// followed by the window's other actions that have a short-cut.
QList<QAction*> WindowActions(const QMainWindow& window);

// The text of an action as a list shows it: no "&" marks, no trailing dots.
QString PlainActionText(const QAction& action);
