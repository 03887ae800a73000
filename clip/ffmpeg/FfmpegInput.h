#pragma once
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <atomic>
#include <cstdint>
#include <string>

// Pieces the clip module's reader and writer share.

// The library's reason for an error code, with the last error it logged
// (its own words, which say more than the code) where there is one.
std::string LibraryReason(int code);
// How many errors the library's decoders have logged so far: some of them
// (a slice's check sum that does not match) report damage only so.
std::uint64_t DecoderErrorCount();
// Makes the library quiet on stderr and keeps its last error message for
// LibraryReason. Safe to call more than once.
void QuietLibrary();

// A data stream of QuickTime timecode, which the muxer writes again from
// the timecode the output is given.
inline bool IsTimecodeTrack(const AVStream& stream) {
    return stream.codecpar->codec_type == AVMEDIA_TYPE_DATA && stream.codecpar->codec_tag == MKTAG('t', 'm', 'c', 'd');
}

// A demuxer reading an open file with pread, so that any number of them can
// read one descriptor; the file is never closed here. Only the demuxers of
// the clip containers read it, and nothing besides it is ever opened. EError
// naming the file when the library cannot make a clip of it.
class TInputClip {
public:
    TInputClip(int fd, const std::string& fileName);
    ~TInputClip();
    TInputClip(const TInputClip&) = delete;
    TInputClip& operator=(const TInputClip&) = delete;

    AVFormatContext* Format() const { return format_; }
    // The index of the first video stream (not a cover picture).
    int VideoIndex() const { return video_; }
    AVStream* Video() const { return format_->streams[video_]; }
    const std::string& Name() const { return name_; }
    // The start timecode of the video stream, of the file or of a timecode
    // stream, or "".
    std::string Timecode() const;
    // Makes the first packet of the video stream the next one read.
    void Rewind();
    // How many errors the demuxer has logged so far (damaged parts of the
    // file it passed over to go on reading).
    std::uint64_t DemuxerErrors() const { return demuxerErrors_.load(); }

private:
    struct TSource {
        int Fd = -1;
        std::int64_t Offset = 0;
        std::int64_t Size = 0;
    };
    // The demuxer the file's content asks for, when it is one of the
    // containers clips come in; else EError naming the file.
    const AVInputFormat* ChooseDemuxer();
    void Open(const AVInputFormat* demuxer);
    void Close();
    static int ReadPacket(void* opaque, std::uint8_t* buffer, int size);
    static std::int64_t Seek(void* opaque, std::int64_t offset, int whence);

    TSource source_;
    std::string name_;
    AVIOContext* io_ = nullptr;
    AVFormatContext* format_ = nullptr;
    int video_ = -1;
    std::atomic<std::uint64_t> demuxerErrors_{0};
};

// An error naming the file: "\"NAME\": WHAT: REASON".
[[noreturn]] void RaiseClipError(const std::string& fileName, const std::string& what, int code);
