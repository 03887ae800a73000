#include "clip/ffmpeg/FfmpegPixels.h"

extern "C" {
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/base/Error.h"
#include "engine/base/Parallel.h"

namespace {

constexpr int kUnreadFlags = AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_HWACCEL |
                             AV_PIX_FMT_FLAG_BAYER | AV_PIX_FMT_FLAG_FLOAT;
constexpr int kSwsFlags = SWS_POINT | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT | SWS_FULL_CHR_H_INP | SWS_BITEXACT;

const AVPixFmtDescriptor& Describe(AVPixelFormat format) {
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(format);
    if (desc == nullptr) throw EError("unknown pixel format");
    return *desc;
}

// Read and written by the formulas here, component by component.
bool IsDirect(AVPixelFormat format) {
    const AVPixFmtDescriptor& desc = Describe(format);
    if ((desc.flags & kUnreadFlags) != 0 || desc.nb_components < 3) return false;
    if (format == AV_PIX_FMT_XYZ12LE || format == AV_PIX_FMT_XYZ12BE) return false;
    for (int c = 0; c < desc.nb_components; ++c)
        if (desc.comp[c].depth > 16) return false;
    return true;
}

// A component laid out as plain samples of its own plane, in the machine's order.
bool IsPlainPlane(const AVPixFmtDescriptor& desc, int c) {
    const AVComponentDescriptor& comp = desc.comp[c];
    const int bytes = comp.depth > 8 ? 2 : 1;
    return (desc.flags & AV_PIX_FMT_FLAG_PLANAR) && !(desc.flags & AV_PIX_FMT_FLAG_BE) && comp.step == bytes &&
           comp.offset == 0 && comp.shift == 0;
}

void FetchRow(const AVFrame& frame, const AVPixFmtDescriptor& desc, int c, int y, int width, std::uint16_t* out) {
    if (IsPlainPlane(desc, c)) {
        const std::uint8_t* row =
            frame.data[desc.comp[c].plane] + static_cast<std::ptrdiff_t>(y) * frame.linesize[desc.comp[c].plane];
        if (desc.comp[c].depth > 8)
            std::memcpy(out, row, static_cast<std::size_t>(width) * 2);
        else
            for (int x = 0; x < width; ++x) out[x] = row[x];
        return;
    }
    const std::uint8_t* data[4] = {frame.data[0], frame.data[1], frame.data[2], frame.data[3]};
    av_read_image_line2(out, data, frame.linesize, &desc, 0, y, c, width, 0, 2);
}

void StoreRow(AVFrame& frame, const AVPixFmtDescriptor& desc, int c, int y, int width, const std::uint16_t* in) {
    if (IsPlainPlane(desc, c)) {
        std::uint8_t* row =
            frame.data[desc.comp[c].plane] + static_cast<std::ptrdiff_t>(y) * frame.linesize[desc.comp[c].plane];
        if (desc.comp[c].depth > 8)
            std::memcpy(row, in, static_cast<std::size_t>(width) * 2);
        else
            for (int x = 0; x < width; ++x) row[x] = static_cast<std::uint8_t>(in[x]);
        return;
    }
    av_write_image_line2(in, frame.data, frame.linesize, &desc, 0, y, c, width, 2);
}

int ChromaWidth(const AVPixFmtDescriptor& desc, int width) { return -((-width) >> desc.log2_chroma_w); }

int ChromaHeight(const AVPixFmtDescriptor& desc, int height) { return -((-height) >> desc.log2_chroma_h); }

void RgbFrameToImage(const AVFrame& frame, const AVPixFmtDescriptor& desc, TDeepImage& image) {
    const int width = frame.width;
    std::vector<std::uint16_t> samples(static_cast<std::size_t>(width));
    for (int c = 0; c < 3; ++c) {
        const double top = std::ldexp(1.0, desc.comp[c].depth) - 1;
        for (int y = 0; y < frame.height; ++y) {
            FetchRow(frame, desc, c, y, width, samples.data());
            float* row = image.Row(y);
            for (int x = 0; x < width; ++x) row[3 * x + c] = static_cast<float>(samples[x] / top);
        }
    }
}

// Rows a worker takes at the least.
constexpr int kMinPixelRowsPerSlice = 32;

void YuvRowsToImage(const AVFrame& frame, const AVPixFmtDescriptor& desc, const TCodeTables& tables, int begin, int end,
                    TDeepImage& image) {
    const int width = frame.width;
    const int chromaWidth = ChromaWidth(desc, width);
    std::vector<std::uint16_t> luma(static_cast<std::size_t>(width));
    std::vector<std::uint16_t> cb(static_cast<std::size_t>(chromaWidth)), cr(cb.size());
    int loaded = -1;
    for (int y = begin; y < end; ++y) {
        FetchRow(frame, desc, 0, y, width, luma.data());
        const int chromaRow = y >> desc.log2_chroma_h;
        if (chromaRow != loaded) {
            FetchRow(frame, desc, 1, chromaRow, chromaWidth, cb.data());
            FetchRow(frame, desc, 2, chromaRow, chromaWidth, cr.data());
            loaded = chromaRow;
        }
        float* row = image.Row(y);
        for (int x = 0; x < width; ++x) {
            const int cx = x >> desc.log2_chroma_w;
            tables.ToRgb(luma[x], cb[cx], cr[cx], row + 3 * x);
        }
    }
}

void YuvFrameToImage(const AVFrame& frame, const AVPixFmtDescriptor& desc, const TYCbCrCoding& coding,
                     TDeepImage& image) {
    int bits = 0;
    for (int c = 0; c < 3; ++c) bits = std::max(bits, desc.comp[c].depth);
    const TCodeTables tables(coding, bits);
    ParallelFor(frame.height, kMinPixelRowsPerSlice,
                [&](int begin, int end) { YuvRowsToImage(frame, desc, tables, begin, end, image); });
}

void ImageToRgbFrame(const TDeepImage& image, const AVPixFmtDescriptor& desc, AVFrame& frame) {
    const int width = frame.width;
    std::vector<std::uint16_t> samples(static_cast<std::size_t>(width));
    for (int c = 0; c < 3; ++c) {
        const double top = std::ldexp(1.0, desc.comp[c].depth) - 1;
        for (int y = 0; y < frame.height; ++y) {
            const float* row = image.Row(y);
            for (int x = 0; x < width; ++x) {
                const double value = row[3 * x + c] * top;
                samples[x] = static_cast<std::uint16_t>(value > 0 ? std::lround(std::min(value, top)) : 0);
            }
            StoreRow(frame, desc, c, y, width, samples.data());
        }
    }
}

// TYCbCrCoding::Quantise with the top code worked out once: a code below
// one half is 0, and from there adding one half and truncating rounds as
// lround does (the sum is exact there, and halves go up).
class TQuantiser {
public:
    explicit TQuantiser(int bits) : top_(std::ldexp(1.0, bits) - 1) {}
    std::uint16_t operator()(double code) const {
        if (!(code >= 0.5)) return 0;
        return static_cast<std::uint16_t>(static_cast<int>(std::min(code, top_) + 0.5));
    }

private:
    double top_;
};

// The chroma rows [begin, end) and the luma rows they cover.
void ImageToYuvRows(const TDeepImage& image, const AVPixFmtDescriptor& desc, const TYCbCrCoding& coding, int begin,
                    int end, AVFrame& frame) {
    const int width = frame.width;
    const int chromaWidth = ChromaWidth(desc, width);
    std::vector<std::uint16_t> luma(static_cast<std::size_t>(width));
    std::vector<std::uint16_t> cbCodes(static_cast<std::size_t>(chromaWidth)), crCodes(cbCodes.size());
    std::vector<double> cbSum(cbCodes.size()), crSum(cbCodes.size()), count(cbCodes.size());
    const TCodeScale scale = coding.Scale();
    const TQuantiser quantise(coding.Bits);
    for (int chromaRow = begin; chromaRow < end; ++chromaRow) {
        std::fill(cbSum.begin(), cbSum.end(), 0.0);
        std::fill(crSum.begin(), crSum.end(), 0.0);
        std::fill(count.begin(), count.end(), 0.0);
        const int first = chromaRow << desc.log2_chroma_h;
        const int last = std::min(frame.height, first + (1 << desc.log2_chroma_h));
        for (int y = first; y < last; ++y) {
            const float* row = image.Row(y);
            for (int x = 0; x < width; ++x) {
                double codeY, codeCb, codeCr;
                coding.ToCodes(scale, row + 3 * x, codeY, codeCb, codeCr);
                luma[x] = quantise(codeY);
                const int cx = x >> desc.log2_chroma_w;
                cbSum[cx] += codeCb;
                crSum[cx] += codeCr;
                count[cx] += 1;
            }
            StoreRow(frame, desc, 0, y, width, luma.data());
        }
        for (int cx = 0; cx < chromaWidth; ++cx) {
            cbCodes[cx] = quantise(cbSum[cx] / count[cx]);
            crCodes[cx] = quantise(crSum[cx] / count[cx]);
        }
        StoreRow(frame, desc, 1, chromaRow, chromaWidth, cbCodes.data());
        StoreRow(frame, desc, 2, chromaRow, chromaWidth, crCodes.data());
    }
}

void ImageToYuvFrame(const TDeepImage& image, const AVPixFmtDescriptor& desc, const TYCbCrCoding& coding,
                     AVFrame& frame) {
    // Each chroma row and the luma rows it covers are written on their own.
    const int minRows = std::max(1, kMinPixelRowsPerSlice >> desc.log2_chroma_h);
    ParallelFor(ChromaHeight(desc, frame.height), minRows,
                [&](int begin, int end) { ImageToYuvRows(image, desc, coding, begin, end, frame); });
}

// The library writes a component of 8 bits or less that shares its bytes
// with others by setting its bits over what the bytes hold, so the planes of
// such formats are cleared before a picture is written into them (a frame
// made writable holds a copy of the last frame).
void ClearSharedBytes(const AVPixFmtDescriptor& desc, AVFrame& frame) {
    bool shared = false;
    for (int c = 0; c < desc.nb_components; ++c)
        shared = shared || (!IsPlainPlane(desc, c) && desc.comp[c].shift + desc.comp[c].depth <= 8);
    if (!shared) return;
    for (int plane = 0; plane < 4 && frame.data[plane] != nullptr; ++plane) {
        const int rows = plane == 1 || plane == 2 ? ChromaHeight(desc, frame.height) : frame.height;
        std::memset(frame.data[plane], 0, static_cast<std::size_t>(frame.linesize[plane]) * rows);
    }
}

// The format's alpha component, read and written by the formulas here:
// the fourth of a colour format.
bool HasDirectAlpha(const AVPixFmtDescriptor& desc) {
    return (desc.flags & AV_PIX_FMT_FLAG_ALPHA) && desc.nb_components == 4;
}

// Alpha, where the format has it, is opaque.
void FillAlpha(const AVPixFmtDescriptor& desc, AVFrame& frame) {
    if (!HasDirectAlpha(desc)) return;
    const int c = desc.nb_components - 1;
    std::vector<std::uint16_t> opaque(static_cast<std::size_t>(frame.width),
                                      static_cast<std::uint16_t>((1 << desc.comp[c].depth) - 1));
    for (int y = 0; y < frame.height; ++y) StoreRow(frame, desc, c, y, frame.width, opaque.data());
}

// The frame's alpha samples into the image's alpha rows, at full scale 1.
void AlphaToImage(const AVFrame& frame, const AVPixFmtDescriptor& desc, TDeepImage& image) {
    const int width = frame.width;
    const double top = std::ldexp(1.0, desc.comp[3].depth) - 1;
    std::vector<std::uint16_t> samples(static_cast<std::size_t>(width));
    for (int y = 0; y < frame.height; ++y) {
        FetchRow(frame, desc, 3, y, width, samples.data());
        float* row = image.AlphaRow(y);
        for (int x = 0; x < width; ++x) row[x] = static_cast<float>(samples[x] / top);
    }
}

// The image's alpha rows into the frame's alpha samples, rounded to the
// nearest; an image without alpha is opaque.
void ImageToAlpha(const TDeepImage& image, const AVPixFmtDescriptor& desc, AVFrame& frame) {
    if (!HasDirectAlpha(desc)) return;
    if (!image.HasAlpha()) return FillAlpha(desc, frame);
    const int width = frame.width;
    const double top = std::ldexp(1.0, desc.comp[3].depth) - 1;
    std::vector<std::uint16_t> samples(static_cast<std::size_t>(width));
    for (int y = 0; y < frame.height; ++y) {
        const float* row = image.AlphaRow(y);
        for (int x = 0; x < width; ++x) {
            const double value = row[x] * top;
            samples[x] = static_cast<std::uint16_t>(value > 0 ? std::lround(std::min(value, top)) : 0);
        }
        StoreRow(frame, desc, 3, y, width, samples.data());
    }
}

struct TFrameHolder {
    AVFrame* Frame = av_frame_alloc();
    ~TFrameHolder() { av_frame_free(&Frame); }
};

void AllocateFrame(AVFrame& frame, AVPixelFormat format, int width, int height) {
    frame.format = format;
    frame.width = width;
    frame.height = height;
    if (av_frame_get_buffer(&frame, 0) < 0) throw EError("out of memory for a frame");
}

}  // namespace

int FormatBits(AVPixelFormat format) { return Describe(format).comp[0].depth; }

bool FormatHasAlpha(AVPixelFormat format) { return (Describe(format).flags & AV_PIX_FMT_FLAG_ALPHA) != 0; }

bool IsRgbFormat(AVPixelFormat format) {
    return (Describe(format).flags & AV_PIX_FMT_FLAG_RGB) != 0 || !IsDirect(format);
}

TYCbCrCoding CodingOf(AVPixelFormat format, AVColorSpace space, AVColorRange range, int height) {
    const int bits = FormatBits(format);
    const bool jpegFormat = format == AV_PIX_FMT_YUVJ420P || format == AV_PIX_FMT_YUVJ422P ||
                            format == AV_PIX_FMT_YUVJ444P || format == AV_PIX_FMT_YUVJ440P ||
                            format == AV_PIX_FMT_YUVJ411P;
    const bool full = range == AVCOL_RANGE_JPEG || (range == AVCOL_RANGE_UNSPECIFIED && jpegFormat);
    switch (space) {
        case AVCOL_SPC_BT709:
            return Bt709Coding(bits, full);
        case AVCOL_SPC_BT470BG:
        case AVCOL_SPC_SMPTE170M:
            return Bt601Coding(bits, full);
        case AVCOL_SPC_BT2020_NCL:
        case AVCOL_SPC_BT2020_CL:
            return Bt2020Coding(bits, full);
        default:
            return height > 576 ? Bt709Coding(bits, full) : Bt601Coding(bits, full);
    }
}

TFrameConverter::~TFrameConverter() {
    sws_freeContext(reader_);
    sws_freeContext(writer_);
}

void TFrameConverter::ToImage(const AVFrame& frame, const TYCbCrCoding& coding, TDeepImage& image) {
    const auto format = static_cast<AVPixelFormat>(frame.format);
    const bool alpha = FormatHasAlpha(format);
    if (image.Width() != frame.width || image.Height() != frame.height || image.HasAlpha() != alpha ||
        image.Row(0) == nullptr)
        image = TDeepImage(frame.width, frame.height, alpha);
    if (IsDirect(format)) {
        const AVPixFmtDescriptor& desc = Describe(format);
        if (desc.flags & AV_PIX_FMT_FLAG_RGB)
            RgbFrameToImage(frame, desc, image);
        else
            YuvFrameToImage(frame, desc, coding, image);
        if (alpha) AlphaToImage(frame, desc, image);
        return;
    }
    // Formats read through libswscale keep their alpha in a fourth plane.
    const AVPixelFormat wide = alpha ? AV_PIX_FMT_GBRAP16 : AV_PIX_FMT_GBRP16;
    reader_ = sws_getCachedContext(reader_, frame.width, frame.height, format, frame.width, frame.height, wide,
                                   kSwsFlags, nullptr, nullptr, nullptr);
    if (reader_ == nullptr)
        throw EError(std::string("frames in the pixel format ") + av_get_pix_fmt_name(format) + " cannot be converted");
    TFrameHolder rgb;
    AllocateFrame(*rgb.Frame, wide, frame.width, frame.height);
    sws_scale(reader_, frame.data, frame.linesize, 0, frame.height, rgb.Frame->data, rgb.Frame->linesize);
    RgbFrameToImage(*rgb.Frame, Describe(wide), image);
    if (alpha) AlphaToImage(*rgb.Frame, Describe(wide), image);
}

void TFrameConverter::ToFrame(const TDeepImage& image, const TYCbCrCoding& coding, AVFrame& frame) {
    const auto format = static_cast<AVPixelFormat>(frame.format);
    if (IsDirect(format)) {
        const AVPixFmtDescriptor& desc = Describe(format);
        ClearSharedBytes(desc, frame);
        if (desc.flags & AV_PIX_FMT_FLAG_RGB)
            ImageToRgbFrame(image, desc, frame);
        else
            ImageToYuvFrame(image, desc, coding, frame);
        ImageToAlpha(image, desc, frame);
        return;
    }
    const AVPixelFormat wide = FormatHasAlpha(format) ? AV_PIX_FMT_GBRAP16 : AV_PIX_FMT_GBRP16;
    writer_ = sws_getCachedContext(writer_, frame.width, frame.height, wide, frame.width, frame.height, format,
                                   kSwsFlags, nullptr, nullptr, nullptr);
    if (writer_ == nullptr)
        throw EError(std::string("frames in the pixel format ") + av_get_pix_fmt_name(format) + " cannot be written");
    TFrameHolder rgb;
    AllocateFrame(*rgb.Frame, wide, frame.width, frame.height);
    ImageToRgbFrame(image, Describe(wide), *rgb.Frame);
    ImageToAlpha(image, Describe(wide), *rgb.Frame);
    sws_scale(writer_, rgb.Frame->data, rgb.Frame->linesize, 0, frame.height, frame.data, frame.linesize);
}

bool ReadsDirectly(AVPixelFormat format) { return IsDirect(format); }

void FetchComponentRow(const AVFrame& frame, int c, int y, int width, std::uint16_t* out) {
    FetchRow(frame, Describe(static_cast<AVPixelFormat>(frame.format)), c, y, width, out);
}
