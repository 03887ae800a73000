#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/packaging/Shell.h"

namespace {

std::string Read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

// The page as man shows it, in plain ASCII and wide enough that no line is
// broken or hyphenated; its warnings go to `warnings`.
std::string Rendered(const std::string& page, std::string& warnings) {
    const std::string errors = std::string(GENERATED_DIR) + "/man-warnings.txt";
    const TShellResult result = Shell("LC_ALL=C MANWIDTH=1000 MAN_KEEP_FORMATTING= man --warnings -l " +
                                      ShellQuoted(page) + " 2>" + ShellQuoted(errors) + " | col -b");
    warnings = Read(errors);
    EXPECT_EQ(result.Status, 0);
    return result.Output;
}

// Every word of a help text appears in the page, in the same order, from
// `at` on. A program's own help is read in two parts: the page's name line
// (its first sentence) stands before the synopsis (its usage).
void ExpectWordsInPage(const std::string& help, const std::vector<std::string>& page, std::size_t& at,
                       const std::string& what) {
    for (const std::string& word : Words(help)) {
        const auto found = std::find(page.begin() + static_cast<std::ptrdiff_t>(at), page.end(), word);
        ASSERT_NE(found, page.end()) << what << ": \"" << word << "\" missing or out of order";
        at = static_cast<std::size_t>(found - page.begin()) + 1;
    }
}

void ExpectHelpInPage(const std::string& help, const std::vector<std::string>& page, std::size_t& at,
                      const std::string& what) {
    const std::size_t body = help.find("\n\n");
    ASSERT_NE(body, std::string::npos) << what;
    std::size_t usage = 0;
    ExpectWordsInPage(help.substr(0, body), page, usage, what + " usage");
    ExpectWordsInPage(help.substr(body), page, at, what);
}

std::vector<std::string> CommandsOf(const std::string& help) {
    std::vector<std::string> commands;
    std::istringstream in(help);
    bool listing = false;
    for (std::string line; std::getline(in, line);) {
        if (line == "Commands:")
            listing = true;
        else if (line.empty())
            listing = false;
        else if (listing)
            commands.push_back(Words(line).front());
    }
    return commands;
}

}  // namespace

TEST(ManPageTest, PagesRenderWithoutWarningsAndHoldEveryHelpText) {
    std::string warnings;
    const std::vector<std::string> window = Words(Rendered(GENERATED_DIR "/ombrane.1.gz", warnings));
    EXPECT_EQ(warnings, "");
    std::size_t at = 0;
    ExpectHelpInPage(Shell(OMBRANE_WINDOW " --help").Output.substr(std::string("Usage: ").size()), window, at,
                     "ombrane");

    const std::vector<std::string> cli = Words(Rendered(GENERATED_DIR "/ombrane-cli.1.gz", warnings));
    EXPECT_EQ(warnings, "");
    const std::string programHelp = Shell(OMBRANE_CLI " --help").Output;
    at = 0;
    ExpectHelpInPage(programHelp.substr(std::string("Usage: ").size()), cli, at, "ombrane-cli");
    const std::vector<std::string> commands = CommandsOf(programHelp);
    EXPECT_GE(commands.size(), 10u);
    for (const std::string& command : commands) {
        const std::string help = Shell(OMBRANE_CLI " " + command + " --help").Output;
        ASSERT_EQ(help.rfind("Usage: ", 0), 0u) << command;
        ExpectWordsInPage(help.substr(std::string("Usage: ").size()), cli, at, command);
    }

    // The name line that whatis and apropos read.
    for (const char* page : {"ombrane", "ombrane-cli"}) {
        const TShellResult name = Shell(std::string("lexgrog " GENERATED_DIR "/") + page + ".1.gz");
        EXPECT_EQ(name.Status, 0) << page;
        EXPECT_NE(name.Output.find(std::string(": \"") + page + " - Quor Ombrane"), std::string::npos) << name.Output;
    }
}

TEST(DesktopFilesTest, DesktopEntryMetainfoAndFileTypesAreValidAndAgree) {
    const std::string desktop = GENERATED_DIR "/ombrane.desktop";
    const TShellResult entry = Shell("desktop-file-validate " + ShellQuoted(desktop) + " 2>&1");
    EXPECT_EQ(entry.Status, 0);
    EXPECT_EQ(entry.Output, "");
    const TShellResult metainfo = Shell("appstreamcli validate --pedantic --no-net --no-color " PACKAGING_DIR
                                        "/org.example.ombrane.metainfo.xml 2>&1");
    EXPECT_EQ(metainfo.Status, 0) << metainfo.Output;
    EXPECT_EQ(metainfo.Output.find("I:"), std::string::npos) << metainfo.Output;
    EXPECT_EQ(metainfo.Output.find("P:"), std::string::npos) << metainfo.Output;
    EXPECT_EQ(metainfo.Output.find("W:"), std::string::npos) << metainfo.Output;

    const std::string text = Read(desktop);
    EXPECT_NE(text.find("\nExec=ombrane %f\n"), std::string::npos);
    std::smatch mime;
    ASSERT_TRUE(std::regex_search(text, mime, std::regex("\nMimeType=([^\n]*)\n")));
    std::set<std::string> declared;
    std::istringstream types(mime[1].str());
    for (std::string type; std::getline(types, type, ';');) declared.insert(type);

    // Each LUT type the package registers is opened by the program, and each
    // is found by its extension once the database is built with it.
    const std::string database = std::string(GENERATED_DIR) + "/mime-test";
    ASSERT_EQ(
        Shell("rm -rf " + database + " && mkdir -p " + database +
              "/packages && cp /usr/share/mime/packages/freedesktop.org.xml " + PACKAGING_DIR "/quor-ombrane.xml " +
              database + "/packages/ && update-mime-database " + database + " 2>&1")
            .Status,
        0);
    const std::string xml = Read(PACKAGING_DIR "/quor-ombrane.xml");
    const std::regex type("<mime-type type=\"([^\"]+)\">[^]*?<glob pattern=\"\\*\\.([a-z0-9]+)\"/>");
    std::set<std::string> extensions;
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), type); it != std::sregex_iterator(); ++it) {
        EXPECT_EQ(declared.count((*it)[1]), 1u) << (*it)[1];
        extensions.insert((*it)[2]);
        const std::string globs = Read(database + "/globs2");
        EXPECT_NE(globs.find(":" + (*it)[1].str() + ":*." + (*it)[2].str()), std::string::npos) << (*it)[2];
    }
    EXPECT_EQ(extensions, (std::set<std::string>{"cube", "3dl", "clf", "csp", "spi1d", "spi3d", "cdl", "ccc"}));
    for (const char* picture : {"image/jpeg", "image/png", "image/bmp", "image/tiff", "image/x-exr"})
        EXPECT_EQ(declared.count(picture), 1u) << picture;
}

// The entry's picture types are made from the picture-format table at build
// time; the line reads as it did when it was written out in the entry.
TEST(DesktopFilesTest, MimeTypeLineIsMadeFromThePictureTableAsBefore) {
    const std::string text = Read(GENERATED_DIR "/ombrane.desktop");
    std::smatch line;
    ASSERT_TRUE(std::regex_search(text, line, std::regex("\nMimeType=[^\n]*\n")));
    EXPECT_EQ(line[0].str(),
              "\nMimeType=image/jpeg;image/png;image/bmp;image/tiff;image/x-exr;image/x-tga;image/x-portable-anymap;"
              "image/x-portable-pixmap;image/x-portable-graymap;application/x-cube-lut;application/x-3dl-lut;"
              "application/x-clf-lut+xml;application/x-csp-lut;application/x-spi1d-lut;application/x-spi3d-lut;"
              "application/x-asc-cdl+xml;application/x-asc-ccc+xml;application/x-ombrane-look;\n");
    // Everything else is the template's.
    const std::string source = Read(PACKAGING_DIR "/ombrane.desktop.in");
    std::smatch field;
    ASSERT_TRUE(std::regex_search(source, field, std::regex("\nMimeType=@PICTURE_MIME_TYPES@")));
    EXPECT_EQ(text.substr(0, static_cast<std::size_t>(line.position(0))),
              source.substr(0, static_cast<std::size_t>(field.position(0))));
}

TEST(DesktopFilesTest, LookDocumentsHaveTheirOwnTypeThatTheProgramOpens) {
    const std::string database = std::string(GENERATED_DIR) + "/mime-look-test";
    ASSERT_EQ(Shell("rm -rf " + database + " && mkdir -p " + database +
                    "/packages && cp /usr/share/mime/packages/freedesktop.org.xml " PACKAGING_DIR "/ombrane-look.xml " +
                    database + "/packages/ && update-mime-database " + database + " 2>&1")
                  .Status,
              0);
    EXPECT_NE(Read(database + "/globs2").find(":application/x-ombrane-look:*.olook"), std::string::npos);
    EXPECT_NE(Read(database + "/subclasses").find("application/x-ombrane-look application/json"), std::string::npos);
    EXPECT_NE(Read(GENERATED_DIR "/ombrane.desktop").find(";application/x-ombrane-look;"), std::string::npos);
    // The type is installed beside the LUT types.
    EXPECT_NE(Read(PACKAGING_DIR "/CMakeLists.txt").find("ombrane-look.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime"),
              std::string::npos);
}
