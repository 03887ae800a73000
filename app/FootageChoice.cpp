#include "app/FootageChoice.h"

#include <QComboBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QStatusBar>

#include "engine/base/Error.h"
#include "engine/footage/FootageLook.h"
#include "engine/picture/DeepGrade.h"
#include "engine/picture/ImageResize.h"
#include "grading/UserSettings.h"
#include "imageio/DeepImageFile.h"

namespace {

// The settings key of the chosen footage space (its key in the list).

std::string ConfiguredPath() {
    return FootageConfigPath(UserSettings().value(kOcioConfigKey).toString().toStdString());
}

// The deep picture converted in float at full size, then taken to 8 bits and
// fitted to width x height as the preview was.
TImage ConvertedDeepPreview(const TFootageConversion& conversion, const std::string& file, int width, int height) {
    TDeepImage picture = LoadDeepImageFile(file);
    ConvertFootageDeep(conversion, picture);
    TImage full = DeepToImage(picture);
    picture = TDeepImage();
    if (full.Width() == width && full.Height() == height) return full;
    TImage fitted;
    ResizeImage(width, height, kLanczos3Filter, fitted, full, 0.0f);
    return fitted;
}

}  // namespace

TFootageChoice::TFootageChoice(QComboBox* combo) : combo_(combo), configPath_(ConfiguredPath()) {
    try {
        spaces_ = FootageSpaces(configPath_);
    } catch (const EError& error) {
        configError_ = error.what();
        spaces_ = FootageSpaces("");
        combo_->setToolTip(QString::fromStdString(configError_));
    }
    const QSignalBlocker quiet(combo_);
    for (const TFootageSpaceEntry& space : spaces_) combo_->addItem(QString::fromStdString(space.Label));
    combo_->setCurrentIndex(0);
    const std::string saved = UserSettings().value(kFootageKey).toString().toStdString();
    for (int i = 1; i < static_cast<int>(spaces_.size()); ++i) {
        if (spaces_[i].Key != saved) continue;
        try {
            conversion_ = MakeFootageConversion(saved, configError_.empty() ? configPath_ : "");
            chosen_ = i;
            combo_->setCurrentIndex(i);
        } catch (const EError&) {
            conversion_.reset();
        }
        break;
    }
}

void TFootageChoice::ShowIn(QStatusBar* bar) {
    status_ = new QLabel(bar);
    status_->setObjectName("lblFootageStatus");
    bar->addPermanentWidget(status_);
    ShowChoice();
}

void TFootageChoice::ShowChoice() {
    if (status_) status_->setText("Footage: " + QString::fromStdString(spaces_[chosen_].Label));
}

void TFootageChoice::Choose(const TImage& preview) {
    const int index = combo_->currentIndex();
    if (index < 0 || index >= static_cast<int>(spaces_.size())) return;
    try {
        conversion_ = MakeFootageConversion(spaces_[index].Key, configError_.empty() ? configPath_ : "");
    } catch (...) {
        const QSignalBlocker quiet(combo_);
        combo_->setCurrentIndex(chosen_);
        throw;
    }
    chosen_ = index;
    UserSettings().setValue(kFootageKey, QString::fromStdString(spaces_[index].Key));
    ShowChoice();
    PreviewChanged(preview, previewFile_);
}

void TFootageChoice::PreviewChanged(const TImage& preview, const std::string& previewFile) {
    previewFile_ = !previewFile.empty() && IsDeepPictureFile(previewFile) ? previewFile : std::string();
    converted_ = TImage();
    if (!conversion_ || preview.Empty()) return;
    if (!previewFile_.empty()) {
        try {
            converted_ = ConvertedDeepPreview(*conversion_, previewFile_, preview.Width(), preview.Height());
            return;
        } catch (const EError&) {
            // The file changed or went away since it was opened: the preview as it was read.
        }
    }
    converted_ = preview.Clone();
    ConvertFootageImage(*conversion_, converted_);
}

const TImage& TFootageChoice::Shown(const TImage& preview) const {
    return conversion_ && !preview.Empty() ? converted_ : preview;
}

TImage TFootageChoice::ShownCopy(const TImage& full, int width, int height) const {
    if (conversion_ && !previewFile_.empty()) {
        try {
            return ConvertedDeepPreview(*conversion_, previewFile_, width, height);
        } catch (const EError&) {
            // The file changed or went away since it was opened: the picture as it was read.
        }
    }
    TImage copy;
    if (full.Width() == width && full.Height() == height)
        copy = full.Clone();
    else
        ResizeImage(width, height, kLanczos3Filter, copy, full, 0.0f);
    Convert(copy);
    return copy;
}

void TFootageChoice::Convert(TImage& picture) const {
    if (conversion_) ConvertFootageImage(*conversion_, picture);
}

TImage TFootageChoice::ShownAs(int entry, const TImage& preview) const {
    if (entry == chosen_) return Shown(preview).Clone();
    if (entry <= 0 || entry >= static_cast<int>(spaces_.size()) || preview.Empty()) return preview.Clone();
    const auto conversion = MakeFootageConversion(spaces_[entry].Key, configError_.empty() ? configPath_ : "");
    if (!previewFile_.empty()) {
        try {
            return ConvertedDeepPreview(*conversion, previewFile_, preview.Width(), preview.Height());
        } catch (const EError&) {
            // The file changed or went away since it was opened: the preview as it was read.
        }
    }
    TImage converted = preview.Clone();
    ConvertFootageImage(*conversion, converted);
    return converted;
}

std::string TFootageChoice::KeyOf(int entry) const {
    return entry > 0 && entry < static_cast<int>(spaces_.size()) ? spaces_[entry].Key : std::string();
}

int TFootageChoice::EntryOf(const std::string& key) const {
    if (key.empty()) return 0;
    for (int i = 0; i < static_cast<int>(spaces_.size()); ++i)
        if (spaces_[i].Key == key) return i;
    return -1;
}
