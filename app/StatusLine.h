#pragma once
#include <QSize>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "engine/look/LookControls.h"

class QLabel;

// The window's permanent status line: what the viewer shows and how it is
// graded. The frame's file name and size ("pasted picture" for a picture
// from the clipboard), "interlaced" for a clip whose frames hold two fields
// (shown as stored, not deinterlaced), the chosen reference or the previewed LUT file, the
// look's strength, "bypass" while the ungraded picture is shown, the
// snapshot the split view compares with, and the viewer's zoom once the
// viewer reports one. The footage space is shown by
// the footage choice's own label beside it.
class TStatusLine : public QWidget {
    Q_OBJECT
public:
    explicit TStatusLine(QWidget* parent);

    // A new frame: its file name (empty for a pasted picture) and its size
    // in pixels before it was fitted for the preview.
    void SetFrame(const QString& fileName, QSize size);
    // The frame's clip stores two fields in each frame.
    void SetInterlaced(bool interlaced);
    // What grades the frame: a reference's caption, or a previewed LUT
    // file's name; both empty when nothing does.
    void SetLook(const QString& reference, const QString& lut);
    // The positions of the controls the line shows, as the control table
    // words them ("strength 100%").
    void SetPositions(const TLookPositions& positions);
    void SetBypass(bool bypass);
    // The snapshot the split view shows left of the divider ("A" .. "D");
    // empty while it shows the original or no split.
    void SetComparison(const QString& snapshot);
    // The viewer's zoom in percent; 0 or less hides it (fitted).
    void SetZoom(int percent);

    // The whole line, as the tool tip holds it.
    QString Text() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Show();
    // The line elided in the middle where the window is too narrow for it.
    void Fit();

    QLabel* label_;
    QString text_;
    QString frame_;
    QSize frameSize_;
    bool hasFrame_ = false;
    bool interlaced_ = false;
    QString reference_;
    QString lut_;
    QStringList positions_;
    bool bypass_ = false;
    QString comparison_;
    int zoom_ = 0;
};
