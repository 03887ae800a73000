#include "app/PreviewPanel.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMimeData>
#include <QTimer>
#include <QToolButton>

#include "app/Application.h"
#include "app/DeepPreviewSave.h"
#include "app/Dialogs.h"
#include "app/FileDrop.h"
#include "app/FileFilters.h"
#include "app/FrameBar.h"
#include "app/ImageViewer.h"
#include "app/LearnPairDialog.h"
#include "app/LutSaveForm.h"
#include "app/MatchShotDialog.h"
#include "app/ProductInfo.h"
#include "app/StdText.h"
#include "app/ViewerFullScreen.h"
#include "clip/ClipFile.h"
#include "clip/ClipPicture.h"
#include "clip/ImageSequence.h"
#include "engine/base/Error.h"
#include "engine/footage/FootageLook.h"
#include "engine/look/GradingRoad.h"
#include "engine/lut/LUT.h"
#include "engine/picture/ImageResize.h"
#include "formats/LutConvert.h"
#include "grading/GradeFile.h"
#include "grading/GradingSession.h"
#include "grading/UserSettings.h"
#include "imageio/ColourProfile.h"
#include "imageio/ImageFile.h"
#include "imageio/PictureFormats.h"
#include "imageio/QtImage.h"

namespace {

constexpr int kPreviewBoxWidth = 1000;
constexpr int kPreviewBoxHeight = 500;

const QString kPromptNoPreview = "Please open a preview image.";
const QString kPictureFilter = PreviewPictureFilter();
// How long the viewer's size stays put before a larger working copy is made
// (a window dragged larger makes one copy, not one per step).
constexpr int kGrowDelay = 150;

}  // namespace

TPreviewPanel::TPreviewPanel(TGradingSession& state, QMainWindow* window, QWidget* viewerParent,
                             QWidget* frameBarParent, TScopesPanel* scopes, QToolButton* showOriginal,
                             QToolButton* splitView)
    : state_(state), window_(window), scopes_(scopes), sbnShowOriginal_(showOriginal), sbnSplitView_(splitView) {
    Viewer_ = new TImageViewer(viewerParent);
    Viewer_->setObjectName("Viewer");
    Viewer_->setMinimumHeight(60);
    Viewer_->setContextMenuPolicy(Qt::CustomContextMenu);
    FrameBar_ = new TFrameBar(frameBarParent);
    // Stepped frames are fitted into the preview box ahead only when each
    // frame shown reads its preview: to match the look to it, or to convert it.
    FrameBar_->SetPreviewBox(kPreviewBoxWidth, kPreviewBoxHeight, [this] {
        return (state_.MatchPreview() && !state_.Reference().isEmpty()) || state_.Footage().Conversion();
    });
    FrameBar_->SetPlaySize([this](QSize frame) { return Viewer_->CopySizeFor(frame); });
    FrameBar_->WatchKeys(Viewer_);
    growTimer_ = new QTimer(this);
    growTimer_->setSingleShot(true);
    growTimer_->setInterval(kGrowDelay);
    CreateViewActions();
}

TPreviewPanel::~TPreviewPanel() = default;

void TPreviewPanel::RestoreSplitPosition() {
    Viewer_->SetSplitPosition(UserSettings().value(kSplitPositionKey, 0.5).toDouble());
}

void TPreviewPanel::CreateMenu() {
    pmnPreview_ = new QMenu(window_);
    pmnPreview_->setObjectName("pmnPreview");
    miOpenPreviewImage_ = pmnPreview_->addAction("Open Preview Image...");
    miOpenPreviewImage_->setObjectName("miOpenPreviewImage");
    pmnPreview_->addAction("Open Image Sequence...", this, [this] { RunHandler([this] { OpenSequenceClick(); }); })
        ->setObjectName("miOpenImageSequence");
    miPaste_ = pmnPreview_->addAction("Paste Preview Image from Clipboard");
    miPaste_->setObjectName("miPaste");
    miSaveGradedImage_ = pmnPreview_->addAction("Save Graded Image...");
    miSaveGradedImage_->setObjectName("miSaveGradedImage");
    // Nothing to save until a frame is shown.
    miSaveGradedImage_->setEnabled(Viewer_->HasImage());
    miPreviewLutFile_ = pmnPreview_->addAction("Preview LUT File...");
    miPreviewLutFile_->setObjectName("miPreviewLutFile");
    pmnPreview_->addAction("Create Look from Graded Pair…", this, [this] { RunHandler([this] { LearnPairClick(); }); })
        ->setObjectName("miLearnPair");
    pmnPreview_->addAction("Match Shot…", this, [this] { RunHandler([this] { MatchShotClick(); }); })
        ->setObjectName("miMatchShot");
    // The preview's items work from anywhere in the window by their short-cuts.
    const struct {
        QAction* Action;
        QKeySequence Keys;
    } shortcuts[] = {{miOpenPreviewImage_, QKeySequence(Qt::CTRL | Qt::Key_O)},
                     {miPaste_, QKeySequence(Qt::CTRL | Qt::Key_V)},
                     {miSaveGradedImage_, QKeySequence(Qt::CTRL | Qt::Key_S)},
                     {miPreviewLutFile_, QKeySequence(Qt::CTRL | Qt::Key_L)}};
    for (const auto& item : shortcuts) {
        item.Action->setShortcut(item.Keys);
        item.Action->setToolTip(item.Action->text().remove("...") + " (" +
                                item.Keys.toString(QKeySequence::NativeText) + ")");
        window_->addAction(item.Action);
    }
    pmnPreview_->setToolTipsVisible(true);
}

void TPreviewPanel::Connect() {
    auto guarded = [this](void (TPreviewPanel::*handler)()) {
        return [this, handler] { RunHandler([this, handler] { (this->*handler)(); }); };
    };
    connect(sbnShowOriginal_, &QToolButton::clicked, this, guarded(&TPreviewPanel::ShowOriginalClick));
    connect(sbnSplitView_, &QToolButton::toggled, this, guarded(&TPreviewPanel::SplitViewClick));
    connect(sbnShowOriginal_, &QToolButton::toggled, this, guarded(&TPreviewPanel::SplitViewClick));
    connect(Viewer_, &TImageViewer::SplitPositionChanged, this, [this](double share) {
        UserSettings().setValue(kSplitPositionKey, share);
        scopes_->Refresh();
    });
    connect(miPreviewLutFile_, &QAction::triggered, this, guarded(&TPreviewPanel::PreviewLutFileClick));
    // A closed menu leaves paste to its short-cut, which checks the clipboard itself.
    connect(pmnPreview_, &QMenu::aboutToHide, this, [this] { miPaste_->setEnabled(true); });
    // The session regrades: the viewer shows the frame as the look stands.
    connect(&state_, &TGradingSession::Regraded, this, &TPreviewPanel::ShowGrade);
    connect(&state_, &TGradingSession::FootageConverted, this, &TPreviewPanel::FootageChanged);
    connect(FrameBar_, &TFrameBar::FrameShown, this,
            [this](std::shared_ptr<const TSteppedFrame> frame) { ShowClipFrame(std::move(frame)); });
    connect(FrameBar_, &TFrameBar::FramePlayed, this, [this](const TImage& picture) { ShowPlayedFrame(picture); });
    new TFileDropTarget(Viewer_, [this](const QStringList& files) { RunHandler([this, files] { Drop(files); }); });
    connect(miOpenPreviewImage_, &QAction::triggered, this, guarded(&TPreviewPanel::OpenClick));
    connect(miPaste_, &QAction::triggered, this, guarded(&TPreviewPanel::PasteClick));
    connect(miSaveGradedImage_, &QAction::triggered, this, guarded(&TPreviewPanel::SaveGradedClick));
    connect(pmnPreview_, &QMenu::aboutToShow, this, guarded(&TPreviewPanel::MenuPopup));
    connect(Viewer_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { pmnPreview_->popup(Viewer_->mapToGlobal(at)); });
    // A viewer grown beyond its working copy gets a larger one once its
    // size settles.
    connect(Viewer_, &TImageViewer::ViewResized, growTimer_, qOverload<>(&QTimer::start));
    connect(Viewer_, &TImageViewer::ZoomChanged, growTimer_, qOverload<>(&QTimer::start));
    connect(growTimer_, &QTimer::timeout, this, guarded(&TPreviewPanel::GrowWorkingCopy));
    // The split's divider moves over the working copy with a zoom or a pan.
    connect(Viewer_, &TImageViewer::ViewChanged, this, [this] {
        if (Viewer_->SplitView()) scopes_->Refresh();
    });
}

// ---- the view's actions ----------------------------------------------------

void TPreviewPanel::CreateViewActions() {
    const struct {
        const char* Name;
        const char* Text;
        QList<QKeySequence> Keys;
        void (TImageViewer::*Zoom)();
    } table[] = {
        {"miFullScreen", "Full Screen", {QKeySequence(Qt::Key_F11)}, nullptr},
        {"miZoomFit", "Fit", {QKeySequence(Qt::CTRL | Qt::Key_0)}, &TImageViewer::FitToView},
        {"miZoom100", "100 %", {QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_0)}, &TImageViewer::ZoomTo100},
        {"miZoomIn",
         "Zoom In",
         {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
         &TImageViewer::ZoomIn},
        {"miZoomOut", "Zoom Out", {QKeySequence(Qt::CTRL | Qt::Key_Minus)}, &TImageViewer::ZoomOut},
    };
    for (const auto& item : table) {
        auto* action = new QAction(item.Text, window_);
        action->setObjectName(item.Name);
        action->setShortcuts(item.Keys);
        if (item.Zoom) connect(action, &QAction::triggered, Viewer_, item.Zoom);
        window_->addAction(action);
        viewActions_.push_back(action);
    }
    miFullScreen_ = viewActions_.front();
    miFullScreen_->setCheckable(true);
    fullScreen_ = new TViewerFullScreen(Viewer_, viewActions_);
    // Esc leaves full screen; outside it the key stays the window's.
    fullScreen_->OnChange = [this](bool on) {
        const QSignalBlocker quiet(miFullScreen_);
        miFullScreen_->setChecked(on);
        QList<QKeySequence> keys{QKeySequence(Qt::Key_F11)};
        if (on) keys.push_back(QKeySequence(Qt::Key_Escape));
        miFullScreen_->setShortcuts(keys);
        // The full-screen window takes the keys: the clip's keys work there too.
        if (on) FrameBar_->WatchKeys(Viewer_->window());
    };
    connect(miFullScreen_, &QAction::triggered, this, [this] {
        if (fullScreen_->On())
            fullScreen_->Leave();
        else
            fullScreen_->Enter();
    });
}

QList<QAction*> TPreviewPanel::ViewActions() const { return viewActions_; }

bool TPreviewPanel::FullScreen() const { return fullScreen_->On(); }

// ---- the preview ---------------------------------------------------------

void TPreviewPanel::OpenClick() {
    const QString file = OpenFileOfKind(TFileKind::PreviewPicture, window_, "Open Preview Image", kPictureFilter);
    if (file.isEmpty()) return;
    OpenPreviewFile(file);
}

// A numbered picture chosen opens as the image sequence of its run.
void TPreviewPanel::OpenSequenceClick() {
    const QString file = OpenFileOfKind(TFileKind::PreviewPicture, window_, "Open Image Sequence", kPictureFilter);
    if (file.isEmpty()) return;
    const auto pattern = RunPatternOf(ToStd(file));
    if (!pattern) throw EError("\"" + ToStd(file) + "\" is no numbered picture of an image sequence");
    OpenPreviewFile(QString::fromStdString(*pattern));
}

void TPreviewPanel::OpenPreviewFile(const QString& file) {
    TBusyCursor busy;
    if (IsClipName(ToStd(file))) {
        auto first = std::make_shared<TSteppedFrame>();
        first->Number = 0;
        first->Picture = FrameBar_->Open(ToStd(file));
        state_.SetPreviewFile(ToStd(file));
        emit FrameChanged(file, QSize(first->Picture.Width(), first->Picture.Height()));
        ShowClipFrame(std::move(first));
        PreviewChanged();  // a new clip shows the look at once
        return;
    }
    // The window changes only once the new picture has loaded.
    TImage loaded;
    LoadImageFile(ToStd(file), loaded);
    TImage fitted = FitImage(loaded, kPreviewBoxWidth, kPreviewBoxHeight);
    ShowNewPicture(file, std::move(fitted), std::move(loaded));
}

// Every picture that becomes the preview (opened, dropped, handed over or
// pasted) comes here: a clip open until now ends, so that scrubbing, the
// title and Save Graded Image all go by the new picture.
void TPreviewPanel::ShowNewPicture(const QString& file, TImage preview, TImage full) {
    FrameBar_->Close();
    state_.SetPreviewFile(ToStd(file));
    emit FrameChanged(file, QSize(full.Width(), full.Height()));
    state_.SetPreview(std::move(preview));
    state_.Footage().PreviewChanged(state_.Preview(), state_.PreviewFile());
    ShowFrame(std::move(full));
    PreviewChanged();
}

void TPreviewPanel::ShowClipFrame(std::shared_ptr<const TSteppedFrame> shared) {
    const TSteppedFrame& frame = *shared;
    // The viewer and the preview keep the frame's picture as the cache holds it, uncopied.
    std::shared_ptr<const TImage> picture(shared, &frame.Picture);
    int width = 0, height = 0;
    FitToBox(frame.Picture.Width(), frame.Picture.Height(), kPreviewBoxWidth, kPreviewBoxHeight, width, height);
    if (frame.Preview.Width() == width && frame.Preview.Height() == height)
        state_.SetPreview(frame.Preview.Clone());
    else
        state_.SetPreviewOf(picture, kPreviewBoxWidth, kPreviewBoxHeight);
    // Only a conversion reads the preview here.
    if (state_.Footage().Conversion())
        state_.Footage().PreviewChanged(state_.Preview());
    else
        state_.Footage().PreviewChanged(TImage());
    ShowFrame(std::move(picture), frame.Copy);
    state_.ForgetPreviewStats();
    const bool graded = state_.Graded();
    if (!state_.Reference().isEmpty() && state_.MatchPreview())
        state_.Regrade();
    else if (graded && !sbnShowOriginal_->isChecked())
        GradeDisplay();
    else
        scopes_->Refresh();
}

void TPreviewPanel::ShowPlayedFrame(const TImage& picture) {
    TImage shown = picture.Clone();
    state_.Footage().Convert(shown);
    Viewer_->SetImage(std::move(shown), working_.FrameSize());
    GradeComparison();
    if (state_.Graded() && !sbnShowOriginal_->isChecked()) {
        GradeDisplay();
        return;
    }
    Viewer_->update();
    scopes_->Refresh();
}

// A new preview: its statistics are measured afresh when matching asks for
// them, and the look as it stands (the chosen reference or a previewed LUT
// file) grades it at once.
void TPreviewPanel::PreviewChanged() {
    state_.ForgetPreviewStats();
    // The look may not be built yet when the reference was chosen before any preview.
    if (!state_.Reference().isEmpty() || state_.PreviewLut()) state_.Regrade();
    scopes_->Refresh();
}

void TPreviewPanel::PasteClick() {
    const QImage picture = QGuiApplication::clipboard()->image();
    if (picture.isNull()) return;
    Viewer_->HideSelection();
    TBusyCursor busy;
    TImage pasted = ImageFromQImage(picture);
    TImage full = pasted.Clone();
    ShowNewPicture(QString(), std::move(pasted), std::move(full));
}

void TPreviewPanel::MenuPopup() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    miPaste_->setEnabled(data && data->hasImage());
}

void TPreviewPanel::ShowOriginalClick() {
    if (!Viewer_->HasImage()) return;
    if (sbnShowOriginal_->isChecked()) {
        Viewer_->RestoreDisplay();
        Viewer_->update();
        scopes_->Refresh();
    } else {
        GradeDisplay();
    }
}

void TPreviewPanel::SaveGradedClick() {
    if (state_.Reference().isEmpty() && !state_.PreviewLut()) return;
    if (!state_.HasPreview()) throw EError(ToStd(kPromptNoPreview));
    const TGradedSaveOffer offer =
        GradedSaveOffer(state_.PreviewFile(), FrameBar_->HasClip() ? FrameBar_->Info().Bits : 0);
    const QString file = SaveFileOfKind(TFileKind::GradedPicture, window_, "Save Graded Image",
                                        GradedPictureName(state_.PreviewFile(), LookName(state_), offer.NameExtension),
                                        offer.Filter, "jpeg");
    if (file.isEmpty()) return;
    SaveGradedTo(file);
    ShowSaved(window_, file);
}

// The file's type is its extension's; the frame shown is graded on the
// grading road (grading/GradeFile.h).
void TPreviewPanel::SaveGradedTo(const QString& file) {
    TBusyCursor busy;
    const std::string target = ToStd(file);
    CheckGradedTarget(target);
    TGradeSource source{state_.PreviewFile()};
    if (source.File.empty()) source.Picture = &state_.Preview();
    if (FrameBar_->HasClip()) source.Frame = FrameBar_->CurrentFrame();
    GradeFile(source, target, state_.ActiveLut(), state_.Footage().Conversion());
    lastSaved_ = file;
}

// Show Original shows the whole ungraded picture, so the divider waits
// while it is down.
void TPreviewPanel::SplitViewClick() {
    Viewer_->SetSplitView(sbnSplitView_->isChecked() && !sbnShowOriginal_->isChecked());
    scopes_->Refresh();
}

void TPreviewPanel::PreviewLutFileClick() {
    const QString file = OpenFileOfKind(TFileKind::LutPreview, window_, "Preview LUT File", LutFileFilter());
    if (!file.isEmpty()) PreviewLutFile(file);
}

void TPreviewPanel::PreviewLutFile(const QString& file) {
    TBusyCursor busy;
    std::unique_ptr<TLUT> lut = ReadLutFile(ToStd(file));
    CheckUsableTables(*lut);
    PreviewLut(std::move(lut), QFileInfo(file).fileName());
}

// One dialog for the window's life: after a preview it opens again with the
// same pair until another picture is chosen.
void TPreviewPanel::LearnPairClick() {
    if (learnPair_ == nullptr) learnPair_ = new TfrmLearnPair(window_);
    if (learnPair_->exec() == QDialog::Accepted && learnPair_->LearnedLut())
        PreviewLut(learnPair_->CopyLearnedLut(), "learned look");
}

// One dialog for the window's life, keeping its graded frame; FRAME is the
// picture shown now, converted from the footage as the viewer shows it.
void TPreviewPanel::MatchShotClick() {
    if (working_.Empty()) throw EError(ToStd(kPromptNoPreview));
    if (matchShot_ == nullptr) {
        matchShot_ = new TfrmMatchShot(window_);
        matchShot_->SetWindowSide(
            {[this](const QString& clip) { return ClipFrameFor(clip); }, [this] { return lastSaved_; }});
    }
    TImage frame = working_.Frame().Clone();
    if (const TFootageConversion* footage = state_.Footage().Conversion()) ConvertFootageImage(*footage, frame);
    const std::string& file = state_.PreviewFile();
    matchShot_->SetFrame(std::move(frame), file.empty() ? QString("pasted picture") : QString::fromStdString(file));
    if (matchShot_->exec() == QDialog::Accepted && matchShot_->MatchedLut())
        PreviewLut(matchShot_->CopyMatchedLut(), "matched shot");
}

TImage TPreviewPanel::ClipFrameFor(const QString& clip) {
    if (FrameBar_->HasClip() && QFileInfo(clip) == QFileInfo(QString::fromStdString(state_.PreviewFile())))
        return FrameBar_->CurrentPicture();
    return ClipFrameToImage(LoadClipFrame(ToStd(clip), {}));
}

void TPreviewPanel::PreviewLut(std::unique_ptr<TLUT> lut, const QString& name) {
    state_.SetPreviewLut(std::move(lut), name);
    emit LutPreviewStarted();
    emit LutPreviewChanged();
    sbnShowOriginal_->setEnabled(true);
    if (!Viewer_->HasImage()) return;
    GradeDisplay();
    sbnShowOriginal_->setChecked(false);
}

void TPreviewPanel::EndLutPreview() {
    if (state_.EndPreviewLut()) emit LutPreviewChanged();
}

void TPreviewPanel::Drop(const QStringList& files) {
    const TDroppedFiles dropped = SortDroppedFiles(files);
    if (!dropped.Pictures.isEmpty()) OpenPreviewFile(DroppedPreview(dropped.Pictures));
    if (!dropped.Looks.isEmpty()) emit LookDropped(dropped.Looks.first());
    if (!dropped.Luts.isEmpty()) PreviewLutFile(dropped.Luts.first());
    if (!dropped.Others.isEmpty())
        throw EError(ToStd(RefusedFilesMessage(
            "Only pictures and LUT files can be dropped on the preview. These files were not used:", dropped.Others)));
}

// ---- the working copy ----------------------------------------------------------

TViewerWorkingCopy::TMaker TPreviewPanel::CopyMaker(const TImage& ready) const {
    return [this, &ready](const TImage& full, QSize size) {
        // A clip's frame has no file of its own to convert: its copy is the
        // resampled picture converted, as ShownCopy makes it.
        if (ready.Empty() || size != QSize(ready.Width(), ready.Height()))
            return state_.Footage().ShownCopy(full, size.width(), size.height());
        TImage copy = ready.Clone();
        state_.Footage().Convert(copy);
        return copy;
    };
}

void TPreviewPanel::ShowFrame(TImage full, const TImage& ready) {
    ShowFrame(std::make_shared<const TImage>(std::move(full)), ready);
}

void TPreviewPanel::ShowFrame(std::shared_ptr<const TImage> full, const TImage& ready) {
    growTimer_->stop();
    working_.SetFrame(std::move(full));
    QSize wanted = Viewer_->CopySizeFor(working_.FrameSize());
    // A viewer not laid out yet: the preview's size until it is.
    if (wanted.isEmpty()) {
        int width = 0, height = 0;
        FitToBox(working_.Frame().Width(), working_.Frame().Height(), kPreviewBoxWidth, kPreviewBoxHeight, width,
                 height);
        wanted = QSize(width, height);
    }
    working_.Update(wanted, CopyMaker(ready));
    ShowWorkingCopy();
}

void TPreviewPanel::ShowWorkingCopy() {
    Viewer_->SetImage(working_.Copy(), working_.FrameSize());
    if (miSaveGradedImage_) miSaveGradedImage_->setEnabled(true);
    GradeComparison();
}

void TPreviewPanel::GrowWorkingCopy() {
    growTimer_->stop();
    // While playing, the pictures keep the size playing began with; the
    // frame shown when it stops is made for the viewer as it is then.
    if (working_.Empty() || !Viewer_->HasImage() || FrameBar_->Playing()) return;
    const QSize wanted = Viewer_->CopySizeFor(working_.FrameSize());
    if (!working_.Update(wanted, CopyMaker()) && !(Viewer_->Fit() && working_.Shrink(wanted, CopyMaker()))) return;
    TBusyCursor busy;
    ShowWorkingCopy();
    ViewerLayoutChanged();
    scopes_->Refresh();
}

void TPreviewPanel::FootageChanged() {
    working_.Remake(CopyMaker());
    if (!working_.Copy().Empty()) ShowWorkingCopy();
}

void TPreviewPanel::SetComparisonLut(const TLUT* lut) {
    comparisonLut_ = lut;
    GradeComparison();
    scopes_->Refresh();
}

void TPreviewPanel::GradeComparison() {
    if (!comparisonLut_ || !Viewer_->HasImage()) {
        Viewer_->ClearComparison();
        return;
    }
    TImage graded = Viewer_->Scaled().Clone();
    GradePicture(*comparisonLut_, graded);
    Viewer_->SetComparison(graded);
}

void TPreviewPanel::ShowGrade(bool lookBuilt) {
    if (Viewer_->Display().Empty()) return;
    if (lookBuilt) sbnShowOriginal_->setEnabled(true);
    if (!state_.Reference().isEmpty() || state_.PreviewLut()) {
        GradeDisplay();
        sbnShowOriginal_->setChecked(false);
    } else {
        ShowUngraded();
    }
    if (state_.Reference().isEmpty()) scopes_->Refresh();
}

void TPreviewPanel::CompareWithSnapshot() {
    const bool comparing = state_.Snapshots().Comparison() >= 0;
    // Ending the comparison gives the split view back as it was before.
    if (comparing && !splitBeforeComparison_) splitBeforeComparison_ = sbnSplitView_->isChecked();
    state_.UpdateComparison();
    SetComparisonLut(state_.ComparisonLut());
    if (state_.ComparisonLut() && !sbnSplitView_->isChecked()) sbnSplitView_->click();
    if (!comparing && splitBeforeComparison_) {
        if (sbnSplitView_->isChecked() != *splitBeforeComparison_) sbnSplitView_->click();
        splitBeforeComparison_.reset();
    }
}

void TPreviewPanel::ShowUngraded() {
    Viewer_->RestoreDisplay();
    Viewer_->update();
}

void TPreviewPanel::ViewerLayoutChanged() {
    // The grade comes back only where the viewer showed it before: a
    // reference is chosen and the ungraded preview was not asked for.
    if (Viewer_->HasImage() && state_.Graded() && !sbnShowOriginal_->isChecked()) GradeDisplay();
}

void TPreviewPanel::GradeDisplay() {
    Viewer_->GradeDisplay(state_.ActiveLut());
    Viewer_->update();
    scopes_->Refresh();
}

TScopeSource TPreviewPanel::ScopeSource() const {
    TScopeSource source;
    // Read only: the viewer's painted copy stays as it is.
    const TImageViewer& viewer = *Viewer_;
    source.Picture.Left = &viewer.Display();
    // Split view: the comparison left of the divider, the graded side right.
    if (viewer.SplitView() && !sbnShowOriginal_->isChecked() && !viewer.Comparison().Empty()) {
        source.Picture.Left = &viewer.Comparison();
        source.Picture.Right = &viewer.Display();
        source.Picture.Divider = viewer.DividerColumn();
    }
    if (state_.LookBuilt() && !state_.Reference().isEmpty()) {
        source.Reference = &state_.ReferenceCell();
        source.ReferenceStats = &state_.LastSettings().Stats;
    }
    return source;
}
