#pragma once
#include <memory>
#include <string>
#include <vector>

#include "clip/ClipModule.h"
#include "clip/ffmpeg/FfmpegClipWriter.h"
#include "clip/ffmpeg/FfmpegInput.h"
#include "clip/ffmpeg/FfmpegPartRecord.h"

// Joins clips rendered over ranges of one source into the clip a render of
// the whole range gives (TClipModule::Join): every part is checked before
// anything is written, then the parts' video packets are copied in order of
// their ranges, their time stamps put back on the source's time line, with
// the source's audio packets over the range between them.
class TFfmpegClipJoin {
public:
    TFfmpegClipJoin(const std::vector<TOpenClip>& parts, const TOpenClip& source, const std::string& outputName);
    ~TFfmpegClipJoin();
    TFfmpegClipJoin(const TFfmpegClipJoin&) = delete;
    TFfmpegClipJoin& operator=(const TFfmpegClipJoin&) = delete;

    // Writes the joined clip to `out`, from its start.
    void Write(int out);

private:
    struct TPart {
        std::unique_ptr<TInputClip> Clip;
        TPartRecord Record;
    };
    void OpenPart(const TOpenClip& file);
    void CheckPart(const TPart& part) const;
    void CheckFollows(const TPart& part, const TPart& previous) const;
    void OpenOutput(int out);
    void AddVideoStream();
    void AddAudioStreams();
    void CopyChapters();
    void CopyPart(TPart& part);
    // Copies the source's audio packets that start before `until` (AV_TIME_BASE units).
    void CopyAudioUntil(std::int64_t until);
    void Finish();

    std::vector<TPart> parts_;
    TInputClip source_;
    std::string sourceName_;
    std::string outputName_;
    TPartRecord joined_;  // the range of the whole
    std::int64_t endTime_ = INT64_MAX;
    TFfmpegClipWriter::TSink sink_;
    AVIOContext* io_ = nullptr;
    AVFormatContext* out_ = nullptr;
    AVStream* video_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVPacket* audio_ = nullptr;
    bool audioHeld_ = false;
    bool audioDone_ = false;
    std::vector<int> streamMap_;  // output stream of each source stream, or -1
};
