#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "Error.h"
#include "FootageCatalog.h"
#include "OcioFootage.h"

namespace {

// A config with one usable log space (ACEScct, so its chain equals the
// built-in one), a linear, a data and an lg2-allocated space.
const char* const kConfig = R"(ocio_profile_version: 2
roles:
  default: raw
  scene_linear: ACES2065-1
file_rules:
  - !<Rule> {name: Default, colorspace: default}
displays:
  Rec709:
    - !<View> {name: Video, colorspace: Rec709 video}
colorspaces:
  - !<ColorSpace> {name: ACES2065-1, encoding: scene-linear}
  - !<ColorSpace> {name: raw, isdata: true}
  - !<ColorSpace>
    name: cct
    encoding: log
    to_scene_reference: !<BuiltinTransform> {style: ACEScct_to_ACES2065-1}
  - !<ColorSpace>
    name: logc lg2
    allocation: lg2
    to_scene_reference: !<BuiltinTransform> {style: ARRI_ALEXA-LOGC-EI800-AWG_to_ACES2065-1}
  - !<ColorSpace>
    name: Rec709 video
    encoding: sdr-video
    from_scene_reference: !<GroupTransform>
      children:
        - !<BuiltinTransform> {style: "ACES-OUTPUT - ACES2065-1_to_CIE-XYZ-D65 - SDR-VIDEO_1.0"}
        - !<BuiltinTransform> {style: "DISPLAY - CIE-XYZ-D65_to_REC.1886-REC.709"}
)";

class OcioFootageTest : public ::testing::Test {
protected:
    void SetUp() override {
        char folder[] = "/tmp/ombrane-footage-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        folder_ = folder;
    }
    void TearDown() override {
        for (const std::string& file : files_) std::remove(file.c_str());
        std::remove(folder_.c_str());
    }
    std::string Write(const std::string& name, const std::string& text) {
        const std::string path = folder_ + "/" + name;
        std::ofstream(path) << text;
        files_.push_back(path);
        return path;
    }
    std::string folder_;
    std::vector<std::string> files_;
};

std::string MessageOf(const std::string& space, const std::string& config) {
    try {
        MakeFootageConversion(space, config);
    } catch (const EError& error) {
        return error.what();
    }
    return "";
}

}  // namespace

TEST_F(OcioFootageTest, EveryCameraLogConvertsIntoRangeAndDisplayConvertsNothing) {
    for (const std::string name : {"", "display", "DISPLAY", "Display (Rec.709 / sRGB)"})
        EXPECT_EQ(MakeFootageConversion(name, ""), nullptr) << name;
    for (const TCameraLog& log : CameraLogs()) {
        for (const std::string& name : {std::string(log.Key), std::string(log.Label)}) {
            const auto footage = MakeFootageConversion(name, "");
            ASSERT_NE(footage, nullptr) << name;
            EXPECT_EQ(footage->Label(), log.Label);
        }
        const auto footage = MakeFootageConversion(log.Key, "");
        // Black, a log mid grey, white and the saturated corners.
        float rgb[] = {0, 0, 0, 0.4f, 0.4f, 0.4f, 1, 1, 1, 1, 0, 0, 0, 1, 0, 0, 0, 1};
        footage->Convert(rgb, 6);
        for (float v : rgb) {
            EXPECT_GE(v, 0.0f) << log.Key;
            EXPECT_LE(v, 1.0f) << log.Key;
        }
        EXPECT_LT(rgb[0], 0.1f) << log.Key;  // log black stays dark
        EXPECT_GT(rgb[3], 0.15f) << log.Key; // the middle of the code range is no shadow
        EXPECT_NEAR(rgb[3], rgb[4], 0.02f) << log.Key;  // grey stays grey
        EXPECT_NEAR(rgb[4], rgb[5], 0.02f) << log.Key;
        EXPECT_GT(rgb[9], rgb[10]) << log.Key;  // red stays reddest in red
    }
    const std::string unknown = MessageOf("S-Log9", "");
    EXPECT_NE(unknown.find("Unknown footage space \"S-Log9\""), std::string::npos) << unknown;
}

TEST_F(OcioFootageTest, ConfigSpacesConvertToTheDefaultViewAndLinearOrDataAreRefused) {
    const std::string config = Write("config.ocio", kConfig);
    const auto spaces = FootageSpaces(config);
    ASSERT_EQ(spaces.size(), 1 + CameraLogs().size() + 2);  // cct and the video space itself
    EXPECT_EQ(spaces[0].Label, kDisplayFootageLabel);
    EXPECT_EQ(spaces[spaces.size() - 2].Key, "cct");
    EXPECT_EQ(spaces.back().Key, "Rec709 video");
    EXPECT_EQ(FootageSpaces("").size(), 1 + CameraLogs().size());

    const auto cct = MakeFootageConversion("cct", config);
    const auto builtin = MakeFootageConversion("acescct", "");
    ASSERT_NE(cct, nullptr);
    EXPECT_EQ(cct->Label(), "cct (config.ocio: Rec709 / Video)");
    float a[3 * 27], b[3 * 27];
    for (int i = 0; i < 3 * 27; ++i) a[i] = b[i] = static_cast<float>((i * 7) % 27) / 26.0f;
    cct->Convert(a, 27);
    builtin->Convert(b, 27);
    for (int i = 0; i < 3 * 27; ++i) EXPECT_NEAR(a[i], b[i], 1e-6f) << i;

    for (const char* space : {"ACES2065-1", "logc lg2"}) {
        const std::string message = MessageOf(space, config);
        EXPECT_NE(message.find("is linear"), std::string::npos) << message;
        EXPECT_NE(message.find("shaper"), std::string::npos) << message;
    }
    EXPECT_NE(MessageOf("raw", config).find("holds data"), std::string::npos);
    EXPECT_NE(MessageOf("nothing", config).find("neither a camera log nor a colour space"), std::string::npos);
    // A built-in key wins over the config.
    EXPECT_EQ(MakeFootageConversion("slog3-sgamut3cine", config)->Label(), "Sony S-Log3 / S-Gamut3.Cine");
}

TEST_F(OcioFootageTest, ConfigsThatDoNotLoadAreNamedInTheMessage) {
    const std::string missing = folder_ + "/missing.ocio";
    const std::string broken = Write("broken.ocio", "ocio_profile_version: 2\ncolorspaces: [ {name: \n");
    const std::string badRole = Write("role.ocio", std::string(kConfig) + "  - !<ColorSpace> {name: cct}\n");
    for (const std::string& path : {missing, broken, badRole}) {
        const std::string message = MessageOf("cct", path);
        EXPECT_NE(message.find("The OpenColorIO config \"" + path + "\" does not load"), std::string::npos)
            << message;
        EXPECT_THROW(FootageSpaces(path), EError) << path;
    }
    setenv("OCIO", "/from/environment.ocio", 1);
    EXPECT_EQ(FootageConfigPath(""), "/from/environment.ocio");
    EXPECT_EQ(FootageConfigPath("given.ocio"), "given.ocio");
    unsetenv("OCIO");
    EXPECT_EQ(FootageConfigPath(""), "");
}
