#include "clip/ffmpeg/FfmpegClipJoin.h"

extern "C" {
#include <libavutil/mem.h>
}

#include <algorithm>

#include "clip/ffmpeg/FfmpegClipReader.h"
#include "clip/ffmpeg/FfmpegClipWriter.h"
#include "engine/base/Error.h"

namespace {

constexpr int kJoinIoBufferSize = 1 << 16;

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

bool SameBytes(const std::uint8_t* a, int aSize, const std::uint8_t* b, int bSize) {
    return aSize == bSize && (aSize == 0 || std::equal(a, a + aSize, b));
}

// The first coding parameter in which two video streams differ, or "".
std::string DifferingParameter(const AVCodecParameters& a, const AVCodecParameters& b) {
    if (a.codec_id != b.codec_id) return "codec";
    if (a.width != b.width || a.height != b.height) return "frame size";
    if (a.format != b.format) return "pixel format";
    if (a.profile != b.profile) return "profile";
    if (a.field_order != b.field_order) return "field order";
    if (a.color_range != b.color_range || a.color_primaries != b.color_primaries || a.color_trc != b.color_trc ||
        a.color_space != b.color_space)
        return "colour tags";
    if (av_cmp_q(a.sample_aspect_ratio, b.sample_aspect_ratio) != 0) return "pixel aspect ratio";
    if (!SameBytes(a.extradata, a.extradata_size, b.extradata, b.extradata_size)) return "codec header";
    return "";
}

// Parts of an intra-frame codec hold the very frames one render codes; a
// lossless codec (FFV1 carries its coder's state from frame to frame, but
// each part starts at a key frame) decodes to the same frames however coded.
bool JoinsExactly(const AVCodecDescriptor* codec) {
    if (codec == nullptr) return false;
    const bool lossless = (codec->props & AV_CODEC_PROP_LOSSLESS) && !(codec->props & AV_CODEC_PROP_LOSSY);
    return (codec->props & AV_CODEC_PROP_INTRA_ONLY) || lossless;
}

}  // namespace

TFfmpegClipJoin::TFfmpegClipJoin(const std::vector<TOpenClip>& parts, const TOpenClip& source,
                                 const std::string& outputName)
    : source_(source.Fd, source.Name), sourceName_(source.Name), outputName_(outputName) {
    if (parts.empty()) throw EError("no part to join");
    for (const TOpenClip& file : parts) OpenPart(file);
    std::stable_sort(parts_.begin(), parts_.end(),
                     [](const TPart& a, const TPart& b) { return a.Record.In < b.Record.In; });
    std::string fingerprint;
    std::int64_t size = 0;
    FingerprintFile(source.Fd, source.Name, size, fingerprint);
    for (std::size_t i = 0; i < parts_.size(); ++i) {
        const TPart& part = parts_[i];
        if (part.Record.SourceSize != size || part.Record.SourceFingerprint != fingerprint)
            throw EError(Quoted(part.Clip->Name()) + " was rendered from another file than " + Quoted(source.Name) +
                         " (their sizes or contents differ)");
        CheckPart(part);
        if (i > 0) CheckFollows(part, parts_[i - 1]);
    }
    joined_ = parts_.front().Record;
    joined_.Out = parts_.back().Record.Out;
    joined_.EndTime = parts_.back().Record.EndTime;
    if (joined_.EndTime >= 0) endTime_ = joined_.EndTime;
}

TFfmpegClipJoin::~TFfmpegClipJoin() {
    av_packet_free(&audio_);
    av_packet_free(&packet_);
    avformat_free_context(out_);
    if (io_ != nullptr) {
        av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
}

void TFfmpegClipJoin::OpenPart(const TOpenClip& file) {
    TPart part;
    part.Clip = std::make_unique<TInputClip>(file.Fd, file.Name);
    const auto record = ReadPartRecord(*part.Clip->Format(), file.Name);
    if (!record)
        throw EError(Quoted(file.Name) +
                     " records no range of a source (parts are rendered with --in/--out to .mov, .mp4 or .mkv)");
    part.Record = *record;
    parts_.push_back(std::move(part));
}

void TFfmpegClipJoin::CheckPart(const TPart& part) const {
    const std::string& name = part.Clip->Name();
    const AVCodecParameters& video = *part.Clip->Video()->codecpar;
    const AVCodecDescriptor* codec = avcodec_descriptor_get(video.codec_id);
    if (!JoinsExactly(codec))
        throw EError(Quoted(name) + ": its codec " + avcodec_get_name(video.codec_id) +
                     " codes frames from other frames, so joined parts would not give the frames of one render; "
                     "render such a clip whole, or its parts with an intra-frame codec (--codec prores_ks, dnxhd or "
                     "ffv1)");
    const AVFormatContext& format = *part.Clip->Format();
    for (unsigned i = 0; i < format.nb_streams; ++i) {
        const AVStream& stream = *format.streams[i];
        const AVMediaType type = stream.codecpar->codec_type;
        if (static_cast<int>(i) == part.Clip->VideoIndex() || type == AVMEDIA_TYPE_AUDIO || IsTimecodeTrack(stream))
            continue;
        throw EError(Quoted(name) + ": its stream " + std::to_string(i) + " (" +
                     (av_get_media_type_string(type) ? av_get_media_type_string(type) : "unknown") +
                     ") would be lost in the join");
    }
    const TPart& first = parts_.front();
    const std::string differing = DifferingParameter(*first.Clip->Video()->codecpar, video);
    if (!differing.empty())
        throw EError(Quoted(name) + ": its " + differing + " differs from " + Quoted(first.Clip->Name()) +
                     "'s; joined parts must have one codec and the same parameters");
    if (av_cmp_q(part.Record.TimeBase, first.Record.TimeBase) != 0)
        throw EError(Quoted(name) + ": its record of the source's time base differs from " +
                     Quoted(first.Clip->Name()) + "'s");
}

void TFfmpegClipJoin::CheckFollows(const TPart& part, const TPart& previous) const {
    const TPartRecord& now = part.Record;
    const TPartRecord& before = previous.Record;
    if (before.Out == now.In && before.EndTime == now.StartTime) return;
    throw EError(Quoted(part.Clip->Name()) + ": its frames " + FrameRangeText(now) + " do not follow on from " +
                 Quoted(previous.Clip->Name()) + "'s " + FrameRangeText(before));
}

void TFfmpegClipJoin::Write(int out) {
    OpenOutput(out);
    AddVideoStream();
    AddAudioStreams();
    CopyChapters();
    RecordPart(*out_, joined_);
    const int status = avformat_write_header(out_, nullptr);
    if (status < 0) RaiseClipError(outputName_, "the clip cannot be written", status);
    for (TPart& part : parts_) CopyPart(part);
    Finish();
}

void TFfmpegClipJoin::OpenOutput(int out) {
    const AVOutputFormat* container = av_guess_format(nullptr, outputName_.c_str(), nullptr);
    if (container == nullptr) throw EError(Quoted(outputName_) + ": no container is known for its extension");
    if (avformat_alloc_output_context2(&out_, container, nullptr, nullptr) < 0 || out_ == nullptr)
        throw EError(Quoted(outputName_) + ": out of memory");
    sink_.Fd = out;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kJoinIoBufferSize));
    io_ = buffer ? avio_alloc_context(buffer, kJoinIoBufferSize, 1, &sink_, nullptr, TFfmpegClipWriter::WriteBytes,
                                      TFfmpegClipWriter::SeekSink)
                 : nullptr;
    packet_ = av_packet_alloc();
    audio_ = av_packet_alloc();
    if (io_ == nullptr || packet_ == nullptr || audio_ == nullptr) {
        if (io_ == nullptr) av_free(buffer);
        throw EError(Quoted(outputName_) + ": out of memory");
    }
    out_->pb = io_;
    out_->flags |= AVFMT_FLAG_CUSTOM_IO;
}

void TFfmpegClipJoin::AddVideoStream() {
    const AVStream& first = *parts_.front().Clip->Video();
    const AVStream& source = *source_.Video();
    video_ = avformat_new_stream(out_, nullptr);
    if (video_ == nullptr || avcodec_parameters_copy(video_->codecpar, first.codecpar) < 0)
        throw EError(Quoted(outputName_) + ": out of memory");
    video_->codecpar->codec_tag = 0;
    video_->time_base = joined_.TimeBase;
    video_->avg_frame_rate = RateOf(source);
    video_->r_frame_rate = source.r_frame_rate;
    video_->sample_aspect_ratio = first.sample_aspect_ratio;
    video_->disposition = source.disposition;
    av_dict_copy(&video_->metadata, source.metadata, 0);
    av_dict_copy(&out_->metadata, source_.Format()->metadata, 0);
    // The first part's timecode is the source's moved to the range's start.
    const std::string timecode = parts_.front().Clip->Timecode();
    if (!timecode.empty()) {
        av_dict_set(&video_->metadata, "timecode", timecode.c_str(), 0);
        av_dict_set(&out_->metadata, "timecode", timecode.c_str(), 0);
    }
}

void TFfmpegClipJoin::AddAudioStreams() {
    AVFormatContext& format = *source_.Format();
    streamMap_.assign(format.nb_streams, -1);
    for (unsigned i = 0; i < format.nb_streams; ++i) {
        AVStream* in = format.streams[i];
        if (in->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) {
            in->discard = AVDISCARD_ALL;
            continue;
        }
        AVStream* copy = avformat_new_stream(out_, nullptr);
        if (copy == nullptr || avcodec_parameters_copy(copy->codecpar, in->codecpar) < 0)
            throw EError(Quoted(outputName_) + ": out of memory");
        copy->codecpar->codec_tag = 0;
        copy->time_base = in->time_base;
        copy->disposition = in->disposition;
        av_dict_copy(&copy->metadata, in->metadata, 0);
        streamMap_[i] = copy->index;
    }
}

void TFfmpegClipJoin::CopyChapters() {
    TFfmpegClipWriter::CopyChapters(*source_.Format(), *out_, joined_.StartTime, endTime_, outputName_);
}

void TFfmpegClipJoin::CopyPart(TPart& part) {
    TInputClip& clip = *part.Clip;
    const AVStream& in = *clip.Video();
    AVFormatContext& format = *clip.Format();
    for (unsigned i = 0; i < format.nb_streams; ++i)
        if (static_cast<int>(i) != clip.VideoIndex()) format.streams[i]->discard = AVDISCARD_ALL;
    // Each part's time stamps start where its range does; back on the
    // source's time line they continue the part before.
    const std::int64_t offset = part.Record.Shift - joined_.Shift;
    std::int64_t frames = 0;
    for (;;) {
        const int status = av_read_frame(&format, packet_);
        if (status == AVERROR_EOF) break;
        if (status < 0) RaiseClipError(clip.Name(), "it cannot be read", status);
        if (packet_->stream_index != clip.VideoIndex()) {
            av_packet_unref(packet_);
            continue;
        }
        if (frames++ == 0 && !(packet_->flags & AV_PKT_FLAG_KEY))
            throw EError(Quoted(clip.Name()) + " does not start at a key frame");
        av_packet_rescale_ts(packet_, in.time_base, joined_.TimeBase);
        if (packet_->pts != AV_NOPTS_VALUE) packet_->pts += offset;
        if (packet_->dts != AV_NOPTS_VALUE) packet_->dts += offset;
        av_packet_rescale_ts(packet_, joined_.TimeBase, video_->time_base);
        const std::int64_t time = packet_->dts != AV_NOPTS_VALUE ? packet_->dts : packet_->pts;
        if (time != AV_NOPTS_VALUE)
            CopyAudioUntil(av_rescale_q(time, video_->time_base, AV_TIME_BASE_Q) + joined_.StartTime);
        packet_->stream_index = video_->index;
        packet_->pos = -1;
        const int written = av_interleaved_write_frame(out_, packet_);
        if (written < 0) RaiseClipError(outputName_, "the clip cannot be written", written);
    }
    const TPartRecord& record = part.Record;
    if (record.Out >= 0 && frames != record.Out - record.In)
        throw EError(Quoted(clip.Name()) + " holds " + std::to_string(frames) + " frames where its range " +
                     FrameRangeText(record) + " has " + std::to_string(record.Out - record.In));
}

void TFfmpegClipJoin::CopyAudioUntil(std::int64_t until) {
    while (!audioDone_) {
        if (!audioHeld_) {
            const int status = av_read_frame(source_.Format(), audio_);
            if (status == AVERROR_EOF) {
                audioDone_ = true;
                return;
            }
            if (status < 0) RaiseClipError(sourceName_, "its audio cannot be read", status);
            if (streamMap_[audio_->stream_index] < 0) {
                av_packet_unref(audio_);
                continue;
            }
            audioHeld_ = true;
        }
        const AVStream& in = *source_.Format()->streams[audio_->stream_index];
        const std::int64_t stamp = audio_->pts != AV_NOPTS_VALUE ? audio_->pts : audio_->dts;
        const std::int64_t time = stamp == AV_NOPTS_VALUE ? 0 : av_rescale_q(stamp, in.time_base, AV_TIME_BASE_Q);
        if (time >= until) return;
        audioHeld_ = false;
        if (time < joined_.StartTime || time >= endTime_) {
            av_packet_unref(audio_);
            continue;
        }
        TFfmpegClipWriter::WriteCopiedPacket(*audio_, in, *out_, streamMap_[audio_->stream_index], joined_.StartTime,
                                             outputName_);
    }
}

void TFfmpegClipJoin::Finish() {
    CopyAudioUntil(endTime_);
    const int ended = av_write_trailer(out_);
    if (ended < 0) RaiseClipError(outputName_, "the clip cannot be written", ended);
    avio_flush(io_);
    if (io_->error < 0) RaiseClipError(outputName_, "the clip cannot be written", io_->error);
}
