#pragma once
#include <memory>

#include "clip/ClipModule.h"
#include "clip/ffmpeg/FfmpegDisplayFrame.h"
#include "clip/ffmpeg/FfmpegFrameIndex.h"
#include "clip/ffmpeg/FfmpegInput.h"
#include "clip/ffmpeg/FfmpegPixels.h"

// The frames of a clip's first video stream, decoded by the library and
// converted to RGB by the formulas of FfmpegPixels.h.
class TFfmpegClipReader final : public TClipReader {
public:
    TFfmpegClipReader(int fd, const std::string& fileName);
    ~TFfmpegClipReader() override;

    const TClipInfo& Info() const override { return info_; }
    void Seek(std::int64_t frame) override;
    bool Read(TDeepImage& image, std::int64_t& number) override;
    std::int64_t Timestamp() const override { return untimed_ ? kNoTimestamp : timestamp_; }
    std::int64_t TimestampOf(std::int64_t number) override;
    std::int64_t FrameAt(double seconds) override;
    bool ReadPicture(TImage& picture, int width, int height, std::int64_t& number) override;

    const TYCbCrCoding& Coding() const { return coding_; }
    AVPixelFormat PixelFormat() const { return static_cast<AVPixelFormat>(input_.Video()->codecpar->format); }

private:
    // The next decoded frame in frame_, false at the end.
    bool Decode();
    // The next frame from the one wanted on in frame_, checked whole, and
    // its number; false after the last one.
    bool NextWanted(std::int64_t& number);
    // The conversion of the frame in frame_.
    TYCbCrCoding FrameCoding() const;
    // Frame `frame` is reached sooner by decoding on than by a seek (without
    // an index, a clip whose frames depend on others decodes on a little way).
    bool DecodesOnTo(std::int64_t frame) const;
    static constexpr std::int64_t kMostDecodedOn = 48;
    // The next packet of the video stream to decode in packet_, false at
    // the end of the file or of what can be read before a damaged part.
    bool NextPacket();
    // Whether packet_ is the key frame a seek goes to.
    bool AtKey();
    // Whether packet_ is a frame shown before the key frame a seek went to.
    bool Leading();
    void Restart();
    void SeekToStart();
    const TFfmpegFrameIndex& Index();
    // False for a frame before the one a seek went to.
    bool Aligned(std::int64_t pts);
    void CheckInIndex(std::int64_t number, std::int64_t pts) const;
    void CheckComplete() const;
    [[noreturn]] void RaiseMissing(std::int64_t number) const;

    int fd_;
    TInputClip input_;
    AVCodecContext* decoder_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    TFrameConverter converter_;
    TDisplayFrame display_;
    TClipInfo info_;
    TYCbCrCoding coding_;
    bool declaredCount_ = false;
    std::int64_t firstPts_ = 0;
    std::shared_ptr<const TFfmpegFrameIndex> index_;  // made at the first seek
    std::int64_t counter_ = 0;                        // the number of the next frame decoded
    std::int64_t wanted_ = 0;                         // frames before this one are passed over
    std::int64_t timestamp_ = kNoTimestamp;           // of the frame read last
    std::int64_t lastEnd_ = kNoTimestamp;             // the time after the frame decoded last
    // After a seek: packets are passed over up to the key frame at this
    // position (or of this timestamp where positions are unknown), and
    // frames shown before it; the first frame after is alignedNumber_.
    bool skipping_ = false, aligning_ = false, pastEnd_ = false, rewound_ = false, leading_ = false;
    // Frames without their own time to be shown: numbered in the order
    // decoded, and written at times their numbers give.
    bool untimed_ = false;
    bool lost_ = false;  // the demuxer has been moved: seek before reading on
    std::int64_t keyPosition_ = -1, keyPts_ = 0, alignedNumber_ = 0;
    bool damaged_ = false;  // the demuxer passed over a damaged part
    bool draining_ = false;
    std::uint64_t errorsSeen_ = DecoderErrorCount();
    std::uint64_t demuxerErrorsSeen_ = 0;
};

// The stream's frame rate: its average, else its base rate, else 25.
AVRational RateOf(const AVStream& stream);
// How a stream's frames are stored, as TClipInfo::FieldOrder names it: ""
// for progressive (or unknown) frames, else "top first" or "bottom first",
// the field stored first (as the library's own tools take TB and BT).
std::string FieldOrderName(AVFieldOrder order);
