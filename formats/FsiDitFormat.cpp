#include <string>
#include "formats/LutFormat.h"

#include <cmath>
#include <cstring>

#include "formats/FormatFiles.h"
#include "formats/FormatText.h"

namespace {

// A binary 64-point cube: a 128-byte header and one little-endian 32-bit word
// per grid point (10 bits per channel, full scale 1008), red index fastest.
class TFSI_DIT_3DLutFormat : public TLUTFormat {
public:
    static constexpr int kGridSize = 64;
    static constexpr int kHeaderBytes = 128;
    static constexpr std::uint32_t kMagic = 0x42340299;
    static constexpr double kFullScale = 1008.0;

    TFSI_DIT_3DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;
};

}  // namespace

namespace {

constexpr std::size_t kWordCount =
    std::size_t(TFSI_DIT_3DLutFormat::kGridSize) * TFSI_DIT_3DLutFormat::kGridSize * TFSI_DIT_3DLutFormat::kGridSize;
constexpr std::size_t kFileBytes = TFSI_DIT_3DLutFormat::kHeaderBytes + 4 * kWordCount;

void PutWord(unsigned char* at, std::uint32_t value) {
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
    at[2] = static_cast<unsigned char>(value >> 16);
    at[3] = static_cast<unsigned char>(value >> 24);
}

std::uint32_t GetWord(const unsigned char* at) {
    return std::uint32_t(at[0]) | std::uint32_t(at[1]) << 8 | std::uint32_t(at[2]) << 16 | std::uint32_t(at[3]) << 24;
}

// One channel: clamped to 0..1 (NaN to 0) so it cannot spill into the bits
// of its neighbour, then scaled to 1008 and rounded half to even.
std::uint32_t Channel(double value) {
    if (!(value > 0.0))
        value = 0.0;
    else if (value > 1.0)
        value = 1.0;
    return static_cast<std::uint32_t>(std::nearbyint(value * TFSI_DIT_3DLutFormat::kFullScale));
}

}  // namespace

TFSI_DIT_3DLutFormat::TFSI_DIT_3DLutFormat()
    : TLUTFormat({.Id = "fsi-dit-3d",
                  .Name = "FSI DIT (Flanders Scientific) 3D",
                  .Extensions = {"dat"},
                  .Sizes = TSizeRule::Fixed,
                  .MinSize = kGridSize,
                  .MaxSize = kGridSize}) {}

OMBRANE_LUT_FORMAT(TFSI_DIT_3DLutFormat)

bool TFSI_DIT_3DLutFormat::CanRead(std::string_view fileHead, const std::string&) const {
    const std::string_view head = fileHead.substr(0, kHeaderBytes);
    return head.size() >= 4 && GetWord(reinterpret_cast<const unsigned char*>(head.data())) == kMagic;
}

std::string TFSI_DIT_3DLutFormat::Write(const TLUT& lut, int Bits, const std::string& name) const {
    (void)Bits;
    (void)name;
    if (lut.CubeSize != kGridSize)
        throw ELUTError("The FSI DIT format holds a 64-point cube only, not " + std::to_string(lut.CubeSize) +
                        " points.");
    std::string bytes(kFileBytes, '\0');
    auto* data = reinterpret_cast<unsigned char*>(bytes.data());
    PutWord(data, kMagic);
    PutWord(data + 4, 0x01000002);
    PutWord(data + 44, 0x00100000);
    std::memcpy(data + 48, "Quor LUT Convert", 16);

    std::uint32_t checksum = 0;
    unsigned char* word = data + kHeaderBytes;
    for (int b = 0; b < kGridSize; ++b)
        for (int g = 0; g < kGridSize; ++g)
            for (int r = 0; r < kGridSize; ++r, word += 4) {
                const TRGBDouble& v = lut.Cube[r][g][b];
                PutWord(word, Channel(v.Red) | Channel(v.Green) << 10 | Channel(v.Blue) << 20);
                checksum += word[0] + word[1] + word[2] + word[3];
            }
    PutWord(data + 40, checksum);
    // Byte 127 accumulates every header byte in turn, itself included.
    data[127] = 0;
    for (int i = 0; i < kHeaderBytes; ++i) data[127] = static_cast<unsigned char>(data[127] + data[i]);
    return bytes;
}

void TFSI_DIT_3DLutFormat::Read(std::string_view bytes, const std::string& name, TLUT& lut) const {
    (void)name;
    if (bytes.size() < kFileBytes)
        throw IncompleteFile(kWordCount, bytes.size() < kHeaderBytes ? 0 : (bytes.size() - kHeaderBytes) / 4);
    const auto* word = reinterpret_cast<const unsigned char*>(bytes.data()) + kHeaderBytes;
    for (int b = 0; b < kGridSize; ++b)
        for (int g = 0; g < kGridSize; ++g)
            for (int r = 0; r < kGridSize; ++r, word += 4) {
                const std::uint32_t w = GetWord(word);
                lut.Cube[r][g][b] = TRGBDouble{(w & 0x3FF) / kFullScale, (w >> 10 & 0x3FF) / kFullScale,
                                               (w >> 20 & 0x3FF) / kFullScale};
            }
    lut.CubeSize = kGridSize;
    lut.Kind = lkCube;
}
