#pragma once
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

#include "Image.h"

class QKeyEvent;
class QLabel;
class QSlider;
class QTimer;
class TClip;
struct TClipInfo;

// The bar under the viewer while a clip is the preview: a slider over the
// clip's frames, the timecode and the frame number. Left and Right step one
// frame, Shift with them one second, Home and End go to the ends; Space
// plays the clip at its own rate and stops it; L plays forward, J back,
// each press again doubling the speed (up to 8 times), K stops. Each frame shown is handed
// on by FrameShown as a 24-bit picture. Hidden while the preview is a
// picture.
class TFrameBar : public QWidget {
    Q_OBJECT
public:
    explicit TFrameBar(QWidget* parent = nullptr);
    ~TFrameBar() override;

    // Opens the clip at its first frame, which it returns; the bar appears.
    // EError when it cannot be opened or its first frame decoded (the bar
    // keeps what it had).
    TImage Open(const std::string& fileName);
    // The preview is no clip any more: the bar hides and lets the file go.
    void Close();
    bool HasClip() const { return clip_ != nullptr; }
    std::int64_t CurrentFrame() const { return current_; }
    std::int64_t FrameCount() const { return frames_; }
    const TClipInfo& Info() const;
    // The frame shown, at the clip's full size. EError when it cannot be decoded.
    TImage CurrentPicture();

    // Shows frame `number` (kept within the clip). A frame that cannot be
    // decoded leaves the picture as it was and says why in the bar.
    void ShowFrame(std::int64_t number);
    // The frame keys, also for keys the viewer gets. True when taken.
    bool TakeKey(const QKeyEvent& key);
    // Takes the frame keys of another widget (the viewer) too.
    void WatchKeys(QWidget* widget);
    bool Playing() const;
    void SetPlaying(bool playing);
    // Plays in the direction (1 forward, -1 back); again in the same
    // direction doubles the speed.
    void Shuttle(int direction);

signals:
    void FrameShown(const TImage& frame);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowPosition();
    void PlayNext();
    int FramesPerSecond() const;

    QSlider* slider_ = nullptr;
    QLabel* timecode_ = nullptr;
    QLabel* number_ = nullptr;
    QLabel* problem_ = nullptr;
    QTimer* player_ = nullptr;
    std::unique_ptr<TClip> clip_;
    std::int64_t current_ = -1;
    std::int64_t frames_ = 0;
    bool settingSlider_ = false;
    int direction_ = 1;
    int speed_ = 1;
};
