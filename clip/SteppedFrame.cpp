#include "clip/SteppedFrame.h"

#include "clip/ClipPicture.h"
#include "engine/picture/ImageResize.h"

namespace {

std::uint64_t PictureBytes(const TImage& picture) {
    return static_cast<std::uint64_t>(picture.Width()) * static_cast<std::uint64_t>(picture.Height()) * 3;
}

}  // namespace

std::uint64_t TSteppedFrame::Bytes() const {
    return PictureBytes(Picture) + PictureBytes(Preview) + PictureBytes(Copy);
}

TSteppedFrame MakeSteppedFrame(std::int64_t number, const TDeepImage& frame, const TSteppedSizes& sizes) {
    TSteppedFrame stepped;
    stepped.Number = number;
    stepped.Picture = ClipFrameToImage(frame);
    if (sizes.BoxWidth > 0 && sizes.BoxHeight > 0)
        stepped.Preview = FitImage(stepped.Picture, sizes.BoxWidth, sizes.BoxHeight);
    const bool ownSize = sizes.CopyWidth == frame.Width() && sizes.CopyHeight == frame.Height();
    if (sizes.CopyWidth > 0 && sizes.CopyHeight > 0 && !ownSize)
        ResizeImage(sizes.CopyWidth, sizes.CopyHeight, kLanczos3Filter, stepped.Copy, stepped.Picture, 0.0f);
    return stepped;
}
