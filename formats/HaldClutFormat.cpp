#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "fileio/AtomicFile.h"
#include "fileio/PictureCodec.h"
#include "formats/FormatFiles.h"
#include "formats/FormatText.h"
#include "formats/LutFormat.h"
#include "formats/TextFile.h"

// Hald CLUT: a PNG picture holding a cube of L² points per axis for the
// level L, on a square of L³ x L³ pixels, read row by row from the top with
// red fastest, then green, then blue. Levels 2 to 10 (cubes of 4 to 100
// points) are read from 8-bit and 16-bit pictures; written pictures are
// 16-bit. The picture goes through the installed picture codec.

constexpr int kMinHaldLevel = 2;
constexpr int kMaxHaldLevel = 10;
constexpr int kDefaultHaldLevel = 8;

// The level whose cube size (L²) lies nearest to size, within 2..10; of two
// equally near the larger.
int NearestHaldLevel(int size);

// The cube of a decoded picture; ELUTError unless it is a square of a
// level's side within 2..10, naming the level or the size.
void ReadHaldPicture(const TPicture48& picture, TLUT& lut);
// The picture of a LUT: a cube whose size is a level's square is stored as
// it stands; any other LUT is looked up at the grid of the nearest level
// (level 8 for a curve alone).
TPicture48 MakeHaldPicture(const TLUT& lut);

// Whether the bytes start as a PNG file does.
bool IsPngSignature(std::string_view head);
// PNG bytes to cube and back, through the installed codec. The size the
// file's header declares is checked before the picture is decoded.
void ReadHaldPng(std::string_view bytes, TLUT& lut);
std::string WriteHaldPng(const TLUT& lut);

namespace {

class THaldClutFormat : public TLUTFormat {
public:
    THaldClutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;
};

}  // namespace

namespace {

constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1a\n";
constexpr double kFullScale = 65535.0;

// The level whose picture side (L³) is side, or 0 when side is no cube.
int LevelOfSide(long long side) {
    for (long long level = 1; level * level * level <= side; ++level)
        if (level * level * level == side) return static_cast<int>(level);
    return 0;
}

void CheckPictureShape(long long width, long long height) {
    const int level = width == height ? LevelOfSide(width) : 0;
    if (level == 0)
        throw ELUTError("A Hald CLUT picture is a square of L x L x L pixels a side; this one is " +
                        std::to_string(width) + " x " + std::to_string(height) + ".");
    if (level < kMinHaldLevel || level > kMaxHaldLevel)
        throw ELUTError("The Hald CLUT level " + std::to_string(level) + " (a cube of " +
                        std::to_string(static_cast<long long>(level) * level) +
                        " points) is outside the levels 2 to 10 that are read.");
}

std::uint32_t BigEndian(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

std::uint16_t Scaled(double value) {
    if (!(value > 0.0)) return 0;
    if (value >= 1.0) return 65535;
    return static_cast<std::uint16_t>(std::lround(value * kFullScale));
}

}  // namespace

int NearestHaldLevel(int size) {
    int best = kMinHaldLevel;
    for (int level = kMinHaldLevel; level <= kMaxHaldLevel; ++level)
        if (std::abs(level * level - size) <= std::abs(best * best - size)) best = level;
    return best;
}

void ReadHaldPicture(const TPicture48& picture, TLUT& lut) {
    CheckPictureShape(picture.Width, picture.Height);
    const int level = LevelOfSide(picture.Width);
    const int size = level * level;
    const std::size_t pixels = static_cast<std::size_t>(picture.Width) * picture.Height;
    if (picture.Samples.size() != pixels * 3)
        throw ELUTError("The Hald CLUT picture holds " + std::to_string(picture.Samples.size()) +
                        " samples instead of " + std::to_string(pixels * 3) + ".");
    const std::uint16_t* sample = picture.Samples.data();
    for (int b = 0; b < size; ++b)
        for (int g = 0; g < size; ++g)
            for (int r = 0; r < size; ++r, sample += 3)
                lut.Cube[r][g][b] = TRGBDouble{sample[0] / kFullScale, sample[1] / kFullScale, sample[2] / kFullScale};
    lut.CubeSize = size;
    lut.Kind = lkCube;
}

TPicture48 MakeHaldPicture(const TLUT& lut) {
    const bool cube = lut.Kind == lkCube || lut.Kind == lkCurveThenCube;
    if (cube) CheckedCubeSize(lut.CubeSize);
    const int level = cube ? NearestHaldLevel(lut.CubeSize) : kDefaultHaldLevel;
    const int size = level * level;
    const bool asItStands = lut.Kind == lkCube && lut.CubeSize == size;
    TPicture48 picture;
    picture.Width = picture.Height = level * level * level;
    picture.Samples.resize(static_cast<std::size_t>(picture.Width) * picture.Height * 3);
    std::uint16_t* sample = picture.Samples.data();
    const double last = size - 1;
    for (int b = 0; b < size; ++b)
        for (int g = 0; g < size; ++g)
            for (int r = 0; r < size; ++r, sample += 3) {
                TRGBDouble value;
                if (asItStands)
                    value = lut.Cube[r][g][b];
                else
                    lut.LookupNormalized(TRGBDouble{r / last, g / last, b / last}, value);
                sample[0] = Scaled(value.Red);
                sample[1] = Scaled(value.Green);
                sample[2] = Scaled(value.Blue);
            }
    return picture;
}

namespace {

// The installed picture codec; ELUTError when none is.
const TPictureCodec& PictureCodec() {
    const TPictureCodec* codec = InstalledPictureCodec();
    if (codec == nullptr)
        throw ELUTError("No picture codec is installed: LUTs stored as pictures cannot be read or written.");
    return *codec;
}

}  // namespace

bool IsPngSignature(std::string_view head) { return head.substr(0, kPngSignature.size()) == kPngSignature; }

void ReadHaldPng(std::string_view bytes, TLUT& lut) {
    if (!IsPngSignature(bytes) || bytes.size() < 24 || bytes.substr(12, 4) != "IHDR")
        throw ELUTError("A Hald CLUT is a PNG picture; this file is none.");
    CheckPictureShape(BigEndian(bytes, 16), BigEndian(bytes, 20));
    TPicture48 picture;
    PictureCodec().DecodePng(bytes, picture);
    ReadHaldPicture(picture, lut);
}

std::string WriteHaldPng(const TLUT& lut) { return PictureCodec().EncodePng(MakeHaldPicture(lut)); }

THaldClutFormat::THaldClutFormat()
    : TLUTFormat({.Id = "hald-clut",
                  .Name = "Hald CLUT",
                  .Extensions = {"png"},
                  .Sizes = TSizeRule::Squares,
                  .MinSize = kMinHaldLevel * kMinHaldLevel,
                  .MaxSize = kMaxHaldLevel * kMaxHaldLevel}) {}

OMBRANE_LUT_FORMAT(THaldClutFormat)

bool THaldClutFormat::CanRead(std::string_view head, const std::string&) const {
    return IsPngSignature(head.substr(0, kPngSignature.size()));
}

void THaldClutFormat::Read(std::string_view bytes, const std::string& name, TLUT& lut) const {
    (void)name;
    ReadHaldPng(bytes, lut);
}

std::string THaldClutFormat::Write(const TLUT& lut, int, const std::string& name) const {
    (void)name;
    return WriteHaldPng(lut);
}
