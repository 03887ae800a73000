#pragma once
#include <cstdint>

#include "engine/picture/DeepImage.h"
#include "engine/picture/Image.h"

// A paused frame of a clip as the window shows it, made on the exact road
// wherever it is made (in the background ahead of a step, or when the step
// asks for it): the 24-bit picture at the clip's own size, its fit into the
// preview box, and the viewer's copy of it. Either of the two smaller
// pictures may be left empty, to be made by whoever reads it.
struct TSteppedFrame {
    std::int64_t Number = -1;
    TImage Picture;
    TImage Preview;
    TImage Copy;

    std::uint64_t Bytes() const;
};

// The sizes the pictures of a stepped frame are made at: the preview box
// and the size of the viewer's copy (none when empty, or when it is the
// frame's own size, where the copy is the picture itself).
struct TSteppedSizes {
    int BoxWidth = 0, BoxHeight = 0;
    int CopyWidth = 0, CopyHeight = 0;
};

// The frame's pictures: its 24-bit picture (ClipFrameToImage), the fit of
// that picture into the box (FitImage) and the copy resampled from it with
// Lanczos3 at the copy's size, as the viewer's working copy makes it.
TSteppedFrame MakeSteppedFrame(std::int64_t number, const TDeepImage& frame, const TSteppedSizes& sizes);
// The same frame made into `stepped`, in the memory its pictures hold where
// it fits (a frame let go by the cache, made again for another number).
void RemakeSteppedFrame(TSteppedFrame& stepped, std::int64_t number, const TDeepImage& frame,
                        const TSteppedSizes& sizes);
