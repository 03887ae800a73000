#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "engine/base/Error.h"
#include "footage/FootageCatalog.h"
#include "footage/OcioFootage.h"
#include "tests/support/PipeUnblocker.h"

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
        EXPECT_LT(rgb[0], 0.1f) << log.Key;             // log black stays dark
        EXPECT_GT(rgb[3], 0.15f) << log.Key;            // the middle of the code range is no shadow
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
    // Every space but the data one: the linear ones take a shaper in their LUTs.
    ASSERT_EQ(spaces.size(), 1 + CameraLogs().size() + LinearSpaces().size() + 4);
    EXPECT_EQ(spaces[0].Label, kDisplayFootageLabel);
    EXPECT_EQ(spaces[spaces.size() - 3].Key, "cct");
    EXPECT_EQ(spaces.back().Key, "Rec709 video");
    EXPECT_EQ(FootageSpaces("").size(), 1 + CameraLogs().size() + LinearSpaces().size());

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
        const auto linear = MakeFootageConversion(space, config);
        ASSERT_NE(linear, nullptr) << space;
        EXPECT_TRUE(linear->SceneLinear()) << space;
    }
    EXPECT_FALSE(cct->SceneLinear());
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
        EXPECT_NE(message.find("The OpenColorIO config \"" + path + "\" does not load"), std::string::npos) << message;
        EXPECT_THROW(FootageSpaces(path), EError) << path;
    }
    setenv("OCIO", "/from/environment.ocio", 1);
    EXPECT_EQ(FootageConfigPath(""), "/from/environment.ocio");
    EXPECT_EQ(FootageConfigPath("given.ocio"), "given.ocio");
    unsetenv("OCIO");
    EXPECT_EQ(FootageConfigPath(""), "");
}

namespace {

// kConfig with one more space converted by the LUT file `source`.
std::string ConfigNaming(const std::string& source, const std::string& searchPath = ".") {
    std::string config = kConfig;
    config.insert(config.find("roles:"), "search_path: \"" + searchPath + "\"\n");
    return config +
           "  - !<ColorSpace>\n"
           "    name: graded\n"
           "    encoding: sdr-video\n"
           "    to_scene_reference: !<GroupTransform>\n"
           "      children:\n"
           "        - !<FileTransform> {src: \"" +
           source +
           "\", interpolation: linear}\n"
           "        - !<BuiltinTransform> {style: ACEScct_to_ACES2065-1}\n";
}

std::string SpacesMessage(const std::string& config) {
    try {
        FootageSpaces(config);
    } catch (const EError& error) {
        return error.what();
    }
    return "";
}

}  // namespace

// The config and every file it names are read only when they are regular
// files of a sane size: a named pipe is not waited on, a device is not read.
TEST_F(OcioFootageTest, ConfigsAndTheFilesTheyNameAreReadOnlyWhenRegular) {
    const std::string pipe = folder_ + "/pipe.ocio";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    files_.push_back(pipe);
    {
        const TPipeUnblocker unblocker(pipe);
        for (const std::string& message : {MessageOf("cct", pipe), SpacesMessage(pipe)}) {
            EXPECT_NE(message.find("\"" + pipe + "\""), std::string::npos) << message;
            EXPECT_NE(message.find("not a regular file"), std::string::npos) << message;
        }
        EXPECT_EQ(unblocker.Unblocked(), 0);
    }
    // A config far larger than any real one is not parsed (sparse: no disk).
    const std::string huge = folder_ + "/huge.ocio";
    files_.push_back(huge);
    ASSERT_EQ(truncate((Write("huge.ocio", kConfig), huge).c_str(), 300ll * 1024 * 1024), 0);
    EXPECT_NE(MessageOf("cct", huge).find("too large"), std::string::npos) << MessageOf("cct", huge);

    // LUT files named by the config: a pipe, a link to a device.
    const std::string lutPipe = folder_ + "/pipe.cube";
    ASSERT_EQ(mkfifo(lutPipe.c_str(), 0600), 0);
    files_.push_back(lutPipe);
    const std::string zero = folder_ + "/zero.cube";
    std::filesystem::create_symlink("/dev/zero", zero);
    files_.push_back(zero);
    for (const std::string& source : {std::string("pipe.cube"), std::string("zero.cube")}) {
        const std::string config = Write("names-" + source + ".ocio", ConfigNaming(source));
        const TPipeUnblocker unblocker(lutPipe);
        for (const std::string& message : {MessageOf("graded", config), SpacesMessage(config)}) {
            EXPECT_NE(message.find("\"" + config + "\""), std::string::npos) << message;
            EXPECT_NE(message.find(source), std::string::npos) << message;
            EXPECT_NE(message.find("not a regular file"), std::string::npos) << message;
        }
        EXPECT_EQ(unblocker.Unblocked(), 0) << source;
    }
    // A regular LUT file named by the config is used.
    Write("look.cube", "LUT_3D_SIZE 2\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n");
    const std::string good = Write("good.ocio", ConfigNaming("look.cube"));
    EXPECT_NE(MakeFootageConversion("graded", good), nullptr);
    EXPECT_EQ(FootageSpaces(good).back().Key, "graded");
}

// OpenColorIO's reasons come as one line naming the config, without the
// lines of a file it tried to read or the values of environment variables.
TEST_F(OcioFootageTest, LibraryReasonsAreOneLineWithoutFileContentsOrEnvironment) {
    Write("secret.cube", "root:x:0:0:root:/root:/bin/bash\ndaemon:x:1:1:daemon:/usr/sbin\n");
    setenv("OMBRANE_TEST_SECRET", "/hidden-place-4711", 1);
    const std::string passwd = Write("passwd.ocio", ConfigNaming("secret.cube"));
    const std::string missing = Write("missing.ocio", ConfigNaming("nowhere.cube", "$OMBRANE_TEST_SECRET:luts"));
    const std::string broken = Write("broken.ocio", std::string(kConfig) + "  - !<ColorSpace> {name: [x\n  bad: :\n");
    for (const std::string& config : {passwd, missing, broken}) {
        // A space that does not convert is left out of the list; asked for,
        // it is refused with the reason.
        std::vector<std::string> messages = {MessageOf("graded", config)};
        if (config == broken)
            messages.push_back(SpacesMessage(config));
        else
            EXPECT_EQ(FootageSpaces(config).back().Key, "Rec709 video");
        for (const std::string& message : messages) {
            EXPECT_NE(message.find("\"" + config + "\""), std::string::npos) << message;
            EXPECT_EQ(message.find('\n'), std::string::npos) << message;
            EXPECT_EQ(message.find("root:x"), std::string::npos) << message;
            EXPECT_EQ(message.find("daemon"), std::string::npos) << message;
            EXPECT_EQ(message.find("hidden-place"), std::string::npos) << message;
        }
    }
    EXPECT_NE(MessageOf("graded", missing).find("\"nowhere.cube\" it names is not found"), std::string::npos)
        << MessageOf("graded", missing);
    unsetenv("OMBRANE_TEST_SECRET");
}

// Many colour spaces are listed in the config's order, each usable one
// once, the same as the spaces taken one at a time.
TEST_F(OcioFootageTest, ManySpacesAreListedInTheConfigsOrder) {
    std::string config = kConfig;
    for (int i = 0; i < 1500; ++i)
        config += "  - !<ColorSpace>\n    name: cct " + std::to_string(i) +
                  (i % 3 == 0 ? "\n    encoding: scene-linear" : "") +
                  "\n    to_scene_reference: !<BuiltinTransform> {style: ACEScct_to_ACES2065-1}\n";
    const std::string path = Write("many.ocio", config);
    const auto spaces = FootageSpaces(path);
    std::vector<std::string> expected = {"ACES2065-1", "cct", "logc lg2", "Rec709 video"};
    for (int i = 0; i < 1500; ++i) expected.push_back("cct " + std::to_string(i));
    const std::size_t builtins = 1 + CameraLogs().size() + LinearSpaces().size();
    ASSERT_EQ(spaces.size(), builtins + expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(spaces[builtins + i].Key, expected[i]);
    for (const std::string& name : {std::string("cct 1"), std::string("cct 1499")})
        EXPECT_EQ(MakeFootageConversion(name, path)->Label(), name + " (many.ocio: Rec709 / Video)");
    EXPECT_TRUE(MakeFootageConversion("cct 3", path)->SceneLinear());

    // Far more spaces than any real config: refused before the library's
    // parser, whose time grows with the square of their number.
    std::string huge = kConfig;
    for (int i = 0; i < 20000; ++i) huge += "  - !<ColorSpace>\n    name: s" + std::to_string(i) + "\n";
    const std::string hugePath = Write("huge.ocio", huge);
    EXPECT_EQ(MessageOf("s1", hugePath), "The OpenColorIO config \"" + hugePath +
                                             "\" does not load: it holds 20005 colour spaces, more than the 4000 a "
                                             "config may hold");
}
