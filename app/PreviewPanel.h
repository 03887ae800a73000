#pragma once
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

#include "app/ScopesPanel.h"

class QAction;
class QMainWindow;
class QMenu;
class QToolButton;
class QWidget;
class TFrameBar;
class TGradingState;
class TImage;
class TImageViewer;
class TLUT;

// The viewer side of the window: the preview (opened, pasted, dropped, or a
// frame of a clip), its grade from the grading state, the split view, Show
// Original, the LUT preview, Save Graded Image and the menu pmnPreview.
class TPreviewPanel : public QObject {
    Q_OBJECT
public:
    // The viewer goes into viewerParent and the frame bar into
    // frameBarParent; window is the parent of the menu and the dialogs and
    // shows the LUT preview in its title. clearSelection takes the choice of
    // a reference away; regrade builds the look and grades the viewer.
    TPreviewPanel(TGradingState& state, QMainWindow* window, QWidget* viewerParent, QWidget* frameBarParent,
                  TScopesPanel* scopes, QToolButton* showOriginal, QToolButton* splitView,
                  std::function<void()> clearSelection, std::function<void()> regrade);
    ~TPreviewPanel() override;

    // The menu pmnPreview, its short-cuts in the window, and the viewer's
    // handlers.
    void CreateMenu();
    void Connect();
    // The divider of the split view where the user left it last.
    void RestoreSplitPosition();

    void OpenClick();
    void OpenPreviewFile(const QString& file);
    void PasteClick();
    void MenuPopup();
    void ShowOriginalClick();
    // Saves the preview's full picture graded as the viewer shows it.
    void SaveGradedClick();
    void SplitViewClick();
    void PreviewLutFileClick();
    // Grades the preview with a LUT file instead of a reference's look;
    // choosing a reference returns to the look.
    void PreviewLutFile(const QString& file);
    void LearnPairClick();
    void PreviewLut(std::unique_ptr<TLUT> lut, const QString& name);
    void EndLutPreview();
    // The title names the previewed LUT file, if any.
    void ShowTitle() { ShowLutPreviewTitle(); }
    // Files dropped on the preview: the first picture opens as the preview,
    // the first LUT file is previewed; the rest is refused in one message.
    void Drop(const QStringList& files);
    // The viewer's picture graded with the state's active LUT.
    void GradeDisplay();
    // What the scopes show: the viewer's picture and the chosen reference.
    TScopeSource ScopeSource() const;

    TImageViewer* Viewer() const { return Viewer_; }
    TFrameBar* FrameBar() const { return FrameBar_; }

private:
    // The frame bar shows another frame of the clip: it becomes the preview
    // and is graded as the look stands.
    void ShowClipFrame(const TImage& frame);
    void PreviewChanged();
    // The window or the splitter changed the viewer's size: bring the grade
    // back after the viewer re-fitted its picture.
    void ViewerLayoutChanged();
    void ShowLutPreviewTitle();

    TGradingState& state_;
    QMainWindow* window_;
    TScopesPanel* scopes_;
    QToolButton* sbnShowOriginal_;
    QToolButton* sbnSplitView_;
    std::function<void()> clearSelection_;
    std::function<void()> regrade_;
    TImageViewer* Viewer_ = nullptr;
    TFrameBar* FrameBar_ = nullptr;
    QMenu* pmnPreview_ = nullptr;
    QAction* miOpenPreviewImage_ = nullptr;
    QAction* miPaste_ = nullptr;
    QAction* miSaveGradedImage_ = nullptr;
    QAction* miPreviewLutFile_ = nullptr;
};
