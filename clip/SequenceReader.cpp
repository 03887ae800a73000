#include "clip/SequenceReader.h"

#include <utility>

#include "engine/base/Error.h"
#include "imageio/GradedPictureFile.h"

namespace {

std::string SizeText(int width, int height) { return std::to_string(width) + " x " + std::to_string(height); }

// How the samples of a frame are stored, for the clip's information.
std::string SampleText(const TPictureDepth& depth) {
    switch (depth.Kind) {
        case TSampleKind::Half:
            return "half float";
        case TSampleKind::Float:
            return "float";
        case TSampleKind::Integer:
            break;
    }
    return std::to_string(depth.Bits) + "-bit";
}

}  // namespace

TSequenceReader::TSequenceReader(const TSequencePattern& pattern, const TSequenceRate& rate)
    : pattern_(pattern), run_(FindSequenceRun(pattern)) {
    first_ = LoadNamedDeepPicture(FrameFile(0));
    info_.Width = first_.Width();
    info_.Height = first_.Height();
    info_.Bits = first_.Depth.Bits;
    info_.Frames = run_.Count;
    info_.RateNumerator = rate.Numerator;
    info_.RateDenominator = rate.Denominator;
    info_.Codec = first_.Depth.Format;
    info_.FramesStandAlone = true;
    info_.PixelFormat = SampleText(first_.Depth) + " RGB";
    info_.HasAlpha = first_.HasAlpha();
}

void TSequenceReader::Seek(std::int64_t frame) {
    if (frame < 0) throw EError("the sequence \"" + pattern_.Text() + "\" has no frame " + std::to_string(frame));
    next_ = frame;
}

bool TSequenceReader::Read(TDeepImage& image, std::int64_t& number) {
    if (next_ >= run_.Count) return false;
    image = Load(next_);
    number = next_++;
    return true;
}

TDeepImage TSequenceReader::Load(std::int64_t frame) {
    if (frame == 0 && !first_.Empty()) return std::exchange(first_, TDeepImage());
    const std::string file = FrameFile(frame);
    TDeepImage image = LoadNamedDeepPicture(file);
    if (image.Width() != info_.Width || image.Height() != info_.Height)
        throw EError("\"" + file + "\" is " + SizeText(image.Width(), image.Height()) + ", not " +
                     SizeText(info_.Width, info_.Height) + " as the sequence's first frame \"" + FrameFile(0) + "\"");
    return image;
}
