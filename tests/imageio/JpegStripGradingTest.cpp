#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "engine/base/Error.h"
#include "imageio/ImageFile.h"
#include "imageio/JpegStripGrading.h"

namespace {

// A JPEG stream of the given kind made with libjpeg directly: colour or
// grey or CMYK input, baseline or progressive (with libjpeg's scans or the
// given ones).
std::string MakeJpeg(int width, int height, J_COLOR_SPACE space, int components, bool progressive,
                     const std::vector<jpeg_scan_info>& scans = {}) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = components;
    info.in_color_space = space;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    if (progressive) jpeg_simple_progression(&info);
    if (!scans.empty()) {
        info.scan_info = scans.data();
        info.num_scans = static_cast<int>(scans.size());
    }
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(static_cast<std::size_t>(width) * components);
    while (info.next_scanline < info.image_height) {
        const unsigned y = info.next_scanline;
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < components; ++c)
                row[x * components + c] = static_cast<unsigned char>((x * (3 + c) + y * (5 - c) + x * y) & 0xff);
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string bytes(reinterpret_cast<char*>(buffer), size);
    std::free(buffer);
    return bytes;
}

std::string ReadAll(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteAll(const std::string& name, const std::string& bytes) { std::ofstream(name, std::ios::binary) << bytes; }

// A grade that depends on each pixel alone, as a LUT does.
void Grade(TImage& image) {
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < 3 * image.Width(); ++x) {
            std::uint8_t& v = image.Row(y)[x];
            v = static_cast<std::uint8_t>(255 - v / 2 - (x % 3) * 9);
        }
}

TEST(JpegStripGrading, GivesTheFileOfTheWholePictureRoad) {
    QTemporaryDir dir;
    const std::string in = dir.filePath("in.jpg").toStdString();
    const std::string whole = dir.filePath("whole.jpg").toStdString();
    const std::string strips = dir.filePath("strips.jpg").toStdString();
    struct Case {
        int Width, Height;
        J_COLOR_SPACE Space;
        int Components;
        bool Progressive;
    };
    // Heights below, at and across the strip height; every kind of source.
    const Case cases[] = {{37, 5, JCS_RGB, 3, false},  {64, 16, JCS_RGB, 3, true},       {100, 77, JCS_RGB, 3, false},
                          {90, 161, JCS_RGB, 3, true}, {45, 33, JCS_GRAYSCALE, 1, true}, {40, 50, JCS_CMYK, 4, false}};
    for (const Case& c : cases) {
        WriteAll(in, MakeJpeg(c.Width, c.Height, c.Space, c.Components, c.Progressive));
        TImage picture;
        LoadImageFile(in, picture);
        Grade(picture);
        SaveJpegFile(whole, picture);
        GradeJpegFile(in, strips, Grade);
        EXPECT_EQ(ReadAll(strips), ReadAll(whole)) << c.Width << "x" << c.Height << " space " << c.Space;
    }
}

// The stream with a copy of its second scan (and the tables before it) put
// after the last one: a legal file whose coefficients change again after a
// scan had completed them.
std::string WithSecondScanRepeated(const std::string& stream) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(stream[i]); };
    std::vector<std::size_t> scanEnds;
    std::size_t pos = 2;
    while (pos + 4 <= stream.size() && byte(pos + 1) != 0xD9) {
        const bool scan = byte(pos + 1) == 0xDA;
        pos += 2 + (byte(pos + 2) << 8 | byte(pos + 3));
        if (!scan) continue;
        // Entropy-coded data runs to the next marker other than a stuffed
        // zero or a restart marker.
        while (pos + 1 < stream.size() && !(byte(pos) == 0xFF && byte(pos + 1) != 0 && (byte(pos + 1) & 0xF8) != 0xD0))
            ++pos;
        scanEnds.push_back(pos);
    }
    EXPECT_GE(scanEnds.size(), 3u);
    if (scanEnds.size() < 3) return stream;
    const std::string second = stream.substr(scanEnds[0], scanEnds[1] - scanEnds[0]);
    return stream.substr(0, pos) + second + stream.substr(pos);
}

// Progressive files are read in buffered-image mode, their rows coming out
// during the scan that completes the coefficients. Files whose scans never
// complete them, or that change them again afterwards, still give the file
// of the whole-picture road.
TEST(JpegStripGrading, EveryProgressionGivesTheFileOfTheWholePictureRoad) {
    QTemporaryDir dir;
    const std::string in = dir.filePath("in.jpg").toStdString();
    const std::string whole = dir.filePath("whole.jpg").toStdString();
    const std::string strips = dir.filePath("strips.jpg").toStdString();
    // The DC coefficients never get their last bit: libjpeg smooths blocks.
    const std::vector<jpeg_scan_info> incomplete = {
        {3, {0, 1, 2}, 0, 0, 0, 1}, {1, {0}, 1, 63, 0, 0}, {1, {1}, 1, 63, 0, 0}, {1, {2}, 1, 63, 0, 0}};
    const std::string complete = MakeJpeg(120, 90, JCS_RGB, 3, true);
    for (const std::string& stream :
         {MakeJpeg(120, 90, JCS_RGB, 3, true, incomplete), WithSecondScanRepeated(complete)}) {
        WriteAll(in, stream);
        TImage picture;
        LoadImageFile(in, picture);
        Grade(picture);
        SaveJpegFile(whole, picture);
        GradeJpegFile(in, strips, Grade);
        EXPECT_EQ(ReadAll(strips), ReadAll(whole));
    }
    // The repeated scan really changes the picture, so the file above had to
    // be graded again from its final coefficients.
    TImage once, twice;
    WriteAll(in, complete);
    LoadImageFile(in, once);
    WriteAll(in, WithSecondScanRepeated(complete));
    LoadImageFile(in, twice);
    EXPECT_NE(0, std::memcmp(once.Row(0), twice.Row(0), static_cast<std::size_t>(once.Stride()) * once.Height()));
}

TEST(JpegStripGrading, ADamagedSourceOrAFailingGradeWritesNothing) {
    QTemporaryDir dir;
    const std::string in = dir.filePath("in.jpg").toStdString();
    const std::string out = dir.filePath("out.jpg").toStdString();
    const std::string stream = MakeJpeg(200, 120, JCS_RGB, 3, true);
    WriteAll(out, "old");
    for (std::size_t cut : {std::size_t(10), stream.size() / 3, stream.size() - 200}) {
        WriteAll(in, stream.substr(0, cut));
        EXPECT_THROW(GradeJpegFile(in, out, Grade), EError) << cut;
        EXPECT_EQ(ReadAll(out), "old");
    }
    WriteAll(in, stream);
    int calls = 0;
    EXPECT_THROW(GradeJpegFile(in, out,
                               [&](TImage&) {
                                   if (++calls == 3) throw EError("grading failed");
                               }),
                 EError);
    EXPECT_EQ(ReadAll(out), "old");
    EXPECT_THROW(GradeJpegFile("/dev/zero", out, Grade), EError);
    EXPECT_THROW(GradeJpegFile(dir.filePath("missing.jpg").toStdString(), out, Grade), EError);
    EXPECT_EQ(ReadAll(out), "old");
    // No temporary file is left behind by the failures.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

}  // namespace
