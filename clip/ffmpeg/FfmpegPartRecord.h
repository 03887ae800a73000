#pragma once
extern "C" {
#include <libavformat/avformat.h>
}

#include <cstdint>
#include <optional>
#include <string>

// What a clip rendered over a range of its source's frames records in its
// container's metadata, so that parts rendered apart (on other machines,
// at other times) can be joined into the clip one render would have given.
struct TPartRecord {
    std::string Source;             // the source's absolute file name when rendered
    std::int64_t SourceSize = 0;    // its size in bytes
    std::string SourceFingerprint;  // SHA-256 of its size, first and last MiB (hex)
    std::int64_t In = 0;            // the first frame of the source rendered
    std::int64_t Out = -1;          // the frame after the last; -1 for the source's end
    std::int64_t Shift = 0;         // taken from the source's video time stamps, in TimeBase
    AVRational TimeBase{1, 1};      // of the source's video stream
    std::int64_t StartTime = 0;     // the source's time the part covers (audio, chapters),
    std::int64_t EndTime = -1;      // in AV_TIME_BASE units; -1 for the source's end
};

// The size and fingerprint of an open file, read with pread. EError naming
// the file when it cannot be read.
void FingerprintFile(int fd, const std::string& fileName, std::int64_t& size, std::string& fingerprint);

// A record naming the source (absolutely) with its size and fingerprint;
// the range is left for the caller.
TPartRecord SourceRecord(int fd, const std::string& fileName);

// Puts the record in the output's metadata (before its header is written);
// a QuickTime or MP4 output is told to keep metadata of any name.
void RecordPart(AVFormatContext& out, const TPartRecord& record);

// The record in a clip's metadata, or nothing when it holds none; EError
// naming the file when it holds a damaged one.
std::optional<TPartRecord> ReadPartRecord(const AVFormatContext& in, const std::string& fileName);

// "48-96", or "48-" for a part that runs to the source's end.
std::string FrameRangeText(const TPartRecord& record);
