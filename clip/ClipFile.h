#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "clip/ClipModule.h"
#include "engine/picture/DeepImage.h"

// Clips (ProRes, DNxHD/HR, H.264, HEVC, FFV1, MJPEG, ... in .mov, .mp4,
// .mkv, .mxf or .avi files) read through the module of ClipModule.h, which
// is loaded the first time a clip is opened; nothing here loads it before.
//
// A frame comes at the clip's own depth: RGB floats converted from the
// stream's Y'CbCr by the formulas of YCbCrCoding.h, as its tags say (BT.601,
// BT.709 or BT.2020; limited or full range; untagged HD as BT.709 limited).

// The file name's extension (any case) is one of a clip, or the name opens
// as an image sequence (ImageSequence.h).
bool IsClipName(const std::string& fileName);
// The extensions (without the dot) of clips, in the order messages give them.
const std::vector<std::string>& ClipExtensions();

// A frame named by the user: a frame number ("120"), a timecode from the
// clip's start ("00:00:05:12") or seconds ("2.5s").
struct TFrameChoice {
    enum class TKind { Number, Timecode, Seconds } Kind = TKind::Number;
    std::int64_t Number = 0;
    int Hours = 0, Minutes = 0, Seconds = 0, Frames = 0;
    double Time = 0;
    std::string Text = "0";
};
// EError with a message for the command line when the text is none of these.
TFrameChoice ParseFrameChoice(const std::string& text);
// The frame number at the clip's rate: a timecode or seconds give the frame
// at round(t x rate).
std::int64_t FrameNumberOf(const TFrameChoice& choice, const TClipInfo& info);
// The time of a timecode or seconds from the clip's first frame, in
// seconds: a timecode counts frames at the clip's rate rounded up to a
// whole number, as FrameTimecode writes them. EError for a timecode that
// counts more frames than a second holds.
double FrameTimeOf(const TFrameChoice& choice, const TClipInfo& info);
// "HH:MM:SS:FF" of a frame number at the clip's rate (frames counted at the
// rate rounded up to a whole number, without dropped frames).
std::string FrameTimecode(std::int64_t number, const TClipInfo& info);

// An open clip. The file is opened once, as a regular file only; an image
// sequence's files are each read when their frame is.
class TClip {
public:
    explicit TClip(const std::string& fileName);
    ~TClip();
    TClip(const TClip&) = delete;
    TClip& operator=(const TClip&) = delete;

    const std::string& Name() const { return name_; }
    const TClipInfo& Info() const { return reader_->Info(); }
    // The clip file; -1 for an image sequence.
    int Descriptor() const { return fd_; }

    // The frame of that number. EError naming the file when the clip has
    // no such frame or it cannot be decoded.
    TDeepImage Frame(std::int64_t number);
    // The frames in order from `number` on.
    void Seek(std::int64_t number);
    bool Next(TDeepImage& image, std::int64_t& number);
    // The timestamp of the frame Next gave last, and of frame `number` (of
    // the clip's end for the number after its last frame), in the clip's
    // own time base; kNoTimestamp when the clip has none.
    std::int64_t Timestamp() const { return reader_->Timestamp(); }
    std::int64_t TimestampOf(std::int64_t number);
    // The number of the chosen frame: a timecode or seconds choose the last
    // frame whose time is at most that, frames of variable rate too.
    std::int64_t NumberOf(const TFrameChoice& choice);
    // The next frame as the viewer shows it while playing: 24 bits, scaled
    // to width x height (see TClipReader::ReadPicture).
    bool NextPicture(TImage& picture, int width, int height, std::int64_t& number);

private:
    std::string name_;
    int fd_ = -1;
    std::unique_ptr<TClipReader> reader_;
    std::int64_t next_ = -1;  // the number Next would give without a seek, or -1
};

// The chosen frame of the clip file.
TDeepImage LoadClipFrame(const std::string& fileName, const TFrameChoice& choice);
