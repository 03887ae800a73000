#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <jpeglib.h>

#include "Error.h"
#include "ImageFile.h"

namespace {

// A JPEG stream of the given kind made with libjpeg directly: colour or
// grey or CMYK input, baseline or progressive.
std::string MakeJpeg(int width, int height, J_COLOR_SPACE space, int components, bool progressive) {
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

void WriteAll(const std::string& name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary) << bytes;
}

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
    struct Case { int Width, Height; J_COLOR_SPACE Space; int Components; bool Progressive; };
    // Heights below, at and across the strip height; every kind of source.
    const Case cases[] = {{37, 5, JCS_RGB, 3, false},   {64, 16, JCS_RGB, 3, true},
                          {100, 77, JCS_RGB, 3, false}, {90, 161, JCS_RGB, 3, true},
                          {45, 33, JCS_GRAYSCALE, 1, true}, {40, 50, JCS_CMYK, 4, false}};
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
