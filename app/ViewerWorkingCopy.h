#pragma once
#include <QSize>
#include <functional>
#include <memory>

#include "engine/picture/Image.h"

// The picture the viewer grades: a copy of the frame's full picture made
// once per frame at the size the viewer shows it (up to the frame's own
// size), so that regrades work on no more pixels than the screen shows and
// the view stays sharp at any window size and zoom. A view that grows
// beyond the copy gets a bigger one; a smaller view keeps it, unless the
// copy is far larger than the view needs.
class TViewerWorkingCopy {
public:
    // Makes a copy at a size from the full picture (the footage conversion
    // goes here too); by default the full picture resampled as pictures are
    // fitted everywhere else.
    using TMaker = std::function<TImage(const TImage& full, QSize size)>;

    // A new frame: its full picture is kept until the next one (shared
    // with whoever made it, a clip's frame with the frames made ahead).
    void SetFrame(TImage full);
    void SetFrame(std::shared_ptr<const TImage> full);
    void Clear();
    const TImage& Frame() const { return *frame_; }
    QSize FrameSize() const { return QSize(frame_->Width(), frame_->Height()); }
    bool Empty() const { return frame_->Empty(); }

    // The copy for a view that fits the frame into `wanted`: made when there
    // is none yet for this frame or when `wanted` is larger than it (never
    // beyond the frame's size). True when a copy was made.
    bool Update(QSize wanted, const TMaker& maker = {});
    // Makes the copy again at `wanted` when it holds more than twice the
    // pixels that size needs (a view back at fit after a zoom to the
    // frame's pixels regrades no more than it shows). True when made.
    bool Shrink(QSize wanted, const TMaker& maker = {});
    // Makes the copy again at its size (the footage changed).
    void Remake(const TMaker& maker = {});
    const TImage& Copy() const { return copy_; }
    // How many copies were made since this object was created.
    int Copies() const { return copies_; }

    // The full picture resampled to a size (a plain copy at its own size).
    static TImage Resampled(const TImage& full, QSize size);

private:
    void Make(QSize size, const TMaker& maker);

    std::shared_ptr<const TImage> frame_ = std::make_shared<const TImage>();
    TImage copy_;
    int copies_ = 0;
};
