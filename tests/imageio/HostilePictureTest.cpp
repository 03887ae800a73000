#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

#include "engine/base/Error.h"
#include "imageio/DeepImageFile.h"
#include "imageio/ImageFile.h"
#include "imageio/JpegStripGrading.h"
#include "imageio/PixelBudget.h"
#include "tests/imageio/PictureTestSupport.h"
#include "tests/support/PipeUnblocker.h"
#include "tests/support/ThrownMessage.h"

// Pictures made to hurt: named pipes where pictures are expected, headers
// that declare far more pixels than the file holds, cut DPX files, channels
// the program cannot carry, and JPEG files that end too early.

namespace {

bool OneLine(const std::string& message) { return message.find('\n') == std::string::npos; }

// A grey, 8-bit, single-strip TIFF declaring width x height pixels with the
// given compression tag, holding only `data` bytes of pixel data.
std::string GreyTiff(std::uint32_t width, std::uint32_t height, std::uint16_t compression, std::size_t data) {
    std::string bytes = std::string("II*\0", 4);
    auto put16 = [&](std::uint16_t v) { bytes += static_cast<char>(v & 0xff), bytes += static_cast<char>(v >> 8); };
    auto put32 = [&](std::uint32_t v) {
        put16(static_cast<std::uint16_t>(v & 0xffff)), put16(static_cast<std::uint16_t>(v >> 16));
    };
    put32(8);
    const std::uint16_t count = 9;
    const std::uint32_t pixels = 8 + 2 + count * 12 + 4;
    put16(count);
    auto entry = [&](std::uint16_t tag, std::uint16_t type, std::uint32_t value) {
        put16(tag), put16(type), put32(1);
        if (type == 3)
            put16(static_cast<std::uint16_t>(value)), put16(0);
        else
            put32(value);
    };
    entry(256, 4, width);
    entry(257, 4, height);
    entry(258, 3, 8);
    entry(259, 3, compression);
    entry(262, 3, 1);
    entry(273, 4, pixels);
    entry(277, 3, 1);
    entry(278, 4, height);
    entry(279, 4, width * height);
    put32(0);
    bytes += std::string(data, '\x40');
    return bytes;
}

class HostilePictureTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const {
        return dir_.filePath(QString::fromStdString(name)).toStdString();
    }
    // Runs oiiotool with the arguments; false when it is not installed.
    bool Oiiotool(const std::string& arguments) {
        return std::system(("oiiotool " + arguments + " >/dev/null 2>&1").c_str()) == 0;
    }
    QTemporaryDir dir_;
};

}  // namespace

TEST_F(HostilePictureTest, NamedPipesAreRefusedWithoutWaitingForAWriter) {
    for (const char* name : {"pipe.tif", "pipe.exr", "pipe.png", "pipe.dpx", "pipe.pfm"}) {
        const std::string pipe = Path(name);
        ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
        TPipeUnblocker unblocker(pipe);
        // A 16-bit PNG is told by its header; a pipe is no such PNG.
        EXPECT_EQ(IsDeepPictureFile(pipe), std::string_view(name) != "pipe.png") << name;
        const std::string deep = MessageOf([&] { LoadDeepImageFile(pipe); });
        EXPECT_NE(deep.find("not a regular file"), std::string::npos) << name << ": " << deep;
        TImage picture;
        const std::string eight = MessageOf([&] { LoadImageFile(pipe, picture); });
        EXPECT_NE(eight.find("not a regular file"), std::string::npos) << name << ": " << eight;
        EXPECT_EQ(unblocker.Unblocked(), 0) << name << " waited for a writer";
    }
}

TEST_F(HostilePictureTest, HeadersDeclaringMoreThanTheFileHoldsAreRefusedBeforeDecoding) {
    // 8000 x 6000 declared in about a kilobyte: plain, deflated, and as
    // portable maps at 8 bits and in floats.
    struct TLie {
        const char* Name;
        std::string Bytes;
    };
    const std::vector<TLie> lies = {
        {"plain.tif", GreyTiff(8000, 6000, 1, 1000)},
        {"deflated.tif", GreyTiff(8000, 6000, 8, 1000)},
        {"lie.ppm", "P6\n8000 6000\n255\n" + std::string(1000, 'x')},
        {"lie.pgm", "P5\n8000 6000\n65535\n" + std::string(1000, 'x')},
        {"lie.pfm", "PF\n8000 6000\n-1.0\n" + std::string(1000, 'x')},
    };
    for (const TLie& lie : lies) {
        const std::string file = Path(lie.Name);
        WriteBytes(file, lie.Bytes);
        const std::string message = MessageOf([&] { LoadDeepImageFile(file); });
        EXPECT_EQ(message.rfind("The picture \"" + file + "\" cannot be read: ", 0), 0u) << message.substr(0, 300);
        EXPECT_TRUE(OneLine(message)) << lie.Name << ": " << message.size() << " bytes";
        EXPECT_LT(message.size(), 300u) << lie.Name;
        EXPECT_EQ(message.find("gave no reason"), std::string::npos) << message;
    }
    // The same TIFF holding all its pixels loads, in both codings.
    for (const std::uint16_t compression : {1, 8}) {
        const std::string file = Path("whole.tif");
        WriteBytes(file, GreyTiff(40, 30, 1, 40 * 30));
        if (compression == 8) {
            ASSERT_TRUE(Oiiotool(file + " --compression zip -o " + file));
        }
        const TDeepImage whole = LoadDeepImageFile(file);
        EXPECT_EQ(whole.Width(), 40);
        EXPECT_NEAR(whole.Row(29)[3 * 39], 64.0 / 255.0, 1e-6);
    }
    // A large flat picture compresses far, and is not taken for a lie.
    ASSERT_TRUE(Oiiotool("--create 3000x2000 3 -d uint16 --compression zip -o " + Path("flat.tif")));
    EXPECT_EQ(LoadDeepImageFile(Path("flat.tif")).Height(), 2000);
    // Deflated data that may be short, but is: the library's reason is given,
    // as one line (its reader adds a line for every row it fails).
    WriteBytes(Path("garbled.tif"), GreyTiff(2000, 1000, 8, 2000));
    const std::string reason = MessageOf([&] { LoadDeepImageFile(Path("garbled.tif")); });
    EXPECT_EQ(reason.rfind("The picture \"" + Path("garbled.tif") + "\" cannot be read: ", 0), 0u) << reason;
    EXPECT_EQ(reason.find("gave no reason"), std::string::npos) << reason;
    EXPECT_TRUE(OneLine(reason)) << reason;
}

TEST_F(HostilePictureTest, CutDpxFilesAreRefusedAtEveryPacking) {
    TDeepImage ramp(300, 200, false);
    for (int y = 0; y < 200; ++y)
        for (int i = 0; i < 900; ++i) ramp.Row(y)[i] = static_cast<float>((i + y) % 256) / 255.0f;
    for (const int bits : {8, 10, 12, 16}) {
        const std::string file = Path("cut" + std::to_string(bits) + ".dpx");
        SaveDeepImageFile(file, ramp, {"dpx", TSampleKind::Integer, bits, ""});
        const std::string whole = ReadBytes(file);
        EXPECT_EQ(LoadDeepImageFile(file).Depth.Bits, bits);
        // A 32-bit word short, and one row short.
        for (const std::size_t cut : {std::size_t(4), whole.size() / 200}) {
            WriteBytes(file, whole.substr(0, whole.size() - cut));
            const std::string message = MessageOf([&] { LoadDeepImageFile(file); });
            EXPECT_EQ(message, "The picture \"" + file + "\" cannot be read: the file ends before its pixels do")
                << bits << " bits, " << cut << " bytes cut";
        }
    }
}

TEST_F(HostilePictureTest, ChannelsThatCannotBeCarriedAreRefused) {
    struct TCase {
        const char* Name;
        const char* Make;
        const char* Says;
    };
    const TCase refused[] = {
        {"rgbz.exr", "--create 8x8 4 --chnames R,G,B,Z -d half", "\"Z\""},
        {"many.exr", "--create 8x8 64 -d half", "64 channels"},
        {"alpha.exr", "--create 8x8 1 --chnames A -d half", "alpha only"},
        {"parts.exr", "--create 8x8 3 -d half --create 8x8 3 -d half --siappend", "2 parts"},
        {"pages.tif", "--create 8x8 3 --create 8x8 3 --siappend", "2 parts"},
    };
    for (const TCase& c : refused) {
        const std::string file = Path(c.Name);
        ASSERT_TRUE(Oiiotool(std::string(c.Make) + " -o " + file)) << c.Name;
        const std::string message = MessageOf([&] { LoadDeepImageFile(file); });
        EXPECT_EQ(message.rfind("The picture \"" + file + "\" cannot be read: ", 0), 0u) << message;
        EXPECT_NE(message.find(c.Says), std::string::npos) << message;
        EXPECT_TRUE(OneLine(message)) << message;
    }
    // Marked alpha is carried, also as a grey picture's second channel.
    ASSERT_TRUE(Oiiotool("--pattern constant:color=0.2,0.4,0.6,0.5 8x8 4 -d half -o " + Path("rgba.exr")));
    const TDeepImage rgba = LoadDeepImageFile(Path("rgba.exr"));
    ASSERT_TRUE(rgba.HasAlpha());
    EXPECT_NEAR(rgba.AlphaRow(3)[3], 0.5, 1e-3);
    EXPECT_NEAR(rgba.Row(3)[3 * 3 + 2], 0.6, 1e-3);
    ASSERT_TRUE(Oiiotool("--create 8x8 2 --chnames Y,A -d uint16 -o " + Path("greyalpha.tif")));
    EXPECT_TRUE(LoadDeepImageFile(Path("greyalpha.tif")).HasAlpha());
    ASSERT_TRUE(Oiiotool("--create 8x8 3 -d half -o " + Path("rgb.exr")));
    EXPECT_FALSE(LoadDeepImageFile(Path("rgb.exr")).HasAlpha());
}

TEST_F(HostilePictureTest, JpegFilesThatEndTooEarlySaySo) {
    TImage picture(64, 48);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64 * 3; ++x) picture.Row(y)[x] = static_cast<std::uint8_t>(x * 3 + y);
    SaveJpegFile(Path("whole.jpg"), picture, 90);
    const std::string whole = ReadBytes(Path("whole.jpg"));
    const std::string ends = ": the file ends before the picture data";
    WriteBytes(Path("empty.jpg"), "");
    WriteBytes(Path("cut.jpg"), whole.substr(0, whole.size() / 2));
    TImage target;
    EXPECT_EQ(MessageOf([&] { LoadImageFile(Path("empty.jpg"), target); }),
              "JPEG error #" + std::to_string(JERR_INPUT_EMPTY) + ends);
    EXPECT_EQ(MessageOf([&] { LoadImageFile(Path("cut.jpg"), target); }),
              "JPEG error #" + std::to_string(JWRN_JPEG_EOF) + ends);
    // The strip road reads from the file itself and says the same.
    for (const char* name : {"empty.jpg", "cut.jpg"}) {
        const std::string message = MessageOf([&] { GradeJpegFile(Path(name), Path("out.jpg"), [](TImage&) {}); });
        EXPECT_NE(message.find(ends), std::string::npos) << name << ": " << message;
    }
    // Other damage keeps libjpeg's number alone.
    WriteBytes(Path("text.jpg"), "not a picture");
    EXPECT_EQ(MessageOf([&] { LoadImageFile(Path("text.jpg"), target); }),
              "JPEG error #" + std::to_string(JERR_NO_SOI));
}

// Reservations past the capacity wait until others are given back; one
// larger than the whole budget goes alone; a thread that holds a
// reservation is never made to wait (no two jobs can wait on each other).
TEST(PixelBudgetTest, ReservationsWaitWithinTheCapacity) {
    TPixelBudget budget(100);
    std::atomic<int> inside{0}, most{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&] {
            for (int round = 0; round < 20; ++round) {
                const TPixelReservation held = budget.Reserve(40);
                const int now = ++inside;
                int seen = most.load();
                while (now > seen && !most.compare_exchange_weak(seen, now)) {}
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                --inside;
            }
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_LE(most.load(), 2);
    EXPECT_GE(most.load(), 1);
    EXPECT_EQ(budget.InUse(), 0u);

    {
        TPixelReservation huge = budget.Reserve(1000);
        EXPECT_EQ(budget.InUse(), 1000u);
        // The holder may take more without waiting for itself.
        const TPixelReservation more = budget.Reserve(50);
        EXPECT_EQ(budget.InUse(), 1050u);
        std::atomic<bool> got{false};
        std::thread other([&] {
            const TPixelReservation r = budget.Reserve(10);
            got = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_FALSE(got.load()) << "another thread went past the capacity";
        huge = TPixelReservation();
        other.join();
        EXPECT_TRUE(got.load());
        EXPECT_EQ(budget.InUse(), 50u);
    }
    EXPECT_EQ(budget.InUse(), 0u);

    // Within a job, what a loader reserves is kept until the job ends.
    TPixelBudget& process = PicturePixelBudget();
    const std::uint64_t before = process.InUse();
    {
        const TPixelJob job;
        KeepForJob(process.Reserve(123));
        EXPECT_EQ(process.InUse(), before + 123);
    }
    EXPECT_EQ(process.InUse(), before);
    KeepForJob(process.Reserve(77));
    EXPECT_EQ(process.InUse(), before) << "outside a job it is given back at once";
}
