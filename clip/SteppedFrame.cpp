#include "clip/SteppedFrame.h"

#include "clip/ClipPicture.h"
#include "engine/picture/ImageResize.h"

namespace {

std::uint64_t PictureBytes(const TImage& picture) {
    return static_cast<std::uint64_t>(picture.Width()) * static_cast<std::uint64_t>(picture.Height()) * 3;
}

// The picture fitted into the box as FitImage fits it (none without a box).
void PutFit(const TImage& picture, int boxWidth, int boxHeight, TImage& fitted) {
    if (boxWidth <= 0 || boxHeight <= 0) {
        fitted = TImage();
        return;
    }
    int width = 0, height = 0;
    FitToBox(picture.Width(), picture.Height(), boxWidth, boxHeight, width, height);
    if (width == picture.Width() && height == picture.Height())
        fitted = picture.Clone();
    else
        ResizeImage(width, height, kLanczos3Filter, fitted, picture, 0.0f);
}

}  // namespace

std::uint64_t TSteppedFrame::Bytes() const {
    return PictureBytes(Picture) + PictureBytes(Preview) + PictureBytes(Copy);
}

TSteppedFrame MakeSteppedFrame(std::int64_t number, const TDeepImage& frame, const TSteppedSizes& sizes) {
    TSteppedFrame stepped;
    RemakeSteppedFrame(stepped, number, frame, sizes);
    return stepped;
}

void RemakeSteppedFrame(TSteppedFrame& stepped, std::int64_t number, const TDeepImage& frame,
                        const TSteppedSizes& sizes) {
    stepped.Number = number;
    PutClipFrameToImage(frame, stepped.Picture);
    PutFit(stepped.Picture, sizes.BoxWidth, sizes.BoxHeight, stepped.Preview);
    const bool ownSize = sizes.CopyWidth == frame.Width() && sizes.CopyHeight == frame.Height();
    if (sizes.CopyWidth > 0 && sizes.CopyHeight > 0 && !ownSize)
        ResizeImage(sizes.CopyWidth, sizes.CopyHeight, kLanczos3Filter, stepped.Copy, stepped.Picture, 0.0f);
    else
        stepped.Copy = TImage();
}
