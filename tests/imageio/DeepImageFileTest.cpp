#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "engine/base/Error.h"
#include "engine/picture/DeepGrade.h"
#include "imageio/DeepImageFile.h"
#include "imageio/ImageFile.h"
#include "tests/imageio/PictureTestSupport.h"
#include "tests/support/ThrownMessage.h"

namespace {

// A picture whose values need more than 8 bits, with values just past the
// ends in float pictures.
TDeepImage Ramp(int width, int height, bool alpha) {
    TDeepImage image(width, height, alpha);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            float* p = image.Row(y) + 3 * x;
            p[0] = static_cast<float>(x) / static_cast<float>(width - 1);
            p[1] = static_cast<float>(y * width + x) / static_cast<float>(width * height);
            p[2] = 0.123f + 0.0001f * static_cast<float>(x % 13);
            if (alpha) image.AlphaRow(y)[x] = static_cast<float>(x % 5) / 4.0f;
        }
    return image;
}

// Largest difference of colour and alpha values.
double MaxDifference(const TDeepImage& a, const TDeepImage& b) {
    EXPECT_EQ(a.Width(), b.Width());
    EXPECT_EQ(a.Height(), b.Height());
    EXPECT_EQ(a.HasAlpha(), b.HasAlpha());
    double worst = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x) {
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, std::fabs(double(a.Row(y)[3 * x + c]) - b.Row(y)[3 * x + c]));
            if (a.HasAlpha()) worst = std::max(worst, std::fabs(double(a.AlphaRow(y)[x]) - b.AlphaRow(y)[x]));
        }
    return worst;
}

}  // namespace

TEST(DeepImageFileTest, EveryDepthRoundTripsWithinItsStep) {
    QTemporaryDir dir;
    const std::string base = dir.path().toStdString() + "/p";
    struct TCase {
        const char* Extension;
        TPictureDepth Depth;
        double Step;
    } cases[] = {
        {".tif", {"tiff", TSampleKind::Integer, 16, ""}, 1.0 / 65535},
        {".tif", {"tiff", TSampleKind::Integer, 8, ""}, 1.0 / 255},
        {".tif", {"tiff", TSampleKind::Float, 32, ""}, 0},
        {".png", {"png", TSampleKind::Integer, 16, ""}, 1.0 / 65535},
        {".dpx", {"dpx", TSampleKind::Integer, 10, ""}, 1.0 / 1023},
        {".dpx", {"dpx", TSampleKind::Integer, 12, ""}, 1.0 / 4095},
        {".exr", {"openexr", TSampleKind::Half, 16, ""}, 1.0 / 2048},
        {".exr", {"openexr", TSampleKind::Float, 32, ""}, 0},
    };
    for (const TCase& test : cases) {
        for (bool alpha : {false, true}) {
            if (test.Depth.Format == "dpx" && alpha) continue;
            SCOPED_TRACE(std::string(test.Extension) + " " + std::to_string(test.Depth.Bits) + (alpha ? " alpha" : ""));
            const std::string file = base + test.Extension;
            const TDeepImage image = Ramp(300, 7, alpha);
            SaveDeepImageFile(file, image, test.Depth);
            const TDeepImage back = LoadDeepImageFile(file);
            EXPECT_EQ(back.Depth.Format, test.Depth.Format);
            EXPECT_EQ(back.Depth.Kind, test.Depth.Kind);
            EXPECT_EQ(back.Depth.Bits, test.Depth.Bits);
            // Within half a level; the reader widens 10 and 12 bits by repeating bits.
            EXPECT_LE(MaxDifference(image, back), test.Step * (0.5 + 1.0 / 8) + 1e-7);
            EXPECT_TRUE(IsDeepPictureFile(file));
            // The 8-bit road reads it rounded, alpha laid on white.
            TImage bytes;
            LoadImageFile(file, bytes);
            if (test.Depth.Format != "png") {
                EXPECT_TRUE(bytes.SamePixels(DeepToImage(back)));
            }
        }
    }
}

TEST(DeepImageFileTest, OutputStorageFollowsTheSourceOrTheExtension) {
    const TPictureDepth tiffFloat{"tiff", TSampleKind::Float, 32, "zip"};
    EXPECT_EQ(OutputDepthFor("a.TIFF", tiffFloat), tiffFloat);
    EXPECT_EQ(OutputDepthFor("a.exr", tiffFloat), (TPictureDepth{"openexr", TSampleKind::Half, 16, ""}));
    EXPECT_EQ(OutputDepthFor("a.dpx", tiffFloat), (TPictureDepth{"dpx", TSampleKind::Integer, 10, ""}));
    EXPECT_EQ(OutputDepthFor("a.png", tiffFloat), (TPictureDepth{"png", TSampleKind::Integer, 16, ""}));
    EXPECT_EQ(OutputDepthFor("a.jpg", tiffFloat).Bits, 8);
    const TPictureDepth dpx12{"dpx", TSampleKind::Integer, 12, ""};
    EXPECT_EQ(OutputDepthFor("b.dpx", dpx12), dpx12);
    EXPECT_EQ(OutputDepthFor("b.tif", dpx12), (TPictureDepth{"tiff", TSampleKind::Integer, 16, ""}));
    EXPECT_THROW(OutputDepthFor("b.webp", dpx12), EError);
    EXPECT_TRUE(IsDeepOutputName("x.Exr"));
    EXPECT_FALSE(IsDeepOutputName("x.jpg"));
    EXPECT_FALSE(IsDeepPictureName("x.png"));
    EXPECT_TRUE(IsDeepPictureName("x.DPX"));
}

// A picture written in its own format is stored at the nearest depth the
// format's files hold: each format's sizes, its float kinds, and whether the
// compression is carried.
TEST(DeepImageFileTest, EachFormatStoresTheNearestDepthItHolds) {
    using enum TSampleKind;
    struct TCase {
        const char* File;
        TPictureDepth Source;
        TPictureDepth Stored;
    };
    const TCase cases[] = {
        {"a.jpg", {"jpeg", Integer, 16, "x"}, {"jpeg", Integer, 8, ""}},
        {"a.bmp", {"bmp", Half, 16, ""}, {"bmp", Integer, 8, ""}},
        {"a.png", {"png", Float, 32, "zip"}, {"png", Integer, 16, "zip"}},
        {"a.png", {"png", Half, 16, ""}, {"png", Integer, 16, ""}},
        {"a.png", {"png", Integer, 8, ""}, {"png", Integer, 8, ""}},
        {"a.png", {"png", Integer, 10, ""}, {"png", Integer, 16, ""}},
        {"a.exr", {"openexr", Integer, 8, "piz"}, {"openexr", Half, 16, "piz"}},
        {"a.exr", {"openexr", Float, 32, "zip"}, {"openexr", Float, 32, "zip"}},
        {"a.dpx", {"dpx", Half, 16, ""}, {"dpx", Float, 32, ""}},
        {"a.dpx", {"dpx", Integer, 9, ""}, {"dpx", Integer, 10, ""}},
        {"a.dpx", {"dpx", Integer, 11, ""}, {"dpx", Integer, 12, ""}},
        {"a.dpx", {"dpx", Integer, 32, ""}, {"dpx", Integer, 16, ""}},
        {"a.tif", {"tiff", Integer, 1, "lzw"}, {"tiff", Integer, 8, "lzw"}},
        {"a.tif", {"tiff", Integer, 12, "lzw"}, {"tiff", Integer, 16, "lzw"}},
        {"a.tif", {"tiff", Half, 16, "zip"}, {"tiff", Half, 16, "zip"}},
    };
    for (const TCase& test : cases)
        EXPECT_EQ(OutputDepthFor(test.File, test.Source), test.Stored) << test.Source.Format << " " << test.Source.Bits;
}

TEST(DeepImageFileTest, HostileFilesAreRefusedBeforeDecoding) {
    QTemporaryDir dir;
    const std::string base = dir.path().toStdString();
    // Portable float maps declare their size in text; no pixels follow.
    WriteBytes(base + "/wide.pfm", "PF\n30001 1\n-1.0\n");
    EXPECT_EQ(MessageOf([&] { LoadDeepImageFile(base + "/wide.pfm"); }), "The picture is too large (30001 x 1 pixels)");
    WriteBytes(base + "/area.pfm", "PF\n20001 20000\n-1.0\n");
    EXPECT_EQ(MessageOf([&] { LoadDeepImageFile(base + "/area.pfm"); }),
              "The picture is too large (20001 x 20000 pixels)");
    WriteBytes(base + "/edge.pfm", "PF\n30000 1\n-1.0\n");
    EXPECT_NE(MessageOf([&] { LoadDeepImageFile(base + "/edge.pfm"); }).find("cannot be read"), std::string::npos);

    // A picture cut short is refused with the library's reason.
    for (const char* extension : {".tif", ".exr", ".dpx", ".png"}) {
        const std::string file = base + "/cut" + extension;
        const TDeepImage image = Ramp(200, 50, false);
        SaveDeepImageFile(file, image, OutputDepthFor(file, TPictureDepth{}));
        const std::string bytes = ReadBytes(file);
        WriteBytes(file, bytes.substr(0, bytes.size() * 2 / 3));
        const std::string message = MessageOf([&] { LoadDeepImageFile(file); });
        EXPECT_EQ(message.rfind("The picture \"" + file + "\" cannot be read: ", 0), 0u) << extension << message;
        EXPECT_GT(message.size(), file.size() + 40) << message;
        WriteBytes(file, "not a picture at all");
        EXPECT_NE(MessageOf([&] { LoadDeepImageFile(file); }).find("cannot be read"), std::string::npos) << extension;
    }

    // Regular files only, through the file layer every picture is read
    // through; a missing file names the system's reason.
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.tif"));
    EXPECT_EQ(MessageOf([&] { LoadDeepImageFile(base + "/folder.tif"); }),
              "Cannot read file \"" + base + "/folder.tif\": Is a directory");
    EXPECT_NE(MessageOf([&] { LoadDeepImageFile(base + "/missing.exr"); }).find("No such file"), std::string::npos);
}

TEST(DeepImageFileTest, FailedWriteKeepsTheOldFile) {
    QTemporaryDir dir;
    const std::string file = dir.path().toStdString() + "/old.tif";
    WriteBytes(file, "old");
    EXPECT_THROW(SaveDeepImageFile(file, TDeepImage(), {"tiff", TSampleKind::Integer, 16, ""}), EError);
    EXPECT_EQ(ReadBytes(file), "old");
    const std::string missing = dir.path().toStdString() + "/no/such/folder/x.exr";
    EXPECT_NE(MessageOf([&] {
                  SaveDeepImageFile(missing, Ramp(4, 4, false), {"openexr", TSampleKind::Half, 16, ""});
              }).find(missing),
              std::string::npos);
}

TEST(DeepImageFileTest, MemoryRoundTripReadsOnlyTheBytes) {
    // The name only labels messages: no file of that name exists.
    const TDeepImage image = Ramp(40, 6, true);
    for (const TPictureDepth& depth :
         {TPictureDepth{"tiff", TSampleKind::Float, 32, ""}, TPictureDepth{"openexr", TSampleKind::Float, 32, ""}}) {
        const std::string bytes = EncodeDeepImage(image, depth);
        const TDeepImage back = DecodeDeepImage(bytes, depth.Format, "/no/such/file");
        EXPECT_EQ(MaxDifference(image, back), 0.0) << depth.Format;
        EXPECT_NE(MessageOf([&] {
                      DecodeDeepImage(bytes.substr(0, bytes.size() / 2), depth.Format, "/no/such/file");
                  }).find("cannot be read"),
                  std::string::npos)
            << depth.Format;
    }
}
