#pragma once
#include <QGroupBox>
#include <QString>
#include <functional>

class QHBoxLayout;
class QLabel;
class TImage;

// A picture slot of the window's dialogs: a captioned box with a thumbnail,
// the file's name and a "..." button. The button's file dialog and a file
// dropped on the thumbnail hand the file to `chosen`; the owner loads it
// and shows it with Show.
class TPictureSlot : public QGroupBox {
    Q_OBJECT
public:
    static constexpr int kThumbnailWidth = 200;
    static constexpr int kThumbnailHeight = 125;

    TPictureSlot(const QString& caption, const QString& filter, std::function<void(const QString&)> chosen,
                 QWidget* parent);

    // Shows the picture as the thumbnail and the name below it.
    void Show(const TImage& picture, const QString& name);
    // The thumbnail as a picture, already fitted (an overlay, say).
    void ShowThumbnail(const TImage& thumbnail);
    // A row below the name for the owner's own buttons.
    QHBoxLayout* ButtonRow() const { return row_; }

private:
    QLabel* thumbnail_ = nullptr;
    QLabel* name_ = nullptr;
    QHBoxLayout* row_ = nullptr;
};
