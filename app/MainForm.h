#pragma once
#include <QMainWindow>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "DisplayProfileChoice.h"
#include "FootageChoice.h"
#include "Image.h"
#include "LookControls.h"
#include "LookTransfer.h"
#include "ReferenceChoice.h"
#include "ReferenceLibrary.h"
#include "ScopesPanel.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QPushButton;
class QSlider;
class QSplitter;
class QToolButton;
class TFrameBar;
class TImageViewer;
class TLUT;

// The main window: the toolbar strip, the grading controls on the right, the
// reference library list above the preview viewer. It owns the one LUT, the
// preview picture and the reference cell for the whole run.
class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    // Item data of lvwRefs: the library file the item stands for and the
    // index of its cell in imlRefs.
    static constexpr int kFileNameRole = Qt::UserRole;
    static constexpr int kImageIndexRole = Qt::UserRole + 1;

    explicit TfrmMain(const std::string& libraryFolder, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Library (reference list).
    void ScanLibrary();
    // Appends the cell of a library file to imlRefs; returns its index.
    int MakeThumbnail(const std::string& fileName);
    void sbnAddToLibClick();
    void miRenameImageClick();
    // A caption typed in the list: renames the item's file and shows the new
    // caption, or raises EError and leaves file and caption as they were.
    void lvwRefsEdited(QListWidgetItem* item, const QString& caption);
    void miDeleteImageClick();
    // The highlight moved to an item: that reference is chosen. The user's
    // clicks never take the highlight away; when the program does, nothing
    // is chosen any more.
    void lvwRefsSelectItem();

    // Preview and grading.
    void sbnOpenPreviewImageClick();
    void miPasteClick();
    void pmnPreviewPopup();
    void cbxLevelsClick();
    void sbnDefaultsClick();
    void sbnGeneralDefaultsClick();
    void sbnShowOriginalClick();
    void miSaveGradedImageClick();
    void sbnCreateLUTClick();
    void cbxFootageChange();
    void cbxDisplayProfileChange();
    void ShowDisplayProfile();
    void sbnAboutClick();
    void Regrade();
    void BuildLook();

    // Split view, LUT preview, dropped files.
    void sbnSplitViewClick();
    void miPreviewLutFileClick();
    // Grades the preview with a LUT file instead of a reference's look;
    // selecting a reference returns to the look.
    void PreviewLutFile(const QString& file);
    // "Create Look from Graded Pair…": the learned look is previewed as a
    // LUT file is.
    void miLearnPairClick();
    void PreviewLut(std::unique_ptr<TLUT> lut, const QString& name);
    // Files dropped on the preview: the first picture opens as the preview,
    // the first LUT file is previewed; the rest is refused in one message.
    void DropOnPreview(const QStringList& files);
    // Files dropped on the reference list: pictures join the library.
    void DropOnLibrary(const QStringList& files);

    // State, for the owner and for tests.
    const std::string& LibraryFolder() const { return library_.Folder(); }
    TImageViewer* Viewer() const { return Viewer_; }
    TScopesPanel* Scopes() const { return Scopes_; }
    TFrameBar* FrameBar() const { return FrameBar_; }
    const TImage& PreviewBitmap() const { return PreviewBitmap_; }
    const TImage& ReferenceBitmap() const { return ReferenceBitmap_; }
    const std::string& PreviewFileName() const { return PreviewFileName_; }
    const TLUT& Lut() const { return *Lut_; }
    bool LookBuilt() const { return LookBuilt_; }
    const TLookSettings& LastSettings() const { return lastSettings_; }
    int BuildCount() const { return buildCount_; }
    const TFootageChoice& Footage() const { return *footage_; }
    TDisplayProfileChoice& DisplayProfile() { return *displayProfile_; }
    const std::vector<TImage>& imlRefs() const { return imlRefs_; }
    QListWidget* lvwRefs() const { return lvwRefs_; }
    // The LUT file that grades the preview instead of the look, if any.
    const TLUT* PreviewLut() const { return previewLut_.get(); }
    const QString& PreviewLutName() const { return previewLutName_; }
    // The library file of the chosen reference; empty when none is chosen.
    const QString& ChosenReference() const { return choice_->File(); }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateComponents();
    QWidget* CreateToolStrip();
    QWidget* CreateRightPanel();
    QWidget* CreateGeneralGroup();
    QWidget* CreateSaturationGroup();
    QSlider* AddTrackBar(class QGridLayout* grid, int row, const QString& caption, const char* name,
                         const char* labelName, QLabel** label);
    void CreateMenus();
    void ConnectHandlers();
    // The window or the splitter changed the viewer's size: bring the grade
    // back after the viewer re-fitted its picture.
    void ViewerLayoutChanged();
    void GradeDisplay();
    // What the scopes show: the viewer's picture and the selected reference.
    TScopeSource ScopeSource() const;
    // The item the list highlights (the chosen one, save in the moment the
    // user's click moves the highlight).
    QListWidgetItem* HighlightedItem() const;
    void ClearSelection();
    void AddOneToLibrary(const QString& file, bool& stop);
    void AddToLibrary(const QStringList& files);
    void OpenPreviewFile(const QString& file);
    void PreviewChanged();
    // The frame bar shows another frame of the clip: it becomes the preview
    // and is graded as the look stands.
    void ShowClipFrame(const TImage& frame);
    void MatchToPreview(TLookSettings& settings);
    void EndLutPreview();
    void ShowLutPreviewTitle();
    void SortLibraryList();
    // The LUT the preview is graded with: a previewed LUT file, else the look.
    const TLUT& ActiveLut() const;
    // The positions of the grading controls as the grading road takes them.
    TLookPositions ControlPositions() const;

    // False from the start of the destructor on (see the caption editor).
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    TReferenceLibrary library_;
    TImage ReferenceBitmap_;
    TImage PreviewBitmap_;
    std::unique_ptr<TLUT> Lut_;
    std::vector<TImage> imlRefs_;
    TLookSettings lastSettings_;
    std::string PreviewFileName_;
    std::unique_ptr<TLUT> previewLut_;
    // The reference whose look the viewer, the saved picture and the LUT
    // export show; the list's highlight follows it.
    std::unique_ptr<TReferenceChoice> choice_;
    QString previewLutName_;
    // Statistics of the preview for Match Preview Colours, measured once per preview.
    std::optional<TColorStats> frameStats_;
    bool DefaultsGuard_ = false;
    bool LookBuilt_ = false;
    bool shown_ = false;
    bool scanning_ = false;
    bool rescanWanted_ = false;
    int buildCount_ = 0;

    TImageViewer* Viewer_ = nullptr;
    TScopesPanel* Scopes_ = nullptr;
    TFrameBar* FrameBar_ = nullptr;
    QSplitter* Splitter1_ = nullptr;
    QListWidget* lvwRefs_ = nullptr;
    QToolButton* sbnOpenPreviewImage_ = nullptr;
    QToolButton* sbnCreateLUT_ = nullptr;
    QToolButton* sbnAddToLib_ = nullptr;
    QToolButton* sbnShowOriginal_ = nullptr;
    QToolButton* sbnSplitView_ = nullptr;
    QToolButton* sbnAbout_ = nullptr;
    QSlider* tbrColorGain_ = nullptr;
    QLabel* lblColorGain_ = nullptr;
    QCheckBox* cbxLevels_ = nullptr;
    QCheckBox* CheckBox1_ = nullptr;
    QSlider* tbrStrength_ = nullptr;
    QLabel* lblStrength_ = nullptr;
    QCheckBox* cbxMatchPreview_ = nullptr;
    QPushButton* sbnGeneralDefaults_ = nullptr;
    QPushButton* sbnDefaults_ = nullptr;
    QComboBox* cbxFootage_ = nullptr;
    std::unique_ptr<TFootageChoice> footage_;
    std::unique_ptr<TDisplayProfileChoice> displayProfile_;
    // The ten saturation track bars and their labels, in the order Overall,
    // Yellow, Orange, Red, Violet, Blue, Green, Low, Middle, High.
    std::vector<QSlider*> saturationBars_;
    std::vector<QLabel*> saturationLabels_;
    QMenu* pmnRefs_ = nullptr;
    QMenu* pmnPreview_ = nullptr;
    QAction* miAddImagesToLibrary_ = nullptr;
    QAction* miRenameImage_ = nullptr;
    QAction* miDeleteImage_ = nullptr;
    QAction* miOpenPreviewImage_ = nullptr;
    QAction* miPaste_ = nullptr;
    QAction* miSaveGradedImage_ = nullptr;
    QAction* miPreviewLutFile_ = nullptr;
};
