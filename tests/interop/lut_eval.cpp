// lut_eval: reads a LUT file with the format library and prints the LUT's own
// LookupNormalized at the colours given on standard input, so that scripts can
// compare our reading of a file with another program's reading of it.
//
//   lut_eval [--format INDEX] LUTFILE < points
//   lut_eval --reads LUTFILE...
//
// The file is read by the first format, in detection order, whose CanRead
// accepts it, or by the format at INDEX. The first output line describes what
// was read: "# format INDEX<TAB>NAME<TAB>kind K<TAB>cube N<TAB>curve M".
// Every input line "r g b" (decimal numbers) gives one output line with the
// three looked-up values, written with 17 significant digits. Errors go to
// standard error as "lut_eval: <message>" with exit code 1.
// With --reads, each file is only read, as above, and gives one line: "read",
// or "refused: <message>"; one process for many files (cut copies, say),
// since a process of a sanitized build costs more to start than to read.
#include <charconv>
#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

#include "engine/lut/LUT.h"
#include "formats/FormatRegistry.h"
#include "formats/LutConvert.h"
#include "formats/LutFormat.h"
#ifdef LUT_EVAL_PICTURES
#include "imageio/QtPictureCodec.h"
#endif

namespace {

bool ParseNumber(std::string_view& text, double& value) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == ',')) text.remove_prefix(1);
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc()) return false;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return true;
}

void AppendNumber(std::string& out, double value) {
    char buffer[40];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 17);
    (void)ec;
    out.append(buffer, end);
}

// Each file read on its own: one line a file, whether it was read.
int RunReads(int argc, char** argv) {
    std::string out;
    for (int i = 2; i < argc; ++i) {
        const std::string fileName = argv[i];
        try {
            const int formatIndex = FindReaderFormat(fileName);
            if (formatIndex < 0) throw std::runtime_error("no format reads " + fileName);
            auto lut = std::make_unique<TLUT>();
            GetLutFormat(formatIndex)->LoadFromFile(fileName, *lut);
            out += "read\n";
        } catch (const std::exception& e) {
            std::string message = e.what();
            for (char& c : message)
                if (c == '\n') c = ' ';
            out += "refused: " + message + "\n";
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

int Run(int argc, char** argv) {
    if (argc > 1 && std::string_view(argv[1]) == "--reads") return RunReads(argc, argv);
    int formatIndex = -1;
    std::string fileName;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--format" && i + 1 < argc) {
            std::string_view value = argv[++i];
            auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), formatIndex);
            if (ec != std::errc() || end != value.data() + value.size() || GetLutFormat(formatIndex) == nullptr) {
                std::cerr << "lut_eval: no format with the index " << value << "\n";
                return 2;
            }
        } else if (fileName.empty() && !arg.starts_with("--")) {
            fileName = arg;
        } else {
            std::cerr << "usage: lut_eval [--format INDEX] LUTFILE < points\n";
            return 2;
        }
    }
    if (fileName.empty()) {
        std::cerr << "usage: lut_eval [--format INDEX] LUTFILE < points\n";
        return 2;
    }
    if (formatIndex < 0) formatIndex = FindReaderFormat(fileName);
    if (formatIndex < 0) {
        std::cerr << "lut_eval: no format reads " << fileName << "\n";
        return 1;
    }
    TLUTFormat* format = GetLutFormat(formatIndex);
    auto lut = std::make_unique<TLUT>();
    format->LoadFromFile(fileName, *lut);

    std::string out = "# format " + std::to_string(formatIndex) + "\t" + format->Name + "\tkind " +
                      std::to_string(static_cast<int>(lut->Kind)) + "\tcube " + std::to_string(lut->CubeSize) +
                      "\tcurve " + std::to_string(lut->CurveSize) + "\n";
    std::string line;
    long lineNumber = 0;
    while (std::getline(std::cin, line)) {
        ++lineNumber;
        std::string_view text = line;
        TRGBDouble in, result;
        if (!ParseNumber(text, in.Red) || !ParseNumber(text, in.Green) || !ParseNumber(text, in.Blue)) {
            std::cerr << "lut_eval: line " << lineNumber << " of the input is not three numbers\n";
            return 1;
        }
        lut->LookupNormalized(in, result);
        AppendNumber(out, result.Red);
        out += ' ';
        AppendNumber(out, result.Green);
        out += ' ';
        AppendNumber(out, result.Blue);
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef LUT_EVAL_PICTURES
    InstallPictureCodec(&QtPictureCodec());
#endif
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "lut_eval: " << e.what() << "\n";
        return 1;
    }
}
