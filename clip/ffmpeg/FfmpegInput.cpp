#include "clip/ffmpeg/FfmpegInput.h"

#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

extern "C" {
#include <libavutil/avstring.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include "engine/base/Error.h"

namespace {

constexpr int kIoBufferSize = 1 << 16;

// The demuxers a clip is read with: those of the containers clips come in
// (.mov, .mp4, .mkv, .mxf, .avi). Any other format the library knows may
// name further files or network addresses to open (playlists, manifests,
// session descriptions), so a file found to be one is refused unread.
constexpr const char* kClipDemuxers = "mov,mp4,m4a,3gp,3g2,mj2,matroska,webm,mxf,avi";

bool IsClipDemuxer(const AVInputFormat* format) {
    return format != nullptr && av_match_list(format->name, kClipDemuxers, ',') > 0;
}

// A clip is read from its own descriptor alone: whatever else a demuxer
// would open (a file a reference names, an address) is refused.
int RefuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) { return AVERROR(EPERM); }

std::mutex& LogLock() {
    static std::mutex lock;
    return lock;
}

std::atomic<std::uint64_t> decoderErrors{0};

std::string& LastLogged() {
    static std::string message;
    return message;
}

void KeepErrors(void* avcl, int level, const char* format, va_list arguments) {
    if (level > AV_LOG_ERROR) return;
    if (avcl != nullptr) {
        const AVClass* kind = *static_cast<const AVClass* const*>(avcl);
        if (kind != nullptr && std::strcmp(kind->class_name, "AVCodecContext") == 0) ++decoderErrors;
        // A demuxer that meets bytes it cannot parse says so and goes on
        // from the next part it recognises: its reader counts that.
        if (kind != nullptr && std::strcmp(kind->class_name, "AVFormatContext") == 0) {
            const auto* format = static_cast<const AVFormatContext*>(avcl);
            if (format->iformat != nullptr && format->opaque != nullptr)
                ++*static_cast<std::atomic<std::uint64_t>*>(format->opaque);
        }
    }
    // A message may come in pieces; the piece ending in a new line ends it.
    static std::string pending;
    char line[512];
    int prefix = 0;
    av_log_format_line2(avcl, level, format, arguments, line, sizeof line, &prefix);
    const std::lock_guard<std::mutex> held(LogLock());
    pending += line;
    if (pending.empty() || pending.back() != '\n') return;
    while (!pending.empty() && (pending.back() == '\n' || pending.back() == ' ')) pending.pop_back();
    LastLogged() = pending;
    pending.clear();
}

}  // namespace

std::uint64_t DecoderErrorCount() { return decoderErrors.load(); }

void QuietLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_callback(KeepErrors); });
}

std::string LibraryReason(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    std::string reason = text;
    const std::lock_guard<std::mutex> held(LogLock());
    if (!LastLogged().empty()) {
        reason += " (" + LastLogged() + ")";
        LastLogged().clear();
    }
    return reason;
}

void RaiseClipError(const std::string& fileName, const std::string& what, int code) {
    throw EError("\"" + fileName + "\": " + what + ": " + LibraryReason(code));
}

int TInputClip::ReadPacket(void* opaque, std::uint8_t* buffer, int size) {
    auto* source = static_cast<TSource*>(opaque);
    ssize_t got;
    do got = pread(source->Fd, buffer, static_cast<std::size_t>(size), source->Offset);
    while (got < 0 && errno == EINTR);
    if (got < 0) return AVERROR(errno);
    if (got == 0) return AVERROR_EOF;
    source->Offset += got;
    return static_cast<int>(got);
}

std::int64_t TInputClip::Seek(void* opaque, std::int64_t offset, int whence) {
    auto* source = static_cast<TSource*>(opaque);
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) return source->Size;
    std::int64_t position = offset;
    if (whence == SEEK_CUR)
        position += source->Offset;
    else if (whence == SEEK_END)
        position += source->Size;
    else if (whence != SEEK_SET)
        return AVERROR(EINVAL);
    if (position < 0) return AVERROR(EINVAL);
    source->Offset = position;
    return position;
}

TInputClip::TInputClip(int fd, const std::string& fileName) : name_(fileName) {
    QuietLibrary();
    struct stat st {};
    if (fstat(fd, &st) != 0) throw EError("\"" + fileName + "\" cannot be read");
    source_ = {fd, 0, static_cast<std::int64_t>(st.st_size)};
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
    io_ = buffer ? avio_alloc_context(buffer, kIoBufferSize, 0, &source_, ReadPacket, nullptr, Seek) : nullptr;
    format_ = avformat_alloc_context();
    if (io_ == nullptr || format_ == nullptr) {
        if (io_ == nullptr) av_free(buffer);
        Close();
        throw EError("\"" + fileName + "\": out of memory");
    }
    format_->pb = io_;
    format_->flags |= AVFMT_FLAG_CUSTOM_IO;
    format_->opaque = &demuxerErrors_;
    format_->io_open = RefuseNestedOpen;
    Open(ChooseDemuxer());
    const int status = avformat_find_stream_info(format_, nullptr);
    if (status < 0) {
        const std::string reason = LibraryReason(status);
        Close();
        throw EError("\"" + fileName + "\" is damaged: " + reason);
    }
    for (unsigned i = 0; i < format_->nb_streams && video_ < 0; ++i) {
        const AVStream* stream = format_->streams[i];
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC))
            video_ = static_cast<int>(i);
    }
    if (video_ < 0) {
        Close();
        throw EError("\"" + fileName + "\" holds no video stream");
    }
}

const AVInputFormat* TInputClip::ChooseDemuxer() {
    const AVInputFormat* demuxer = nullptr;
    const int status = av_probe_input_buffer2(io_, &demuxer, nullptr, nullptr, 0, 0);
    if (status < 0) {
        const std::string reason = LibraryReason(status);
        Close();
        throw EError("\"" + name_ + "\" is not a clip that can be read: " + reason);
    }
    if (!IsClipDemuxer(demuxer)) {
        Close();
        throw EError("\"" + name_ + "\" is not a clip that can be read: it is no MOV, MP4, Matroska, MXF or AVI file");
    }
    return demuxer;
}

void TInputClip::Open(const AVInputFormat* demuxer) {
    AVDictionary* options = nullptr;
    av_dict_set(&options, "format_whitelist", kClipDemuxers, 0);
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const int status = avformat_open_input(&format_, nullptr, demuxer, &options);
    av_dict_free(&options);
    if (status < 0) {
        format_ = nullptr;  // freed by the library on failure
        const std::string reason = LibraryReason(status);
        Close();
        throw EError("\"" + name_ + "\" is not a clip that can be read: " + reason);
    }
}

TInputClip::~TInputClip() { Close(); }

void TInputClip::Close() {
    if (format_ != nullptr) avformat_close_input(&format_);
    if (io_ != nullptr) {
        av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
}

void TInputClip::Rewind() {
    const std::int64_t start = Video()->start_time != AV_NOPTS_VALUE ? Video()->start_time : 0;
    int status = av_seek_frame(format_, video_, start, AVSEEK_FLAG_BACKWARD);
    if (status < 0) status = avformat_seek_file(format_, -1, INT64_MIN, 0, 0, AVSEEK_FLAG_BYTE);
    if (status < 0) RaiseClipError(name_, "cannot go to frame 0", status);
}

std::string TInputClip::Timecode() const {
    const AVDictionaryEntry* entry = av_dict_get(Video()->metadata, "timecode", nullptr, 0);
    if (entry == nullptr) entry = av_dict_get(format_->metadata, "timecode", nullptr, 0);
    for (unsigned i = 0; i < format_->nb_streams && entry == nullptr; ++i)
        entry = av_dict_get(format_->streams[i]->metadata, "timecode", nullptr, 0);
    return entry ? entry->value : "";
}
