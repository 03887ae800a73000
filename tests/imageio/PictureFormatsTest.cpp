#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/picture/DeepGrade.h"
#include "fileio/FileNames.h"
#include "imageio/DeepImageFile.h"
#include "imageio/ImageFile.h"
#include "imageio/PictureFormats.h"

namespace {

bool Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// What oiiotool prints about each file, one run for all (it starts slowly):
// per file a line "name : W x H, N channel, type format".
std::vector<std::string> OiioInfo(const std::vector<std::string>& files) {
    std::string command = "oiiotool --info";
    for (const std::string& file : files) command += " '" + file + "'";
    const std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen((command + " 2>&1").c_str(), "r"), pclose);
    std::vector<std::string> lines;
    char line[512] = {};
    while (pipe && std::fgets(line, sizeof line, pipe.get())) lines.emplace_back(line);
    std::vector<std::string> infos;
    for (const std::string& file : files) {
        const auto found =
            std::find_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.starts_with(file + " "); });
        infos.push_back(found == lines.end() ? std::string() : *found);
    }
    return infos;
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Red 204, green 102, blue 51 in every pixel of a 5 x 3 picture read back.
void ExpectOrangeSwatch(const TImage& picture, int tolerance, const std::string& file) {
    ASSERT_EQ(picture.Width(), 5) << file;
    ASSERT_EQ(picture.Height(), 3) << file;
    const unsigned char* bgr = picture.Row(2) + 3 * 4;
    EXPECT_NEAR(bgr[2], 204, tolerance) << file;
    EXPECT_NEAR(bgr[1], 102, tolerance) << file;
    EXPECT_NEAR(bgr[0], 51, tolerance) << file;
}

// JPEG is lossy; the others hold the swatch's values.
int ToleranceFor(const std::string& extension) {
    return std::string(FindPictureFormat("x." + extension)->Library) == "jpeg" ? 8 : 3;
}

// The patterns of a dialog filter string: "A|*.a;*.b|B|*.c" gives *.a, *.b, *.c.
std::multiset<std::string> PatternsOf(const std::string& filters) {
    std::multiset<std::string> patterns;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= filters.size(); ++i)
        if (i == filters.size() || filters[i] == '|' || filters[i] == ';') {
            const std::string item = filters.substr(start, i - start);
            if (item.starts_with("*.")) patterns.insert(item);
            start = i + 1;
        }
    return patterns;
}

}  // namespace

// Every type the table reads, written by the picture tools of other makers
// (oiiotool; ImageMagick where oiiotool has no writer), under its extension
// in both cases, is read with its colours by the road the table gives it.
TEST(PictureFormatsTest, EveryTypeReadIsReadFromOtherMakersFiles) {
    if (!Shell("command -v oiiotool") || !Shell("command -v convert")) GTEST_SKIP() << "oiiotool or convert missing";
    QTemporaryDir dir;
    const std::vector<std::string> extensions = PictureExtensions(TPictureRole::Read);
    ASSERT_FALSE(extensions.empty());
    // One oiiotool run writes every file it can (it starts slowly); the rest
    // are written one by one, by ImageMagick where oiiotool has no writer.
    const std::string pattern = "oiiotool --pattern constant:color=0.8,0.4,0.2 5x3 3 -d uint8";
    std::vector<std::string> files;
    std::string outputs;
    for (std::size_t i = 0; i < extensions.size(); ++i) {
        files.push_back(dir.path().toStdString() + "/swatch." + (i % 2 == 0 ? extensions[i] : Upper(extensions[i])));
        outputs += " -o '" + files.back() + "'";
    }
    Shell(pattern + outputs);
    for (std::size_t i = 0; i < extensions.size(); ++i) {
        const std::string& file = files[i];
        const std::string extension = file.substr(file.rfind('.') + 1);
        const bool written = QFileInfo(QString::fromStdString(file)).size() > 0 ||
                             Shell(pattern + " -o '" + file + "'") ||
                             Shell("convert -size 5x3 'xc:rgb(204,102,51)' '" + file + "'");
        ASSERT_TRUE(written) << file;
        TImage picture;
        ASSERT_NO_THROW(LoadImageFile(file, picture)) << file;
        ExpectOrangeSwatch(picture, ToleranceFor(extension), file);
    }
}

// Every written extension gives a file of the format the table names, as
// oiiotool reads it, which loads back with its colours; the writer's list
// holds the written types and nothing else.
TEST(PictureFormatsTest, EveryWrittenTypeIsWrittenInItsOwnFormat) {
    if (!Shell("command -v oiiotool")) GTEST_SKIP() << "oiiotool missing";
    const std::vector<std::string> written = PictureExtensions(TPictureRole::Written);
    std::vector<std::string> writerOrder = WrittenPictureExtensions();
    EXPECT_TRUE(std::is_permutation(written.begin(), written.end(), writerOrder.begin(), writerOrder.end()));
    QTemporaryDir dir;
    TImage swatch(5, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            unsigned char* bgr = swatch.Row(y) + 3 * x;
            bgr[0] = 51, bgr[1] = 102, bgr[2] = 204;
        }
    const TDeepImage deep = DeepFromImage(swatch, "bmp");
    std::vector<std::string> files;
    for (const std::string& extension : written) {
        files.push_back(dir.path().toStdString() + "/written." + extension);
        ASSERT_NO_THROW(SaveDeepImageFile(files.back(), deep, OutputDepthFor(files.back(), deep.Depth)))
            << files.back();
    }
    const std::vector<std::string> infos = OiioInfo(files);
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string& file = files[i];
        EXPECT_NE(infos[i].find(std::string(" ") + FindPictureFormat(file)->Library + "\n"), std::string::npos)
            << file << ": " << infos[i];
        TImage back;
        ASSERT_NO_THROW(LoadImageFile(file, back)) << file;
        ExpectOrangeSwatch(back, ToleranceFor(written[i]), file);
    }
}

// Extensions are found after the last dot of the name, not of a folder, in
// any case; the lists the dialogs and messages show name every type once.
TEST(PictureFormatsTest, NamesListsAndFilters) {
    EXPECT_EQ(LowerExtension("/a.b/Photo.JPeG"), "jpeg");
    EXPECT_EQ(FileExtension("/a.b/Photo.JPeG"), ".JPeG");
    EXPECT_EQ(LowerExtension("/a.b/photo"), "");
    EXPECT_EQ(LowerExtension("photo."), "");
    EXPECT_EQ(LowerExtension("/x/.png"), "png");
    EXPECT_EQ(LowerExtension("clip.tar.GZ"), "gz");
    EXPECT_EQ(FindPictureFormat("/a.b/photo"), nullptr);
    EXPECT_EQ(FindPictureFormat("x.jpgx"), nullptr);
    EXPECT_EQ(FindPictureFormat("X.TIF"), FindPictureFormat("y.tiff"));
    EXPECT_NE(FindPictureFormat("X.TIF"), nullptr);

    EXPECT_EQ(ListOfExtensions({"a"}, "."), ".a");
    EXPECT_EQ(ListOfExtensions({"a", "b"}, ""), "a or b");
    EXPECT_EQ(ListOfExtensions({"a", "b", "c"}, "."), ".a, .b or .c");

    // Each read extension once in the dialog's type filters, each found again in any case.
    const std::multiset<std::string> patterns = PatternsOf(PictureTypeFilters());
    const std::vector<std::string> read = PictureExtensions(TPictureRole::Read);
    EXPECT_EQ(patterns.size(), read.size());
    for (const std::string& extension : read) {
        EXPECT_EQ(patterns.count("*." + extension), 1u) << extension;
        EXPECT_EQ(FindPictureFormat("x." + Upper(extension)), FindPictureFormat("x." + extension)) << extension;
    }
    // What the 24-bit road writes, and what only the deep road does, are written types.
    for (TPictureRole role : {TPictureRole::EightBitWritten, TPictureRole::DeepOnly, TPictureRole::WrittenDeep})
        for (const std::string& extension : PictureExtensions(role))
            EXPECT_TRUE(IsPictureName("x." + extension, TPictureRole::Written)) << extension;
}
