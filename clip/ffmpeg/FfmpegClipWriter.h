#pragma once
#include <vector>

#include "clip/ClipModule.h"
#include "clip/ffmpeg/FfmpegInput.h"
#include "clip/ffmpeg/FfmpegPixels.h"

// Writes a graded clip: the video encoded in the source's codec family (or
// the encoder asked for), with the source's frame size, rate, time base,
// pixel format, colour tags, field order and side data; the packets of every
// other stream (audio, video, subtitles), the timecode and the chapters
// copied from a demuxer of its own over the source.
class TFfmpegClipWriter final : public TClipWriter {
public:
    TFfmpegClipWriter(int sourceFd, const std::string& sourceName, const TClipRenderSettings& settings, int out);
    ~TFfmpegClipWriter() override;

    void Write(const TDeepImage& image, std::int64_t number) override;
    void WriteAt(const TDeepImage& image, std::int64_t number, std::int64_t timestamp) override;
    void Finish() override;

    // The output's descriptor, written through the library's callbacks below.
    struct TSink {
        int Fd = -1;
    };
    static int WriteBytes(void* opaque, std::uint8_t* buffer, int size);
    static std::int64_t SeekSink(void* opaque, std::int64_t offset, int whence);
    // Copies the source's chapters over [start, end) (AV_TIME_BASE units of
    // its time; end INT64_MAX for the clip's end), moved to start at start.
    static void CopyChapters(const AVFormatContext& source, AVFormatContext& out, std::int64_t start, std::int64_t end,
                             const std::string& outputName);
    // Writes a packet of the copied source stream `in` to the output stream
    // `outIndex`, moved to start at `start` (AV_TIME_BASE units of the
    // source's time).
    static void WriteCopiedPacket(AVPacket& packet, const AVStream& in, AVFormatContext& out, int outIndex,
                                  std::int64_t start, const std::string& outputName);

private:
    void Open(int sourceFd, int out);
    void Release();
    void OpenEncoder();
    void AddVideoStream();
    // Adds a stream copied from the source for every stream besides the
    // video: audio, a second video stream, subtitles, attachments. EError
    // naming the stream for one the container cannot hold (or one that
    // cannot be cut to the range), so that no stream is left out unsaid.
    void AddCopiedStreams();
    // Whether the source stream is copied (false for the timecode track,
    // which the timecode gives again).
    bool Carried(const AVStream& in) const;
    // Copies the stream's side data (the display matrix of a rotated clip,
    // mastering display, stereo 3D, ...), except what an encoder states.
    void CopySideData(const AVStream& from, AVStream& to);
    void CopyChapters();
    // A render over a range records it and its source, so parts can be joined.
    void RecordRange(int sourceFd);
    void WriteHeader();
    void WriteAttachedPictures();
    // Marks a frame as interlaced, in the field order of the encoder.
    void MarkFields(AVFrame& frame) const;
    // Writes the encoder's packets; with `flushing` the encoder is emptied.
    void WritePackets();
    // Copies the audio packets that start before `until` (AV_TIME_BASE units).
    void CopyAudioUntil(std::int64_t until);
    std::string ShiftedTimecode() const;

    TInputClip source_;
    TClipRenderSettings settings_;
    std::string outputName_;
    TSink sink_;
    AVIOContext* io_ = nullptr;
    AVFormatContext* out_ = nullptr;
    const AVCodec* codec_ = nullptr;
    AVCodecContext* encoder_ = nullptr;
    AVStream* video_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVPacket* audio_ = nullptr;
    bool audioHeld_ = false;
    bool audioDone_ = false;
    std::vector<int> streamMap_;  // output stream of each source stream, or -1
    TFrameConverter converter_;
    TYCbCrCoding coding_;
    AVRational frameTime_{1, 25};
    std::int64_t firstPts_ = 0;              // of the source's video stream
    std::int64_t shift_ = 0;                 // taken from every time stamp, in the video stream's time base
    std::int64_t endTime_ = 0;               // AV_TIME_BASE units in the source's time; INT64_MAX for the clip's end
    std::int64_t shiftTime_ = 0;             // shift_ in AV_TIME_BASE units
    std::int64_t timestamp_ = kNoTimestamp;  // the source's time of the frame WriteAt writes
};
