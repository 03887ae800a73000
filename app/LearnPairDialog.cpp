#include "app/LearnPairDialog.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/Application.h"
#include "app/Dialogs.h"
#include "app/FileDrop.h"
#include "app/LutSaveForm.h"
#include "engine/Error.h"
#include "engine/GradingRoad.h"
#include "engine/ImageResize.h"
#include "engine/LUT.h"
#include "formats/LutConvert.h"
#include "imageio/ImageFile.h"
#include "imageio/PairLearning.h"
#include "imageio/PictureFormats.h"
#include "imageio/QtImage.h"

namespace {

constexpr int kThumbnailWidth = 200;
constexpr int kThumbnailHeight = 125;
constexpr double kWarnShareAbove5 = 0.05;

const QString kPairPictureFilter =
    QString::fromStdString("Image Files|" + PicturePatterns(TPictureRole::EightBitRead)) + "|All Files|*.*";

std::string ToStd(const QString& text) { return QFile::encodeName(text).toStdString(); }

}  // namespace

TfrmLearnPair::TfrmLearnPair(QWidget* parent) : QDialog(parent) {
    setObjectName("frmLearnPair");
    setWindowTitle("Create Look from Graded Pair");
    auto* pictures = new QHBoxLayout;
    pictures->addWidget(MakeSlot(before_, "Before", &TfrmLearnPair::SetBefore));
    pictures->addWidget(MakeSlot(after_, "After (graded)", &TfrmLearnPair::SetAfter));

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

QWidget* TfrmLearnPair::MakeSlot(TSlot& slot, const QString& caption, void (TfrmLearnPair::*set)(const QString&)) {
    auto* box = new QGroupBox(caption, this);
    slot.Thumbnail = new QLabel("Drop a picture here", box);
    slot.Thumbnail->setFixedSize(kThumbnailWidth, kThumbnailHeight);
    slot.Thumbnail->setAlignment(Qt::AlignCenter);
    slot.Thumbnail->setFrameShape(QFrame::StyledPanel);
    slot.Name = new QLabel(box);
    auto* choose = new QPushButton("...", box);
    connect(choose, &QPushButton::clicked, this, [this, set, caption] {
        RunHandler([this, set, caption] {
            const QString file = OpenFileOfKind(TFileKind::LearnPair, this, caption, kPairPictureFilter);
            if (!file.isEmpty()) (this->*set)(file);
        });
    });
    new TFileDropTarget(slot.Thumbnail, [this, set](const QStringList& files) {
        RunHandler([this, set, &files] {
            if (!files.isEmpty()) (this->*set)(files.first());
        });
    });
    auto* row = new QHBoxLayout;
    row->addWidget(slot.Name, 1);
    row->addWidget(choose);
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(slot.Thumbnail);
    layout->addLayout(row);
    return box;
}

void TfrmLearnPair::SetBefore(const QString& file) { Fill(before_, file); }
void TfrmLearnPair::SetAfter(const QString& file) { Fill(after_, file); }

void TfrmLearnPair::Fill(TSlot& slot, const QString& file) {
    learned_.reset();
    exported_.reset();
    UpdateButtons();
    TImage picture;
    {
        TBusyCursor busy;
        LoadImageFile(ToStd(file), picture);
    }
    slot.File = file;
    slot.Name->setText(QFileInfo(file).fileName());
    slot.Thumbnail->setPixmap(
        QPixmap::fromImage(QImageFromImage(FitImage(picture, kThumbnailWidth, kThumbnailHeight))));
    if (!before_.File.isEmpty() && !after_.File.isEmpty()) Learn();
}

TLearnedLook TfrmLearnPair::LearnAt(int size) const {
    TBusyCursor busy;
    return LearnLookFromFiles(ToStd(before_.File), ToStd(after_.File), {size, kDefaultSmoothness});
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
