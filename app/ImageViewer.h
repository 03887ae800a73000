#pragma once
#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "app/ViewerZoom.h"
#include "engine/picture/Image.h"

class TDisplayTransform;
class TLUT;

// The preview control. The owner gives it a working copy of the frame (an
// ungraded picture made for the control's size, Scaled) and grades a copy
// of it to paint (Display) in place. The picture is fitted into the area
// less a 3-pixel margin on each side (never enlarged) or zoomed 10..800 %
// of the frame's own pixels with the wheel (around the cursor) and the
// zoom calls, and panned by dragging when it is larger than the area. It is
// drawn on the screen's physical pixels. A left-button drag over a picture
// that fits shows a dotted rubber band. Without a picture it shows a
// one-line prompt. It never takes the keyboard focus.
class TImageViewer : public QWidget {
    Q_OBJECT
public:
    explicit TImageViewer(QWidget* parent = nullptr);

    static constexpr int Margin = 3;
    // The grey of the dark surround: a neutral 20 % of the signal.
    static constexpr int kDarkSurroundGrey = 51;

    // The working copy of a frame of frameSize pixels (its own size when
    // empty); the display copy starts ungraded and a comparison is dropped.
    void SetImage(const TImage& image, QSize frameSize = QSize());
    void SetImage(TImage&& image, QSize frameSize = QSize());
    void RestoreDisplay();
    // The display copy made the working copy graded with the LUT: what
    // RestoreDisplay and grading Display in place give, without the copy.
    void GradeDisplay(const TLUT& lut);
    void HideSelection();
    // The frame pixel under a control column / row; -1 beyond the far edge.
    int ClientToImageX(int x) const;
    int ClientToImageY(int y) const;

    // Writing the display copy goes through here: the painted copy of it
    // (through the display profile) is made again at the next paint.
    TImage& Display() {
        shownDisplay_.Stale = true;
        return display_;
    }
    const TImage& Display() const { return display_; }
    // The ungraded working copy (Source and Scaled are the same picture).
    const TImage& Scaled() const { return source_; }
    const TImage& Source() const { return source_; }
    QSize FrameSize() const { return zoom_.Frame(); }
    bool HasImage() const { return hasImage_; }

    // Where the picture is painted, in control pixels, and how large a frame
    // pixel is there.
    QRectF PictureRect() const;
    // The picture's part inside the control.
    QRect VisiblePicture() const;
    double ScaleX() const;
    int OffsetX() const;
    int OffsetY() const;
    // The size in physical pixels that a frame of this size takes at fit:
    // the size its working copy is made at.
    QSize FitSizeFor(QSize frame) const;
    // The size in physical pixels that a working copy of a frame of this
    // size needs to show the view as it stands: its fit size at fit, and
    // the frame at the zoom's scale when zoomed in further (so that 100 %
    // shows the frame's own pixels).
    QSize CopySizeFor(QSize frame) const;
    QSize PhysicalSize() const;

    // Zoom: fit (the default), 100 % (a frame pixel on a screen pixel), the
    // ladder's next level in or out around the middle, or a scale around a
    // control point.
    void FitToView();
    void ZoomTo100();
    // A zoom of `percent` as ZoomPercent reports it, around the middle.
    void ZoomToPercent(int percent);
    void ZoomIn();
    void ZoomOut();
    void ZoomAt(double scale, QPointF at);
    bool Fit() const { return zoom_.Fit(); }
    int ZoomPercent() const { return zoom_.Percent(); }
    bool Pannable() const { return zoom_.Pannable(); }

    bool SelectionVisible() const { return selectionVisible_; }
    bool SelectionDrawn() const { return selectionDrawn_; }
    QRect SelectionCorners() const { return QRect(QPoint(selLeft_, selTop_), QPoint(selRight_, selBottom_)); }

    // Split view: the comparison left and the graded picture (Display) right
    // of a vertical divider that the user drags. Its position is a share of
    // the picture's width on screen, 0..1.
    void SetSplitView(bool on);
    bool SplitView() const { return splitView_; }
    void SetSplitPosition(double share);
    double SplitPosition() const { return splitPosition_; }
    // The control column the divider is drawn in, and the column of the
    // working copy under it.
    int DividerX() const;
    int DividerColumn() const;
    // What the split view compares with: by default the ungraded working
    // copy; another picture of the working copy's size (another grade of it)
    // until ClearComparison or the next SetImage.
    void SetComparison(const TImage& picture);
    void ClearComparison();
    const TImage& Comparison() const { return comparison_.Empty() ? source_ : comparison_; }

    // The pictures are painted through the transform (the display's
    // profile); Display and Scaled keep the signal. nullptr paints them as
    // they are. The transform must outlive the control or be replaced. The
    // converted copies are kept between paints (a rubber band, the divider,
    // a zoom or a pan converts nothing) until a picture or the transform
    // changes.
    void SetDisplayTransform(const TDisplayTransform* transform);

    // The surround of the picture (and of the prompt): the window's own
    // colour, or with dark on the neutral dark grey colourists judge
    // colour against. The same in full screen.
    void SetDarkSurround(bool dark);
    bool DarkSurround() const { return darkSurround_; }
    QColor SurroundColour() const;

    // Called when SelectionVisible changes; optional.
    std::function<void(TImageViewer*)> OnSelectionChange;

signals:
    // The control's size changed: the owner may give a larger working copy.
    void ViewResized();
    // The picture moved on screen: zoomed, panned or resized.
    void ViewChanged();
    void ZoomChanged(int percent);
    // The user let go of the divider at this share of the picture's width.
    void SplitPositionChanged(double share);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // The new picture shown: its display copy, view and zoom.
    void PictureChanged(QSize frameSize);
    double Ratio() const;
    void SyncView() const;
    void ZoomMoved();
    void DrawSelection(bool erase);
    void SetSelectionVisible(bool visible);
    int ClientToImage(double position, double offset, int size) const;
    bool OnDividerHandle(QPoint p) const;
    void PaintPicture(QPainter& painter, const QImage& picture) const;
    void PaintSplit(QPainter& painter);
    // A picture as painted: itself or its copy through the display
    // transform, in the screen's 32-bit pixels, made again when out of date.
    struct TShown {
        TImage Picture;
        QImage Painted;
        bool Stale = true;
        std::uint64_t Transform = 0;  // TDisplayTransform::Id of the copy
    };
    const QImage& Shown(const TImage& picture, TShown& shown) const;
    void ShownStale();
    void MoveDivider(int x);

    TImage source_, display_, comparison_;
    bool hasImage_ = false;
    mutable TViewerZoom zoom_;
    int lastPercent_ = 0;
    int wheelDelta_ = 0;
    bool panning_ = false;
    QPointF panFrom_;
    int selLeft_ = 0, selTop_ = 0, selRight_ = 0, selBottom_ = 0;
    bool selectionVisible_ = false;
    bool selectionDrawn_ = false;
    bool dragging_ = false;
    bool splitView_ = false;
    double splitPosition_ = 0.5;
    bool movingDivider_ = false;
    const TDisplayTransform* displayTransform_ = nullptr;
    bool darkSurround_ = false;
    TShown shownDisplay_, shownComparison_;
};
