#pragma once
#include <QPointF>
#include <QRectF>
#include <QSize>

// Where the viewer draws its picture, in the view's physical pixels: fitted
// into the view less a margin (the default; never enlarged), or at a zoom of
// 10..800 % of the frame's own pixels, panned by the user when it is larger
// than the view. A zoom's step goes along a fixed ladder of levels.
class TViewerZoom {
public:
    static constexpr double kMinScale = 0.1;
    static constexpr double kMaxScale = 8.0;

    // The frame's size in its own pixels; the view's size and margin in
    // physical pixels. A frame of a new size keeps the zoom and is centred.
    void SetFrame(QSize frame);
    void SetView(QSize view, int margin);
    QSize Frame() const { return frame_; }
    QSize View() const { return view_; }

    // The picture's size at fit: the frame fitted into the view less the
    // margins, never enlarged; empty without a frame or a usable view.
    QSize FitSize() const;

    bool Fit() const { return fit_; }
    void SetFit();
    // A zoom of `scale` view pixels per frame pixel (clamped to 10..800 %);
    // the frame's point under `around` (a view point) stays where it is.
    void SetScale(double scale, QPointF around);
    // The next level of the ladder above / below the current scale.
    void StepIn(QPointF around);
    void StepOut(QPointF around);
    // View pixels per frame pixel.
    double Scale() const;
    int Percent() const;

    // The picture's place in the view.
    QRectF Picture() const;
    // The picture is larger than the view in some direction: it can be panned.
    bool Pannable() const;
    void Pan(QPointF by);

private:
    void Clamp();

    QSize frame_, view_;
    int margin_ = 0;
    bool fit_ = true;
    double scale_ = 1.0;
    QPointF origin_;  // the picture's top-left corner when zoomed
};
