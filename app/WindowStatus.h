#pragma once
#include <QObject>
#include <QSize>
#include <QString>

class QMainWindow;
class QToolButton;
class TGradingSession;
class TLibraryPanel;
class TPreviewPanel;
class TStatusLine;
struct TToolStrip;

// The window's title and status line as views of the grading session: the
// title names the frame, the status line shows the frame, the look, the
// bypass, the snapshot compared with and the zoom; Create 3D LUT is enabled
// while a reference's look is built and no LUT file is previewed. Messages
// (a deletion, its undo, a session that did not come back) take the status
// line's place for a while.
class TWindowStatus : public QObject {
    Q_OBJECT
public:
    TWindowStatus(QMainWindow& window, TGradingSession& session, TPreviewPanel& preview, TLibraryPanel& library,
                  const TToolStrip& strip);

    TStatusLine* Line() const { return line_; }
    // A message in the status bar for a while, in place of the status line.
    void ShowMessage(const QString& text);

private:
    void Connect(TLibraryPanel& library);
    void FrameChanged(const QString& file, const QSize& size);
    void ShowState();
    // The status line names the snapshot compared with while it is on screen.
    void ShowComparison();

    QMainWindow& window_;
    TGradingSession& session_;
    TPreviewPanel& preview_;
    QToolButton* createLut_;
    QToolButton* showOriginal_;
    QToolButton* splitView_;
    TStatusLine* line_;
    QString frameName_;  // the file name of the frame shown, or "pasted picture"
};
