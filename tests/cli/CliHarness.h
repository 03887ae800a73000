#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/picture/Image.h"

// What one run of the executable gave.
struct TCliRun {
    int Status = -1;
    std::string Out;
    std::string Err;
};

// A test with its own scratch folder and a way to run ombrane-cli.
class CliTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs ombrane-cli with the arguments; environment is prepended to the
    // command as NAME=value words (the per-user folders always point into
    // the scratch folder, so no test touches the real settings).
    TCliRun Cli(const std::vector<std::string>& arguments, const std::string& environment = "");

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    const std::filesystem::path& Dir() const { return dir_; }

private:
    std::filesystem::path dir_;
};

// A colourful picture: hues across, dark to bright down, so every luma
// range of its thumbnail cell holds pixels.
TImage MakeTestPicture(int width, int height, int seed = 0);
std::string ReadBytes(const std::string& fileName);
void WriteBytes(const std::string& fileName, const std::string& bytes);
std::vector<std::string> Lines(const std::string& text);
// The arguments of a followed by those of b.
std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b);
// The picture the file holds, read as the program reads it.
TImage Loaded(const std::string& fileName);
// True when text begins with the tool's error prefix and is a single line.
bool IsOneErrorLine(const std::string& text);
