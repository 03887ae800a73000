#pragma once
#include <memory>

#include "clip/ClipModule.h"
#include "clip/ffmpeg/FfmpegDisplayFrame.h"
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
    std::int64_t NumberOf(const AVFrame& frame) const;
    void Restart();
    // Frame `frame` is reached sooner by decoding on than by a seek (without
    // an index, a clip whose frames depend on others decodes on a little way).
    bool DecodesOnTo(std::int64_t frame) const;
    static constexpr std::int64_t kMostDecodedOn = 48;
    void CheckComplete() const;

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
    std::int64_t counter_ = 0;  // the number of the next frame when timestamps are missing
    std::int64_t wanted_ = 0;   // frames before this one are passed over
    bool draining_ = false;
    std::uint64_t errorsSeen_ = DecoderErrorCount();
};

// The stream's frame rate: its average, else its base rate, else 25.
AVRational RateOf(const AVStream& stream);
