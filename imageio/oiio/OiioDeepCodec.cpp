#include <OpenImageIO/filesystem.h>
#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "DeepCodec.h"
#include "Error.h"
#include "ImageFile.h"

// The module "ombrane-oiio.so": pictures at more than 8 bits decoded and
// encoded by OpenImageIO, behind the TDeepCodec interface.

namespace {

using OIIO::ImageInput;
using OIIO::ImageOutput;
using OIIO::ImageSpec;
using OIIO::TypeDesc;

// More channels than this are not a picture we grade.
constexpr int kMaxChannels = 64;

std::string Failure(const std::string& fileName, std::string message) {
    while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
    if (message.empty()) message = "the picture library gave no reason";
    return "The picture \"" + fileName + "\" cannot be read: " + message;
}

// ---- reading -------------------------------------------------------------

void CheckSpec(const ImageSpec& header, const std::string& fileName) {
    if (header.deep || header.depth > 1 || header.nchannels < 1 || header.nchannels > kMaxChannels)
        throw EError(Failure(fileName, "not a flat picture of 1 to " + std::to_string(kMaxChannels) + " channels"));
    const long long width = header.width, height = header.height;
    if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide ||
        width * height > kMaxPicturePixels)
        throw EError("The picture is too large (" + std::to_string(width) + " x " + std::to_string(height) +
                     " pixels)");
}

TPictureDepth DepthOf(const ImageSpec& header, const std::string& format) {
    TPictureDepth depth;
    depth.Format = format;
    depth.Compression = header.get_string_attribute("compression");
    const TypeDesc type = header.format;
    if (type == TypeDesc::HALF) {
        depth.Kind = TSampleKind::Half;
        depth.Bits = 16;
    } else if (type.is_floating_point() || type.is_signed()) {
        depth.Kind = TSampleKind::Float;
        depth.Bits = 32;
    } else {
        depth.Kind = TSampleKind::Integer;
        const int stored = static_cast<int>(type.size()) * 8;
        depth.Bits = std::clamp(header.get_int_attribute("oiio:BitsPerSample", stored), 1, stored);
    }
    return depth;
}

// The DPX reader fills what a file cut short lacks instead of failing, so
// the file must hold at least the pixel data its header declares, counted at
// the tightest packing (no padding) from the offset the header gives.
void CheckDpxLength(OIIO::Filesystem::IOProxy& proxy, const ImageSpec& header, const std::string& fileName) {
    unsigned char head[8] = {};
    if (proxy.pread(head, sizeof head, 0) != sizeof head) throw EError(Failure(fileName, "no DPX header"));
    const bool bigEndian = head[0] == 'S';
    std::uint64_t offset = 0;
    for (int i = 0; i < 4; ++i) offset = (offset << 8) | head[bigEndian ? 4 + i : 7 - i];
    const int bits = header.get_int_attribute("oiio:BitsPerSample", static_cast<int>(header.format.size()) * 8);
    const std::uint64_t samples = static_cast<std::uint64_t>(header.width) * header.height * header.nchannels;
    if (proxy.size() < offset + samples * static_cast<std::uint64_t>(bits) / 8)
        throw EError(Failure(fileName, "the file ends before its pixels do"));
}

// Which file channels become red, green, blue and alpha (-1: none).
struct TChannelMap {
    int Colour[3];
    int Alpha;
};

TChannelMap ChannelsOf(const ImageSpec& header) {
    if (header.nchannels >= 3) {
        const int alpha = header.alpha_channel >= 3 ? header.alpha_channel : (header.nchannels == 4 ? 3 : -1);
        return {{0, 1, 2}, alpha};
    }
    return {{0, 0, 0}, header.nchannels == 2 ? 1 : -1};
}

void ReadPixels(ImageInput& input, const ImageSpec& header, const std::string& fileName, TDeepImage& image) {
    const TChannelMap map = ChannelsOf(header);
    auto fail = [&] { throw EError(Failure(fileName, input.geterror())); };
    if (header.nchannels == 3 || (map.Alpha < 0 && header.nchannels > 3)) {
        // Red, green and blue straight into the rows.
        if (!input.read_image(0, 0, 0, 3, TypeDesc::FLOAT, image.Row(0))) fail();
        return;
    }
    const int last = std::max({map.Colour[2], map.Alpha}) + 1;
    const std::size_t perRow = static_cast<std::size_t>(header.width) * last;
    std::vector<float> all(perRow * static_cast<std::size_t>(header.height));
    if (!input.read_image(0, 0, 0, last, TypeDesc::FLOAT, all.data())) fail();
    for (int y = 0; y < image.Height(); ++y) {
        const float* p = all.data() + perRow * static_cast<std::size_t>(y);
        float* rgb = image.Row(y);
        float* alpha = map.Alpha >= 0 ? image.AlphaRow(y) : nullptr;
        for (int x = 0; x < image.Width(); ++x, p += last, rgb += 3) {
            for (int c = 0; c < 3; ++c) rgb[c] = p[map.Colour[c]];
            if (alpha) alpha[x] = p[map.Alpha];
        }
    }
}

TDeepImage Decode(OIIO::Filesystem::IOProxy& proxy, const std::string& format, const std::string& fileName) {
    ImageSpec config;
    // Colours as stored: alpha is carried, not multiplied in.
    config.attribute("oiio:UnassociatedAlpha", 1);
    // The readers take their data from the proxy only when the
    // configuration names it; without it they would open fileName again.
    void* proxyAddress = &proxy;
    config.attribute("oiio:ioproxy", TypeDesc::PTR, &proxyAddress);
    auto input = ImageInput::create(format, false, &config, &proxy);
    if (!input) throw EError(Failure(fileName, OIIO::geterror()));
    ImageSpec header;
    if (!input->open(fileName, header, config)) throw EError(Failure(fileName, input->geterror()));
    CheckSpec(header, fileName);
    if (format == "dpx") CheckDpxLength(proxy, header, fileName);
    TDeepImage image(header.width, header.height, ChannelsOf(header).Alpha >= 0);
    image.Depth = DepthOf(header, format);
    ReadPixels(*input, header, fileName, image);
    // Some readers note a short read without failing the call.
    if (input->has_error()) throw EError(Failure(fileName, input->geterror()));
    input->close();
    return image;
}

// ---- writing -------------------------------------------------------------

TypeDesc StorageType(const TPictureDepth& depth) {
    if (depth.Kind == TSampleKind::Half) return TypeDesc::HALF;
    if (depth.Kind == TSampleKind::Float) return TypeDesc::FLOAT;
    return depth.Bits <= 8 ? TypeDesc::UINT8 : TypeDesc::UINT16;
}

ImageSpec SpecFor(const TDeepImage& image, const TPictureDepth& depth) {
    const int channels = image.HasAlpha() ? 4 : 3;
    ImageSpec header(image.Width(), image.Height(), channels, StorageType(depth));
    header.channelnames = {"R", "G", "B"};
    if (image.HasAlpha()) {
        header.channelnames.push_back("A");
        header.alpha_channel = 3;
        header.attribute("oiio:UnassociatedAlpha", 1);
    }
    if (depth.Kind == TSampleKind::Integer) header.attribute("oiio:BitsPerSample", depth.Bits);
    if (!depth.Compression.empty()) header.attribute("compression", depth.Compression);
    return header;
}

// The samples as the writer takes them: red, green, blue (and alpha)
// interleaved. Integer depths other than 8 and 16 bits are rounded to their
// own levels here, since the DPX writer cuts the extra bits off.
std::vector<float> Interleaved(const TDeepImage& image, int bits) {
    const int channels = image.HasAlpha() ? 4 : 3;
    const double levels = bits > 0 ? std::ldexp(1.0, bits) - 1.0 : 0.0;
    auto sample = [levels](float v) {
        if (levels == 0.0) return v;
        const double clamped = v >= 0.0f ? std::min<double>(v, 1.0) : 0.0;
        return static_cast<float>(std::nearbyint(clamped * levels) / levels);
    };
    std::vector<float> pixels(static_cast<std::size_t>(image.Width()) * image.Height() * channels);
    float* q = pixels.data();
    for (int y = 0; y < image.Height(); ++y) {
        const float* rgb = image.Row(y);
        const float* alpha = image.HasAlpha() ? image.AlphaRow(y) : nullptr;
        for (int x = 0; x < image.Width(); ++x, rgb += 3, q += channels) {
            q[0] = sample(rgb[0]);
            q[1] = sample(rgb[1]);
            q[2] = sample(rgb[2]);
            if (alpha) q[3] = sample(alpha[x]);
        }
    }
    return pixels;
}

std::string Encode(const TDeepImage& image, const TPictureDepth& depth) {
    if (image.Empty()) throw EError("There is no picture to write");
    std::vector<unsigned char> bytes;
    OIIO::Filesystem::IOVecOutput proxy(bytes);
    auto output = ImageOutput::create(depth.Format, &proxy);
    if (!output) throw EError("Cannot encode the picture: " + OIIO::geterror());
    auto fail = [&] { throw EError("Cannot encode the picture: " + output->geterror()); };
    if (!output->open("picture." + depth.Format, SpecFor(image, depth))) fail();
    const bool oddBits = depth.Kind == TSampleKind::Integer && depth.Bits != 8 && depth.Bits != 16;
    std::vector<float> samples;
    if (image.HasAlpha() || oddBits) samples = Interleaved(image, oddBits ? depth.Bits : 0);
    if (!output->write_image(TypeDesc::FLOAT, samples.empty() ? image.Row(0) : samples.data())) fail();
    if (!output->close()) fail();
    return std::string(bytes.begin(), bytes.end());
}

class TOiioDeepCodec final : public TDeepCodec {
public:
    TDeepImage Decode(std::FILE* file, const std::string& format, const std::string& fileName) const override {
        OIIO::Filesystem::IOFile proxy(file, OIIO::Filesystem::IOProxy::Read);
        return ::Decode(proxy, format, fileName);
    }
    TDeepImage Decode(std::string_view bytes, const std::string& format,
                      const std::string& fileName) const override {
        OIIO::Filesystem::IOMemReader proxy(bytes.data(), bytes.size());
        return ::Decode(proxy, format, fileName);
    }
    std::string Encode(const TDeepImage& image, const TPictureDepth& depth) const override {
        return ::Encode(image, depth);
    }
};

}  // namespace

extern "C" const TDeepCodec* OmbraneDeepCodec() {
    static const TOiioDeepCodec codec;
    return &codec;
}
