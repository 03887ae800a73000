#include "clip/ffmpeg/FfmpegClipReader.h"

extern "C" {
#include <libavutil/pixdesc.h>
#include <libavutil/timecode.h>
}

#include "engine/Error.h"

namespace {

// Frames of more than this many pixels on a side or in all are refused
// before a frame is decoded.
constexpr int kMaxSide = 30000;
constexpr long long kMaxPixels = 400LL * 1000 * 1000;

}  // namespace

AVRational RateOf(const AVStream& stream) {
    if (stream.avg_frame_rate.num > 0 && stream.avg_frame_rate.den > 0) return stream.avg_frame_rate;
    if (stream.r_frame_rate.num > 0 && stream.r_frame_rate.den > 0) return stream.r_frame_rate;
    return AVRational{25, 1};
}

TFfmpegClipReader::TFfmpegClipReader(int fd, const std::string& fileName) : input_(fd, fileName) {
    AVStream& stream = *input_.Video();
    const AVCodecParameters& parameters = *stream.codecpar;
    const AVCodec* codec = avcodec_find_decoder(parameters.codec_id);
    if (codec == nullptr)
        throw EError("\"" + fileName + "\": no decoder for its video codec " + avcodec_get_name(parameters.codec_id));
    if (parameters.width <= 0 || parameters.height <= 0 || parameters.width > kMaxSide ||
        parameters.height > kMaxSide || static_cast<long long>(parameters.width) * parameters.height > kMaxPixels)
        throw EError("\"" + fileName + "\": its frames of " + std::to_string(parameters.width) + " x " +
                     std::to_string(parameters.height) + " pixels are not taken");
    if (parameters.format < 0)
        throw EError("\"" + fileName + "\": its video stream has no pixel format the decoder knows");
    decoder_ = avcodec_alloc_context3(codec);
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    if (decoder_ == nullptr || packet_ == nullptr || frame_ == nullptr)
        throw EError("\"" + fileName + "\": out of memory");
    avcodec_parameters_to_context(decoder_, &parameters);
    decoder_->pkt_timebase = stream.time_base;
    decoder_->thread_count = 0;
    // Frames that stand alone are decoded a frame at a time over all cores:
    // a frame comes as soon as it is decoded, and a seek decodes no frames
    // in advance that a step back throws away. Frame threads (the library's
    // choice) would hold back a frame a core.
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(parameters.codec_id);
    if (descriptor != nullptr && (descriptor->props & AV_CODEC_PROP_INTRA_ONLY) != 0 &&
        (codec->capabilities & AV_CODEC_CAP_SLICE_THREADS) != 0)
        decoder_->thread_type = FF_THREAD_SLICE;
    // A damaged frame is an error, never hidden.
    decoder_->err_recognition = AV_EF_CRCCHECK | AV_EF_EXPLODE;
    if (const int status = avcodec_open2(decoder_, codec, nullptr); status < 0)
        RaiseClipError(fileName, "its video stream cannot be decoded", status);
    for (unsigned i = 0; i < input_.Format()->nb_streams; ++i)
        if (static_cast<int>(i) != input_.VideoIndex()) input_.Format()->streams[i]->discard = AVDISCARD_ALL;

    const auto format = static_cast<AVPixelFormat>(parameters.format);
    coding_ = CodingOf(format, parameters.color_space, parameters.color_range, parameters.height);
    const AVRational rate = RateOf(stream);
    info_.Width = parameters.width;
    info_.Height = parameters.height;
    info_.Bits = FormatBits(format);
    info_.RateNumerator = rate.num;
    info_.RateDenominator = rate.den;
    info_.Codec = avcodec_get_name(parameters.codec_id);
    info_.PixelFormat = av_get_pix_fmt_name(format);
    info_.Colour = IsRgbFormat(format) ? "RGB" : coding_.Description();
    info_.StartTimecode = input_.Timecode();
    declaredCount_ = stream.nb_frames > 0;
    if (declaredCount_)
        info_.Frames = stream.nb_frames;
    else if (stream.duration > 0)
        info_.Frames = av_rescale_q(stream.duration, stream.time_base, av_inv_q(rate));
    else if (input_.Format()->duration > 0)
        info_.Frames = av_rescale_q(input_.Format()->duration, AV_TIME_BASE_Q, av_inv_q(rate));
    firstPts_ = stream.start_time != AV_NOPTS_VALUE ? stream.start_time : 0;
}

TFfmpegClipReader::~TFfmpegClipReader() {
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&decoder_);
}

std::int64_t TFfmpegClipReader::NumberOf(const AVFrame& frame) const {
    const std::int64_t pts = frame.best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE) return counter_;
    const AVRational frameTime = av_inv_q(RateOf(*input_.Video()));
    return av_rescale_q_rnd(pts - firstPts_, input_.Video()->time_base, frameTime,
                            static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
}

void TFfmpegClipReader::Restart() {
    avcodec_flush_buffers(decoder_);
    draining_ = false;
    counter_ = 0;
}

bool TFfmpegClipReader::DecodesOnTo(std::int64_t frame) const {
    AVStream* stream = input_.Video();
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(stream->codecpar->codec_id);
    const bool intra = descriptor != nullptr && (descriptor->props & AV_CODEC_PROP_INTRA_ONLY) != 0;
    if (intra || draining_ || frame <= wanted_) return false;
    // Where the container's index names the key frame a seek would go
    // back to: decoding on is cheaper unless that key frame lies ahead.
    const AVRational frameTime = av_inv_q(RateOf(*stream));
    const std::int64_t target = firstPts_ + av_rescale_q(frame, frameTime, stream->time_base);
    const int entry = av_index_search_timestamp(stream, target, AVSEEK_FLAG_BACKWARD);
    if (entry >= 0)
        return avformat_index_get_entry(stream, entry)->timestamp <=
               firstPts_ + av_rescale_q(wanted_, frameTime, stream->time_base);
    return frame - wanted_ <= kMostDecodedOn;
}

void TFfmpegClipReader::Seek(std::int64_t frame) {
    if (frame < 0) frame = 0;
    // A little way ahead in a clip whose frames depend on others, the
    // frames between are decoded and passed over: going back to the key
    // frame before would decode them and more.
    if (DecodesOnTo(frame)) {
        wanted_ = frame;
        return;
    }
    const AVStream& stream = *input_.Video();
    const std::int64_t target = firstPts_ + av_rescale_q(frame, av_inv_q(RateOf(stream)), stream.time_base);
    int status = av_seek_frame(input_.Format(), input_.VideoIndex(), target, AVSEEK_FLAG_BACKWARD);
    if (status < 0) status = av_seek_frame(input_.Format(), input_.VideoIndex(), firstPts_, AVSEEK_FLAG_BACKWARD);
    if (status < 0) status = avformat_seek_file(input_.Format(), -1, INT64_MIN, 0, 0, AVSEEK_FLAG_BYTE);
    if (status < 0) RaiseClipError(input_.Name(), "cannot go to frame " + std::to_string(frame), status);
    Restart();
    wanted_ = frame;
}

bool TFfmpegClipReader::Decode() {
    for (;;) {
        const int received = avcodec_receive_frame(decoder_, frame_);
        if (received == 0) return true;
        if (received == AVERROR_EOF) return false;
        if (received != AVERROR(EAGAIN))
            RaiseClipError(input_.Name(), "frame " + std::to_string(counter_) + " cannot be decoded", received);
        if (draining_) {
            return false;
        }
        const int read = av_read_frame(input_.Format(), packet_);
        if (read == AVERROR_EOF) {
            draining_ = true;
            avcodec_send_packet(decoder_, nullptr);
            continue;
        }
        if (read < 0)
            RaiseClipError(input_.Name(), "the clip cannot be read after frame " + std::to_string(counter_), read);
        if (packet_->stream_index != input_.VideoIndex()) {
            av_packet_unref(packet_);
            continue;
        }
        const int sent = avcodec_send_packet(decoder_, packet_);
        av_packet_unref(packet_);
        if (sent < 0 && sent != AVERROR(EAGAIN))
            RaiseClipError(input_.Name(), "frame " + std::to_string(counter_) + " cannot be decoded", sent);
    }
}

void TFfmpegClipReader::CheckComplete() const {
    // A count estimated from the duration may be one frame off.
    const std::int64_t least = declaredCount_ ? info_.Frames : info_.Frames - 1;
    if (counter_ < least)
        throw EError("\"" + input_.Name() + "\": the clip ends after " + std::to_string(counter_) + " of the " +
                     std::to_string(info_.Frames) +
                     (declaredCount_ ? " frames it declares" : " frames its duration gives") + "; frame " +
                     std::to_string(counter_) + " cannot be decoded");
}

bool TFfmpegClipReader::NextWanted(std::int64_t& number) {
    for (;;) {
        if (!Decode()) {
            CheckComplete();
            return false;
        }
        const std::int64_t current = NumberOf(*frame_);
        counter_ = current + 1;
        const bool logged = DecoderErrorCount() != errorsSeen_;
        errorsSeen_ = DecoderErrorCount();
        if ((frame_->flags & AV_FRAME_FLAG_CORRUPT) != 0 || frame_->decode_error_flags != 0 ||
            (logged && current >= wanted_))
            throw EError("\"" + input_.Name() + "\": frame " + std::to_string(current) +
                         " is damaged: " + LibraryReason(AVERROR_INVALIDDATA));
        if (current < wanted_) {
            av_frame_unref(frame_);
            continue;
        }
        if (frame_->width != info_.Width || frame_->height != info_.Height)
            throw EError("\"" + input_.Name() + "\": frame " + std::to_string(current) +
                         " changes the clip's frame size");
        number = current;
        wanted_ = current + 1;
        return true;
    }
}

TYCbCrCoding TFfmpegClipReader::FrameCoding() const {
    const auto format = static_cast<AVPixelFormat>(frame_->format);
    return format == PixelFormat() ? coding_
                                   : CodingOf(format, frame_->colorspace, frame_->color_range, frame_->height);
}

bool TFfmpegClipReader::Read(TDeepImage& image, std::int64_t& number) {
    if (!NextWanted(number)) return false;
    converter_.ToImage(*frame_, FrameCoding(), image);
    av_frame_unref(frame_);
    image.Depth = TPictureDepth{"clip", TSampleKind::Integer, info_.Bits, info_.Codec};
    return true;
}

bool TFfmpegClipReader::ReadPicture(TImage& picture, int width, int height, std::int64_t& number) {
    if (!NextWanted(number)) return false;
    display_.Make(*frame_, FrameCoding(), width, height, picture);
    av_frame_unref(frame_);
    return true;
}
