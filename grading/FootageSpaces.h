#pragma once
#include <memory>
#include <string>
#include <vector>

#include "engine/footage/FootageConversion.h"
#include "engine/picture/Image.h"
#include "footage/OcioFootage.h"

// The footage spaces a frame may be graded from: the display default, the
// camera logs and the usable spaces of a config, the one chosen, its
// conversion and the preview converted with it. The preview is converted
// once per choice and per new picture, so the regrades work on a converted
// copy as they do on a display picture.
class TFootageSpaces {
public:
    // The spaces without a config: the display default and the built-in ones.
    TFootageSpaces();
    // The spaces of the config at configPath too ("" for none). A config
    // that does not load adds nothing; its message is kept (ConfigError).
    explicit TFootageSpaces(const std::string& configPath);

    const std::vector<TFootageSpaceEntry>& Entries() const { return spaces_; }
    // Chooses the space of a key kept from before, as long as it still
    // converts; false (the display default kept) otherwise.
    bool ChooseKept(const std::string& key);
    // Makes the entry's conversion and converts the preview with it. EError
    // leaves the choice as it was; an entry out of range changes nothing.
    void Choose(int entry, const TImage& preview);
    // A new preview picture: its converted copy is made now. For a preview
    // opened from a picture of more than 8 bits (`previewFile`), the copy is
    // made from the file's own values converted in float, as the command
    // line's grade converts them, and then fitted to the preview's size:
    // linear values beyond 1 and the fine steps of the shadows reach the
    // conversion as they are.
    void PreviewChanged(const TImage& preview, const std::string& previewFile = std::string());

    // The picture the viewer shows for the preview: the preview itself for
    // display footage, else its converted copy.
    const TImage& Shown(const TImage& preview) const;
    // The viewer's copy of the preview's full picture at a size, converted as
    // Shown is: a deep preview from its file in float, else resampled first.
    TImage ShownCopy(const TImage& full, int width, int height) const;
    // The preview as the space of another entry would show it, converted as
    // Shown converts it for the chosen one. EError for a space that cannot
    // be used.
    TImage ShownAs(int entry, const TImage& preview) const;
    // Converts a full picture in place (nothing for display footage).
    void Convert(TImage& picture) const;
    // The entry the conversion was made for.
    int Chosen() const { return chosen_; }
    // The key of an entry (empty for the display default and for an entry
    // out of range), the entry of a key (-1 when no entry has it), and the
    // config the entries of a config come from ("" for none).
    std::string KeyOf(int entry) const;
    int EntryOf(const std::string& key) const;
    std::string ConfigFile() const { return configError_.empty() ? configPath_ : std::string(); }
    // Null for display footage.
    const TFootageConversion* Conversion() const { return conversion_.get(); }
    const std::string& ConfigError() const { return configError_; }

private:
    std::string configPath_;
    std::string configError_;
    std::vector<TFootageSpaceEntry> spaces_;
    int chosen_ = 0;
    std::unique_ptr<TFootageConversion> conversion_;
    std::string previewFile_;  // the deep picture the preview shows, or ""
    TImage converted_;
};
