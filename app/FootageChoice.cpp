#include "FootageChoice.h"

#include <QComboBox>
#include <QSettings>
#include <QSignalBlocker>

#include "Error.h"
#include "FootageLook.h"

namespace {

std::string ConfiguredPath() {
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "tarnwerk", "Ombrane");
    return FootageConfigPath(settings.value("ocio-config").toString().toStdString());
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
    PreviewChanged(preview);
}

void TFootageChoice::PreviewChanged(const TImage& preview) {
    converted_ = TImage();
    if (!conversion_ || preview.Empty()) return;
    converted_ = preview.Clone();
    ConvertFootageImage(*conversion_, converted_);
}

const TImage& TFootageChoice::Shown(const TImage& preview) const {
    return conversion_ && !preview.Empty() ? converted_ : preview;
}

void TFootageChoice::Convert(TImage& picture) const {
    if (conversion_) ConvertFootageImage(*conversion_, picture);
}
