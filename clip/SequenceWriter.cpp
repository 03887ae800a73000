#include "clip/SequenceWriter.h"

#include "engine/base/Error.h"
#include "imageio/DeepImageFile.h"
#include "imageio/PictureFormats.h"

namespace {

TSequencePattern OutputPattern(const std::string& name) {
    auto pattern = TSequencePattern::Parse(name);
    if (!pattern || !IsPictureName(name, TPictureRole::Written))
        throw EError("\"" + name + "\" names no image sequence written (like out.%04d.exr)");
    return *pattern;
}

}  // namespace

TSequenceWriter::TSequenceWriter(const std::string& outputPattern) : pattern_(OutputPattern(outputPattern)) {}

void TSequenceWriter::Write(const TDeepImage& image, std::int64_t number) const {
    const std::string file = FileName(number);
    SaveDeepImageFile(file, image, OutputDepthFor(file, image.Depth));
}

bool IsSequenceOutputName(const std::string& name) {
    return name.find_first_of("%#") != std::string::npos && IsPictureName(name, TPictureRole::Written) &&
           TSequencePattern::Parse(name).has_value();
}
