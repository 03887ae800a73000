#include "engine/look/LookControls.h"
#include "formats/FormatRegistry.h"
#include "formats/LutFormat.h"
#include "tests/cli/CliHarness.h"

TEST_F(CliTest, HelpForTheProgramAndEveryCommand) {
    const TCliRun program = Cli({"--help"});
    EXPECT_EQ(program.Status, 0);
    EXPECT_EQ(program.Out.rfind("Usage: ombrane-cli COMMAND", 0), 0u) << program.Out;
    EXPECT_TRUE(program.Err.empty());
    for (const char* command : {"profiles", "formats", "look", "grade", "convert", "apply", "library"}) {
        const TCliRun help = Cli({command, "--help"});
        EXPECT_EQ(help.Status, 0) << command;
        EXPECT_EQ(help.Out.rfind(std::string("Usage: ombrane-cli ") + command, 0), 0u) << help.Out;
        // Help wins over missing arguments and is printed by every command
        // before anything is read or written.
        const TCliRun helpLater = Cli({command, "x", "-h"});
        EXPECT_EQ(helpLater.Status, 0) << command;
        EXPECT_EQ(helpLater.Out, help.Out);
    }
    const TCliRun look = Cli({"look", "--help"});
    for (const char* option :
         {"--gain", "--saturation", "--yellow", "--orange", "--red", "--violet", "--blue", "--green", "--low",
          "--middle", "--high", "--basic-analysis", "--compress-saturation", "--profile", "--size", "--bits"})
        EXPECT_NE(look.Out.find(option), std::string::npos) << option;
}

// The grading options' title states each control's own range from the
// control table: the range most share, and the strength's 0..100 beside it.
TEST_F(CliTest, GradingHelpNamesEachControlsOwnRange) {
    for (const char* command : {"look", "grade"}) {
        const std::string out = Cli({command, "--help"}).Out;
        const std::size_t at = out.find("Grading options (");
        ASSERT_NE(at, std::string::npos) << command;
        const std::string title = out.substr(at, out.find('\n', at) - at);
        EXPECT_EQ(title, "Grading options (slider positions, integers 0..200, default 100, --strength 0..100):");
        for (const TLookControl& control : LookControls())
            EXPECT_NE(title.find(std::to_string(control.Min) + ".." + std::to_string(control.Max)), std::string::npos)
                << control.Key;
    }
}

TEST_F(CliTest, UsageErrorsExitTwoWithOneLine) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"frobnicate"},
        {"profiles", "extra"},
        {"formats", "--bogus"},
        {"look"},
        {"look", "ref.bmp"},        // no -o
        {"look", "ref.bmp", "-o"},  // -o without value
        {"look", "ref.bmp", "-o", "a.cube", "--gain", "201"},
        {"look", "ref.bmp", "-o", "a.cube", "--gain", "-1"},
        {"look", "ref.bmp", "-o", "a.cube", "--red", "abc"},
        {"look", "ref.bmp", "-o", "a.cube", "--low", "1.5"},
        {"look", "ref.bmp", "-o", "a.cube", "--low=50", "--low=60"},
        {"look", "ref.bmp", "-o", "a.cube", "--basic-analysis=1"},
        {"grade", "ref.bmp", "-o", "out.bmp"},              // IMAGE missing
        {"grade", "ref.bmp", "img.bmp", "-o", "out.webp"},  // unknown picture type
        {"apply", "a.cube", "img.bmp", "-o", "out.gif"},
        {"convert", "a.cube"},
        {"convert", "a.cube", "-o", "b.cube", "--size", "1"},
        {"convert", "a.cube", "-o", "b.cube", "--profile", "No Such Profile"},
        {"convert", "a.cube", "-o", "b.cube", "--profile", "0"},
        {"library", "--library", "x", "move", "a", "b"},
        {"library", "--library", "x", "rename", "a"},
        {"library", "--library", "x", "list", "--force"},
    };
    for (const auto& arguments : bad) {
        const TCliRun run = Cli(arguments);
        std::string shown;
        for (const auto& a : arguments) shown += a + " ";
        EXPECT_EQ(run.Status, 2) << shown << run.Err;
        EXPECT_TRUE(IsOneErrorLine(run.Err)) << shown << run.Err;
        EXPECT_NE(run.Err.find("--help"), std::string::npos) << run.Err;
        EXPECT_TRUE(run.Out.empty()) << shown;
    }
}

TEST_F(CliTest, ProfilesListedInListOrder) {
    const TCliRun run = Cli({"profiles"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const auto lines = Lines(run.Out);
    ASSERT_EQ(lines.size(), 37u);
    EXPECT_EQ(lines[0], "1\t3DL Scratch, Autodesk, Blackmagic, Cine-tal\t3dl\t17\t12\t3D");
    EXPECT_EQ(lines[7], "8\tCube 3D Davinci\tcube\t33\t0\t3D");
    EXPECT_EQ(lines[12], "13\tFSI DIT (Flanders Scientific) 3D\tdat\t64\t10\t3D");
    EXPECT_EQ(lines[18], "19\tTechnicolor 3D mga\tmga\t33\t16\t3D");
    EXPECT_EQ(lines[19], "20\tAutodesk Lustre 1D\tlut\t65536\t16\t1D");
    EXPECT_EQ(lines[29], "30\tS.two 1D\tswto.xml\t1024\t10\t1D");
    EXPECT_EQ(lines[30], "31\tShake 1D\ttxt\t65536\t16\t1D");
    EXPECT_EQ(lines[31], "32\tHald CLUT\tpng\t64\t0\t3D");
    EXPECT_EQ(lines[36], "37\tCinespace 1D\tcsp\t4096\t0\t1D");
    // Every line agrees with the registry the window uses.
    const auto& profiles = LutOutputProfiles();
    for (std::size_t i = 0; i < profiles.size(); ++i) {
        const auto& p = *profiles[i];
        const bool is3D = GetLutFormat(p.FormatIndex)->Is3D;
        EXPECT_EQ(lines[i], std::to_string(i + 1) + "\t" + p.Name + "\t" + p.Extension + "\t" +
                                std::to_string(p.DefaultSize) + "\t" + std::to_string(p.DefaultBits) + "\t" +
                                (is3D ? "3D" : "1D"));
    }
}

TEST_F(CliTest, FormatsListedWithReadAndWriteAbility) {
    const TCliRun run = Cli({"formats"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const auto lines = Lines(run.Out);
    ASSERT_EQ(lines.size(), 38u);
    EXPECT_EQ(lines[0], "0\tCube 3D Truelight\t3D\tread\twrite");
    EXPECT_EQ(lines[7], "7\tCube 1D\t1D\tread\twrite");
    EXPECT_EQ(lines[18], "18\tNucoda 1D\t1D\t-\twrite");
    EXPECT_EQ(lines[22], "22\tCine-tal 1D\t1D\t-\twrite");
    EXPECT_EQ(lines[23], "23\tShake 1D\t1D\t-\twrite");
    EXPECT_EQ(lines[24], "24\tDaVinci Resolve ilut 1D\t1D\tread\t-");
    EXPECT_EQ(lines[25], "25\tDaVinci Resolve olut 1D\t1D\tread\t-");
    EXPECT_EQ(lines[26], "26\tAdobe Speedgrade Look 3D\t3D\tread\t-");
    EXPECT_EQ(lines[27], "27\tASC CDL\t3D\tread\t-");
    EXPECT_EQ(lines[30], "30\tFSI DIT (Flanders Scientific) 3D\t3D\tread\twrite");
    EXPECT_EQ(lines[31], "31\tHald CLUT\t3D\tread\twrite");
    EXPECT_EQ(lines[37], "37\tASC CDL collection\t3D\tread\t-");
    int readers = 0, writers = 0;
    for (const auto& line : lines) {
        readers += line.find("\tread\t") != std::string::npos;
        writers += line.size() > 6 && line.compare(line.size() - 6, 6, "\twrite") == 0;
    }
    EXPECT_EQ(readers, 35);
    EXPECT_EQ(writers, 33);
}

// Each control of the look-control table is an option of look and grade,
// with its line in their help and its range checked.
TEST_F(CliTest, LookControlOptionsFollowTheTable) {
    const std::string lookHelp = Cli({"look", "--help"}).Out;
    const std::string gradeHelp = Cli({"grade", "--help"}).Out;
    for (const TLookControl& control : LookControls()) {
        const std::string option = std::string("--") + control.Key;
        SCOPED_TRACE(option);
        EXPECT_NE(lookHelp.find(option + " N"), std::string::npos);
        EXPECT_NE(gradeHelp.find(option + " N"), std::string::npos);
        const std::string above = std::to_string(control.Max + 1);
        const TCliRun run = Cli({"look", "ref.bmp", "-o", "a.cube", option, above});
        EXPECT_EQ(run.Status, 2) << run.Err;
        EXPECT_NE(run.Err.find("option " + option + " needs an integer from " + std::to_string(control.Min) + " to " +
                               std::to_string(control.Max) + ", not \"" + above + "\""),
                  std::string::npos)
            << run.Err;
    }
    for (const TLookSwitch& option : LookSwitches())
        EXPECT_NE(lookHelp.find(std::string("--") + option.Key), std::string::npos) << option.Key;
}
