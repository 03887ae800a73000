#include "clip/ffmpeg/FfmpegFrameIndex.h"

#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <tuple>

namespace {

// The files whose index is kept, at most.
constexpr std::size_t kIndexesKept = 16;

using TFileKey = std::tuple<dev_t, ino_t, off_t, std::int64_t, long>;

TFfmpegFrameIndex::TPacket PacketOf(const AVPacket& packet) {
    TFfmpegFrameIndex::TPacket entry;
    entry.Pts = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
    entry.Dts = packet.dts != AV_NOPTS_VALUE ? packet.dts : entry.Pts;
    entry.Position = packet.pos;
    entry.Duration = packet.duration;
    entry.Key = (packet.flags & AV_PKT_FLAG_KEY) != 0;
    entry.Shown = (packet.flags & AV_PKT_FLAG_DISCARD) == 0;
    return entry;
}

}  // namespace

TFfmpegFrameIndex::TFfmpegFrameIndex(TInputClip& input) : reordered_(input.Video()->codecpar->video_delay > 0) {
    input.Rewind();
    AVPacket* packet = av_packet_alloc();
    if (packet == nullptr) throw std::bad_alloc();
    std::uint64_t errors = input.DemuxerErrors();
    for (;;) {
        const int read = av_read_frame(input.Format(), packet);
        if (input.DemuxerErrors() != errors || (read < 0 && read != AVERROR_EOF)) {
            firstMissing_ = std::count_if(packets_.begin(), packets_.end(), [](const TPacket& p) { return p.Shown; });
            break;
        }
        errors = input.DemuxerErrors();
        if (read == AVERROR_EOF) break;
        if (packet->stream_index == input.VideoIndex() &&
            (packet->pts != AV_NOPTS_VALUE || packet->dts != AV_NOPTS_VALUE)) {
            packets_.push_back(PacketOf(*packet));
            timed_ = timed_ && packet->pts != AV_NOPTS_VALUE;
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    for (std::size_t i = 0; i < packets_.size(); ++i)
        if (packets_[i].Shown) shown_.push_back(static_cast<std::int64_t>(i));
    if (timed_)
        std::stable_sort(shown_.begin(), shown_.end(),
                         [&](std::int64_t a, std::int64_t b) { return packets_[a].Pts < packets_[b].Pts; });
}

std::int64_t TFfmpegFrameIndex::End() const {
    if (shown_.empty()) return 0;
    const TPacket& last = packets_[shown_.back()];
    return last.Pts + last.Duration;
}

std::int64_t TFfmpegFrameIndex::LastAtOrBefore(std::int64_t pts) const {
    const auto after = std::upper_bound(shown_.begin(), shown_.end(), pts,
                                        [&](std::int64_t value, std::int64_t i) { return value < packets_[i].Pts; });
    return after == shown_.begin() ? 0 : static_cast<std::int64_t>(after - shown_.begin()) - 1;
}

const TFfmpegFrameIndex::TPacket& TFfmpegFrameIndex::KeyFor(std::int64_t number, std::int64_t& firstShown) const {
    const std::int64_t target = shown_[number];
    std::int64_t key = target;
    if (!timed_) {
        // Without times, where frames are shown out of the order decoded
        // the place of a frame after a key frame is not known: decode from
        // the start.
        if (reordered_) key = 0;
        while (key > 0 && !packets_[key].Key) --key;
        firstShown = std::count_if(packets_.begin(), packets_.begin() + key, [](const TPacket& p) { return p.Shown; });
        return packets_[key];
    }
    while (key > 0 && !(packets_[key].Key && packets_[key].Pts <= packets_[target].Pts)) --key;
    // Decoding from a key frame shows the frames from its time on (those
    // before it that the edit list cuts away are decoded but not shown).
    firstShown = std::lower_bound(shown_.begin(), shown_.end(), packets_[key].Pts,
                                  [&](std::int64_t i, std::int64_t value) { return packets_[i].Pts < value; }) -
                 shown_.begin();
    return packets_[key];
}

std::shared_ptr<const TFfmpegFrameIndex> TFfmpegFrameIndex::Of(int fd, TInputClip& input) {
    static std::mutex lock;
    static std::map<TFileKey, std::shared_ptr<const TFfmpegFrameIndex>> kept;
    struct stat st {};
    if (fstat(fd, &st) != 0) return std::make_shared<const TFfmpegFrameIndex>(input);
    const TFileKey key{st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
    {
        const std::lock_guard<std::mutex> held(lock);
        if (const auto found = kept.find(key); found != kept.end()) return found->second;
    }
    auto index = std::make_shared<const TFfmpegFrameIndex>(input);
    const std::lock_guard<std::mutex> held(lock);
    if (kept.size() >= kIndexesKept) kept.erase(kept.begin());
    kept[key] = index;
    return index;
}
