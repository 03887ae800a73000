// Writes the seed corpora: small files from the writers' own output, the
// documents of the read-only formats, small pictures of the kinds the loader
// reads and, given a second folder, the LUT files in it.
// Usage: fuzz_seeds <corpus folder> [folder]. Each target's seeds go to
// a sub-folder named after the target; existing files are replaced.
#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QImageWriter>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/lut/LUT.h"
#include "formats/FormatRegistry.h"
#include "formats/LutFormat.h"
#include "fuzz/FuzzSupport.h"
#include "imageio/ImageFile.h"

namespace fs = std::filesystem;

namespace {

// A seed larger than this is cut: its head still leads into the reader.
constexpr std::size_t kMaxSeedBytes = 6000;

fs::path gRoot;

void Put(const std::string& target, const std::string& name, std::string_view bytes) {
    const fs::path folder = gRoot / target;
    fs::create_directories(folder);
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(std::min(bytes.size(), kMaxSeedBytes)));
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Byte(int value) { return std::string(1, static_cast<char>(value)); }

// A cube and a curve with uneven values, so that writers produce varied numbers.
void FillLut(TLUT& lut, int cubeSize, int curveSize) {
    lut.CubeSize = cubeSize;
    for (int r = 0; r < cubeSize; ++r)
        for (int g = 0; g < cubeSize; ++g)
            for (int b = 0; b < cubeSize; ++b) {
                const double n = cubeSize - 1;
                lut.Cube[r][g][b] = TRGBDouble{std::pow(r / n, 0.8), 0.1 + 0.8 * g / n, std::sqrt(b / n)};
            }
    lut.CurveSize = curveSize;
    for (int i = 0; i < curveSize; ++i) {
        const double x = static_cast<double>(i) / (curveSize - 1);
        lut.Curve[i] = TRGBDouble{x, x * x, std::sqrt(x)};
    }
    lut.Comments = {"fuzz seed"};
}

std::string ExtensionIndexFor(const std::string& extension) {
    const auto& list = fuzz::LutExtensions();
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i] == extension) return Byte(static_cast<int>(i));
    return Byte(static_cast<int>(list.size() - 1));
}

// The extension the first profile of this format uses, else ".lut".
std::string ExtensionOf(int formatIndex) {
    for (const auto& profile : LutOutputProfiles())
        if (profile->FormatIndex == formatIndex) return "." + profile->Extension;
    return ".lut";
}

void AddLut(int formatIndex, const std::string& name, std::string_view file, const std::string& extension) {
    Put("fuzz_lut_load", name, Byte(formatIndex) + std::string(file));
    Put("fuzz_lut_canread", name, ExtensionIndexFor(extension) + std::string(file));
}

// One file per writing format: the smallest grid it takes of a few.
void WriterSeeds(const fs::path& scratch) {
    const auto& formats = LutFormats();
    auto lut = std::make_unique<TLUT>();
    for (std::size_t i = 0; i < formats.size(); ++i) {
        const TLUTFormat& format = *formats[i];
        const std::string extension = ExtensionOf(static_cast<int>(i));
        const fs::path file = scratch / ("seed" + extension);
        bool written = false;
        for (int size : format.Is3D ? std::initializer_list<int>{3, 17, 33, 64} : std::initializer_list<int>{6, 1024}) {
            FillLut(*lut, format.Is3D ? size : 2, format.Is3D ? 2 : size);
            lut->Kind = format.Is3D ? lkCube : lkCurve;
            try {
                format.SaveToFile(file.string(), *lut, 10);
                written = true;
                break;
            } catch (const EError&) {}
        }
        if (!written) continue;
        char name[32];
        std::snprintf(name, sizeof name, "writer_%02zu", i);
        AddLut(static_cast<int>(i), name, ReadAll(file), extension);
    }
}

int FormatIndexByName(const std::string& name) {
    const auto& formats = LutFormats();
    for (std::size_t i = 0; i < formats.size(); ++i)
        if (formats[i]->Name == name) return static_cast<int>(i);
    std::fprintf(stderr, "no format named %s\n", name.c_str());
    std::exit(1);
}

const char* const kCdl =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<ColorCorrection id=\"shot_010\">\n"
    "<SOPNode>\n<Description>warm</Description>\n"
    "<Slope>1.1 1.0 0.9</Slope>\n<Offset>0.01 0.0 -0.02</Offset>\n<Power>1.0 1.2 1.0</Power>\n"
    "</SOPNode>\n<SATNode>\n<Saturation>0,8</Saturation>\n</SATNode>\n"
    "</ColorCorrection>\n";

// Eight little-endian singles per line: 0, 0.5 and 1 in turn.
std::string HexCube(int size) {
    static const char* const kValues[] = {"00000000", "0000003f", "0000803f"};
    std::string text;
    for (int i = 0; i < size * size * size; ++i) {
        for (int c = 0; c < 3; ++c) text += std::string(kValues[(i + c) % 3]) + (c < 2 ? " " : "");
        text += "\n";
    }
    return text;
}

std::string Look(const std::string& size, const std::string& data) {
    return "<?xml version=\"1.0\"?>\n<look>\n<shaders/>\n<lut>\n<size>" + size + "</size>\n<data>" + data +
           "</data>\n</lut>\n</look>\n";
}

const char* const kCdlCollection =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<ColorCorrectionCollection xmlns=\"urn:ASC:CDL:v1.2\">\n"
    "<ColorCorrection id=\"cc0001\">\n<SOPNode>\n<Slope>1.0 1.0 0.9</Slope>\n<Offset>-0.03 -0.02 0</Offset>\n"
    "<Power>1.25 1 1</Power>\n</SOPNode>\n<SATNode><Saturation>1.7</Saturation></SATNode>\n</ColorCorrection>\n"
    "<ColorCorrection id=\"cc0002\"><SatNode><Saturation>0.5</Saturation></SatNode></ColorCorrection>\n"
    "</ColorCorrectionCollection>\n";

const char* const kCdlDecisionList =
    "<ColorDecisionList>\n<ColorDecision>\n<MediaRef ref=\"a.dpx\"/>\n<ColorCorrection id=\"a\">"
    "<SOPNode><Slope>1.1 1 0.9</Slope><Offset>0 0 0</Offset><Power>1 1 1</Power></SOPNode>"
    "</ColorCorrection>\n</ColorDecision>\n</ColorDecisionList>\n";

void ReaderSeeds() {
    AddLut(FormatIndexByName("ASC CDL collection"), "reader_ccc", kCdlCollection, ".ccc");
    AddLut(FormatIndexByName("ASC CDL collection"), "reader_cdl_list", kCdlDecisionList, ".cdl");
    AddLut(FormatIndexByName("Adobe Speedgrade Look 3D"), "reader_look", Look("\"2\"", HexCube(2)), ".look");
    AddLut(FormatIndexByName("ASC CDL"), "reader_cdl", kCdl, ".cc");
    AddLut(FormatIndexByName("DaVinci Resolve ilut 1D"), "reader_ilut", "0 0 0\n8191 4000 8191\n16383 16383 16383\n",
           ".ilut");
    AddLut(FormatIndexByName("DaVinci Resolve olut 1D"), "reader_olut", "0 0 0\n2048 1000 2048\n4095 4095 4095\n",
           ".olut");

    Put("fuzz_cdl", "document", Byte(0) + kCdl);
    Put("fuzz_cdl", "fields", Byte(1) + "1.1 1.0 0.9\n0.01 0 -0.02\n1 1.2 1e0\n0,8");
    Put("fuzz_cdl", "fields_tabs", Byte(1) + "1.1\t1.0,0.9\n-1e-3 0 +0.5\n2 0.5 1\n");

    Put("fuzz_speedgrade", "size2", Byte(2) + HexCube(2));
    Put("fuzz_speedgrade", "size3", Byte(3) + HexCube(3));
    Put("fuzz_speedgrade", "upper_split", Byte(2) + "0000 803F\r\n00,00,00,3f 7f800000 ffffffff");
}

void XmlSeeds() {
    const char* const documents[][2] = {
        {"lut",
         "<?xml version=\"1.0\"?>\n<lut name=\"look\"><data><elem r=\"1023\" g=\"0\" b=\"512\"/></data></lut>\n"},
        {"text", "<a><size> 17 </size><b>x<![CDATA[y]]>z</b><c><![CDATA[y]]></c>\n  \n</a>"},
        {"comments", "<!-- one --><!-- two --><lut><!-- inner --></lut>"},
        {"broken_tag", "<elem r=\"1\"\r\ng='2'  name=\"my lut\"/><x a=0,5 b=\"1,234.5\">1e3</x>"},
        {"doctype", "\xEF\xBB\xBF<!DOCTYPE lut><?xml version=\"1.0\"?><LUT><Data></DATA></lut>"},
        {"cdl", kCdl},
    };
    for (const auto& document : documents) Put("fuzz_xml", document[0], document[1]);
    Put("fuzz_xml", "look", Look("2", HexCube(2)));
}

QImage Pattern(QImage::Format format) {
    QImage image(9, 6, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, qRgb(28 * x, 40 * y, 255 - 20 * x - 10 * y));
    return image.convertToFormat(format);
}

std::string Encode(const QImage& image, const char* format, bool progressive = false) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(90);
    writer.setProgressiveScanWrite(progressive);
    if (!writer.write(image)) {
        std::fprintf(stderr, "cannot write a %s seed: %s\n", format, qPrintable(writer.errorString()));
        return {};
    }
    return bytes.toStdString();
}

// The first byte picks the extension: 0 .jpg, 1 .bmp, 2 .png.
void PictureSeeds() {
    TImage picture(9, 6);
    for (int y = 0; y < picture.Height(); ++y)
        for (int i = 0; i < picture.Width() * 3; ++i) picture.Row(y)[i] = static_cast<unsigned char>(37 * i + 71 * y);
    Put("fuzz_picture", "ours.jpg", Byte(0) + EncodeJpeg(picture, 100));
    const std::pair<const char*, std::string> pictures[] = {
        {"grey.jpg", Byte(0) + Encode(Pattern(QImage::Format_Grayscale8), "jpg")},
        {"progressive.jpg", Byte(0) + Encode(Pattern(QImage::Format_RGB32), "jpg", true)},
        {"rgb24.bmp", Byte(1) + Encode(Pattern(QImage::Format_RGB888), "bmp")},
        {"indexed8.bmp", Byte(1) + Encode(Pattern(QImage::Format_Indexed8), "bmp")},
        {"mono.bmp", Byte(1) + Encode(Pattern(QImage::Format_Mono), "bmp")},
        {"argb32.bmp", Byte(1) + Encode(Pattern(QImage::Format_ARGB32), "bmp")},
        {"rgb.png", Byte(2) + Encode(Pattern(QImage::Format_RGB888), "png")},
        {"rgba.png", Byte(2) + Encode(Pattern(QImage::Format_ARGB32), "png")},
        {"grey16.png", Byte(2) + Encode(Pattern(QImage::Format_Grayscale16), "png")},
        {"indexed.png", Byte(2) + Encode(Pattern(QImage::Format_Indexed8), "png")},
    };
    for (const auto& [name, bytes] : pictures)
        if (bytes.size() > 1) Put("fuzz_picture", name, bytes);
}

// Other makers' files (the interop test data, with its sub-folders): each goes to the first format
// that takes it, the bytes as they are.
void ForeignSeeds(const fs::path& folder) {
    const auto& formats = LutFormats();
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        const std::string file = entry.path().string();
        for (std::size_t i = 0; i < formats.size(); ++i) {
            bool takes = false;
            try {
                takes = formats[i]->CanRead(file);
            } catch (const EError&) {}
            if (!takes) continue;
            std::string name = fs::relative(entry.path(), folder).string();
            std::replace(name.begin(), name.end(), '/', '_');
            AddLut(static_cast<int>(i), "foreign_" + name, ReadAll(entry.path()), entry.path().extension().string());
            break;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: fuzz_seeds <corpus folder> [folder of other makers' LUT files]\n");
        return 2;
    }
    QCoreApplication application(argc, argv);
    gRoot = argv[1];
    const fs::path scratch = fs::temp_directory_path() / ("ombrane-seeds-" + std::to_string(::getpid()));
    fs::create_directories(scratch);
    try {
        WriterSeeds(scratch);
        ReaderSeeds();
        XmlSeeds();
        PictureSeeds();
        if (argc == 3) ForeignSeeds(argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fuzz_seeds: %s\n", e.what());
        fs::remove_all(scratch);
        return 1;
    }
    fs::remove_all(scratch);
    return 0;
}
