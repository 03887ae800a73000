#include "clip/ffmpeg/FfmpegClipReader.h"

extern "C" {
#include <libavutil/pixdesc.h>
#include <libavutil/timecode.h>
}

#include <algorithm>
#include <cmath>

#include "engine/base/Error.h"

namespace {

// Frames of more than this many pixels on a side or in all are refused
// before a frame is decoded.
constexpr int kMaxClipSide = 30000;
constexpr long long kMaxPixels = 400LL * 1000 * 1000;

// The frames the container declares, less those its edit list does not
// show (which the demuxer's index marks).
std::int64_t ShownFrames(AVStream& stream) {
    const int entries = avformat_index_get_entries_count(&stream);
    if (entries != stream.nb_frames) return stream.nb_frames;
    std::int64_t shown = 0;
    for (int i = 0; i < entries; ++i)
        if ((avformat_index_get_entry(&stream, i)->flags & AVINDEX_DISCARD_FRAME) == 0) ++shown;
    return shown;
}

}  // namespace

std::string FieldOrderName(AVFieldOrder order) {
    switch (order) {
        case AV_FIELD_TT:
        case AV_FIELD_TB:
            return "top first";
        case AV_FIELD_BB:
        case AV_FIELD_BT:
            return "bottom first";
        default:
            return "";
    }
}

AVRational RateOf(const AVStream& stream) {
    if (stream.avg_frame_rate.num > 0 && stream.avg_frame_rate.den > 0) return stream.avg_frame_rate;
    if (stream.r_frame_rate.num > 0 && stream.r_frame_rate.den > 0) return stream.r_frame_rate;
    return AVRational{25, 1};
}

TFfmpegClipReader::TFfmpegClipReader(int fd, const std::string& fileName) : fd_(fd), input_(fd, fileName) {
    AVStream& stream = *input_.Video();
    const AVCodecParameters& parameters = *stream.codecpar;
    const AVCodec* codec = avcodec_find_decoder(parameters.codec_id);
    if (codec == nullptr)
        throw EError("\"" + fileName + "\": no decoder for its video codec " + avcodec_get_name(parameters.codec_id));
    if (parameters.width <= 0 || parameters.height <= 0 || parameters.width > kMaxClipSide ||
        parameters.height > kMaxClipSide || static_cast<long long>(parameters.width) * parameters.height > kMaxPixels)
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
    info_.FramesStandAlone = descriptor != nullptr && (descriptor->props & AV_CODEC_PROP_INTRA_ONLY) != 0;
    if (info_.FramesStandAlone && (codec->capabilities & AV_CODEC_CAP_SLICE_THREADS) != 0)
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
    info_.FieldOrder = FieldOrderName(parameters.field_order);
    info_.HasAlpha = FormatHasAlpha(format);
    declaredCount_ = stream.nb_frames > 0;
    if (declaredCount_)
        info_.Frames = ShownFrames(stream);
    else if (stream.duration > 0)
        info_.Frames = av_rescale_q(stream.duration, stream.time_base, av_inv_q(rate));
    else if (input_.Format()->duration > 0)
        info_.Frames = av_rescale_q(input_.Format()->duration, AV_TIME_BASE_Q, av_inv_q(rate));
    firstPts_ = stream.start_time != AV_NOPTS_VALUE ? stream.start_time : 0;
    // A damaged part met while the stream was probed is met again where it
    // lies when the clip is read from its start.
    demuxerErrorsSeen_ = input_.DemuxerErrors();
    if (demuxerErrorsSeen_ != 0) SeekToStart();
}

TFfmpegClipReader::~TFfmpegClipReader() {
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&decoder_);
}

void TFfmpegClipReader::Restart() {
    avcodec_flush_buffers(decoder_);
    draining_ = false;
    damaged_ = false;
    skipping_ = aligning_ = pastEnd_ = leading_ = false;
    counter_ = 0;
    lastEnd_ = kNoTimestamp;
}

void TFfmpegClipReader::SeekToStart() {
    input_.Rewind();
    Restart();
}

const TFfmpegFrameIndex& TFfmpegClipReader::Index() {
    if (!index_) {
        index_ = TFfmpegFrameIndex::Of(fd_, input_);
        untimed_ = untimed_ || !index_->Timed();
        demuxerErrorsSeen_ = input_.DemuxerErrors();
        lost_ = true;  // the demuxer has gone to the end
    }
    return *index_;
}

bool TFfmpegClipReader::DecodesOnTo(std::int64_t frame) const {
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(input_.Video()->codecpar->codec_id);
    const bool intra = descriptor != nullptr && (descriptor->props & AV_CODEC_PROP_INTRA_ONLY) != 0;
    if (intra || draining_ || lost_ || pastEnd_ || aligning_ || frame <= wanted_) return false;
    // With the index: decoding on is cheaper unless the key frame a seek
    // would go back to lies ahead of the decoder's place.
    if (index_) {
        if (frame >= index_->Count()) return false;
        std::int64_t first = 0;
        index_->KeyFor(frame, first);
        return first <= wanted_;
    }
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
    wanted_ = frame;
    lost_ = false;
    if (frame == 0 && !index_) {
        SeekToStart();
        return;
    }
    const TFfmpegFrameIndex& index = Index();
    lost_ = false;
    if (index.FirstMissing() >= 0 && frame >= index.FirstMissing()) RaiseMissing(index.FirstMissing());
    if (frame >= index.Count()) {
        Restart();
        pastEnd_ = true;
        return;
    }
    std::int64_t first = 0;
    const TFfmpegFrameIndex::TPacket& key = index.KeyFor(frame, first);
    const int status =
        av_seek_frame(input_.Format(), input_.VideoIndex(), std::min(key.Dts, key.Pts), AVSEEK_FLAG_BACKWARD);
    if (status < 0) input_.Rewind();
    Restart();
    skipping_ = aligning_ = leading_ = true;
    rewound_ = status < 0;
    keyPosition_ = key.Position;
    keyPts_ = key.Pts;
    alignedNumber_ = first;
}

std::int64_t TFfmpegClipReader::TimestampOf(std::int64_t number) {
    const TFfmpegFrameIndex& index = Index();
    if (untimed_ || number < 0 || number > index.Count()) return kNoTimestamp;
    return number == index.Count() ? index.End() : index.Pts(number);
}

std::int64_t TFfmpegClipReader::FrameAt(double seconds) {
    const TFfmpegFrameIndex& index = Index();
    if (untimed_) return TClipReader::FrameAt(seconds);
    if (index.Count() == 0) return 0;
    const AVRational base = input_.Video()->time_base;
    const std::int64_t time = index.Pts(0) + std::llround(seconds * base.den / base.num);
    const std::int64_t number = index.LastAtOrBefore(time);
    // Past the frames found before a damaged part, the frame shown is not known.
    if (index.FirstMissing() >= 0 && number == index.Count() - 1 && time > index.Pts(number))
        return index.FirstMissing();
    return number;
}

bool TFfmpegClipReader::NextPacket() {
    for (;;) {
        const int read = av_read_frame(input_.Format(), packet_);
        if (input_.DemuxerErrors() != demuxerErrorsSeen_) {
            demuxerErrorsSeen_ = input_.DemuxerErrors();
            if (read >= 0) av_packet_unref(packet_);
            damaged_ = true;
            return false;
        }
        if (read == AVERROR_EOF) return false;
        if (read < 0)
            RaiseClipError(input_.Name(), "the clip cannot be read after frame " + std::to_string(counter_), read);
        if (packet_->stream_index != input_.VideoIndex() || (skipping_ && !AtKey()) || Leading()) {
            av_packet_unref(packet_);
            continue;
        }
        skipping_ = false;
        return true;
    }
}

bool TFfmpegClipReader::AtKey() {
    if (keyPosition_ < 0) return packet_->pts == keyPts_;
    if (packet_->pos == keyPosition_) return true;
    // The demuxer went to a later key frame than asked: read from the start.
    if (packet_->pos > keyPosition_ && !rewound_) {
        input_.Rewind();
        rewound_ = true;
    }
    return false;
}

bool TFfmpegClipReader::Leading() {
    if (!leading_ || skipping_ || untimed_ || packet_->pts == AV_NOPTS_VALUE || packet_->pts == keyPts_) return false;
    // Frames after the key frame that are shown before it (of an open group
    // of pictures) refer to frames before it: they are not decoded.
    if (packet_->pts < keyPts_) return true;
    leading_ = false;
    return false;
}

bool TFfmpegClipReader::Decode() {
    for (;;) {
        const int received = avcodec_receive_frame(decoder_, frame_);
        if (received == 0) return true;
        if (received == AVERROR_EOF) return false;
        if (received != AVERROR(EAGAIN))
            RaiseClipError(input_.Name(), "frame " + std::to_string(counter_) + " cannot be decoded", received);
        if (draining_) return false;
        if (!NextPacket()) {
            draining_ = true;
            avcodec_send_packet(decoder_, nullptr);
            continue;
        }
        const int sent = avcodec_send_packet(decoder_, packet_);
        av_packet_unref(packet_);
        if (sent < 0 && sent != AVERROR(EAGAIN))
            RaiseClipError(input_.Name(), "frame " + std::to_string(counter_) + " cannot be decoded", sent);
    }
}

bool TFfmpegClipReader::Aligned(std::int64_t pts) {
    if (!aligning_) return true;
    if (!untimed_ && pts != AV_NOPTS_VALUE && pts < keyPts_) return false;
    aligning_ = false;
    counter_ = alignedNumber_;
    return true;
}

void TFfmpegClipReader::CheckInIndex(std::int64_t number, std::int64_t pts) const {
    if (!index_ || untimed_ || pts == AV_NOPTS_VALUE) return;
    if (index_->FirstMissing() >= 0 && number >= index_->FirstMissing()) RaiseMissing(index_->FirstMissing());
    // A frame as late as the next one found in the file: this one is missing.
    const bool later = number + 1 < index_->Count() && index_->Pts(number + 1) > index_->Pts(number);
    if (later && pts >= index_->Pts(number + 1)) RaiseMissing(number);
}

void TFfmpegClipReader::RaiseMissing(std::int64_t number) const {
    throw EError("\"" + input_.Name() + "\": frame " + std::to_string(number) +
                 " is missing: the file is damaged there");
}

void TFfmpegClipReader::CheckComplete() const {
    if (!declaredCount_) {
        // A clip of variable rate has no count: its frames reach its duration.
        const AVStream& stream = *input_.Video();
        const AVRational base = stream.time_base;
        std::int64_t end = kNoTimestamp;
        if (stream.duration > 0)
            end = firstPts_ + stream.duration;
        else if (input_.Format()->duration > 0)
            end = firstPts_ + av_rescale_q(input_.Format()->duration, AV_TIME_BASE_Q, base);
        const AVRational rate = RateOf(stream);
        const std::int64_t slack = av_rescale_q(3, AVRational{rate.den, rate.num * 2}, base);  // 1.5 frames
        if (end == kNoTimestamp || (lastEnd_ != kNoTimestamp && lastEnd_ + slack >= end)) return;
    }
    // A count estimated from the duration may be one frame off.
    const std::int64_t least = declaredCount_ ? info_.Frames : info_.Frames - 1;
    if (counter_ < least)
        throw EError("\"" + input_.Name() + "\": the clip ends after " + std::to_string(counter_) + " of the " +
                     std::to_string(info_.Frames) +
                     (declaredCount_ ? " frames it declares" : " frames its duration gives") + "; frame " +
                     std::to_string(counter_) + " cannot be decoded");
}

bool TFfmpegClipReader::NextWanted(std::int64_t& number) {
    if (lost_) Seek(wanted_);
    for (;;) {
        if (pastEnd_) return false;
        if (!Decode()) {
            if (damaged_) RaiseMissing(counter_);
            CheckComplete();
            return false;
        }
        const std::int64_t pts = frame_->best_effort_timestamp;
        untimed_ = untimed_ || frame_->pts == AV_NOPTS_VALUE;
        if (!Aligned(pts)) {
            av_frame_unref(frame_);
            continue;
        }
        const std::int64_t current = counter_++;
        CheckInIndex(current, pts);
        if (pts != AV_NOPTS_VALUE) lastEnd_ = pts + std::max<std::int64_t>(frame_->pkt_duration, 0);
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
        timestamp_ = pts;
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
