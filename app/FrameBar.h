#pragma once
#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "clip/SteppedFrame.h"
#include "engine/picture/Image.h"

class QKeyEvent;
class QLabel;
class QSlider;
class QTimer;
class TClip;
class TClipPlayback;
class TFrameCache;
class TStepAhead;
struct TClipInfo;

// The bar under the viewer while a clip is the preview: a slider over the
// clip's frames, the timecode and the frame number. Left and Right step one
// frame, Shift with them one second, Home and End go to the ends; Space
// plays the clip at its own rate and stops it; L plays forward, J back,
// each press again doubling the speed (up to 8 times, by showing every
// second, fourth or eighth frame), K stops. While playing, the frames are
// decoded ahead on another thread; a frame not ready in its time is
// dropped and counted. While paused, the frames a next step may want are
// made on another thread into a cache bounded in memory: after a step
// forward the next frames, after a jump, a step back or when play stops the
// frames before the one shown too, so that a step back seldom waits for the
// decoder; frames shown stay in the cache too. Each frame shown paused
// (opened, stepped, scrubbed, or the last one played) is handed on by
// FrameShown as a 24-bit picture at the clip's own size, made from the
// frame at full precision, with its fit into the preview box and the
// viewer's copy made from it when made ahead. While playing, each frame is handed on
// by FramePlayed as the cheaper picture the viewer shows (at the size the
// play-size function gives, made from the decoder's planes in one pass);
// when playing stops, the frame shown is made again the exact way. While
// playing, the bar shows a playing sign, the frame rate reached and the
// frames dropped; its labels keep widths made for their widest texts, so
// nothing in the bar moves as they change. Hidden while the preview is a
// picture.
//
// While a clip is open these keys are the bar's wherever the focus is in
// its window (or in a window it watches), so that a key meant for the clip
// never moves a slider or picks another reference; only a text field keeps
// them for its text.
class TFrameBar : public QWidget {
    Q_OBJECT
public:
    explicit TFrameBar(QWidget* parent = nullptr);
    ~TFrameBar() override;

    // The box a played frame is fitted into when no play size is given
    // (1000 x 500 unless set). Stepped frames are made with their fit into
    // it while `wanted` says that each frame shown reads it (always without
    // `wanted`).
    void SetPreviewBox(int width, int height, std::function<bool()> wanted = {});
    // The size of the pictures played, for a frame of the clip's size.
    void SetPlaySize(std::function<QSize(QSize frame)> size) { playSize_ = std::move(size); }
    // Opens the clip at its first frame, which it returns (at its own
    // size); the bar appears.
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
    // The frame keys (without Ctrl, Alt or Meta). True when taken.
    bool TakeKey(const QKeyEvent& key);
    // Takes the frame keys of another window too (the full-screen viewer's).
    void WatchKeys(QWidget* widget);
    bool Playing() const;
    void SetPlaying(bool playing);
    // Plays in the direction (1 forward, -1 back); again in the same
    // direction doubles the speed.
    void Shuttle(int direction);
    // Frames shown and dropped while playing, counted since the clip opened.
    std::int64_t PlayedFrames() const { return played_; }
    std::int64_t DroppedFrames() const { return dropped_; }

signals:
    void FrameShown(std::shared_ptr<const TSteppedFrame> frame);
    void FramePlayed(const TImage& picture);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The key press goes to a widget of a window the bar serves, and the
    // focus is not in a text field.
    bool KeyIsOurs(QObject* receiver) const;
    void ShowPosition();
    void PlayNext();
    void StopPlayback();
    int FramesPerSecond() const;
    void Present(std::shared_ptr<const TSteppedFrame> frame);
    // The frame shown came from playing: it is made again the exact way.
    void ShowExactFrame();
    // The playing sign, the frame rate and the frames dropped, or nothing.
    void ShowPlayState();
    // Each label as wide as the widest text it shows for this clip.
    void FixLabelWidths();
    QSize PlaySize() const;
    // The sizes the pictures of a paused frame are made at.
    TSteppedSizes SteppedSizes() const;
    // Frame `number` paused, `jumped` to rather than stepped to: made ahead
    // (waiting for it when it is on its way) or made here. EError when it
    // cannot be decoded.
    std::shared_ptr<const TSteppedFrame> SteppedFrame(std::int64_t number, bool jumped = false);
    // The frames a next step from `number` may want are made ahead; a step
    // of one frame gives its direction.
    void StepAround(std::int64_t from, std::int64_t number);

    QSlider* slider_ = nullptr;
    QLabel* timecode_ = nullptr;
    QLabel* number_ = nullptr;
    QLabel* problem_ = nullptr;
    QLabel* playSign_ = nullptr;
    QLabel* playRate_ = nullptr;
    QLabel* playDropped_ = nullptr;
    std::function<QSize(QSize)> playSize_;
    std::function<bool()> previewWanted_;
    bool playedShown_ = false;  // the frame shown is a played picture
    QTimer* player_ = nullptr;
    QList<QPointer<QWidget>> watched_;
    std::unique_ptr<TClip> clip_;
    std::string fileName_;
    std::unique_ptr<TClipPlayback> playback_;
    std::unique_ptr<TFrameCache> cache_;
    std::unique_ptr<TStepAhead> stepAhead_;  // uses cache_
    TSteppedSizes cachedSizes_;              // the sizes of the frames in cache_
    QElapsedTimer clock_;                    // of play, started once the frames ahead are ready
    QElapsedTimer preroll_;                  // since play was asked for
    int boxWidth_ = 1000;
    int boxHeight_ = 500;
    std::int64_t played_ = 0;
    std::int64_t dropped_ = 0;
    std::int64_t current_ = -1;
    std::int64_t frames_ = 0;
    bool settingSlider_ = false;
    int direction_ = 1;
    int speed_ = 1;
};
