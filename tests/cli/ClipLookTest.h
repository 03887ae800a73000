#pragma once
#include <memory>

#include "engine/lut/LUT.h"
#include "formats/LutConvert.h"
#include "imageio/ImageFile.h"
#include "tests/cli/CliHarness.h"

// A command-line test of clips with a look to grade them: "look.cube" in the
// scratch folder, matched to a test picture, and that look read as lut_.
class ClipLookTest : public CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        SaveImageFile(Path("ref.jpg"), MakeTestPicture(200, 150, 5));
        const TCliRun look = Cli({"look", Path("ref.jpg"), "--profile", "8", "--saturation", "160", "--gain", "80",
                                  "-o", Path("look.cube")});
        ASSERT_EQ(look.Status, 0) << look.Err;
        lut_ = ReadLutFile(Path("look.cube"));
    }
    std::unique_ptr<TLUT> lut_;
};
