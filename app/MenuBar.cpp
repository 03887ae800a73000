#include "app/MenuBar.h"

#include <QAbstractButton>
#include <QEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include "grading/UserSettings.h"

namespace {

// Keeps an action's enabled and checked state the button's.
class TButtonFollower : public QObject {
public:
    TButtonFollower(QAbstractButton* button, QAction* action) : QObject(action), button_(button), action_(action) {
        button->installEventFilter(this);
        action->setEnabled(button->isEnabled());
        if (button->isCheckable()) {
            action->setCheckable(true);
            action->setChecked(button->isChecked());
            QObject::connect(button, &QAbstractButton::toggled, action, &QAction::setChecked);
        }
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == button_ && event->type() == QEvent::EnabledChange) action_->setEnabled(button_->isEnabled());
        return false;
    }

private:
    QAbstractButton* button_;
    QAction* action_;
};

void AddMenu(QMainWindow& window, const QString& title, const char* name, const QList<QAction*>& actions) {
    QMenu* menu = window.menuBar()->addMenu(title);
    menu->setObjectName(name);
    for (QAction* action : actions) {
        if (!action) {
            menu->addSeparator();
            continue;
        }
        menu->addAction(action);
        window.addAction(action);
    }
}

void CollectMenu(const QMenu& menu, QList<QAction*>& into) {
    for (QAction* action : menu.actions()) {
        if (action->isSeparator()) continue;
        if (action->menu())
            CollectMenu(*action->menu(), into);
        else if (!into.contains(action))
            into << action;
    }
}

}  // namespace

void BuildMenuBar(QMainWindow& window, const TMenuActions& actions) {
    window.menuBar()->setObjectName("mnuMain");
    AddMenu(window, "&File", "mnuFile", actions.File);
    AddMenu(window, "&Edit", "mnuEdit", actions.Edit);
    AddMenu(window, "&View", "mnuView", actions.View);
    AddMenu(window, "L&ook", "mnuLook", actions.Look);
    AddMenu(window, "L&ibrary", "mnuLibrary", actions.Library);
    AddMenu(window, "&Help", "mnuHelp", actions.Help);
}

QAction* MakeButtonAction(QAbstractButton* button, const QString& text, const QKeySequence& keys) {
    auto* action = new QAction(text, button);
    action->setObjectName(button->objectName() + "Action");
    action->setShortcut(keys);
    new TButtonFollower(button, action);
    // A click of a disabled button does nothing, as with the mouse.
    QObject::connect(action, &QAction::triggered, button, [button] { button->click(); });
    return action;
}

QAction* MakeRememberedToggle(QObject* parent, const QString& text, const char* name, const QString& key,
                              const std::function<void(bool)>& apply) {
    auto* action = new QAction(text, parent);
    action->setObjectName(name);
    action->setCheckable(true);
    action->setChecked(UserSettings().value(key, false).toBool());
    apply(action->isChecked());
    QObject::connect(action, &QAction::toggled, action, [key, apply](bool on) {
        UserSettings().setValue(key, on);
        apply(on);
    });
    return action;
}

QList<QAction*> WindowActions(const QMainWindow& window) {
    QList<QAction*> actions;
    if (const QMenuBar* bar = window.findChild<QMenuBar*>(QString(), Qt::FindDirectChildrenOnly))
        for (QAction* entry : bar->actions())
            if (entry->menu()) CollectMenu(*entry->menu(), actions);
    for (QAction* action : window.actions())
        if (!action->shortcut().isEmpty() && !actions.contains(action)) actions << action;
    return actions;
}

QString PlainActionText(const QAction& action) {
    QString text = action.text();
    text.replace("&&", QChar(1));
    text.remove('&');
    text.replace(QChar(1), '&');
    while (text.endsWith('.') || text.endsWith(QChar(0x2026))) text.chop(1);
    return text;
}
