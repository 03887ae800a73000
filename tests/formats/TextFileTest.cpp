#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/base/Error.h"
#include "formats/TextFile.h"

namespace {

namespace fs = std::filesystem;

class TextFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/ombrane-textfile-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

    void WriteRaw(const std::string& name, const std::string& bytes) const {
        std::ofstream out(PathOf(name), std::ios::binary);
        out << bytes;
    }
    std::string ReadRaw(const std::string& name) const {
        std::ifstream in(PathOf(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path dir_;
};

TEST_F(TextFileTest, SavesEveryLineWithASingleLineFeed) {
    TTextFile text;
    text.Add("a");
    text.Add("");
    text.Add("b");
    text.SaveToFile(PathOf("out.txt"));
    EXPECT_EQ(ReadRaw("out.txt"), std::string("a\n\nb\n"));

    TTextFile empty;
    empty.SaveToFile(PathOf("empty.txt"));
    ASSERT_TRUE(fs::exists(PathOf("empty.txt")));
    EXPECT_EQ(fs::file_size(PathOf("empty.txt")), 0u);

    // Saving replaces an existing file completely.
    WriteRaw("old.txt", "a much longer old content\n");
    text.SaveToFile(PathOf("old.txt"));
    EXPECT_EQ(ReadRaw("old.txt"), std::string("a\n\nb\n"));
}

TEST_F(TextFileTest, SplitsAtCrLfAndCrLf) {
    WriteRaw("lf.txt", "one\ntwo\n\nfour");
    WriteRaw("crlf.txt", "one\r\ntwo\r\n\r\nfour\r\n");
    WriteRaw("cr.txt", "one\rtwo\r\rfour\r");
    TTextFile lf, crlf, cr;
    lf.LoadFromFile(PathOf("lf.txt"));
    crlf.LoadFromFile(PathOf("crlf.txt"));
    cr.LoadFromFile(PathOf("cr.txt"));
    const std::vector<std::string> expected{"one", "two", "", "four"};
    EXPECT_EQ(lf.Lines(), expected);
    EXPECT_EQ(crlf.Lines(), expected);
    EXPECT_EQ(cr.Lines(), expected);

    TTextFile text;
    text.SetText("a\n\n");
    EXPECT_EQ(text.Lines(), (std::vector<std::string>{"a", ""}));
    text.SetText("\n");
    EXPECT_EQ(text.Lines(), (std::vector<std::string>{""}));
    text.SetText("");
    EXPECT_EQ(text.Count(), 0u);
    text.SetText(std::string("x\ny\0z\nw", 7));
    EXPECT_EQ(text.Lines(), (std::vector<std::string>{"x", "y"}));
    text.SetText("a\n\rb");  // LF then CR are two breaks
    EXPECT_EQ(text.Lines(), (std::vector<std::string>{"a", "", "b"}));
}

TEST_F(TextFileTest, LoadErrorsNameTheFileAndKeepTheLines) {
    TTextFile text;
    text.Add("kept");
    try {
        text.LoadFromFile(PathOf("missing.txt"));
        FAIL() << "loading a missing file must raise";
    } catch (const EError& e) {
        EXPECT_NE(std::string(e.what()).find("missing.txt"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("No such file"), std::string::npos) << e.what();
    }
    EXPECT_EQ(text.Lines(), (std::vector<std::string>{"kept"}));

    EXPECT_THROW(text.LoadFromFile(dir_.string()), EError);
}

TEST_F(TextFileTest, RefusesHugeFilesBeforeReading) {
    // A sparse file just over the limit costs no disk space.
    const std::string name = PathOf("huge.txt");
    { std::ofstream out(name); }
    fs::resize_file(name, kMaxLutFileBytes + 1);
    TTextFile text;
    EXPECT_THROW(text.LoadFromFile(name), EError);
    EXPECT_THROW(ReadFileBytes(name), EError);
}

TEST_F(TextFileTest, CountTextLinesAgreesWithTheSplit) {
    const std::string texts[] = {
        "",
        "\n",
        "a",
        "a\n",
        "a\n\n",
        "\r\n\r\n",
        "\n\r",
        "a\rb\r\nc\n\rd",
        "x\r",
        std::string("x\ny\0z\nw", 7),
        std::string("\0\n\n", 3),
        "one\r\ntwo\r\n\r\nfour",
    };
    for (const std::string& t : texts) {
        TTextFile text;
        text.SetText(t);
        EXPECT_EQ(CountTextLines(t), text.Count()) << "text of " << t.size() << " bytes";
    }
    // Counted independently of the split: every CR LF pair is one break.
    std::string mixed;
    for (int i = 0; i < 1000; ++i) mixed += (i % 3 == 0) ? "a\r\n" : (i % 3 == 1) ? "\r" : "bb\n";
    EXPECT_EQ(CountTextLines(mixed), 1000u);
    EXPECT_EQ(CountTextLines(mixed + "tail"), 1001u);
}

TEST_F(TextFileTest, RefusesTextsWithTooManyLines) {
    // Line breaks alone: the cheapest way to ask for a huge line list.
    const std::string atLimit(kMaxTextLines, '\n');
    EXPECT_EQ(CountTextLines(atLimit), kMaxTextLines);
    EXPECT_EQ(CountTextLines(atLimit + "x"), kMaxTextLines + 1);
    EXPECT_EQ(CountTextLines(atLimit + "\r\n"), kMaxTextLines + 1);
    EXPECT_EQ(CountTextLines(std::string(kMaxTextLines, '\r') + "\n"), kMaxTextLines);

    WriteRaw("breaks.txt", atLimit + "\n");
    TTextFile text;
    text.Add("kept");
    try {
        text.LoadFromFile(PathOf("breaks.txt"));
        FAIL() << "a file over the line limit must be refused";
    } catch (const EError& e) {
        EXPECT_NE(std::string(e.what()).find("breaks.txt"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(std::to_string(kMaxTextLines)), std::string::npos) << e.what();
    }
    EXPECT_EQ(text.Lines(), (std::vector<std::string>{"kept"}));
    EXPECT_THROW(text.SetText(atLimit + "x"), EError);
    EXPECT_EQ(text.Lines(), (std::vector<std::string>{"kept"}));

    // Below the limit a file of breaks still loads, one empty line per break.
    WriteRaw("fewer.txt", std::string(100000, '\n') + "end");
    text.LoadFromFile(PathOf("fewer.txt"));
    ASSERT_EQ(text.Count(), 100001u);
    EXPECT_EQ(text[99999], "");
    EXPECT_EQ(text[100000], "end");
}

TEST_F(TextFileTest, ReadFileBytesReturnsTheExactBytes) {
    std::string bytes;
    for (int i = 0; i < 10000; ++i) bytes += static_cast<char>(i * 7);
    WriteRaw("bin", bytes);
    EXPECT_EQ(ReadFileBytes(PathOf("bin")), bytes);
}

}  // namespace
