#include "imageio/IccProfile.h"

#include <zlib.h>

#include <array>
#include <cstdint>

#include "engine/base/Error.h"

namespace {

[[noreturn]] void Damaged() { throw EError("the colour profile is damaged"); }

std::uint32_t BigEndian(std::string_view bytes, std::size_t at, int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

// ---- JPEG ----------------------------------------------------------------

constexpr std::string_view kIccSignature("ICC_PROFILE\0", 12);

// The headers before the first scan that tell about colour: the APP2
// payloads and the frame header's number of components.
struct TJpegHeaders {
    std::vector<std::string_view> App2;
    TPixelColours Pixels = TPixelColours::Unknown;
};

// A start-of-frame marker: SOF0 to SOF15 but for DHT, JPG and DAC.
bool IsFrameMarker(unsigned char marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

TPixelColours JpegPixels(std::size_t components) {
    if (components == 1) return TPixelColours::Grey;
    if (components == 3) return TPixelColours::Rgb;
    if (components == 4) return TPixelColours::Cmyk;
    return TPixelColours::Unknown;
}

TJpegHeaders JpegColourHeaders(std::string_view bytes) {
    TJpegHeaders headers;
    std::size_t at = 2;
    while (at + 4 <= bytes.size()) {
        if (static_cast<unsigned char>(bytes[at]) != 0xFF) break;
        const unsigned char marker = static_cast<unsigned char>(bytes[at + 1]);
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) break;  // the scan or the end: no more headers
        const std::size_t length = BigEndian(bytes, at + 2, 2);
        if (length < 2 || at + 2 + length > bytes.size()) break;  // the decoder tells about damage
        if (marker == 0xE2) headers.App2.push_back(bytes.substr(at + 4, length - 2));
        // Precision, height and width come before the number of components.
        if (IsFrameMarker(marker) && length >= 8) headers.Pixels = JpegPixels(BigEndian(bytes, at + 9, 1));
        at += 2 + length;
    }
    return headers;
}

// ---- PNG -----------------------------------------------------------------

constexpr std::string_view kPngSignature("\x89PNG\r\n\x1a\n", 8);

std::string Inflate(std::string_view compressed) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) Damaged();
    std::string out;
    std::array<unsigned char, 16384> buffer{};
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    stream.avail_in = static_cast<uInt>(compressed.size());
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = buffer.data();
        stream.avail_out = static_cast<uInt>(buffer.size());
        status = inflate(&stream, Z_NO_FLUSH);
        out.append(reinterpret_cast<const char*>(buffer.data()), buffer.size() - stream.avail_out);
        if (out.size() > kMaxIccProfileBytes) {
            inflateEnd(&stream);
            RaiseProfileTooLarge();
        }
        if (status == Z_BUF_ERROR && stream.avail_in == 0) break;
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END) Damaged();
    return out;
}

std::string Deflate(std::string_view data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
                  static_cast<uLong>(data.size()), 9) != Z_OK)
        throw EError("Cannot compress the colour profile");
    out.resize(size);
    return out;
}

TEmbeddedProfile PngProfile(std::string_view bytes) {
    TEmbeddedProfile profile;
    std::size_t at = kPngSignature.size();
    while (at + 12 <= bytes.size()) {
        const std::size_t length = BigEndian(bytes, at, 4);
        const std::string_view type = bytes.substr(at + 4, 4);
        if (length > bytes.size() - at - 12) break;  // the decoder tells about damage
        const std::string_view data = bytes.substr(at + 8, length);
        if (type == "IDAT" || type == "IEND") break;
        if (type == "IHDR" && length == 13) {
            // Colour types 0 and 4 are grey (with alpha); 2, 3 and 6 colour.
            const unsigned char colourType = static_cast<unsigned char>(data[9]);
            profile.Pixels = colourType == 0 || colourType == 4 ? TPixelColours::Grey : TPixelColours::Rgb;
        } else if (type == "iCCP") {
            const std::size_t name = data.find('\0');
            if (name == std::string_view::npos || name + 2 > data.size() || data[name + 1] != 0) Damaged();
            profile.Icc = Inflate(data.substr(name + 2));
            if (profile.Icc.empty()) Damaged();
        } else if (type == "sRGB") {
            profile.Png.Srgb = true;
        } else if (type == "gAMA" && length == 4) {
            const std::uint32_t gamma = BigEndian(data, 0, 4);
            if (gamma == 0) Damaged();
            profile.Png.HasGamma = true;
            profile.Png.Gamma = gamma / 100000.0;
        } else if (type == "cHRM" && length == 32) {
            profile.Png.HasPrimaries = true;
            for (int i = 0; i < 8; ++i)
                profile.Png.Primaries[i] = BigEndian(data, 4 * static_cast<std::size_t>(i), 4) / 100000.0;
        }
        at += 12 + length;
    }
    // The ICC profile rules over the other chunks, the sRGB chunk over gAMA and cHRM.
    if (!profile.Icc.empty() || profile.Png.Srgb) profile.Png = TPngColourChunks{.Srgb = profile.Png.Srgb};
    return profile;
}

std::uint32_t Crc(std::string_view typeAndData) {
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(typeAndData.data()), static_cast<uInt>(typeAndData.size())));
}

void PutBigEndian(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

}  // namespace

void RaiseProfileTooLarge() {
    throw EError("the colour profile is too large (more than " + std::to_string(kMaxIccProfileBytes / (1024 * 1024)) +
                 " MiB)");
}

std::string JoinJpegIccSegments(const std::vector<std::string_view>& app2Payloads) {
    std::vector<std::string_view> parts;
    std::size_t declared = 0;
    for (std::string_view payload : app2Payloads) {
        if (!payload.starts_with(kIccSignature)) continue;
        if (payload.size() < kIccSignature.size() + 2) Damaged();
        const std::size_t number = static_cast<unsigned char>(payload[12]);
        const std::size_t count = static_cast<unsigned char>(payload[13]);
        if (declared == 0) {
            declared = count;
            parts.assign(count, std::string_view());
        }
        if (count == 0 || count != declared || number == 0 || number > count || parts[number - 1].data() != nullptr)
            Damaged();
        parts[number - 1] = payload.substr(14);
    }
    std::string icc;
    for (std::string_view part : parts) {
        if (part.data() == nullptr) Damaged();
        icc.append(part);
    }
    if (icc.empty() && declared != 0) Damaged();
    return icc;
}

TEmbeddedProfile ReadEmbeddedProfile(std::string_view bytes) {
    TEmbeddedProfile profile;
    if (bytes.size() >= 4 && bytes.starts_with("\xFF\xD8")) {
        const TJpegHeaders headers = JpegColourHeaders(bytes);
        profile.Icc = JoinJpegIccSegments(headers.App2);
        profile.Pixels = headers.Pixels;
    } else if (bytes.starts_with(kPngSignature)) {
        profile = PngProfile(bytes);
    }
    return profile;
}

std::string PngWithProfile(std::string_view png, std::string_view icc) {
    // Signature, then IHDR: length, type, 13 bytes, CRC.
    constexpr std::size_t kAfterHeader = 8 + 4 + 4 + 13 + 4;
    if (!png.starts_with(kPngSignature) || png.size() < kAfterHeader || png.substr(12, 4) != "IHDR")
        throw EError("Cannot add the colour profile: not a PNG stream");
    std::string chunk = "iCCP";
    chunk += std::string_view("ICC profile\0\0", 13);
    chunk += Deflate(icc);
    std::string out(png.substr(0, kAfterHeader));
    PutBigEndian(out, static_cast<std::uint32_t>(chunk.size() - 4));
    out += chunk;
    PutBigEndian(out, Crc(chunk));
    out += png.substr(kAfterHeader);
    return out;
}
