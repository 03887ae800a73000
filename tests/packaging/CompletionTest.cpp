#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/packaging/Shell.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

std::set<std::string> Set(const std::vector<std::string>& lines) { return {lines.begin(), lines.end()}; }

// The word as bash's printf %q quotes it.
std::string Escaped(const std::string& word) { return Shell("bash -c 'printf %q \"$0\"' " + ShellQuoted(word)).Output; }

// A folder with a few files of each kind, where completions are asked.
class CompletionTest : public ::testing::Test {
protected:
    fs::path dir;

    void SetUp() override {
        char name[] = "/tmp/ombrane-completion-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir = name;
        for (const char* file :
             {"look.cube", "shot.jpg", "Frame.PNG", "notes.md", "grade.3dl", "cdl.ccc", "dusk.olook"})
            std::ofstream(dir / file) << "x\n";
        fs::create_directory(dir / "sub");
        fs::create_directory(dir / "sub" / "lib");
        std::ofstream(dir / "sub" / "lib" / "Sunset.jpeg") << "x\n";
    }
    void TearDown() override { fs::remove_all(dir); }

    // What bash offers for the words as typed; the last is the one
    // being completed.
    std::vector<std::string> Complete(const std::vector<std::string>& typed) const {
        std::vector<std::string> words = {OMBRANE_CLI};
        words.insert(words.end(), typed.begin(), typed.end());
        std::string array, line;
        for (const std::string& word : words) {
            array += ' ' + ShellQuoted(word);
            line += (line.empty() ? "" : " ") + word;
        }
        std::ofstream script(dir / "complete.sh");
        script << "source /usr/share/bash-completion/bash_completion\n"
               << "source " << ShellQuoted(GENERATED_DIR "/completion/ombrane-cli") << "\n"
               << "cd " << ShellQuoted(dir.string()) << "\n"
               << "HOME=" << ShellQuoted(dir.string()) << "\n"
               << "COMP_WORDS=(" << array << ")\n"
               << "COMP_CWORD=" << words.size() - 1 << "\n"
               << "COMP_LINE=" << ShellQuoted(line) << "\n"
               << "COMP_POINT=${#COMP_LINE}\n"
               << "_ombrane_cli \"${COMP_WORDS[0]}\" \"${COMP_WORDS[COMP_CWORD]}\" \"${COMP_WORDS[COMP_CWORD-1]}\"\n"
               << "printf '%s\\n' \"${COMPREPLY[@]}\"\n";
        script.close();
        const TShellResult result = Shell("bash " + ShellQuoted((dir / "complete.sh").string()));
        EXPECT_EQ(result.Status, 0);
        return Lines(result.Output);
    }

    // Field `field` (from 0) of each line the program prints.
    static std::vector<std::string> Column(const std::string& arguments, int field) {
        std::vector<std::string> values;
        for (const std::string& line : Lines(Shell(OMBRANE_CLI " " + arguments + " 2>/dev/null").Output)) {
            std::istringstream fields(line);
            std::string value;
            for (int i = 0; i <= field; ++i) std::getline(fields, value, '\t');
            values.push_back(value);
        }
        return values;
    }
};

}  // namespace

TEST_F(CompletionTest, IsRegisteredAndOffersTheCommandsAndTheirOptions) {
    const TShellResult registered =
        Shell("bash -c 'source /usr/share/bash-completion/bash_completion; source " GENERATED_DIR
              "/completion/ombrane-cli; complete -p ombrane-cli'");
    EXPECT_EQ(registered.Output, "complete -F _ombrane_cli ombrane-cli\n");

    // Every command offered is one the program runs.
    const std::vector<std::string> commands = Complete({""});
    EXPECT_GE(commands.size(), 10u);
    for (const std::string& command : commands)
        EXPECT_EQ(Shell(OMBRANE_CLI " " + command + " --help >/dev/null 2>&1").Status, 0) << command;
    EXPECT_EQ(Complete({"co"}), (std::vector<std::string>{"convert"}));

    // Every option offered is one the command knows: with "=VALUE" when
    // it takes a value, else as a switch. A short one is given a value
    // that becomes an argument when it is a switch.
    std::set<std::string> valued;
    for (const std::string& command : commands) {
        const std::vector<std::string> options = Complete({command, "-"});
        EXPECT_FALSE(options.empty()) << command;
        for (const std::string& option : options) {
            const std::string run = OMBRANE_CLI " " + command + " ";
            if (option.size() == 2) {
                EXPECT_EQ(Shell(run + option + " 1 --help >/dev/null 2>&1").Status, 0) << command << ' ' << option;
            } else if (Shell(run + option + "=1 --help >/dev/null 2>&1").Status == 0) {
                valued.insert(option);
            } else {
                EXPECT_EQ(Shell(run + option + " --help >/dev/null 2>&1").Status, 0) << command << ' ' << option;
            }
        }
    }
    for (const char* option :
         {"--output", "--profile", "--bits", "--footage", "--config", "--scope", "--jobs", "--library"})
        EXPECT_EQ(valued.count(option), 1u) << option;

    // A switch takes no value: after it come the arguments again.
    EXPECT_EQ(Set(Complete({"stats", "--json", ""})), (std::set<std::string>{"Frame.PNG", "shot.jpg", "sub"}));
    EXPECT_EQ(Complete({"scopes", "x.jpg", "--scope", ""}),
              (std::vector<std::string>{"waveform", "vectorscope", "histogram", "all"}));
    EXPECT_EQ(Complete({"look", "x.jpg", "--bits", "1"}), (std::vector<std::string>{"10", "12", "14", "16"}));
}

TEST_F(CompletionTest, OffersProfilesFootageSpacesLibraryFilesAndFilesByArgument) {
    // Profiles by number and by name, names quoted for the shell.
    std::set<std::string> profiles;
    for (const std::string& number : Column("profiles", 0)) profiles.insert(number);
    for (const std::string& name : Column("profiles", 1)) profiles.insert(Escaped(name));
    ASSERT_GE(profiles.size(), 20u);
    EXPECT_EQ(Set(Complete({"look", "x.jpg", "--profile", ""})), profiles);
    EXPECT_EQ(Complete({"look", "x.jpg", "--profile", "Cube\\ 3D\\ D"}),
              (std::vector<std::string>{"Cube\\ 3D\\ Davinci"}));
    EXPECT_EQ(Complete({"convert", "in.cube", "--profile=Cube\\ 3D\\ D"}),
              (std::vector<std::string>{"Cube\\ 3D\\ Davinci"}));

    // Footage spaces by key, as 'footage' lists them.
    const std::vector<std::string> spaces = Column("footage", 0);
    ASSERT_GE(spaces.size(), 2u);
    EXPECT_EQ(Complete({"grade", "--footage", ""}), spaces);

    // Files by what each argument takes; folders always. A Hald CLUT is
    // a LUT in a .png file.
    EXPECT_EQ(Set(Complete({"convert", ""})),
              (std::set<std::string>{"look.cube", "grade.3dl", "cdl.ccc", "Frame.PNG", "sub"}));
    EXPECT_EQ(Set(Complete({"look", ""})), (std::set<std::string>{"shot.jpg", "Frame.PNG", "sub"}));
    EXPECT_EQ(Set(Complete({"look", "shot.jpg", "-o", ""})),
              (std::set<std::string>{"look.cube", "grade.3dl", "cdl.ccc", "Frame.PNG", "sub"}));
    EXPECT_EQ(Set(Complete({"apply", ""})),
              (std::set<std::string>{"look.cube", "grade.3dl", "cdl.ccc", "Frame.PNG", "sub"}));
    EXPECT_EQ(Set(Complete({"apply", "look.cube", ""})), (std::set<std::string>{"shot.jpg", "Frame.PNG", "sub"}));
    // Many pictures: the last argument repeats.
    EXPECT_EQ(Set(Complete({"grade", "shot.jpg", "a.jpg", "b.jpg", ""})),
              (std::set<std::string>{"shot.jpg", "Frame.PNG", "sub"}));
    EXPECT_TRUE(Complete({"stats", "shot.jpg", ""}).empty());
    EXPECT_EQ(Set(Complete({"look", "--config", ""})), (std::set<std::string>{"sub"}));

    // Look documents where a look document is taken.
    EXPECT_EQ(Set(Complete({"look-info", ""})), (std::set<std::string>{"dusk.olook", "sub"}));
    EXPECT_EQ(Set(Complete({"grade", "--look", ""})), (std::set<std::string>{"dusk.olook", "sub"}));
    EXPECT_EQ(Set(Complete({"look", "shot.jpg", "--save-look", ""})), (std::set<std::string>{"dusk.olook", "sub"}));

    // The library's words, then its files for rename and delete.
    EXPECT_EQ(Complete({"library", ""}), (std::vector<std::string>{"list", "add", "rename", "delete"}));
    EXPECT_EQ(Complete({"library", "--library", "sub/lib", "delete", ""}), (std::vector<std::string>{"Sunset.jpeg"}));
    EXPECT_TRUE(Complete({"library", "--library", "sub/lib", "list", ""}).empty());
    EXPECT_EQ(Set(Complete({"library", "add", "--force", ""})),
              (std::set<std::string>{"shot.jpg", "Frame.PNG", "sub"}));
}

// Completing never runs what the line holds: a command substitution in an
// option's value is passed to the program as it is written. Quoted and
// escaped names and a leading ~ are still understood.
TEST_F(CompletionTest, RunsNothingTheLineHoldsAndUnderstandsQuotes) {
    const std::vector<std::vector<std::string>> lines = {
        {"look", "x.jpg", "--config", "\"$(touch PWNED).ocio\"", "--footage", ""},
        {"look", "x.jpg", "--config", "`touch PWNED`.ocio", "--footage", ""},
        {"library", "--library", "\"$(touch PWNED)\"", "rename", ""},
        {"library", "--library", "$(touch PWNED)", "delete", "\"$(touch PWNED)"},
    };
    for (const std::vector<std::string>& line : lines) {
        EXPECT_TRUE(Complete(line).empty()) << line[3];
        EXPECT_FALSE(fs::exists(dir / "PWNED")) << line[3];
        fs::remove(dir / "PWNED");
    }

    fs::create_directories(dir / "my lib");
    std::ofstream(dir / "my lib" / "Dawn.jpeg") << "x\n";
    for (const char* library : {"'my lib'", "\"my lib\"", "my\\ lib", "'my'\\ \"lib\"", "~/my\\ lib"})
        EXPECT_EQ(Complete({"library", "--library", library, "delete", ""}), (std::vector<std::string>{"Dawn.jpeg"}))
            << library;
    EXPECT_EQ(Complete({"library", "--library", "my\\ lib", "delete", "'Da"}), (std::vector<std::string>{"Dawn.jpeg"}));
}
