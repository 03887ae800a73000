#include "clip/ffmpeg/FfmpegClipWriter.h"

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libavutil/timecode.h>
}

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <utility>

#include "clip/ffmpeg/FfmpegClipReader.h"
#include "clip/ffmpeg/FfmpegPartRecord.h"
#include "engine/base/Error.h"

namespace {

constexpr int kWriterIoBufferSize = 1 << 16;

// The encoder of each codec family, and its constant-rate factor.
struct TFamily {
    AVCodecID Source;
    const char* Encoder;
    int Crf;           // -1: the encoder takes none
    bool SameProfile;  // the source's profile is passed on
};

constexpr TFamily kFamilies[] = {
    {AV_CODEC_ID_PRORES, "prores_ks", -1, true}, {AV_CODEC_ID_DNXHD, "dnxhd", -1, true},
    {AV_CODEC_ID_FFV1, "ffv1", -1, false},       {AV_CODEC_ID_H264, "libx264", 16, false},
    {AV_CODEC_ID_HEVC, "libx265", 18, false},
};

const TFamily* FamilyOf(AVCodecID codec) {
    for (const TFamily& family : kFamilies)
        if (family.Source == codec) return &family;
    return nullptr;
}

AVPixelFormat ChooseFormat(const AVCodec& codec, AVPixelFormat source) {
    if (codec.pix_fmts == nullptr) return source;
    for (const AVPixelFormat* format = codec.pix_fmts; *format != AV_PIX_FMT_NONE; ++format)
        if (*format == source) return source;
    // Losing the alpha channel counts against a format when the source has one.
    return avcodec_find_best_pix_fmt_of_list(codec.pix_fmts, source, FormatHasAlpha(source) ? 1 : 0, nullptr);
}

bool IsInterlaced(AVFieldOrder order) {
    return order == AV_FIELD_TT || order == AV_FIELD_BB || order == AV_FIELD_TB || order == AV_FIELD_BT;
}

// The stream kind as messages name it.
std::string KindName(AVMediaType type) {
    const char* name = av_get_media_type_string(type);
    return name != nullptr ? name : "unknown";
}

// What a stream holds, for messages: its codec, or an attachment's file name.
std::string ContentName(const AVStream& stream) {
    if (stream.codecpar->codec_id != AV_CODEC_ID_NONE) return avcodec_get_name(stream.codecpar->codec_id);
    const AVDictionaryEntry* file = av_dict_get(stream.metadata, "filename", nullptr, 0);
    return file != nullptr ? std::string(file->value) : "no codec";
}

}  // namespace

int TFfmpegClipWriter::WriteBytes(void* opaque, std::uint8_t* buffer, int size) {
    const int fd = static_cast<TSink*>(opaque)->Fd;
    int done = 0;
    while (done < size) {
        const ssize_t written = write(fd, buffer + done, static_cast<std::size_t>(size - done));
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return AVERROR(errno);
        if (written == 0) return AVERROR(ENOSPC);
        done += static_cast<int>(written);
    }
    return size;
}

std::int64_t TFfmpegClipWriter::SeekSink(void* opaque, std::int64_t offset, int whence) {
    const int fd = static_cast<TSink*>(opaque)->Fd;
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) {
        struct stat st {};
        return fstat(fd, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : AVERROR(errno);
    }
    const off_t position = lseek(fd, offset, whence);
    return position < 0 ? AVERROR(errno) : position;
}

TFfmpegClipWriter::TFfmpegClipWriter(int sourceFd, const std::string& sourceName, const TClipRenderSettings& settings,
                                     int out)
    : source_(sourceFd, sourceName), settings_(settings), outputName_(settings.OutputName) {
    // A writer refused half way (an encoder without alpha, a stream the
    // container cannot carry) frees what it made: no destructor runs then.
    try {
        Open(sourceFd, out);
    } catch (...) {
        Release();
        throw;
    }
}

void TFfmpegClipWriter::Open(int sourceFd, int out) {
    const AVOutputFormat* container = av_guess_format(nullptr, outputName_.c_str(), nullptr);
    if (container == nullptr) throw EError("\"" + outputName_ + "\": no container is known for its extension");
    if (avformat_alloc_output_context2(&out_, container, nullptr, nullptr) < 0 || out_ == nullptr)
        throw EError("\"" + outputName_ + "\": out of memory");
    sink_.Fd = out;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kWriterIoBufferSize));
    io_ = buffer ? avio_alloc_context(buffer, kWriterIoBufferSize, 1, &sink_, nullptr, WriteBytes, SeekSink) : nullptr;
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    audio_ = av_packet_alloc();
    if (io_ == nullptr || frame_ == nullptr || packet_ == nullptr || audio_ == nullptr) {
        if (io_ == nullptr) av_free(buffer);
        throw EError("\"" + outputName_ + "\": out of memory");
    }
    out_->pb = io_;
    out_->flags |= AVFMT_FLAG_CUSTOM_IO;

    const AVStream& video = *source_.Video();
    frameTime_ = av_inv_q(RateOf(video));
    firstPts_ = video.start_time != AV_NOPTS_VALUE ? video.start_time : 0;
    shift_ = settings_.In <= 0                  ? 0
             : settings_.InTime != kNoTimestamp ? settings_.InTime
                                                : firstPts_ + av_rescale_q(settings_.In, frameTime_, video.time_base);
    shiftTime_ = av_rescale_q(shift_, video.time_base, AV_TIME_BASE_Q);
    const std::int64_t end = settings_.OutTime != kNoTimestamp
                                 ? settings_.OutTime
                                 : firstPts_ + av_rescale_q(settings_.Out, frameTime_, video.time_base);
    endTime_ = settings_.Out >= 0 ? av_rescale_q(end, video.time_base, AV_TIME_BASE_Q) : INT64_MAX;
    OpenEncoder();
    AddVideoStream();
    AddCopiedStreams();
    CopyChapters();
    if (settings_.In > 0 || settings_.Out >= 0) RecordRange(sourceFd);
    WriteHeader();
}

void TFfmpegClipWriter::RecordRange(int sourceFd) {
    // QuickTime and MP4 hold the record only in metadata of any name, which
    // leaves no place for a cover picture: such a part is kept without its
    // record (it renders, but is not joined) rather than lose the picture.
    const bool quickTime =
        out_->priv_data != nullptr && av_opt_find(out_->priv_data, "movflags", nullptr, 0, 0) != nullptr;
    for (unsigned i = 0; i < out_->nb_streams; ++i)
        if (quickTime && (out_->streams[i]->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0) return;
    TPartRecord record = SourceRecord(sourceFd, source_.Name());
    record.In = settings_.In;
    record.Out = settings_.Out;
    record.Shift = shift_;
    record.TimeBase = source_.Video()->time_base;
    record.StartTime = shiftTime_;
    record.EndTime = endTime_ == INT64_MAX ? -1 : endTime_;
    RecordPart(*out_, record);
}

TFfmpegClipWriter::~TFfmpegClipWriter() { Release(); }

void TFfmpegClipWriter::Release() {
    av_packet_free(&audio_);
    av_packet_free(&packet_);
    av_frame_free(&frame_);
    avcodec_free_context(&encoder_);
    avformat_free_context(out_);
    if (io_ != nullptr) {
        av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
}

void TFfmpegClipWriter::OpenEncoder() {
    const AVCodecParameters& source = *source_.Video()->codecpar;
    const TFamily* family = settings_.Codec.empty() ? FamilyOf(source.codec_id) : nullptr;
    if (!settings_.Codec.empty())
        codec_ = avcodec_find_encoder_by_name(settings_.Codec.c_str());
    else if (family != nullptr)
        codec_ = avcodec_find_encoder_by_name(family->Encoder);
    else
        codec_ = avcodec_find_encoder(source.codec_id);
    if (codec_ == nullptr || codec_->type != AVMEDIA_TYPE_VIDEO)
        throw EError(settings_.Codec.empty() ? "\"" + source_.Name() + "\": no encoder writes its codec " +
                                                   avcodec_get_name(source.codec_id) + "; choose one with --codec"
                                             : "no video encoder is called \"" + settings_.Codec + "\"");
    encoder_ = avcodec_alloc_context3(codec_);
    if (encoder_ == nullptr) throw EError("\"" + outputName_ + "\": out of memory");
    const AVStream& video = *source_.Video();
    const auto sourceFormat = static_cast<AVPixelFormat>(source.format);
    encoder_->pix_fmt = ChooseFormat(*codec_, sourceFormat);
    if (FormatHasAlpha(sourceFormat) && !FormatHasAlpha(encoder_->pix_fmt))
        throw EError("\"" + outputName_ + "\": the encoder " + codec_->name + " cannot write the alpha channel of \"" +
                     source_.Name() + "\"; choose one that can with --codec (prores_ks, ffv1, qtrle or png)");
    encoder_->width = source.width;
    encoder_->height = source.height;
    encoder_->time_base = video.time_base;
    encoder_->framerate = RateOf(video);
    encoder_->sample_aspect_ratio = source.sample_aspect_ratio;
    encoder_->color_range = source.color_range;
    encoder_->color_primaries = source.color_primaries;
    encoder_->color_trc = source.color_trc;
    encoder_->colorspace = source.color_space;
    encoder_->chroma_sample_location = source.chroma_location;
    encoder_->field_order = source.field_order;
    // Interlaced frames are coded as fields again, in the source's order.
    if (IsInterlaced(source.field_order)) encoder_->flags |= AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME;
    encoder_->thread_count = 0;
    if (out_->oformat->flags & AVFMT_GLOBALHEADER) encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

    AVDictionary* options = nullptr;
    if (family != nullptr && family->SameProfile && source.profile >= 0)
        av_dict_set_int(&options, "profile", source.profile, 0);
    if (family != nullptr && family->Source == AV_CODEC_ID_DNXHD) encoder_->bit_rate = source.bit_rate;
    if (codec_->id == AV_CODEC_ID_FFV1) {
        av_dict_set(&options, "level", "3", 0);
        av_dict_set(&options, "slicecrc", "1", 0);
    }
    if (codec_->id == AV_CODEC_ID_HEVC) av_dict_set(&options, "x265-params", "log-level=error", 0);
    const int crf = settings_.Crf >= 0 ? settings_.Crf : family != nullptr ? family->Crf : -1;
    if (crf >= 0) {
        if (encoder_->priv_data == nullptr || av_opt_find(encoder_->priv_data, "crf", nullptr, 0, 0) == nullptr)
            throw EError("\"" + outputName_ + "\": the encoder " + codec_->name +
                         " takes no constant-rate factor (--crf)");
        av_dict_set_int(&options, "crf", crf, 0);
    }
    const int status = avcodec_open2(encoder_, codec_, &options);
    av_dict_free(&options);
    if (status < 0)
        RaiseClipError(outputName_, std::string("the encoder ") + codec_->name + " cannot write these frames", status);
    coding_ = CodingOf(encoder_->pix_fmt, source.color_space, source.color_range, source.height);
}

void TFfmpegClipWriter::AddVideoStream() {
    const AVStream& source = *source_.Video();
    video_ = avformat_new_stream(out_, nullptr);
    if (video_ == nullptr || avcodec_parameters_from_context(video_->codecpar, encoder_) < 0)
        throw EError("\"" + outputName_ + "\": out of memory");
    video_->time_base = source.time_base;
    video_->avg_frame_rate = RateOf(source);
    video_->r_frame_rate = source.r_frame_rate;
    video_->sample_aspect_ratio = source.sample_aspect_ratio;
    video_->disposition = source.disposition;
    CopySideData(source, *video_);
    av_dict_copy(&video_->metadata, source.metadata, 0);
    av_dict_copy(&out_->metadata, source_.Format()->metadata, 0);
    const std::string timecode = ShiftedTimecode();
    if (!timecode.empty()) {
        av_dict_set(&video_->metadata, "timecode", timecode.c_str(), 0);
        av_dict_set(&out_->metadata, "timecode", timecode.c_str(), 0);
    }
}

std::string TFfmpegClipWriter::ShiftedTimecode() const {
    const std::string start = source_.Timecode();
    if (start.empty() || settings_.In <= 0) return start;
    AVTimecode timecode{};
    if (av_timecode_init_from_string(&timecode, RateOf(*source_.Video()), start.c_str(), nullptr) < 0) return start;
    char text[AV_TIMECODE_STR_SIZE];
    return av_timecode_make_string(&timecode, text, static_cast<int>(settings_.In));
}

void TFfmpegClipWriter::CopySideData(const AVStream& from, AVStream& to) {
    for (int i = 0; i < from.nb_side_data; ++i) {
        const AVPacketSideData& data = from.side_data[i];
        // The encoder states its own buffer and rate needs.
        if (data.type == AV_PKT_DATA_CPB_PROPERTIES) continue;
        std::uint8_t* copy = av_stream_new_side_data(&to, data.type, data.size);
        if (copy == nullptr) throw EError("\"" + outputName_ + "\": out of memory");
        std::memcpy(copy, data.data, data.size);
    }
}

void TFfmpegClipWriter::AddCopiedStreams() {
    AVFormatContext& format = *source_.Format();
    streamMap_.assign(format.nb_streams, -1);
    for (unsigned i = 0; i < format.nb_streams; ++i) {
        AVStream* in = format.streams[i];
        if (static_cast<int>(i) == source_.VideoIndex() || !Carried(*in)) {
            in->discard = AVDISCARD_ALL;
            continue;
        }
        AVStream* copy = avformat_new_stream(out_, nullptr);
        if (copy == nullptr || avcodec_parameters_copy(copy->codecpar, in->codecpar) < 0)
            throw EError("\"" + outputName_ + "\": out of memory");
        copy->codecpar->codec_tag = 0;
        copy->time_base = in->time_base;
        copy->disposition = in->disposition;
        av_dict_copy(&copy->metadata, in->metadata, 0);
        CopySideData(*in, *copy);
        streamMap_[i] = copy->index;
    }
}

bool TFfmpegClipWriter::Carried(const AVStream& in) const {
    const AVCodecParameters& codec = *in.codecpar;
    if (codec.codec_type == AVMEDIA_TYPE_AUDIO) return true;
    // The timecode track is written again from the timecode.
    if (IsTimecodeTrack(in) && !source_.Timecode().empty()) return false;
    const std::string stream = "the " + KindName(codec.codec_type) + " stream " + std::to_string(in.index) + " (" +
                               ContentName(in) + ") of \"" + source_.Name() + "\"";
    const bool attachment = codec.codec_type == AVMEDIA_TYPE_ATTACHMENT;
    const bool held = attachment ? (out_->oformat->flags & AVFMT_NOFILE) == 0 &&
                                       std::string(out_->oformat->name).find("matroska") != std::string::npos
                                 : avformat_query_codec(out_->oformat, codec.codec_id, FF_COMPLIANCE_NORMAL) == 1;
    if (!held || codec.codec_type == AVMEDIA_TYPE_UNKNOWN || codec.codec_type == AVMEDIA_TYPE_DATA)
        throw EError("\"" + outputName_ + "\": " + stream + " cannot be carried in this container");
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(codec.codec_id);
    const bool ranged = settings_.In > 0 || settings_.Out >= 0;
    if (ranged && codec.codec_type == AVMEDIA_TYPE_VIDEO && !(in.disposition & AV_DISPOSITION_ATTACHED_PIC) &&
        (descriptor == nullptr || (descriptor->props & AV_CODEC_PROP_INTRA_ONLY) == 0))
        throw EError("\"" + outputName_ + "\": " + stream +
                     " cannot be cut to the range asked for, as its frames depend on each other");
    return true;
}

void TFfmpegClipWriter::CopyChapters() { CopyChapters(*source_.Format(), *out_, shiftTime_, endTime_, outputName_); }

void TFfmpegClipWriter::CopyChapters(const AVFormatContext& format, AVFormatContext& out, std::int64_t start,
                                     std::int64_t endTime, const std::string& outputName) {
    for (unsigned i = 0; i < format.nb_chapters; ++i) {
        const AVChapter& in = *format.chapters[i];
        const std::int64_t shift = av_rescale_q(start, AV_TIME_BASE_Q, in.time_base);
        const std::int64_t end = endTime == INT64_MAX ? INT64_MAX : av_rescale_q(endTime, AV_TIME_BASE_Q, in.time_base);
        if (in.end <= shift || in.start >= end) continue;
        auto* chapter = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
        if (chapter == nullptr) throw EError("\"" + outputName + "\": out of memory");
        chapter->id = in.id;
        chapter->time_base = in.time_base;
        chapter->start = std::max<std::int64_t>(in.start - shift, 0);
        chapter->end = std::min(in.end, end) - shift;
        av_dict_copy(&chapter->metadata, in.metadata, 0);
        int count = static_cast<int>(out.nb_chapters);
        av_dynarray_add(&out.chapters, &count, chapter);
        if (out.chapters == nullptr) throw EError("\"" + outputName + "\": out of memory");
        out.nb_chapters = static_cast<unsigned>(count);
    }
}

void TFfmpegClipWriter::WriteHeader() {
    const int status = avformat_write_header(out_, nullptr);
    if (status < 0) RaiseClipError(outputName_, "the clip cannot be written", status);
    WriteAttachedPictures();
}

void TFfmpegClipWriter::WriteAttachedPictures() {
    const AVFormatContext& format = *source_.Format();
    for (unsigned i = 0; i < format.nb_streams; ++i) {
        const AVStream& in = *format.streams[i];
        if (streamMap_[i] < 0 || !(in.disposition & AV_DISPOSITION_ATTACHED_PIC) || in.attached_pic.size <= 0) continue;
        AVPacket* picture = av_packet_clone(&in.attached_pic);
        if (picture == nullptr) throw EError("\"" + outputName_ + "\": out of memory");
        picture->stream_index = streamMap_[i];
        picture->pos = -1;
        const int written = av_interleaved_write_frame(out_, picture);
        av_packet_free(&picture);
        if (written < 0) RaiseClipError(outputName_, "the clip's cover picture cannot be written", written);
    }
}

void TFfmpegClipWriter::WriteAt(const TDeepImage& image, std::int64_t number, std::int64_t timestamp) {
    timestamp_ = timestamp;
    Write(image, number);
}

void TFfmpegClipWriter::Write(const TDeepImage& image, std::int64_t number) {
    if (av_frame_make_writable(frame_) < 0 || frame_->data[0] == nullptr) {
        av_frame_unref(frame_);
        frame_->format = encoder_->pix_fmt;
        frame_->width = encoder_->width;
        frame_->height = encoder_->height;
        if (av_frame_get_buffer(frame_, 0) < 0) throw EError("\"" + outputName_ + "\": out of memory");
    }
    try {
        converter_.ToFrame(image, coding_, *frame_);
    } catch (const EError& error) {
        throw EError("\"" + outputName_ + "\": " + error.what());
    }
    // A frame keeps the time its reader gave it (frames of a clip of
    // variable rate stay where they were); without one, its number places it.
    const std::int64_t time = std::exchange(timestamp_, kNoTimestamp);
    frame_->pts =
        (time != kNoTimestamp ? time : firstPts_ + av_rescale_q(number, frameTime_, source_.Video()->time_base)) -
        shift_;
    frame_->color_range = encoder_->color_range;
    frame_->colorspace = encoder_->colorspace;
    frame_->color_primaries = encoder_->color_primaries;
    frame_->color_trc = encoder_->color_trc;
    MarkFields(*frame_);
    const int status = avcodec_send_frame(encoder_, frame_);
    if (status < 0) RaiseClipError(outputName_, "frame " + std::to_string(number) + " cannot be encoded", status);
    WritePackets();
}

void TFfmpegClipWriter::MarkFields(AVFrame& frame) const {
    const AVFieldOrder order = encoder_->field_order;
    frame.interlaced_frame = IsInterlaced(order) ? 1 : 0;
    frame.top_field_first = order == AV_FIELD_TT || order == AV_FIELD_TB ? 1 : 0;
}

void TFfmpegClipWriter::WritePackets() {
    for (;;) {
        const int status = avcodec_receive_packet(encoder_, packet_);
        if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) return;
        if (status < 0) RaiseClipError(outputName_, "the encoder failed", status);
        packet_->stream_index = video_->index;
        av_packet_rescale_ts(packet_, encoder_->time_base, video_->time_base);
        const std::int64_t time = packet_->dts != AV_NOPTS_VALUE ? packet_->dts : packet_->pts;
        if (time != AV_NOPTS_VALUE) CopyAudioUntil(av_rescale_q(time, video_->time_base, AV_TIME_BASE_Q) + shiftTime_);
        const int written = av_interleaved_write_frame(out_, packet_);
        if (written < 0) RaiseClipError(outputName_, "the clip cannot be written", written);
    }
}

void TFfmpegClipWriter::CopyAudioUntil(std::int64_t until) {
    while (!audioDone_) {
        if (!audioHeld_) {
            const int status = av_read_frame(source_.Format(), audio_);
            if (status == AVERROR_EOF) {
                audioDone_ = true;
                return;
            }
            if (status < 0) RaiseClipError(source_.Name(), "its audio cannot be read", status);
            // A cover picture was written with the header.
            if (streamMap_[audio_->stream_index] < 0 ||
                (source_.Format()->streams[audio_->stream_index]->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
                av_packet_unref(audio_);
                continue;
            }
            audioHeld_ = true;
        }
        const AVStream& in = *source_.Format()->streams[audio_->stream_index];
        const std::int64_t stamp = audio_->pts != AV_NOPTS_VALUE ? audio_->pts : audio_->dts;
        const std::int64_t time = stamp == AV_NOPTS_VALUE ? 0 : av_rescale_q(stamp, in.time_base, AV_TIME_BASE_Q);
        // Packets go out in decoding order (a copied video stream's differs).
        const std::int64_t order =
            audio_->dts != AV_NOPTS_VALUE ? av_rescale_q(audio_->dts, in.time_base, AV_TIME_BASE_Q) : time;
        if (order >= until) return;
        audioHeld_ = false;
        if (time < shiftTime_ || time >= endTime_) {
            av_packet_unref(audio_);
            continue;
        }
        WriteCopiedPacket(*audio_, in, *out_, streamMap_[audio_->stream_index], shiftTime_, outputName_);
    }
}

void TFfmpegClipWriter::WriteCopiedPacket(AVPacket& packet, const AVStream& in, AVFormatContext& out, int outIndex,
                                          std::int64_t start, const std::string& outputName) {
    const std::int64_t shift = av_rescale_q(start, AV_TIME_BASE_Q, in.time_base);
    if (packet.pts != AV_NOPTS_VALUE) packet.pts -= shift;
    if (packet.dts != AV_NOPTS_VALUE) packet.dts -= shift;
    AVStream& copy = *out.streams[outIndex];
    packet.stream_index = copy.index;
    av_packet_rescale_ts(&packet, in.time_base, copy.time_base);
    packet.pos = -1;
    const int written = av_interleaved_write_frame(&out, &packet);
    if (written < 0) RaiseClipError(outputName, "the clip's audio cannot be written", written);
}

void TFfmpegClipWriter::Finish() {
    const int status = avcodec_send_frame(encoder_, nullptr);
    if (status < 0) RaiseClipError(outputName_, "the encoder failed", status);
    WritePackets();
    CopyAudioUntil(endTime_);
    const int ended = av_write_trailer(out_);
    if (ended < 0) RaiseClipError(outputName_, "the clip cannot be written", ended);
    avio_flush(io_);
    if (io_->error < 0) RaiseClipError(outputName_, "the clip cannot be written", io_->error);
}
