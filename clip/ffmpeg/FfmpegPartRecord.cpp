#include "clip/ffmpeg/FfmpegPartRecord.h"

extern "C" {
#include <libavutil/dict.h>
#include <libavutil/hash.h>
#include <libavutil/opt.h>
}

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <vector>

#include "engine/base/Error.h"

namespace {

constexpr const char* kSourceKey = "ombrane-part-source";
constexpr const char* kSizeKey = "ombrane-part-source-size";
constexpr const char* kFingerprintKey = "ombrane-part-source-sha256";
constexpr const char* kFramesKey = "ombrane-part-frames";
constexpr const char* kShiftKey = "ombrane-part-shift";
constexpr const char* kTimeKey = "ombrane-part-time";
constexpr const char* kKeyPrefix = "ombrane-part-";

// The bytes of each end of a file taken into its fingerprint: enough to
// tell clips apart without reading a whole source on every machine.
constexpr std::int64_t kFingerprintSpan = 1 << 20;

void HashRange(AVHashContext& hash, int fd, const std::string& fileName, std::int64_t offset, std::int64_t length) {
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min<std::int64_t>(length, 1 << 16)));
    while (length > 0) {
        const ssize_t got = pread(fd, buffer.data(), static_cast<std::size_t>(std::min<std::int64_t>(length, 1 << 16)),
                                  static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0)
            throw EError("\"" + fileName + "\" cannot be read: " + (got < 0 ? std::strerror(errno) : "it is shorter"));
        av_hash_update(&hash, buffer.data(), static_cast<int>(got));
        offset += got;
        length -= got;
    }
}

// A whole decimal integer, or nothing.
std::optional<std::int64_t> Whole(std::string_view text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// "A-B" as two whole numbers, B -1 when it is empty.
bool ParseSpan(const std::string& text, std::int64_t& first, std::int64_t& last) {
    const std::size_t dash = text.find('-', 1);
    if (dash == std::string::npos) return false;
    const auto a = Whole(std::string_view(text).substr(0, dash));
    const std::string_view rest = std::string_view(text).substr(dash + 1);
    const auto b = rest.empty() ? std::optional<std::int64_t>(-1) : Whole(rest);
    if (!a || !b) return false;
    first = *a;
    last = *b;
    return true;
}

// "SHIFT NUM/DEN".
bool ParseShift(const std::string& text, TPartRecord& record) {
    const std::size_t space = text.find(' ');
    const std::size_t slash = text.find('/');
    if (space == std::string::npos || slash == std::string::npos || slash < space) return false;
    const auto shift = Whole(std::string_view(text).substr(0, space));
    const auto num = Whole(std::string_view(text).substr(space + 1, slash - space - 1));
    const auto den = Whole(std::string_view(text).substr(slash + 1));
    if (!shift || !num || !den || *num <= 0 || *den <= 0 || *num > INT32_MAX || *den > INT32_MAX) return false;
    record.Shift = *shift;
    record.TimeBase = AVRational{static_cast<int>(*num), static_cast<int>(*den)};
    return true;
}

std::string Get(const AVDictionary* metadata, const char* key) {
    const AVDictionaryEntry* entry = av_dict_get(metadata, key, nullptr, 0);
    return entry != nullptr && entry->value != nullptr ? entry->value : "";
}

std::string Span(std::int64_t first, std::int64_t last) {
    return std::to_string(first) + "-" + (last >= 0 ? std::to_string(last) : std::string());
}

}  // namespace

void FingerprintFile(int fd, const std::string& fileName, std::int64_t& size, std::string& fingerprint) {
    struct stat st {};
    if (fstat(fd, &st) != 0) throw EError("\"" + fileName + "\" cannot be read: " + std::strerror(errno));
    size = static_cast<std::int64_t>(st.st_size);
    AVHashContext* hash = nullptr;
    if (av_hash_alloc(&hash, "SHA256") < 0 || hash == nullptr) throw EError("out of memory");
    try {
        av_hash_init(hash);
        const std::string sizeText = std::to_string(size);
        av_hash_update(hash, reinterpret_cast<const std::uint8_t*>(sizeText.data()), static_cast<int>(sizeText.size()));
        const std::int64_t head = std::min(size, kFingerprintSpan);
        HashRange(*hash, fd, fileName, 0, head);
        const std::int64_t tail = std::max(head, size - kFingerprintSpan);
        HashRange(*hash, fd, fileName, tail, size - tail);
    } catch (...) {
        av_hash_freep(&hash);
        throw;
    }
    char hex[2 * AV_HASH_MAX_SIZE + 1];
    av_hash_final_hex(hash, reinterpret_cast<std::uint8_t*>(hex), sizeof hex);
    av_hash_freep(&hash);
    fingerprint = hex;
}

TPartRecord SourceRecord(int fd, const std::string& fileName) {
    TPartRecord record;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(fileName, error);
    record.Source = error ? fileName : absolute.lexically_normal().string();
    FingerprintFile(fd, fileName, record.SourceSize, record.SourceFingerprint);
    return record;
}

void RecordPart(AVFormatContext& out, const TPartRecord& record) {
    av_dict_set(&out.metadata, kSourceKey, record.Source.c_str(), 0);
    av_dict_set(&out.metadata, kSizeKey, std::to_string(record.SourceSize).c_str(), 0);
    av_dict_set(&out.metadata, kFingerprintKey, record.SourceFingerprint.c_str(), 0);
    av_dict_set(&out.metadata, kFramesKey, FrameRangeText(record).c_str(), 0);
    const std::string shift = std::to_string(record.Shift) + " " + std::to_string(record.TimeBase.num) + "/" +
                              std::to_string(record.TimeBase.den);
    av_dict_set(&out.metadata, kShiftKey, shift.c_str(), 0);
    av_dict_set(&out.metadata, kTimeKey, Span(record.StartTime, record.EndTime).c_str(), 0);
    // QuickTime and MP4 keep only the metadata they name, unless told.
    if (out.priv_data != nullptr && av_opt_find(out.priv_data, "movflags", nullptr, 0, 0) != nullptr)
        av_opt_set(out.priv_data, "movflags", "+use_metadata_tags", 0);
}

std::optional<TPartRecord> ReadPartRecord(const AVFormatContext& in, const std::string& fileName) {
    const AVDictionary* metadata = in.metadata;
    if (av_dict_get(metadata, kFramesKey, nullptr, 0) == nullptr) return std::nullopt;
    TPartRecord record;
    record.Source = Get(metadata, kSourceKey);
    record.SourceFingerprint = Get(metadata, kFingerprintKey);
    const auto size = Whole(Get(metadata, kSizeKey));
    if (record.Source.empty() || record.SourceFingerprint.empty() || !size ||
        !ParseSpan(Get(metadata, kFramesKey), record.In, record.Out) || !ParseShift(Get(metadata, kShiftKey), record) ||
        !ParseSpan(Get(metadata, kTimeKey), record.StartTime, record.EndTime) || record.In < 0 ||
        (record.Out >= 0 && record.Out <= record.In))
        throw EError("\"" + fileName + "\": its record of the range it was rendered from is damaged");
    record.SourceSize = *size;
    return record;
}

std::string FrameRangeText(const TPartRecord& record) { return Span(record.In, record.Out); }
