#pragma once
#include <QObject>
#include <QSize>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "app/ScopesPanel.h"
#include "app/ViewerWorkingCopy.h"
#include "clip/SteppedFrame.h"

class QAction;
class QMainWindow;
class QMenu;
class QTimer;
class QToolButton;
class QWidget;
class TFrameBar;
class TfrmLearnPair;
class TfrmMatchShot;
class TGradingSession;
class TImage;
class TImageViewer;
class TLUT;
class TViewerFullScreen;

// The viewer side of the window: the preview (opened, pasted, dropped, or a
// frame of a clip), its grade from the grading state, the split view, Show
// Original, the LUT preview, Save Graded Image and the menu pmnPreview.
// The viewer grades a working copy of the frame made at its own size, while
// the state's preview stays the picture every result is made from.
class TPreviewPanel : public QObject {
    Q_OBJECT
public:
    // The viewer goes into viewerParent and the frame bar into
    // frameBarParent; window is the parent of the menu and the dialogs.
    TPreviewPanel(TGradingSession& state, QMainWindow* window, QWidget* viewerParent, QWidget* frameBarParent,
                  TScopesPanel* scopes, QToolButton* showOriginal, QToolButton* splitView);
    ~TPreviewPanel() override;

    // The menu pmnPreview, its short-cuts in the window, and the viewer's
    // handlers.
    void CreateMenu();
    void Connect();
    // The divider of the split view where the user left it last.
    void RestoreSplitPosition();

    void OpenClick();
    void OpenSequenceClick();
    void OpenPreviewFile(const QString& file);
    void PasteClick();
    void MenuPopup();
    void ShowOriginalClick();
    // Saves the preview's full picture graded as the viewer shows it.
    void SaveGradedClick();
    // Grades the frame at full size into the file on the grading road
    // (grading/GradeFile.h).
    void SaveGradedTo(const QString& file);
    void SplitViewClick();
    void PreviewLutFileClick();
    // Grades the preview with a LUT file instead of a reference's look;
    // choosing a reference returns to the look.
    void PreviewLutFile(const QString& file);
    void LearnPairClick();
    // "Match Shot…": the window's picture is FRAME; the matched look is
    // previewed as a learned look is.
    void MatchShotClick();
    // The graded picture Save Graded Image wrote last, empty before.
    const QString& LastSaved() const { return lastSaved_; }
    void PreviewLut(std::unique_ptr<TLUT> lut, const QString& name);
    void EndLutPreview();
    // Files dropped on the preview: the first picture opens as the preview,
    // the first look document is announced by LookDropped, the first LUT
    // file is previewed; the rest is refused in one message.
    void Drop(const QStringList& files);
    // The viewer's picture graded with the state's active LUT.
    void GradeDisplay();
    // The viewer's picture ungraded.
    void ShowUngraded();
    // The session regraded: the viewer shows the frame graded with its
    // active LUT, or ungraded when nothing grades it.
    void ShowGrade(bool lookBuilt);
    // The split view against the snapshot chosen for comparison: it turns
    // on with a comparison, and ending the comparison gives back the split
    // view as it was before.
    void CompareWithSnapshot();
    // A new footage space: the working copy is made again, converted from it.
    void FootageChanged();
    // The other side of the split view graded with this LUT (null: the
    // ungraded working copy). The LUT must outlive its use here.
    void SetComparisonLut(const TLUT* lut);
    // The viewer's actions: full screen (F11, Esc leaves), fit (Ctrl+0),
    // 100 % (Ctrl+Alt+0), zoom in (Ctrl++) and out (Ctrl+-). They are in
    // the window, so their keys work without a menu.
    QList<QAction*> ViewActions() const;
    bool FullScreen() const;
    // The full picture of the frame shown and its working copy.
    const TViewerWorkingCopy& WorkingCopy() const { return working_; }
    // A working copy for the viewer's size and zoom now, if they need more
    // pixels than the copy has, or fewer by far at fit (otherwise done a
    // moment after the viewer's size or zoom settles).
    void GrowWorkingCopy();
    // What the scopes show: the viewer's picture and the chosen reference.
    TScopeSource ScopeSource() const;

    TImageViewer* Viewer() const { return Viewer_; }
    TFrameBar* FrameBar() const { return FrameBar_; }

signals:
    // A new frame was opened, pasted or dropped: its file (empty when
    // pasted) and its size before it was fitted into the preview box.
    void FrameChanged(const QString& file, QSize size);
    // A LUT file's preview began or ended.
    void LutPreviewChanged();
    // A LUT grades the preview in place of a chosen reference.
    void LutPreviewStarted();
    // A look document was dropped on the preview: it opens.
    void LookDropped(const QString& file);

private:
    // The frame bar shows another frame of the clip: it becomes the preview
    // and is graded as the look stands. Its preview fit and viewer's copy
    // are taken when made ahead at the sizes wanted, else made here.
    void ShowClipFrame(std::shared_ptr<const TSteppedFrame> frame);
    // A frame played: the viewer shows its picture (made at the viewer's
    // size) graded as the look stands; the preview keeps the frame playing
    // started from until it stops.
    void ShowPlayedFrame(const TImage& picture);
    // A picture becomes the preview: its file (empty when pasted), the
    // picture fitted into the preview box and at full size.
    void ShowNewPicture(const QString& file, TImage preview, TImage full);
    void PreviewChanged();
    // A new working copy in the viewer: graded as the viewer showed the
    // frame before.
    void ViewerLayoutChanged();
    void CreateViewActions();
    // A new frame: its full picture is kept and the viewer's working copy
    // is made from it (or is `ready`, the copy made ahead, when of the size
    // wanted).
    void ShowFrame(TImage full, const TImage& ready = TImage());
    void ShowFrame(std::shared_ptr<const TImage> full, const TImage& ready);
    void ShowWorkingCopy();
    void GradeComparison();
    TViewerWorkingCopy::TMaker CopyMaker(const TImage& ready = TImage()) const;
    // A clip's frame for "Match Shot…": the frame bar's when that clip is
    // open, else its first.
    TImage ClipFrameFor(const QString& clip);

    TGradingSession& state_;
    QMainWindow* window_;
    TScopesPanel* scopes_;
    QToolButton* sbnShowOriginal_;
    QToolButton* sbnSplitView_;
    TImageViewer* Viewer_ = nullptr;
    TFrameBar* FrameBar_ = nullptr;
    QMenu* pmnPreview_ = nullptr;
    QAction* miOpenPreviewImage_ = nullptr;
    QAction* miPaste_ = nullptr;
    QAction* miSaveGradedImage_ = nullptr;
    QAction* miPreviewLutFile_ = nullptr;
    TViewerWorkingCopy working_;
    QTimer* growTimer_ = nullptr;
    const TLUT* comparisonLut_ = nullptr;
    // Whether the split view was on before a snapshot comparison began.
    std::optional<bool> splitBeforeComparison_;
    QList<QAction*> viewActions_;
    QAction* miFullScreen_ = nullptr;
    TViewerFullScreen* fullScreen_ = nullptr;
    TfrmLearnPair* learnPair_ = nullptr;  // made on first use, kept with its pair
    TfrmMatchShot* matchShot_ = nullptr;  // made on first use, kept with its graded frame
    QString lastSaved_;
};
