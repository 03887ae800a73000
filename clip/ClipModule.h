#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/picture/DeepImage.h"
#include "engine/picture/Image.h"

// The decoding and encoding of clips, done by FFmpeg's libraries in the
// module "ombrane-ffmpeg.so". ClipFile.h is the interface the program uses;
// this is the narrow road between it and the module.

// What a clip's video stream is.
struct TClipInfo {
    int Width = 0;
    int Height = 0;
    int Bits = 8;             // the depth of its samples
    std::int64_t Frames = 0;  // as the container declares or estimates it; 0 when unknown
    int RateNumerator = 25;   // frames a second as a fraction
    int RateDenominator = 1;
    std::string Codec;          // the library's name of the codec ("prores", "h264", ...)
    std::string PixelFormat;    // the library's name of the pixel format
    std::string Colour;         // the conversion taken, e.g. "BT.709 limited"
    std::string StartTimecode;  // "HH:MM:SS:FF" when the file gives one, else ""
    // How the frames are stored: "" for progressive frames, else the field
    // that comes first, "top first" or "bottom first".
    std::string FieldOrder;
    bool HasAlpha = false;  // the frames carry an alpha channel
    // Each frame is decoded on its own (no frame depends on others), so a
    // seek costs no more than the frame sought.
    bool FramesStandAlone = false;
};

// The timestamp of a frame that has none.
inline constexpr std::int64_t kNoTimestamp = INT64_MIN;

// The frames of one clip in order, from any frame on.
class TClipReader {
public:
    virtual ~TClipReader() = default;
    virtual const TClipInfo& Info() const = 0;
    // Makes `frame` the next one Read gives (counted from 0 as the decoder
    // gives them). EError when the clip cannot be read there.
    virtual void Seek(std::int64_t frame) = 0;
    // Puts the next frame in `image` (RGB at float precision, Depth.Bits the
    // clip's depth) and its number in `number`; false after the last one.
    // EError naming the file and the frame for a frame that cannot be decoded.
    virtual bool Read(TDeepImage& image, std::int64_t& number) = 0;
    // The timestamp of the frame Read gave last, in the clip's own time
    // base; kNoTimestamp when the clip has none.
    virtual std::int64_t Timestamp() const { return kNoTimestamp; }
    // The timestamp of frame `number` (of the end of the clip for the
    // number after the last frame); kNoTimestamp when the clip has none.
    virtual std::int64_t TimestampOf(std::int64_t) { return kNoTimestamp; }
    // The frame shown at `seconds` after the first one: the last frame whose
    // time is at most that (frame 0 before it).
    virtual std::int64_t FrameAt(double seconds) {
        const double frames = seconds * Info().RateNumerator / Info().RateDenominator;
        return static_cast<std::int64_t>(frames + 1e-6);
    }
    // The same frame as the viewer shows it while playing: a 24-bit picture
    // of width x height (at most the clip's size), made in one pass from the
    // decoder's planes with bilinear scaling; at the clip's own size the
    // same bytes as Read's frame rounded to 8 bits. Clips with alpha and
    // image sequences are read on the exact road by TClip instead: their
    // readers need not give it.
    virtual bool ReadPicture(TImage& picture, int width, int height, std::int64_t& number) {
        (void)picture, (void)width, (void)height, (void)number;
        return false;
    }
};

// How a graded clip is written.
struct TClipRenderSettings {
    std::string OutputName;  // names the file in messages and chooses the container by its extension
    std::string Codec;       // an encoder's name; "" for the input's codec family
    int Crf = -1;            // for encoders with a constant-rate factor; -1 for the family's default
    std::int64_t In = 0;     // the first frame written
    std::int64_t Out = -1;   // the frame after the last written; -1 for the clip's end
    // The reader's timestamps of frames In and Out; kNoTimestamp for times
    // taken at the clip's rate.
    std::int64_t InTime = kNoTimestamp;
    std::int64_t OutTime = kNoTimestamp;
};

// Writes a graded clip: the frames given to Write, encoded; every audio
// stream, the timecode and the chapters of the source copied over the range.
class TClipWriter {
public:
    virtual ~TClipWriter() = default;
    // The frame of the source numbered `number`, graded.
    virtual void Write(const TDeepImage& image, std::int64_t number) = 0;
    // The same frame written at the timestamp its reader gave it.
    virtual void WriteAt(const TDeepImage& image, std::int64_t number, std::int64_t) { Write(image, number); }
    // Flushes the encoder, copies the rest of the audio and ends the file.
    virtual void Finish() = 0;
};

// A file open for reading and the name messages give it.
struct TOpenClip {
    int Fd = -1;
    std::string Name;
};

class TClipModule {
public:
    virtual ~TClipModule() = default;
    // Opens a clip from an open regular file (which the reader reads with
    // pread and never closes); fileName names it in messages. EError for a
    // file that is no clip the library reads, or is damaged.
    virtual std::unique_ptr<TClipReader> Open(int fd, const std::string& fileName) const = 0;
    // A writer of the clip open in a second reader of the same file to the
    // descriptor `out` (written from its start, seekable).
    virtual std::unique_ptr<TClipWriter> CreateWriter(int sourceFd, const std::string& sourceName,
                                                      const TClipRenderSettings& settings, int out) const = 0;
    // The picture as the clip's pixel format and colour conversion store it
    // and give it back: what a frame becomes once written and read again.
    virtual TDeepImage StoredAndRead(const TDeepImage& image, int sourceFd, const std::string& sourceName) const = 0;
    // The source a clip rendered over a range of frames records: its
    // absolute name when the part was rendered; "" when the clip records
    // none. EError naming the file for a file that is no clip.
    virtual std::string RecordedSource(int fd, const std::string& fileName) const = 0;
    // Joins clips rendered over contiguous ranges of one source's frames
    // (given in any order) into the clip one render of the whole range
    // gives, written to `out` (from its start, seekable): the parts' coded
    // frames copied, the source's audio copied once over the range, its
    // timecode and chapters as that render has them. EError naming the part
    // that is not of this source, leaves a gap or overlaps, differs in codec
    // or parameters from the first, has lost frames, or is coded from other
    // frames (long-GOP parts joined would not equal one render).
    virtual void Join(const std::vector<TOpenClip>& parts, const TOpenClip& source, const std::string& outputName,
                      int out) const = 0;
};

// The module's entry: a C function with this name returning the module and
// putting this interface's version where its argument points.
inline constexpr const char* kClipModuleEntry = "OmbraneClipModule";
inline constexpr int kClipModuleVersion = 2;

// The module, loaded the first time. EError when it is missing.
const TClipModule& ClipModule();
