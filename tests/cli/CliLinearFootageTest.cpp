#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>

#include "engine/footage/FootageLook.h"
#include "engine/lut/LUT.h"
#include "engine/picture/DeepGrade.h"
#include "footage/OcioFootage.h"
#include "formats/LutConvert.h"
#include "imageio/DeepImageFile.h"
#include "imageio/ImageFile.h"
#include "tests/cli/CliHarness.h"

// Linear footage on the command line: a float EXR graded with --footage
// keeps its depth and equals the conversion then the 33-point look; a look
// export takes a shaper where the format holds one and is refused (nothing
// written) where it does not; learn refuses linear footage.
TEST_F(CliTest, LinearFootageGradesDeepPicturesAndItsLooksNeedAShaper) {
    const std::string reference = Path("ref.png");
    SaveImageFile(reference, MakeTestPicture(200, 150, 5));
    TDeepImage frame(64, 32, false);
    frame.Depth = {"openexr", TSampleKind::Float, 32, std::string()};
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64 * 3; ++x)
            frame.Row(y)[x] = 0.01f * static_cast<float>((x * 7 + y * 13) % 300);  // 0 .. 3
    SaveDeepImageFile(Path("lin.exr"), frame, frame.Depth);

    const TCliRun grade = Cli({"grade", reference, Path("lin.exr"), "-o", Path("out.exr"), "--footage", "acescg"});
    ASSERT_EQ(grade.Status, 0) << grade.Err;
    const TDeepImage graded = LoadDeepImageFile(Path("out.exr"));
    EXPECT_EQ(graded.Depth.Kind, TSampleKind::Float);
    const TCliRun look = Cli({"look", reference, "-o", Path("look.cube"), "--profile", "Cube 3D Davinci"});
    ASSERT_EQ(look.Status, 0) << look.Err;
    TDeepImage expected = LoadDeepImageFile(Path("lin.exr"));
    ConvertFootageDeep(*MakeFootageConversion("acescg", ""), expected);
    const std::unique_ptr<TLUT> lut = ReadLutFile(Path("look.cube"));
    GradeDeepImage(*lut, expected);
    float worst = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64 * 3; ++x) worst = std::max(worst, std::abs(graded.Row(y)[x] - expected.Row(y)[x]));
    EXPECT_LT(worst, 2e-6f);  // the cube file's nine digits
    EXPECT_GT(graded.Row(20)[150], 0.0f);

    const TCliRun shaped = Cli({"look", reference, "-o", Path("shaped.clf"), "--profile", "Academy/ASC CLF",
                                "--footage", "Linear Rec.709 / sRGB"});
    ASSERT_EQ(shaped.Status, 0) << shaped.Err;
    const std::string clf = ReadBytes(Path("shaped.clf"));
    EXPECT_NE(clf.find("<Description>shaper: log2, -7 to +7 stops around 0.18"), std::string::npos);
    EXPECT_NE(clf.find("<minInValue>0.00140625</minInValue>"), std::string::npos);

    const TCliRun refused = Cli({"look", reference, "-o", Path("refused.3dl"), "--footage", "acescg"});
    EXPECT_EQ(refused.Status, 1);
    EXPECT_NE(refused.Err.find("is scene-linear"), std::string::npos) << refused.Err;
    EXPECT_NE(refused.Err.find("\"Cinespace 3D\" (.csp)"), std::string::npos) << refused.Err;
    EXPECT_FALSE(std::filesystem::exists(Path("refused.3dl")));

    const TCliRun learn = Cli({"learn", reference, reference, "-o", Path("learned.cube"), "--footage", "acescg"});
    EXPECT_EQ(learn.Status, 1);
    EXPECT_NE(learn.Err.find("'learn' makes LUTs on 0..1 values"), std::string::npos) << learn.Err;
    EXPECT_FALSE(std::filesystem::exists(Path("learned.cube")));
}
