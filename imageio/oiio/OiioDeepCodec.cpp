#include <OpenImageIO/filesystem.h>
#include <OpenImageIO/imageio.h>
#include <OpenImageIO/thread.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <thread>
#include <vector>

#include "engine/base/Error.h"
#include "imageio/ColourProfile.h"
#include "imageio/DeepCodec.h"
#include "imageio/IccProfile.h"
#include "imageio/ImageFile.h"

// The module "ombrane-oiio.so": pictures at more than 8 bits decoded and
// encoded by OpenImageIO, behind the TDeepCodec interface.

namespace {

using OIIO::ImageInput;
using OIIO::ImageOutput;
using OIIO::ImageSpec;
using OIIO::TypeDesc;

// More channels than this are not a picture we grade.
constexpr int kMaxChannels = 64;

// The library's reason as one line: its first (some readers add a line for
// every row they failed to read).
std::string FirstLine(std::string message) {
    const auto end = message.find('\n');
    if (end != std::string::npos) message.erase(end);
    while (!message.empty() && (message.back() == '\r' || message.back() == ' ')) message.pop_back();
    return message;
}

std::string Failure(const std::string& fileName, const std::string& message) {
    std::string reason = FirstLine(message);
    if (reason.empty()) reason = FirstLine(OIIO::geterror());
    if (reason.empty()) reason = "the picture library gave no reason";
    return "The picture \"" + fileName + "\" cannot be read: " + reason;
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
    if (const OIIO::ParamValue* icc = header.find_attribute("ICCProfile"))
        depth.IccProfile.assign(static_cast<const char*>(icc->data()), static_cast<std::size_t>(icc->datasize()));
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

// The bytes of one row of DPX pixel data as the reader lays them out: 10
// bits filled three to a 32-bit word, 12 bits filled one to 16 bits, 10 and
// 12 bits packed in words, each row starting on a word; 8 and 16 bits as
// bytes without padding.
std::uint64_t DpxRowBytes(const ImageSpec& header, int bits) {
    const std::uint64_t samples = static_cast<std::uint64_t>(header.width) * header.nchannels;
    const bool filled = std::string(header.get_string_attribute("dpx:Packing")).rfind("Filled", 0) == 0;
    if (bits == 10 && filled) return (samples + 2) / 3 * 4;
    if (bits == 12 && filled) return samples * 2;
    if (bits == 10 || bits == 12) return (samples * bits + 31) / 32 * 4;
    return (samples * bits + 7) / 8;
}

// The DPX reader fills what a file cut short lacks instead of failing, so
// the file must hold all the pixel data its header declares from the offset
// the header gives.
void CheckDpxLength(OIIO::Filesystem::IOProxy& proxy, const ImageSpec& header, const std::string& fileName) {
    unsigned char head[8] = {};
    if (proxy.pread(head, sizeof head, 0) != sizeof head) throw EError(Failure(fileName, "no DPX header"));
    const bool bigEndian = head[0] == 'S';
    std::uint64_t offset = 0;
    for (int i = 0; i < 4; ++i) offset = (offset << 8) | head[bigEndian ? 4 + i : 7 - i];
    const int bits = header.get_int_attribute("oiio:BitsPerSample", static_cast<int>(header.format.size()) * 8);
    if (proxy.size() < offset + DpxRowBytes(header, bits) * static_cast<std::uint64_t>(header.height))
        throw EError(Failure(fileName, "the file ends before its pixels do"));
}

// How many times smaller than its pixels a file of the format and
// compression can be at most: 1 for data stored as it is, else a bound
// above what the coding can reach (deflate about 1032, run lengths 128), and
// a wide one for codings without a small bound (wavelets, lossy).
std::uint64_t MaxCompression(const std::string& format, const std::string& compression) {
    if (format == "pnm" || compression == "none" || (format == "targa" && compression.empty())) return 1;
    if (compression == "rle" || compression == "packbits" || format == "hdr") return 256;
    if (compression == "zip" || compression == "zips" || compression == "lzw" || compression == "deflate" ||
        format == "png")
        return 4096;
    return 65536;
}

// A header that declares more pixels than the file can hold is refused
// before anything is allocated for them.
void CheckDeclaredSize(OIIO::Filesystem::IOProxy& proxy, const ImageSpec& header, const std::string& format,
                       const std::string& fileName) {
    const int bits = header.get_int_attribute("oiio:BitsPerSample", static_cast<int>(header.format.size()) * 8);
    const std::uint64_t bytes = (static_cast<std::uint64_t>(header.width) * header.height * header.nchannels *
                                     static_cast<std::uint64_t>(bits) +
                                 7) /
                                8;
    const std::uint64_t ratio = MaxCompression(format, header.get_string_attribute("compression"));
    if (proxy.size() >= (bytes + ratio - 1) / ratio) return;
    if (ratio == 1) throw EError(Failure(fileName, "the file ends before its pixels do"));
    throw EError(Failure(fileName, "the file is too small for the " + std::to_string(header.width) + " x " +
                                       std::to_string(header.height) + " pixels its header declares"));
}

// Which file channels become red, green, blue and alpha (-1: none). Alpha
// is only the channel the file marks as such; the other channels are one
// grey channel or red, green and blue.
struct TChannelMap {
    int Colour[3];
    int Alpha;
};

TChannelMap ChannelsOf(const ImageSpec& header) {
    const int alpha = header.alpha_channel >= 0 && header.alpha_channel < header.nchannels ? header.alpha_channel : -1;
    std::vector<int> colours;
    for (int c = 0; c < header.nchannels; ++c)
        if (c != alpha) colours.push_back(c);
    if (colours.size() == 3) return {{colours[0], colours[1], colours[2]}, alpha};
    const int grey = colours.empty() ? -1 : colours[0];
    return {{grey, grey, grey}, alpha};
}

// Refuses a picture the program would write back with less than it holds:
// channels other than colour and marked alpha, alpha alone, more parts.
void CheckCarried(ImageInput& input, const ImageSpec& header, const std::string& fileName) {
    if (input.seek_subimage(1, 0)) {
        int parts = 2;
        while (parts < 1000 && input.seek_subimage(parts, 0)) ++parts;
        throw EError(Failure(fileName, "it holds " + std::to_string(parts) +
                                           " parts (sub-pictures); only single-part pictures are carried"));
    }
    input.geterror();  // the failed seek's message is no error of the picture
    if (!input.seek_subimage(0, 0)) throw EError(Failure(fileName, input.geterror()));
    const int alpha = ChannelsOf(header).Alpha;
    const int colours = header.nchannels - (alpha >= 0 ? 1 : 0);
    if (colours == 0) throw EError(Failure(fileName, "it holds alpha only, no colour"));
    if (colours == 1 || colours == 3) return;
    if (header.nchannels > 4)
        throw EError(Failure(fileName, "it holds " + std::to_string(header.nchannels) +
                                           " channels, of which only red, green, blue and alpha would be kept"));
    std::string names;
    int lost = 0;
    for (int c = colours > 3 ? 3 : 1; c < header.nchannels; ++c)
        if (c != alpha) names += std::string(lost++ ? ", " : "") + "\"" + std::string(header.channel_name(c)) + "\"";
    throw EError(Failure(fileName, (lost > 1 ? "the channels " + names + " are" : "the channel " + names + " is") +
                                       " neither colour nor alpha and would be lost"));
}

// A profile of other pixels than the file's (a grey one on colour) is
// refused, as the readers of 8-bit pictures refuse it.
void CheckProfileFits(const std::string& icc, const TChannelMap& map, const std::string& fileName) {
    const TPixelColours pixels = map.Colour[0] == map.Colour[1] ? TPixelColours::Grey : TPixelColours::Rgb;
    if (ProfileContradicts(icc, pixels)) throw EError("\"" + fileName + "\": " + kUnusableProfile);
}

void ReadPixels(ImageInput& input, const ImageSpec& header, const std::string& fileName, TDeepImage& image) {
    const TChannelMap map = ChannelsOf(header);
    auto fail = [&] { throw EError(Failure(fileName, input.geterror())); };
    if (header.nchannels == 3 && map.Alpha < 0) {
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

TDeepImage Decode(OIIO::Filesystem::IOProxy& proxy, const std::string& format, const std::string& fileName,
                  TPixelGate& gate) {
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
    CheckCarried(*input, header, fileName);
    if (format == "dpx")
        CheckDpxLength(proxy, header, fileName);
    else
        CheckDeclaredSize(proxy, header, format, fileName);
    const TChannelMap map = ChannelsOf(header);
    const TPictureDepth depth = DepthOf(header, format);
    CheckProfileFits(depth.IccProfile, map, fileName);
    const std::uint64_t pixels = static_cast<std::uint64_t>(header.width) * header.height;
    const bool direct = header.nchannels == 3 && map.Alpha < 0;
    gate.Admit(pixels * sizeof(float) * ((map.Alpha >= 0 ? 4 : 3) + (direct ? 0 : header.nchannels)));
    TDeepImage image(header.width, header.height, map.Alpha >= 0);
    image.Depth = depth;
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

// The TIFF and OpenEXR writers note the time of writing (DateTime,
// capDate) unless told a time: the fixed date of the profiles the program
// builds keeps a picture written twice the same bytes.
std::string FixedDateTime() {
    char text[32];
    std::snprintf(text, sizeof text, "%04d:%02d:%02d %02d:%02d:%02d", kBuiltProfileDate.Year, kBuiltProfileDate.Month,
                  kBuiltProfileDate.Day, kBuiltProfileDate.Hour, kBuiltProfileDate.Minute, kBuiltProfileDate.Second);
    return text;
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
    if (depth.Format == "tiff" || depth.Format == "openexr") header.attribute("DateTime", FixedDateTime());
    if (!depth.IccProfile.empty())
        header.attribute("ICCProfile", TypeDesc(TypeDesc::UINT8, static_cast<int>(depth.IccProfile.size())),
                         depth.IccProfile.data());
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
    TDeepImage Decode(std::FILE* file, const std::string& format, const std::string& fileName,
                      TPixelGate& gate) const override {
        OIIO::Filesystem::IOFile proxy(file, OIIO::Filesystem::IOProxy::Read);
        return ::Decode(proxy, format, fileName, gate);
    }
    TDeepImage Decode(std::string_view bytes, const std::string& format, const std::string& fileName,
                      TPixelGate& gate) const override {
        OIIO::Filesystem::IOMemReader proxy(bytes.data(), bytes.size());
        return ::Decode(proxy, format, fileName, gate);
    }
    std::string Encode(const TDeepImage& image, const TPictureDepth& depth) const override {
        return ::Encode(image, depth);
    }
};

}  // namespace

// The library compresses and decompresses the strips of a zip TIFF on its
// worker threads only when its pool has more than one worker, and it makes
// one worker fewer than there are cores (the calling thread is counted as
// one), so on two cores every strip would pass through one thread. The
// strips are compressed alone and written in their order: the file is the
// same byte for byte whichever thread compressed each.
static void UseEveryCore() {
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    OIIO::thread_pool* pool = OIIO::default_thread_pool();
    if (cores >= 2 && pool->size() < 2) pool->resize(2);
}

extern "C" const TDeepCodec* OmbraneDeepCodec(int* interfaceVersion) {
    static const TOiioDeepCodec codec = [] {
        UseEveryCore();
        return TOiioDeepCodec();
    }();
    *interfaceVersion = kDeepCodecVersion;
    return &codec;
}
