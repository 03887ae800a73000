#pragma once
#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>

class QAction;
class QWidget;

// The viewer alone on the whole screen: it moves into a window of its own
// shown full screen and back to its place (a splitter's or a box layout's
// slot, at the sizes it had) when that is left. The view's actions go with
// it so that their keys keep working there.
class TViewerFullScreen : public QObject {
    Q_OBJECT
public:
    TViewerFullScreen(QWidget* viewer, QList<QAction*> actions);
    ~TViewerFullScreen() override;

    void Enter();
    void Leave();
    bool On() const { return host_ != nullptr && on_; }
    // Called after entering (true) or leaving (false); optional.
    std::function<void(bool)> OnChange;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PutBack();

    QWidget* viewer_;
    QList<QAction*> actions_;
    QPointer<QWidget> host_;
    QPointer<QWidget> parent_;
    int index_ = -1;
    QList<int> sizes_;
    bool on_ = false;
};
