#pragma once
#include <cstdint>

#include "clip/ClipModule.h"
#include "clip/ImageSequence.h"

// The frames of an image sequence, read as a clip's are: each file through
// the picture loaders at its own depth (10/12/16-bit DPX, half or float EXR,
// TIFF, PNG, ...; 8-bit types widened), one file at a time, so memory does
// not grow with the sequence. The first file gives the size; a frame of
// another size is refused naming its file.
class TSequenceReader final : public TClipReader {
public:
    // Lists the run and reads its first frame. EError for a missing file
    // (naming it) or a first file that is no picture.
    TSequenceReader(const TSequencePattern& pattern, const TSequenceRate& rate);

    const TClipInfo& Info() const override { return info_; }
    void Seek(std::int64_t frame) override;
    bool Read(TDeepImage& image, std::int64_t& number) override;

    // The file of a frame counted from 0.
    std::string FrameFile(std::int64_t frame) const { return pattern_.FileName(FileNumber(frame)); }
    // The number in the file name of a frame counted from 0.
    std::int64_t FileNumber(std::int64_t frame) const { return run_.First + frame; }

private:
    TDeepImage Load(std::int64_t frame);

    TSequencePattern pattern_;
    TSequenceRun run_;
    TClipInfo info_;
    TDeepImage first_;  // frame 0, read to learn the size, until Read gives it
    std::int64_t next_ = 0;
};
