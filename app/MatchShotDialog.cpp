#include "app/MatchShotDialog.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/Application.h"
#include "app/LutSaveForm.h"
#include "app/PictureSlot.h"
#include "app/StdText.h"
#include "clip/ClipFile.h"
#include "clip/ClipPicture.h"
#include "engine/base/Error.h"
#include "engine/look/GradingRoad.h"
#include "engine/lut/LUT.h"
#include "engine/picture/ImageResize.h"
#include "formats/LutConvert.h"
#include "grading/ShotMatching.h"
#include "imageio/ColourProfile.h"
#include "imageio/GradedPictureFile.h"
#include "imageio/PictureFormats.h"
#include "imageio/QtImage.h"

namespace {

// The unmatched part of FRAME's thumbnail goes half way to this colour.
constexpr std::uint8_t kTintBlue = 255;
constexpr std::uint8_t kTintGreen = 0;
constexpr std::uint8_t kTintRed = 255;
constexpr int kTintShare = 128;  // of 256

const QString kGradedFilter = QString::fromStdString("Image Files|" + PicturePatterns(TPictureRole::EightBitRead)) +
                              "|Clips|*.mov;*.mp4;*.mkv;*.mxf;*.avi|All Files|*.*";

std::uint8_t Towards(std::uint8_t from, std::uint8_t to, int weight) {
    return static_cast<std::uint8_t>(from + ((to - from) * weight) / 256);
}

// The thumbnail with the pixels the region leaves out (0 there) tinted;
// the region is sampled at the nearest point of its own size.
TImage TintUnmatched(const TImage& thumbnail, const TImage& region) {
    TImage tinted = thumbnail.Clone();
    if (region.Empty()) return tinted;
    for (int y = 0; y < tinted.Height(); ++y) {
        const std::uint8_t* mask = region.Row(static_cast<int>(std::int64_t(y) * region.Height() / tinted.Height()));
        std::uint8_t* pixel = tinted.Row(y);
        for (int x = 0; x < tinted.Width(); ++x, pixel += 3) {
            const int matched = mask[3 * static_cast<int>(std::int64_t(x) * region.Width() / tinted.Width())];
            const int weight = kTintShare * (255 - matched) / 255;
            pixel[0] = Towards(pixel[0], kTintBlue, weight);
            pixel[1] = Towards(pixel[1], kTintGreen, weight);
            pixel[2] = Towards(pixel[2], kTintRed, weight);
        }
    }
    return tinted;
}

QString ReportOf(const TMatchedShot& shot) {
    return QString(
               "Matched: %1 % of the frame. Fit: mean ΔE2000 %2, 99th percentile %3; the matched pixels cover %4 % "
               "of the colour volume.")
        .arg(100.0 * shot.MatchedShare, 0, 'f', 1)
        .arg(shot.Quality.MeanDeltaE, 0, 'f', 2)
        .arg(shot.Quality.Percentile99, 0, 'f', 2)
        .arg(100.0 * shot.Coverage.Share(), 0, 'f', 1);
}

}  // namespace

TfrmMatchShot::TfrmMatchShot(QWidget* parent) : QDialog(parent) {
    setObjectName("frmMatchShot");
    setWindowTitle("Match Shot");
    gradedSlot_ = new TPictureSlot(
        "Graded frame", kGradedFilter, [this](const QString& file) { SetGraded(file); }, this);
    btnLastSaved_ = new QPushButton("Last saved", gradedSlot_);
    btnLastSaved_->setObjectName("btnLastSaved");
    btnLastSaved_->setToolTip("The graded picture this window saved last");
    gradedSlot_->ButtonRow()->addWidget(btnLastSaved_);
    connect(btnLastSaved_, &QPushButton::clicked, this, [this] { RunHandler([this] { btnLastSavedClick(); }); });
    auto* pictures = new QHBoxLayout;
    pictures->addWidget(gradedSlot_);
    pictures->addWidget(MakeFrameBox());

    lblReport_ = new QLabel("Choose or drop a graded frame of the same scene.", this);
    lblReport_->setObjectName("lblReport");
    lblReport_->setWordWrap(true);
    chkRegion_ = new QCheckBox("Show matched region", this);
    chkRegion_->setObjectName("chkRegion");
    connect(chkRegion_, &QCheckBox::toggled, this, [this] { RunHandler([this] { chkRegionClick(); }); });

    btnPreview_ = new QPushButton("Preview", this);
    btnPreview_->setObjectName("btnPreview");
    btnExport_ = new QPushButton("Export LUT...", this);
    btnExport_->setObjectName("btnExport");
    auto* btnClose = new QPushButton("Close", this);
    connect(btnPreview_, &QPushButton::clicked, this, [this] { RunHandler([this] { btnPreviewClick(); }); });
    connect(btnExport_, &QPushButton::clicked, this, [this] { RunHandler([this] { btnExportClick(); }); });
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(chkRegion_);
    buttons->addStretch();
    buttons->addWidget(btnPreview_);
    buttons->addWidget(btnExport_);
    buttons->addWidget(btnClose);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(pictures);
    layout->addWidget(lblReport_);
    layout->addLayout(buttons);
    UpdateButtons();
}

TfrmMatchShot::~TfrmMatchShot() = default;

QWidget* TfrmMatchShot::MakeFrameBox() {
    auto* box = new QGroupBox("Frame (the window's picture)", this);
    lblFrame_ = new QLabel("Open a preview picture first", box);
    lblFrame_->setFixedSize(TPictureSlot::kThumbnailWidth, TPictureSlot::kThumbnailHeight);
    lblFrame_->setAlignment(Qt::AlignCenter);
    lblFrame_->setFrameShape(QFrame::StyledPanel);
    lblFrameName_ = new QLabel(box);
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(lblFrame_);
    layout->addWidget(lblFrameName_);
    return box;
}

void TfrmMatchShot::SetWindowSide(TWindowSide side) {
    side_ = std::move(side);
    UpdateButtons();
}

void TfrmMatchShot::SetFrame(TImage frame, const QString& name) {
    lblFrameName_->setText(name);
    if (frame.SamePixels(frame_) && name == frameName_) {
        UpdateButtons();  // a picture saved since the last opening
        return;
    }
    frame_ = std::move(frame);
    frameName_ = name;
    frameThumbnail_ = FitImage(frame_, TPictureSlot::kThumbnailWidth, TPictureSlot::kThumbnailHeight);
    shot_.reset();
    if (!graded_.Empty()) Match();
    ShowFrameThumbnail();
    UpdateButtons();
}

// A clip gives the frame the window chooses for it, a picture file itself.
TImage TfrmMatchShot::LoadGraded(const QString& file) const {
    TBusyCursor busy;
    if (IsClipName(FileNameToStd(file)))
        return side_.ClipFrame ? side_.ClipFrame(file) : ClipFrameToImage(LoadClipFrame(FileNameToStd(file), {}));
    TColourProfile profile;
    return LoadNamedPicture(FileNameToStd(file), profile);
}

void TfrmMatchShot::SetGraded(const QString& file) {
    shot_.reset();
    exported_.reset();
    UpdateButtons();
    graded_ = LoadGraded(file);
    gradedFile_ = file;
    gradedSlot_->Show(graded_, QFileInfo(file).fileName());
    if (!frame_.Empty()) Match();
    ShowFrameThumbnail();
    UpdateButtons();
}

void TfrmMatchShot::btnLastSavedClick() {
    const QString file = side_.LastSaved ? side_.LastSaved() : QString();
    if (!file.isEmpty()) SetGraded(file);
}

TMatchedShot TfrmMatchShot::MatchAt(int size) const {
    TBusyCursor busy;
    TShotMatching settings;
    settings.Size = size;
    return MatchShot(graded_, frame_, settings, FileNameToStd(gradedFile_), FileNameToStd(frameName_));
}

// A refusal is the dialog's report: one line, no look.
void TfrmMatchShot::Match() {
    exported_.reset();
    try {
        shot_ = std::make_unique<TMatchedShot>(MatchAt(kLookCubeSize));
        ShowReport(ReportOf(*shot_));
    } catch (const EError& error) {
        shot_.reset();
        ShowReport(QString::fromStdString(error.what()).simplified());
    }
}

// A report of more lines than the hint's makes the dialog taller rather than
// pressing the picture slots together.
void TfrmMatchShot::ShowReport(const QString& text) {
    lblReport_->setText(text);
    layout()->activate();
    const int needed = layout()->totalHeightForWidth(width());
    if (needed > height()) resize(width(), needed);
}

void TfrmMatchShot::ShowFrameThumbnail() {
    if (frameThumbnail_.Empty()) return;
    const bool tint = chkRegion_->isChecked() && shot_ != nullptr;
    shownThumbnail_ = tint ? TintUnmatched(frameThumbnail_, shot_->MatchedRegion) : frameThumbnail_.Clone();
    lblFrame_->setPixmap(QPixmap::fromImage(QImageFromImage(shownThumbnail_)));
}

void TfrmMatchShot::chkRegionClick() { ShowFrameThumbnail(); }

void TfrmMatchShot::UpdateButtons() {
    btnPreview_->setEnabled(shot_ != nullptr);
    btnExport_->setEnabled(shot_ != nullptr);
    btnLastSaved_->setEnabled(side_.LastSaved && !side_.LastSaved().isEmpty());
}

const TLUT* TfrmMatchShot::MatchedLut() const { return shot_ ? shot_->Lut.get() : nullptr; }

const TImage& TfrmMatchShot::MatchedRegion() const {
    static const TImage kNone;
    return shot_ ? shot_->MatchedRegion : kNone;
}

QString TfrmMatchShot::ReportText() const { return lblReport_->text(); }

std::unique_ptr<TLUT> TfrmMatchShot::CopyMatchedLut() const {
    if (!shot_) return nullptr;
    auto copy = std::make_unique<TLUT>();
    BakeCube(*shot_->Lut, shot_->Lut->CubeSize, *copy);
    return copy;
}

// The fit takes at most kMaxFitSize points: every larger size is written
// from the look already matched, a smaller one is matched at its size.
const TLUT& TfrmMatchShot::MatchedForSize(int size) {
    if (!shot_) throw EError("No look is matched.");
    if (std::min(size, kMaxFitSize) == shot_->Lut->CubeSize) return *shot_->Lut;
    exported_ = std::move(MatchAt(size).Lut);
    return *exported_;
}

void TfrmMatchShot::btnPreviewClick() {
    if (shot_) accept();
}

void TfrmMatchShot::btnExportClick() {
    if (!shot_) return;
    TfrmSaveLut dialog(TLookSettings{}, this);
    dialog.UseLearnedLut([this](int size) -> const TLUT& { return MatchedForSize(size); });
    dialog.SetLookName(QStringLiteral("matched shot"));
    dialog.exec();
}
