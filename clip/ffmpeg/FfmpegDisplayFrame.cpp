#include "clip/ffmpeg/FfmpegDisplayFrame.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include "engine/base/Clamp01.h"
#include "engine/base/Error.h"
#include "engine/base/Parallel.h"

namespace {

// Rows a worker takes at the least.
constexpr int kMinRowsPerSlice = 32;

inline std::uint8_t Level8(float value) { return static_cast<std::uint8_t>(Clamp01(value) * 255.0 + 0.5); }

// Where each target pixel of one axis is taken from: the source pixel at
// First and its next one, mixed by Weight (0 takes First alone).
struct TTaps {
    std::vector<int> First;
    std::vector<float> Weight;
};

TTaps TapsFor(int source, int target) {
    TTaps taps;
    taps.First.resize(static_cast<std::size_t>(target));
    taps.Weight.resize(taps.First.size());
    for (int i = 0; i < target; ++i) {
        if (source == target) {
            taps.First[i] = i;
            taps.Weight[i] = 0;
            continue;
        }
        // The target pixel's centre on the source, kept inside it.
        const double at = std::clamp((i + 0.5) * source / target - 0.5, 0.0, source - 1.0);
        const int first = std::min(static_cast<int>(at), source - 1);
        taps.First[i] = first;
        taps.Weight[i] = first + 1 < source ? static_cast<float>(at - first) : 0.0f;
    }
    return taps;
}

// Row y of the source as RGB floats, 3 a pixel.
using TRowSource = std::function<void(int y, float* rgb)>;

// Reads rows of a Y'CbCr frame as YuvRowsToImage converts them.
class TYuvRows {
public:
    TYuvRows(const AVFrame& frame, const TCodeTables& tables)
        : frame_(frame),
          desc_(*av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame.format))),
          tables_(tables),
          luma_(static_cast<std::size_t>(frame.width)),
          cb_(static_cast<std::size_t>(-((-frame.width) >> desc_.log2_chroma_w))),
          cr_(cb_.size()) {}

    void operator()(int y, float* rgb) {
        const int width = frame_.width;
        FetchComponentRow(frame_, 0, y, width, luma_.data());
        const int chromaRow = y >> desc_.log2_chroma_h;
        if (chromaRow != loaded_) {
            FetchComponentRow(frame_, 1, chromaRow, static_cast<int>(cb_.size()), cb_.data());
            FetchComponentRow(frame_, 2, chromaRow, static_cast<int>(cr_.size()), cr_.data());
            loaded_ = chromaRow;
        }
        for (int x = 0; x < width; ++x) {
            const int cx = x >> desc_.log2_chroma_w;
            tables_.ToRgb(luma_[x], cb_[cx], cr_[cx], rgb + 3 * x);
        }
    }

private:
    const AVFrame& frame_;
    const AVPixFmtDescriptor& desc_;
    const TCodeTables& tables_;
    std::vector<std::uint16_t> luma_, cb_, cr_;
    int loaded_ = -1;
};

// Reads rows of an RGB frame as RgbFrameToImage converts them.
class TRgbRows {
public:
    explicit TRgbRows(const AVFrame& frame) : frame_(frame), samples_(static_cast<std::size_t>(frame.width)) {
        const AVPixFmtDescriptor& desc = *av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame.format));
        for (int c = 0; c < 3; ++c) top_[c] = std::ldexp(1.0, desc.comp[c].depth) - 1;
    }

    void operator()(int y, float* rgb) {
        for (int c = 0; c < 3; ++c) {
            FetchComponentRow(frame_, c, y, frame_.width, samples_.data());
            for (int x = 0; x < frame_.width; ++x) rgb[3 * x + c] = static_cast<float>(samples_[x] / top_[c]);
        }
    }

private:
    const AVFrame& frame_;
    std::vector<std::uint16_t> samples_;
    double top_[3] = {};
};

// The rows of one slice of the picture: each source row it needs is read
// and scaled across once, and kept while the next target row needs it too.
class TSliceScaler {
public:
    TSliceScaler(int sourceWidth, const TTaps& across, const TTaps& down, TRowSource source)
        : sourceWidth_(sourceWidth),
          across_(across),
          down_(down),
          source_(std::move(source)),
          raw_(3 * static_cast<std::size_t>(sourceWidth)) {
        for (auto& row : rows_) row.Pixels.resize(3 * across.First.size());
    }

    void Rows(int begin, int end, TImage& picture) {
        const int width = static_cast<int>(across_.First.size());
        for (int y = begin; y < end; ++y) {
            const int first = down_.First[y];
            const float weight = down_.Weight[y];
            const float* top = Scaled(first, first + 1);
            std::uint8_t* out = picture.Row(y);
            if (weight == 0.0f) {
                for (int x = 0; x < width; ++x, out += 3, top += 3) Store(top, out);
                continue;
            }
            const float* bottom = Scaled(first + 1, first);
            for (int x = 0; x < width; ++x, out += 3) {
                float mixed[3];
                for (int c = 0; c < 3; ++c) {
                    const float a = top[3 * x + c];
                    mixed[c] = a + weight * (bottom[3 * x + c] - a);
                }
                Store(mixed, out);
            }
        }
    }

private:
    struct TRow {
        int Source = -1;
        std::vector<float> Pixels;
    };

    // Stored blue, green, red.
    static void Store(const float* rgb, std::uint8_t* out) {
        out[0] = Level8(rgb[2]);
        out[1] = Level8(rgb[1]);
        out[2] = Level8(rgb[0]);
    }

    // Source row `source` scaled across; the row `keep` stays where it is.
    const float* Scaled(int source, int keep) {
        for (TRow& row : rows_)
            if (row.Source == source) return row.Pixels.data();
        TRow& row = rows_[rows_[0].Source == keep ? 1 : 0];
        source_(source, raw_.data());
        Across(row.Pixels.data());
        row.Source = source;
        return row.Pixels.data();
    }

    void Across(float* out) const {
        const int width = static_cast<int>(across_.First.size());
        if (width == sourceWidth_) {
            std::memcpy(out, raw_.data(), raw_.size() * sizeof(float));
            return;
        }
        for (int x = 0; x < width; ++x, out += 3) {
            const float* a = raw_.data() + 3 * across_.First[x];
            const float weight = across_.Weight[x];
            if (weight == 0.0f) {
                std::memcpy(out, a, 3 * sizeof(float));
                continue;
            }
            for (int c = 0; c < 3; ++c) out[c] = a[c] + weight * (a[3 + c] - a[c]);
        }
    }

    const int sourceWidth_;
    const TTaps& across_;
    const TTaps& down_;
    TRowSource source_;
    std::vector<float> raw_;
    TRow rows_[2];
};

int CodeBits(AVPixelFormat format) {
    const AVPixFmtDescriptor& desc = *av_pix_fmt_desc_get(format);
    int bits = 0;
    for (int c = 0; c < 3; ++c) bits = std::max(bits, desc.comp[c].depth);
    return bits;
}

}  // namespace

void TDisplayFrame::Make(const AVFrame& frame, const TYCbCrCoding& coding, int width, int height, TImage& picture) {
    width = std::clamp(width, 1, frame.width);
    height = std::clamp(height, 1, frame.height);
    if (picture.Width() != width || picture.Height() != height) picture.SetSize(width, height);
    const auto format = static_cast<AVPixelFormat>(frame.format);
    const bool direct = ReadsDirectly(format);
    if (!direct) converter_.ToImage(frame, coding, whole_);
    const bool rgb = direct && (av_pix_fmt_desc_get(format)->flags & AV_PIX_FMT_FLAG_RGB) != 0;
    const TCodeTables tables(coding, direct && !rgb ? CodeBits(format) : coding.Bits);
    const TTaps across = TapsFor(frame.width, width);
    const TTaps down = TapsFor(frame.height, height);
    ParallelFor(height, kMinRowsPerSlice, [&](int begin, int end) {
        TRowSource source;
        if (!direct)
            source = [this, &frame](int y, float* out) {
                std::memcpy(out, whole_.Row(y), 3 * static_cast<std::size_t>(frame.width) * sizeof(float));
            };
        else if (rgb)
            source = TRgbRows(frame);
        else
            source = TYuvRows(frame, tables);
        TSliceScaler(frame.width, across, down, std::move(source)).Rows(begin, end, picture);
    });
}
