#include "app/LearnPairDialog.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/Application.h"
#include "app/LutSaveForm.h"
#include "app/PictureSlot.h"
#include "app/StdText.h"
#include "engine/base/Error.h"
#include "engine/look/GradingRoad.h"
#include "engine/lut/LUT.h"
#include "formats/LutConvert.h"
#include "grading/LearnLook.h"
#include "imageio/PictureFormats.h"

namespace {

constexpr double kWarnShareAbove5 = 0.05;

const QString kPairPictureFilter =
    QString::fromStdString("Image Files|" + PicturePatterns(TPictureRole::EightBitRead)) + "|All Files|*.*";

}  // namespace

TfrmLearnPair::TfrmLearnPair(QWidget* parent) : QDialog(parent) {
    setObjectName("frmLearnPair");
    setWindowTitle("Create Look from Graded Pair");
    auto* pictures = new QHBoxLayout;
    before_.Box = new TPictureSlot(
        "Before", kPairPictureFilter, [this](const QString& file) { SetBefore(file); }, this);
    after_.Box = new TPictureSlot(
        "After (graded)", kPairPictureFilter, [this](const QString& file) { SetAfter(file); }, this);
    pictures->addWidget(before_.Box);
    pictures->addWidget(after_.Box);

    lblQuality_ = new QLabel("Choose or drop the frame before and after grading.", this);
    lblQuality_->setObjectName("lblQuality");
    lblQuality_->setWordWrap(true);

    btnPreview_ = new QPushButton("Preview", this);
    btnPreview_->setObjectName("btnPreview");
    btnExport_ = new QPushButton("Export LUT...", this);
    btnExport_->setObjectName("btnExport");
    auto* btnClose = new QPushButton("Close", this);
    connect(btnPreview_, &QPushButton::clicked, this, [this] { RunHandler([this] { btnPreviewClick(); }); });
    connect(btnExport_, &QPushButton::clicked, this, [this] { RunHandler([this] { btnExportClick(); }); });
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnPreview_);
    buttons->addWidget(btnExport_);
    buttons->addWidget(btnClose);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(pictures);
    layout->addWidget(lblQuality_);
    layout->addLayout(buttons);
    UpdateButtons();
}

TfrmLearnPair::~TfrmLearnPair() = default;

void TfrmLearnPair::SetBefore(const QString& file) { Fill(before_, file); }
void TfrmLearnPair::SetAfter(const QString& file) { Fill(after_, file); }

void TfrmLearnPair::Fill(TSlot& slot, const QString& file) {
    learned_.reset();
    exported_.reset();
    UpdateButtons();
    TImage picture;
    {
        TBusyCursor busy;
        picture = ReadPairPicture(FileNameToStd(file));
    }
    slot.File = file;
    slot.Box->Show(picture, QFileInfo(file).fileName());
    if (!before_.File.isEmpty() && !after_.File.isEmpty()) Learn();
}

TLearnedLook TfrmLearnPair::LearnAt(int size) const {
    TBusyCursor busy;
    return LearnLookFromPair(FileNameToStd(before_.File), FileNameToStd(after_.File), {size, kDefaultSmoothness});
}

void TfrmLearnPair::Learn() {
    lblQuality_->setText("The pair is no graded frame.");
    TLearnedLook look = LearnAt(kLookCubeSize);
    QString text = QString("Fit: mean ΔE2000 %1, 99th percentile %2; the pair covers %3 % of the colour volume.")
                       .arg(look.Quality.MeanDeltaE, 0, 'f', 2)
                       .arg(look.Quality.Percentile99, 0, 'f', 2)
                       .arg(100.0 * look.Coverage.Share(), 0, 'f', 1);
    if (look.Quality.ShareAbove5 > kWarnShareAbove5)
        text += QString(
                    "\n%1 % of the pixels are off by more than ΔE 5: the pair may not be a global colour "
                    "change (a vignette, a local mask, a crop).")
                    .arg(100.0 * look.Quality.ShareAbove5, 0, 'f', 1);
    lblQuality_->setText(text);
    learned_ = std::move(look.Lut);
    UpdateButtons();
}

void TfrmLearnPair::UpdateButtons() {
    btnPreview_->setEnabled(learned_ != nullptr);
    btnExport_->setEnabled(learned_ != nullptr);
}

QString TfrmLearnPair::QualityText() const { return lblQuality_->text(); }

std::unique_ptr<TLUT> TfrmLearnPair::CopyLearnedLut() const {
    if (!learned_) return nullptr;
    auto copy = std::make_unique<TLUT>();
    BakeCube(*learned_, learned_->CubeSize, *copy);
    return copy;
}

// The fit takes at most kMaxFitSize points: every larger size is written
// from the look already learned, a smaller one is learned at its size.
const TLUT& TfrmLearnPair::LearnedForSize(int size) {
    if (!learned_) throw EError("No look is learned.");
    if (std::min(size, kMaxFitSize) == learned_->CubeSize) return *learned_;
    exported_ = LearnAt(size).Lut;
    return *exported_;
}

void TfrmLearnPair::btnPreviewClick() {
    if (learned_) accept();
}

void TfrmLearnPair::btnExportClick() {
    if (!learned_) return;
    TfrmSaveLut dialog(TLookSettings{}, this);
    dialog.UseLearnedLut([this](int size) -> const TLUT& { return LearnedForSize(size); });
    dialog.SetLookName(QStringLiteral("learned look"));
    dialog.exec();
}
