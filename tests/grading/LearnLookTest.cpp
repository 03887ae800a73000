#include "grading/LearnLook.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdlib>

#include "clip/ClipFile.h"
#include "clip/ClipPicture.h"
#include "engine/fit/GradedPair.h"
#include "engine/lut/LUT.h"
#include "imageio/ImageFile.h"
#include "tests/support/ClipMaking.h"

// The pair a look is learned from is read alike by both front ends: a clip
// as its first frame, a tagged picture in sRGB.

namespace {

class LearnLookTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::string Path(const std::string& name) const { return dir.filePath(QString::fromStdString(name)).toStdString(); }

    static void Shell(const std::string& command) {
        int status = -1;
        const std::string out = RunCommand(command + " 2>&1", &status);
        ASSERT_EQ(status, 0) << command << "\n" << out;
    }
    static bool SameCube(const TLUT& a, const TLUT& b) {
        if (a.CubeSize != b.CubeSize) return false;
        for (int r = 0; r < a.CubeSize; ++r)
            for (int g = 0; g < a.CubeSize; ++g)
                for (int b2 = 0; b2 < a.CubeSize; ++b2) {
                    const TRGBDouble& x = a.Cube[r][g][b2];
                    const TRGBDouble& y = b.Cube[r][g][b2];
                    if (x.Red != y.Red || x.Green != y.Green || x.Blue != y.Blue) return false;
                }
        return true;
    }
};

TEST_F(LearnLookTest, AClipIsLearnedFromAsItsFirstFrame) {
    const std::string clip = Path("clip.mov");
    ASSERT_TRUE(MakeClip(clip, 96, 64, 2, "-c:v qtrle"));
    SaveImageFile(Path("first.png"), ClipFrameToImage(LoadClipFrame(clip, {})));
    Shell("convert '" + Path("first.png") + "' -modulate 100,130,100 -gamma 1.2 '" + Path("after.png") + "'");
    const TLearnedLook fromClip = LearnLookFromPair(clip, Path("after.png"), {17});
    const TLearnedLook fromFrame = LearnLookFromPair(Path("first.png"), Path("after.png"), {17});
    EXPECT_TRUE(SameCube(*fromClip.Lut, *fromFrame.Lut));
    EXPECT_TRUE(ReadPairPicture(clip).SamePixels(ReadPairPicture(Path("first.png"))));
}

// ImageMagick converts the tagged picture to sRGB: the look between the two
// is none, which only a reader that honours the profile learns.
TEST_F(LearnLookTest, ATaggedPictureIsLearnedFromInSrgb) {
    Shell("convert " + std::string(kClipPhoto) + " -resize '120x80!' '" + Path("photo.png") + "'");
    Shell("convert '" + Path("photo.png") + "' -profile /usr/share/color/icc/colord/sRGB.icc -profile " +
          "/usr/share/color/icc/colord/AdobeRGB1998.icc -quality 100 '" + Path("adobe.jpg") + "'");
    Shell("convert '" + Path("adobe.jpg") + "' -profile /usr/share/color/icc/colord/sRGB.icc '" + Path("srgb.png") +
          "'");
    const TLearnedLook look = LearnLookFromPair(Path("adobe.jpg"), Path("srgb.png"), {17});
    // The learned look leaves the picture's colours where they are (within
    // the fit's and the JPEG's error); read without its profile, BEFORE's
    // greens would be learned as turned into more saturated ones.
    TImage srgb;
    LoadImageFile(Path("srgb.png"), srgb);
    TImage graded = srgb.Clone();
    look.Lut->ApplyToImage(graded);
    double difference = 0;
    for (int y = 0; y < srgb.Height(); ++y)
        for (int x = 0; x < 3 * srgb.Width(); ++x) difference += std::abs(graded.Row(y)[x] - srgb.Row(y)[x]);
    EXPECT_LT(difference / (3.0 * srgb.Width() * srgb.Height()), 2.0);
}

}  // namespace
