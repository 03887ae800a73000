#include "tests/cli/CliHarness.h"
#include "imageio/ImageFile.h"
#include "imageio/QtPictureCodec.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::uint8_t Byte(double v) {
    const double clamped = v < 0 ? 0 : (v > 1 ? 1 : v);
    return static_cast<std::uint8_t>(std::lround(clamped * 255.0));
}

}  // namespace

void CliTest::SetUp() {
    // The tests read and write the executable's files in process too.
    InstallPictureCodec(&QtPictureCodec());
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() / ("ombrane-cli-" + std::string(info->test_suite_name()) + "-" +
                                                     info->name() + "-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "home");
}

void CliTest::TearDown() { std::filesystem::remove_all(dir_); }

TCliRun CliTest::Cli(const std::vector<std::string>& arguments, const std::string& environment) {
    const std::string home = (dir_ / "home").string();
    std::string command = "env HOME=" + ShellQuoted(home) + " XDG_CONFIG_HOME=" + ShellQuoted(home + "/config") +
                          " XDG_DATA_HOME=" + ShellQuoted(home + "/data") + " " + environment + " " +
                          ShellQuoted(OMBRANE_CLI);
    for (const std::string& argument : arguments) command += " " + ShellQuoted(argument);
    const std::string out = (dir_ / "stdout.txt").string();
    const std::string err = (dir_ / "stderr.txt").string();
    command += " >" + ShellQuoted(out) + " 2>" + ShellQuoted(err);
    const int raw = std::system(command.c_str());
    TCliRun run;
    run.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 1000 + raw;
    run.Out = ReadBytes(out);
    run.Err = ReadBytes(err);
    return run;
}

TImage MakeTestPicture(int width, int height, int seed) {
    TImage image(width, height);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = image.Row(y);
        const double value = 0.08 + 0.9 * y / std::max(1, height - 1);
        for (int x = 0; x < width; ++x) {
            const double hue = std::fmod(6.0 * x / width + seed * 0.7, 6.0);
            const double saturation = 0.35 + 0.5 * ((x + seed) % 7) / 6.0;
            const int sector = static_cast<int>(hue);
            const double f = hue - sector;
            const double p = value * (1 - saturation), q = value * (1 - saturation * f),
                         t = value * (1 - saturation * (1 - f));
            double r = value, g = t, b = p;
            switch (sector) {
                case 1:
                    r = q;
                    g = value;
                    b = p;
                    break;
                case 2:
                    r = p;
                    g = value;
                    b = t;
                    break;
                case 3:
                    r = p;
                    g = q;
                    b = value;
                    break;
                case 4:
                    r = t;
                    g = p;
                    b = value;
                    break;
                case 5:
                    r = value;
                    g = p;
                    b = q;
                    break;
                default:
                    break;
            }
            row[3 * x] = Byte(b);
            row[3 * x + 1] = Byte(g);
            row[3 * x + 2] = Byte(r);
        }
    }
    return image;
}

std::string ReadBytes(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteBytes(const std::string& fileName, const std::string& bytes) {
    std::ofstream out(fileName, std::ios::binary);
    out << bytes;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TImage Loaded(const std::string& fileName) {
    TImage image;
    LoadImageFile(fileName, image);
    return image;
}

bool IsOneErrorLine(const std::string& text) {
    return text.rfind("ombrane-cli: ", 0) == 0 && text.size() > 14 && text.back() == '\n' &&
           text.find('\n') == text.size() - 1;
}
