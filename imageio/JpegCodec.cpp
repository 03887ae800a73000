#include "imageio/JpegCodec.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "engine/base/Error.h"
#include "fileio/AtomicFile.h"
#include "imageio/JpegStreams.h"
#include "imageio/PictureSize.h"
#include "imageio/PixelBudget.h"

namespace {

[[noreturn]] void RaiseJpegError(const TJpegDecoder& decoder) { throw EError(JpegMessage(decoder.Errors.Code)); }

// A stream with less than a byte for every 64 pixels it declares is too
// small to be sure of its size (only very flat or progressive pictures come
// so small, damaged or hostile ones often): its rows are decoded in bands,
// so memory grows only with the data that is really there, and copied into
// the picture at the end. Other streams are decoded into the picture at once.
constexpr long long kPixelsPerPlausibleByte = 64;
constexpr int kBandRows = 64;

TImage DecodeInBands(TJpegDecoder& decoder, unsigned char* rowBuffer) {
    const int width = static_cast<int>(decoder.Info.output_width);
    const int height = static_cast<int>(decoder.Info.output_height);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    std::vector<std::vector<unsigned char>> bands;
    for (int y = 0; y < height; y += kBandRows) {
        const int count = std::min(kBandRows, height - y);
        bands.emplace_back(rowBytes * static_cast<std::size_t>(count));
        if (!decoder.ReadRows(bands.back().data(), count, rowBytes, rowBuffer)) RaiseJpegError(decoder);
    }
    if (!decoder.Finish()) RaiseJpegError(decoder);
    TImage image(width, height);
    for (int y = 0; y < height; ++y) {
        std::vector<unsigned char>& band = bands[static_cast<std::size_t>(y / kBandRows)];
        std::memcpy(image.Row(y), band.data() + static_cast<std::size_t>(y % kBandRows) * rowBytes, rowBytes);
        if (y % kBandRows == kBandRows - 1) std::vector<unsigned char>().swap(band);
    }
    return image;
}

TImage DecodeAtOnce(TJpegDecoder& decoder, unsigned char* rowBuffer) {
    TImage image(static_cast<int>(decoder.Info.output_width), static_cast<int>(decoder.Info.output_height));
    if (!decoder.ReadRows(image.Row(0), image.Height(), image.Stride(), rowBuffer) || !decoder.Finish())
        RaiseJpegError(decoder);
    return image;
}

void DecodeJpegInto(std::string_view bytes, TImage& target) {
    TJpegDecoder decoder;
    if (!decoder.ReadHeader(bytes)) RaiseJpegError(decoder);
    CheckPictureSize(decoder.Info.image_width, decoder.Info.image_height);
    if (!decoder.Start()) RaiseJpegError(decoder);
    std::vector<unsigned char> rowBuffer(decoder.Cmyk ? static_cast<std::size_t>(decoder.Info.output_width) * 4 : 0);
    const long long pixels = static_cast<long long>(decoder.Info.output_width) * decoder.Info.output_height;
    const bool plausible = static_cast<long long>(bytes.size()) * kPixelsPerPlausibleByte >= pixels;
    // Decoding in bands holds the bands and the picture at the end.
    TPixelReservation memory = PicturePixelBudget().Reserve(static_cast<std::uint64_t>(pixels) * (plausible ? 3 : 6));
    target = plausible ? DecodeAtOnce(decoder, rowBuffer.data()) : DecodeInBands(decoder, rowBuffer.data());
    KeepForJob(std::move(memory));
}

}  // namespace

void DecodeJpeg(std::string_view bytes, TImage& target) {
    try {
        DecodeJpegInto(bytes, target);
    } catch (const std::bad_alloc&) {
        throw EError("Not enough memory to decode the picture");
    }
}

std::string EncodeJpeg(const TImage& image, int quality) {
    TJpegEncoder encoder;
    EncodeInto(encoder, image, quality);
    return std::string(reinterpret_cast<const char*>(encoder.Output), encoder.OutputSize);
}

void SaveJpegFile(const std::string& fileName, const TImage& image, int quality) {
    TJpegEncoder encoder;  // the stream goes to the file from the encoder's own buffer
    EncodeInto(encoder, image, quality);
    WriteFileAtomically(fileName, std::string_view(reinterpret_cast<const char*>(encoder.Output), encoder.OutputSize));
}

void DecodeJpegPicture(const std::string& bytes, TImage& target) { DecodeJpegInto(bytes, target); }

std::string EncodeJpegPicture(const TImage& image, const std::string& icc) {
    TJpegEncoder encoder;
    encoder.Icc = icc;
    EncodeInto(encoder, image, 100);
    return std::string(reinterpret_cast<const char*>(encoder.Output), encoder.OutputSize);
}
