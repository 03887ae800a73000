#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "engine/lut/CurveOperation.h"
#include "engine/lut/LutChain.h"
#include "fileio/AtomicFile.h"
#include "formats/FormatFiles.h"
#include "formats/FormatText.h"
#include "formats/LutFormat.h"
#include "formats/TextScanner.h"

// Sony Imageworks 1D: a "Version 1" header with "From", "Length" and
// "Components" lines, then the entries between "{" and "}", one per line
// with one value (used for all three channels) or three. A "From" domain
// other than 0..1 is resampled onto 0..1 at the same length.

// Reads the text into lut's curve; ELUTError names what is wrong and where.
void ReadSpi1D(std::string_view text, TLUT& lut);
// The text of the LUT's curve (three components, domain 0..1).
std::string WriteSpi1D(const TLUT& lut);

namespace {

class TSpi1DLutFormat : public TLUTFormat {
public:
    TSpi1DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;
};

}  // namespace

namespace {

// Longer tables than the curve holds are read into the chain; this bounds
// what a file may ask for (24 MB of entries).
constexpr int kMaxSpi1DLength = 1 << 20;

struct TSpi1DHeader {
    double From = 0.0;
    double To = 1.0;
    int Length = -1;
    int Components = -1;
};

// The header lines up to and including "{".
TSpi1DHeader ReadHeader(TTextScanner& scanner) {
    TSpi1DHeader header;
    bool versionSeen = false;
    for (;;) {
        const std::string_view line = scanner.ExpectLine("The \"{\" line");
        std::string_view tokens[4];
        const std::size_t count = SplitTokens(line, tokens, 4);
        const std::string keyword = UpperCase(tokens[0]);
        if (keyword == "{") break;
        if (keyword == "VERSION") {
            if (count != 2 || tokens[1] != "1") scanner.Fail("Only spi1d version 1 is known.");
            versionSeen = true;
        } else if (keyword == "FROM") {
            if (count != 3) scanner.Fail("\"From\" needs two numbers.");
            header.From = ScanNumber(scanner, tokens[1]);
            header.To = ScanNumber(scanner, tokens[2]);
            if (!(header.To > header.From)) scanner.Fail("The \"From\" domain is empty.");
        } else if (keyword == "LENGTH") {
            if (count != 2) scanner.Fail("\"Length\" needs one number.");
            header.Length = ScanInteger(scanner, tokens[1], 2, kMaxSpi1DLength, "The length");
        } else if (keyword == "COMPONENTS") {
            if (count != 2) scanner.Fail("\"Components\" needs one number.");
            header.Components = ScanInteger(scanner, tokens[1], 1, 3, "The component count");
            if (header.Components == 2)
                scanner.Fail("Two components are not supported; spi1d files hold one or three.");
        } else {
            scanner.Fail("Unknown spi1d header line.");
        }
    }
    if (!versionSeen) scanner.Fail("The \"Version 1\" line is missing before \"{\".");
    if (header.Length < 0) scanner.Fail("The \"Length\" line is missing before \"{\".");
    if (header.Components < 0) scanner.Fail("The \"Components\" line is missing before \"{\".");
    return header;
}

std::vector<TRGBDouble> ReadEntries(TTextScanner& scanner, const TSpi1DHeader& header) {
    std::vector<TRGBDouble> entries;
    entries.reserve(static_cast<std::size_t>(header.Length));
    std::string_view line;
    for (;;) {
        if (!scanner.NextFilledLine(line)) {
            if (entries.size() == static_cast<std::size_t>(header.Length))
                scanner.Fail("The file ends without the \"}\" that closes its entries.");
            scanner.FailIncomplete(static_cast<std::size_t>(header.Length), entries.size());
        }
        std::string_view tokens[3];
        const std::size_t count = SplitTokens(line, tokens, 3);
        if (count == 1 && tokens[0] == "}") break;
        if (count != static_cast<std::size_t>(header.Components))
            scanner.Fail("An entry needs " + std::to_string(header.Components) + " number" +
                         (header.Components == 1 ? "" : "s") + ".");
        if (entries.size() == static_cast<std::size_t>(header.Length))
            scanner.Fail("More entries than the length " + std::to_string(header.Length) + ".");
        TRGBDouble entry;
        entry.Red = ScanNumber(scanner, tokens[0]);
        entry.Green = count == 3 ? ScanNumber(scanner, tokens[1]) : entry.Red;
        entry.Blue = count == 3 ? ScanNumber(scanner, tokens[2]) : entry.Red;
        entries.push_back(entry);
    }
    if (entries.size() != static_cast<std::size_t>(header.Length))
        scanner.FailIncomplete(static_cast<std::size_t>(header.Length), entries.size());
    return entries;
}

// The entries interpolated at x of the domain From..To, clamped to its ends.
double Sample(const std::vector<TRGBDouble>& entries, double position, double TRGBDouble::*channel) {
    const double last = static_cast<double>(entries.size() - 1);
    position = std::clamp(position * last, 0.0, last);
    const std::size_t low = std::min(static_cast<std::size_t>(position), entries.size() - 2);
    const double t = position - static_cast<double>(low);
    return entries[low].*channel * (1.0 - t) + entries[low + 1].*channel * t;
}

}  // namespace

void ReadSpi1D(std::string_view text, TLUT& lut) {
    TTextScanner scanner(text);
    const TSpi1DHeader header = ReadHeader(scanner);
    std::vector<TRGBDouble> entries = ReadEntries(scanner, header);
    const bool unitDomain = header.From == 0.0 && header.To == 1.0;
    const int length = std::min(header.Length, kMaxCurveSize);
    if (unitDomain && header.Length <= kMaxCurveSize) {
        std::copy(entries.begin(), entries.end(), lut.Curve);
    } else {
        // Another domain, or more entries than the curve holds: the chain
        // follows the file, the curve holds it at evenly spread inputs.
        for (int i = 0; i < length; ++i) {
            const double x = static_cast<double>(i) / (length - 1);
            const double position = (x - header.From) / (header.To - header.From);
            lut.Curve[i] =
                TRGBDouble{Sample(entries, position, &TRGBDouble::Red), Sample(entries, position, &TRGBDouble::Green),
                           Sample(entries, position, &TRGBDouble::Blue)};
        }
        auto chain = std::make_shared<TLutChain>();
        chain->Append(std::make_unique<TCurveOperation>(std::move(entries),
                                                        TRGBDouble{header.From, header.From, header.From},
                                                        TRGBDouble{header.To, header.To, header.To}));
        lut.Chain = std::move(chain);
    }
    lut.CurveSize = length;
    lut.Kind = lkCurve;
}

std::string WriteSpi1D(const TLUT& lut) {
    const std::int32_t length = CheckedCurveSize(lut.CurveSize);
    std::string text = "Version 1\nFrom 0.0 1.0\nLength " + std::to_string(length) + "\nComponents 3\n{\n";
    for (std::int32_t i = 0; i < length; ++i) {
        const TRGBDouble& entry = lut.Curve[i];
        text += "    " + FormatDecimal(entry.Red) + " " + FormatDecimal(entry.Green) + " " + FormatDecimal(entry.Blue) +
                "\n";
    }
    text += "}\n";
    return text;
}

TSpi1DLutFormat::TSpi1DLutFormat()
    : TLUTFormat({.Id = "spi1d",
                  .Name = "Sony Imageworks spi1d",
                  .Extensions = {"spi1d"},
                  .Is3D = false,
                  .MaxSize = kMaxCurveSize}) {}

OMBRANE_LUT_FORMAT(TSpi1DLutFormat)

bool TSpi1DLutFormat::CanRead(std::string_view fileHead, const std::string&) const {
    const std::string head = UpperCase(fileHead.substr(0, 4096));
    return head.find("VERSION") != std::string::npos && head.find("LENGTH") != std::string::npos &&
           head.find("COMPONENTS") != std::string::npos && head.find('{') != std::string::npos;
}

void TSpi1DLutFormat::Read(std::string_view bytes, const std::string& name, TLUT& lut) const {
    (void)name;
    ReadSpi1D(bytes, lut);
}

std::string TSpi1DLutFormat::Write(const TLUT& lut, int, const std::string& name) const {
    (void)name;
    return WriteSpi1D(lut);
}
