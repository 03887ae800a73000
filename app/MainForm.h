#pragma once
#include <QMainWindow>
#include <QSize>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/DisplayProfileChoice.h"
#include "app/FootageChoice.h"
#include "app/GradingState.h"
#include "app/LibraryDock.h"
#include "app/LibraryPanel.h"
#include "app/LookPanel.h"
#include "app/PreviewPanel.h"
#include "app/ScopesPanel.h"
#include "engine/look/LookControls.h"
#include "engine/look/LookTransfer.h"
#include "engine/picture/Image.h"
#include "library/ReferenceLibrary.h"

class QAction;
class QDockWidget;
class QListWidget;
class QListWidgetItem;
class QToolButton;
class TKeysDialog;
class TLookFiles;
class TLookSession;
class TStatusLine;
class TFrameBar;
class TImageViewer;
class TLUT;

// The main window: the menu bar, the tool strip, the preview viewer in the
// middle taking the space, the look panel on its right, the reference
// library in a panel (a strip or a grid, docked left or below, or closed)
// and the status line. It lays the panels out and wires them over the one
// grading state, which holds the LUT, the preview picture and the reference
// cell for the whole run. The layout is kept in the settings.
class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    // Item data of lvwRefs: the library file the item stands for and the
    // index of its cell in imlRefs.
    static constexpr int kFileNameRole = TLibraryPanel::kFileNameRole;
    static constexpr int kImageIndexRole = TLibraryPanel::kImageIndexRole;
    // The smallest window: it fits a 1366 x 768 screen with the scopes open.
    static constexpr int kMinimumWidth = 600;
    static constexpr int kMinimumHeight = 520;

    explicit TfrmMain(const std::string& libraryFolder, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Library (reference list).
    void ScanLibrary() { library_->ScanLibrary(); }
    // Appends the cell of a library file to imlRefs; returns its index.
    int MakeThumbnail(const std::string& fileName) { return library_->MakeThumbnail(fileName); }
    void sbnAddToLibClick() { library_->AddClick(); }
    void miRenameImageClick() { library_->RenameClick(); }
    // A caption typed in the list: renames the item's file and shows the new
    // caption, or raises EError and leaves file and caption as they were.
    void lvwRefsEdited(QListWidgetItem* item, const QString& caption) { library_->Edited(item, caption); }
    void miDeleteImageClick() { library_->DeleteClick(); }
    // The highlight moved to an item: that reference is chosen. The user's
    // clicks never take the highlight away; when the program does, nothing
    // is chosen any more.
    void lvwRefsSelectItem();

    // Preview and grading.
    void sbnOpenPreviewImageClick() { preview_->OpenClick(); }
    void miPasteClick() { preview_->PasteClick(); }
    void pmnPreviewPopup() { preview_->MenuPopup(); }
    // A control moved: the look is built afresh.
    void cbxLevelsClick() { Regrade(); }
    void sbnDefaultsClick() { look_->sbnDefaultsClick(); }
    void sbnGeneralDefaultsClick() { look_->sbnGeneralDefaultsClick(); }
    void sbnShowOriginalClick() { preview_->ShowOriginalClick(); }
    void miSaveGradedImageClick() { preview_->SaveGradedClick(); }
    void sbnCreateLUTClick();
    void cbxFootageChange();
    void cbxDisplayProfileChange();
    void ShowDisplayProfile();
    void sbnAboutClick();
    // F1: the keys of every action.
    void ShowKeys();
    void Regrade();
    void BuildLook();

    // Split view, LUT preview, dropped files.
    void sbnSplitViewClick() { preview_->SplitViewClick(); }
    void miPreviewLutFileClick() { preview_->PreviewLutFileClick(); }
    // Grades the preview with a LUT file instead of a reference's look;
    // selecting a reference returns to the look.
    void PreviewLutFile(const QString& file) { preview_->PreviewLutFile(file); }
    // "Create Look from Graded Pair…": the learned look is previewed as a
    // LUT file is.
    void miLearnPairClick() { preview_->LearnPairClick(); }
    void PreviewLut(std::unique_ptr<TLUT> lut, const QString& name) { preview_->PreviewLut(std::move(lut), name); }
    // Files dropped on the preview: the first picture opens as the preview,
    // the first LUT file is previewed; the rest is refused in one message.
    void DropOnPreview(const QStringList& files) { preview_->Drop(files); }
    // Files dropped on the reference list: pictures join the library.
    void DropOnLibrary(const QStringList& files) { library_->Drop(files); }

    // Look documents: File > Save Look…, Open Look… and Recent Looks.
    TLookFiles& LookFiles() const { return *lookFiles_; }
    void OpenLook(const QString& file);
    void SaveLook(const QString& file);
    // The session: the last one's frame (unless a picture was named at the
    // start), look, snapshots and zoom come back, and from now on the
    // session is kept for the next start.
    void RestoreSession(bool pictureGiven);
    void RestoreZoom();
    TLookSession* Session() const { return session_; }

    // State, for the owner and for tests.
    const TGradingState& State() const { return *state_; }
    const std::string& LibraryFolder() const { return library_->Folder(); }
    TImageViewer* Viewer() const { return preview_->Viewer(); }
    TScopesPanel* Scopes() const { return Scopes_; }
    TFrameBar* FrameBar() const { return preview_->FrameBar(); }
    const TImage& PreviewBitmap() const { return state_->Preview(); }
    const TImage& ReferenceBitmap() const { return state_->ReferenceCell(); }
    const std::string& PreviewFileName() const { return state_->PreviewFile(); }
    const TLUT& Lut() const { return state_->Lut(); }
    bool LookBuilt() const { return state_->LookBuilt(); }
    const TLookSettings& LastSettings() const { return state_->LastSettings(); }
    int BuildCount() const { return state_->BuildCount(); }
    const TFootageChoice& Footage() const { return look_->Footage(); }
    TDisplayProfileChoice& DisplayProfile() { return look_->DisplayProfile(); }
    const std::vector<TImage>& imlRefs() const { return library_->Cells(); }
    QListWidget* lvwRefs() const { return library_->List(); }
    // The LUT file that grades the preview instead of the look, if any.
    const TLUT* PreviewLut() const { return state_->PreviewLut(); }
    const QString& PreviewLutName() const { return state_->PreviewLutName(); }
    // The library file of the chosen reference; empty when none is chosen.
    const QString& ChosenReference() const { return state_->Reference(); }

    // Layout: the library panel, shown as a strip (one row, or one column
    // when docked left) or as a grid.
    QDockWidget* LibraryDock() const { return libraryDock_->Dock(); }
    bool LibraryStrip() const { return library_->Strip(); }
    void SetLibraryStrip(bool strip) { libraryDock_->SetStrip(strip); }
    void SetLibraryArea(Qt::DockWidgetArea area) { libraryDock_->SetArea(area); }
    // Writes the layout (library panel and window geometry) to the settings.
    void SaveLayout() const;
    TStatusLine* StatusLine() const { return statusLine_; }
    TKeysDialog* KeysDialog() const { return keys_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateComponents(const std::string& libraryFolder);
    QWidget* CreateLookArea();
    void CreateMenus();
    void ConnectHandlers();
    void RestoreLayout();
    // Tab goes through the panels in the order they stand on screen.
    void SetTabOrder();
    // Opening the scopes never makes the window larger than the screen.
    void FitToScreen();
    void MoveDivider(double by);
    // The title and the status line show the frame and the look.
    void FrameChanged(const QString& file, QSize size);
    void ShowState();
    // A message in the status bar for a while, in place of the status line.
    void ShowMessage(const QString& text);
    // The viewer's split view against the snapshot chosen for comparison.
    void CompareWithSnapshot();
    // The status line names the snapshot compared with while it is on screen.
    void ShowComparison();
    QAction* NamedAction(const char* name) const;

    std::unique_ptr<TGradingState> state_ = std::make_unique<TGradingState>();
    std::unique_ptr<TLibraryPanel> library_;
    std::unique_ptr<TPreviewPanel> preview_;
    TLookPanel* look_ = nullptr;
    TLookFiles* lookFiles_ = nullptr;
    TLookSession* session_ = nullptr;
    bool shown_ = false;

    TScopesPanel* Scopes_ = nullptr;
    TLibraryDock* libraryDock_ = nullptr;
    TStatusLine* statusLine_ = nullptr;
    std::shared_ptr<const TLUT> comparisonLut_;
    // Whether the split view was on before a snapshot comparison began.
    std::optional<bool> splitBeforeComparison_;
    TKeysDialog* keys_ = nullptr;
    QString frameName_;  // the file name of the frame shown, or "pasted picture"
    QToolButton* sbnOpenPreviewImage_ = nullptr;
    QToolButton* sbnCreateLUT_ = nullptr;
    QToolButton* sbnAddToLib_ = nullptr;
    QToolButton* sbnShowOriginal_ = nullptr;
    QToolButton* sbnSplitView_ = nullptr;
    QToolButton* sbnAbout_ = nullptr;
};
