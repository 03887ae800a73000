#pragma once
#include <QWidget>
#include <cstdint>
#include <functional>

#include "engine/Image.h"

class TDisplayTransform;

// The preview control: fits the picture into its area less a 3-pixel margin
// on each side, keeps a fitted ungraded copy (Scaled) and a fitted copy to
// paint (Display) that the owner grades in place, and paints it centred.
// A left-button drag shows a dotted rubber band over the picture. Without a
// picture it shows a one-line prompt. It never takes the keyboard focus.
class TImageViewer : public QWidget {
    Q_OBJECT
public:
    explicit TImageViewer(QWidget* parent = nullptr);

    static constexpr int Margin = 3;

    void SetImage(const TImage& image);
    void RestoreDisplay();
    void HideSelection();
    int ClientToImageX(int x) const;
    int ClientToImageY(int y) const;

    // Writing the display copy goes through here: the painted copy of it
    // (through the display profile) is made again at the next paint.
    TImage& Display() {
        shownDisplay_.Stale = true;
        return display_;
    }
    const TImage& Display() const { return display_; }
    const TImage& Scaled() const { return scaled_; }
    const TImage& Source() const { return source_; }
    bool HasImage() const { return hasImage_; }
    double ScaleX() const { return scaleX_; }
    double ScaleY() const { return scaleY_; }
    int OffsetX() const { return offsetX_; }
    int OffsetY() const { return offsetY_; }
    bool SelectionVisible() const { return selectionVisible_; }
    bool SelectionDrawn() const { return selectionDrawn_; }
    QRect SelectionCorners() const { return QRect(QPoint(selLeft_, selTop_), QPoint(selRight_, selBottom_)); }

    // Split view: the ungraded picture (Scaled) left and the graded one
    // (Display) right of a vertical divider that the user drags. Its
    // position is a share of the picture's width, 0..1.
    void SetSplitView(bool on);
    bool SplitView() const { return splitView_; }
    void SetSplitPosition(double share);
    double SplitPosition() const { return splitPosition_; }
    // The control column the divider is drawn in.
    int DividerX() const;
    bool MovingDivider() const { return movingDivider_; }

    // The pictures are painted through the transform (the display's
    // profile); Display and Scaled keep the signal. nullptr paints them as
    // they are. The transform must outlive the control or be replaced. The
    // converted copies are kept between paints (a rubber band or the divider
    // moving converts nothing) until a picture or the transform changes.
    void SetDisplayTransform(const TDisplayTransform* transform);

    // Called when SelectionVisible changes; optional.
    std::function<void(TImageViewer*)> OnSelectionChange;

signals:
    // The control re-fitted its picture to a new size; the display copy is
    // ungraded now.
    void LayoutChanged();
    // The user let go of the divider at this share of the picture's width.
    void SplitPositionChanged(double share);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void UpdateLayout();
    void DrawSelection(bool erase);
    void SetSelectionVisible(bool visible);
    int ClientToImage(int position, int offset, double scale, int size) const;
    bool OnDividerHandle(QPoint p) const;
    void PaintSplit(QPainter& painter);
    // A picture as painted: itself, or its copy through the display
    // transform, converted again when out of date.
    struct TShown {
        TImage Picture;
        bool Stale = true;
        std::uint64_t Transform = 0;  // TDisplayTransform::Id of the copy
    };
    const TImage& Shown(const TImage& picture, TShown& shown) const;
    void ShownStale();
    void MoveDivider(int x);

    TImage source_, scaled_, display_;
    bool hasImage_ = false;
    double scaleX_ = 0.0, scaleY_ = 0.0;
    int offsetX_ = 0, offsetY_ = 0;
    int selLeft_ = 0, selTop_ = 0, selRight_ = 0, selBottom_ = 0;
    bool selectionVisible_ = false;
    bool selectionDrawn_ = false;
    bool dragging_ = false;
    bool splitView_ = false;
    double splitPosition_ = 0.5;
    bool movingDivider_ = false;
    const TDisplayTransform* displayTransform_ = nullptr;
    TShown shownDisplay_, shownScaled_;
};
