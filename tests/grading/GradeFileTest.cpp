#include "grading/GradeFile.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <iterator>

#include "clip/ClipFile.h"
#include "clip/ClipPicture.h"
#include "engine/base/Error.h"
#include "engine/footage/FootageConversion.h"
#include "engine/lut/LUT.h"
#include "imageio/ImageFile.h"
#include "tests/grading/SampleLooks.h"
#include "tests/support/ClipMaking.h"

// The grading road from a frame to a graded file: a sequence's frame is
// its own file graded, a clip's frame the one chosen, a picture in memory
// as the same picture in a file.

namespace {

// A display-referred footage that halves every value.
class THalving : public TFootageConversion {
public:
    std::string Label() const override { return "half"; }
    void Convert(float* rgb, std::size_t count) const override {
        for (std::size_t i = 0; i < 3 * count; ++i) rgb[i] *= 0.5f;
    }
};

class GradeFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::shared_ptr<TLUT> lut = SampleCubeLut(17, 5);

    std::string Path(const std::string& name) const { return dir.filePath(QString::fromStdString(name)).toStdString(); }
    static std::string Bytes(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
};

TEST_F(GradeFileTest, ASequenceFrameIsGradedAsItsOwnFile) {
    for (int i = 1; i <= 3; ++i)
        SaveImageFile(Path("run_000" + std::to_string(i) + ".png"), SampleCell(static_cast<unsigned>(i)));
    GradeFile({Path("run_%04d.png"), 1}, Path("frame.jpg"), *lut);
    GradeFile({Path("run_0002.png")}, Path("file.jpg"), *lut);
    ASSERT_FALSE(Bytes(Path("frame.jpg")).empty());
    EXPECT_EQ(Bytes(Path("frame.jpg")), Bytes(Path("file.jpg")));

    try {
        GradeFile({Path("run_%04d.png"), 3}, Path("none.jpg"), *lut);
        ADD_FAILURE() << "a frame after the last was graded";
    } catch (const EError& error) {
        EXPECT_NE(std::string(error.what()).find("run_%04d.png\" has no frame 3 (its frames are numbered from 0 to 2)"),
                  std::string::npos)
            << error.what();
    }
}

TEST_F(GradeFileTest, APictureInMemoryIsGradedAsTheSamePictureInAFile) {
    const TImage picture = SampleCell(9);
    SaveImageFile(Path("pasted.png"), picture);
    GradeFile({std::string(), 0, &picture}, Path("memory.png"), *lut);
    GradeFile({Path("pasted.png")}, Path("file.png"), *lut);
    ASSERT_FALSE(Bytes(Path("memory.png")).empty());
    EXPECT_EQ(Bytes(Path("memory.png")), Bytes(Path("file.png")));
}

TEST_F(GradeFileTest, AClipGivesTheChosenFrameAndRefusesFootageAtSixteenBits) {
    const std::string clip = Path("clip.mov");
    ASSERT_TRUE(MakeClip(clip, 64, 48, 3, "-c:v qtrle"));
    TLUT identity;
    identity.Kind = lkIdentity;
    GradeFile({clip, 2}, Path("two.png"), identity);
    TImage written;
    LoadImageFile(Path("two.png"), written);
    EXPECT_TRUE(written.SamePixels(ClipFrameToImage(LoadClipFrame(clip, ParseFrameChoice("2")))));
    EXPECT_FALSE(written.SamePixels(ClipFrameToImage(LoadClipFrame(clip, ParseFrameChoice("0")))));

    const THalving footage;
    try {
        GradeFile({clip, 0}, Path("deep.tif"), identity, &footage);
        ADD_FAILURE() << "footage was converted into a 16-bit file";
    } catch (const EFootageFrame& error) {
        EXPECT_EQ(std::string(error.what()),
                  "\"" + clip + "\": footage is converted for 8-bit frames saved as 8-bit pictures only");
    }
}

}  // namespace
