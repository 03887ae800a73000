#pragma once
#include <QObject>

class QLabel;
class QLineEdit;
class QSlider;
class QWidget;

// Typing a slider's position: an editor over the slider's percent label.
// Enter or leaving the editor takes the typed number, clamped to the
// slider's range; Esc, or anything but a number, leaves the slider as it
// was. The focus goes back to the slider.
class TPositionEditor : public QObject {
    Q_OBJECT
public:
    explicit TPositionEditor(QObject* parent) : QObject(parent) {}

    void Open(QSlider* bar, QLabel* label);
    void Close(bool take);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateEditor(QWidget* parent);

    QLineEdit* editor_ = nullptr;
    QSlider* bar_ = nullptr;
};
