#include "grading/FootageSpaces.h"

#include "engine/base/Error.h"
#include "engine/footage/FootageLook.h"
#include "engine/picture/DeepGrade.h"
#include "engine/picture/ImageResize.h"
#include "imageio/DeepImageFile.h"

namespace {

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

TFootageSpaces::TFootageSpaces() : spaces_(FootageSpaces("")) {}

TFootageSpaces::TFootageSpaces(const std::string& configPath) : configPath_(configPath) {
    try {
        spaces_ = FootageSpaces(configPath_);
    } catch (const EError& error) {
        configError_ = error.what();
        spaces_ = FootageSpaces("");
    }
}

bool TFootageSpaces::ChooseKept(const std::string& key) {
    for (int i = 1; i < static_cast<int>(spaces_.size()); ++i) {
        if (spaces_[i].Key != key) continue;
        try {
            conversion_ = MakeFootageConversion(key, ConfigFile());
            chosen_ = i;
            return true;
        } catch (const EError&) {
            conversion_.reset();
        }
        break;
    }
    return false;
}

void TFootageSpaces::Choose(int entry, const TImage& preview) {
    if (entry < 0 || entry >= static_cast<int>(spaces_.size())) return;
    conversion_ = MakeFootageConversion(spaces_[entry].Key, ConfigFile());
    chosen_ = entry;
    PreviewChanged(preview, previewFile_);
}

void TFootageSpaces::PreviewChanged(const TImage& preview, const std::string& previewFile) {
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

const TImage& TFootageSpaces::Shown(const TImage& preview) const {
    return conversion_ && !preview.Empty() ? converted_ : preview;
}

TImage TFootageSpaces::ShownCopy(const TImage& full, int width, int height) const {
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

void TFootageSpaces::Convert(TImage& picture) const {
    if (conversion_) ConvertFootageImage(*conversion_, picture);
}

TImage TFootageSpaces::ShownAs(int entry, const TImage& preview) const {
    if (entry == chosen_) return Shown(preview).Clone();
    if (entry <= 0 || entry >= static_cast<int>(spaces_.size()) || preview.Empty()) return preview.Clone();
    const auto conversion = MakeFootageConversion(spaces_[entry].Key, ConfigFile());
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

std::string TFootageSpaces::KeyOf(int entry) const {
    return entry > 0 && entry < static_cast<int>(spaces_.size()) ? spaces_[entry].Key : std::string();
}

int TFootageSpaces::EntryOf(const std::string& key) const {
    if (key.empty()) return 0;
    for (int i = 0; i < static_cast<int>(spaces_.size()); ++i)
        if (spaces_[i].Key == key) return i;
    return -1;
}
