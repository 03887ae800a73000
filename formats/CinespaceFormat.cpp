#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/lut/CubeOperation.h"
#include "engine/lut/CurveOperation.h"
#include "engine/lut/LutChain.h"
#include "fileio/AtomicFile.h"
#include "formats/FormatFiles.h"
#include "formats/FormatText.h"
#include "formats/LutFormat.h"
#include "formats/LutResampling.h"
#include "formats/TextScanner.h"

// Cinespace: "CSPLUTV100", "1D" or "3D", an optional metadata block
// (BEGIN METADATA ... END METADATA, read as comment lines), a pre-LUT of
// three channels (a point count, the input values, the output values), then
// the table: for 1D a length and one "r g b" line per entry, for 3D the
// three grid sizes and one line per grid point, red fastest. The pre-LUT
// maps each channel into the table's 0..1 domain; one that is not the
// identity on 0..1 is baked into the table at the table's own size.

// Reads a 1D or 3D file into lut's curve or cube.
void ReadCinespace(std::string_view text, TLUT& lut);
// The text of the LUT's cube or curve with an identity pre-LUT and the
// comment lines as metadata.
std::string WriteCinespace3D(const TLUT& lut);
std::string WriteCinespace1D(const TLUT& lut);

namespace {

// The 3D and the 1D kind, told apart by the type line.
class TCinespace3DLutFormat : public TLUTFormat {
public:
    TCinespace3DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;
};

class TCinespace1DLutFormat : public TLUTFormat {
public:
    TCinespace1DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;
};

}  // namespace

namespace {

constexpr std::string_view kSignature = "CSPLUTV100";
constexpr std::string_view kMetadataBegin = "BEGIN METADATA";
constexpr std::string_view kMetadataEnd = "END METADATA";

// One channel of the pre-LUT: strictly rising inputs and their outputs.
// Two points make a straight line; through more the pre-LUT is a cubic
// spline whose slope at each inner point is that of the chord between its
// neighbours, with a parabola in the first and last segments, the curve
// other programs put through these points. Outside the inputs it holds
// the end values.
struct TPreLutChannel {
    std::vector<double> In;
    std::vector<double> Out;

    double Map(double x) const {
        if (std::isnan(x) || x <= In.front()) return Out.front();
        if (x >= In.back()) return Out.back();
        const std::size_t high = static_cast<std::size_t>(std::upper_bound(In.begin(), In.end(), x) - In.begin());
        const std::size_t low = high - 1;
        const double t = (x - In[low]) / (In[high] - In[low]);
        if (In.size() == 2) return Out[low] + (Out[high] - Out[low]) * t;
        return Segment(low, t);
    }

    // The identity on 0..1: every output equals its input and the inputs
    // span 0..1.
    bool IsIdentity() const { return In == Out && In.front() <= 0.0 && In.back() >= 1.0; }

private:
    // The spline in segment i at t (0..1 across the segment); the slopes are
    // per segment width.
    double Segment(std::size_t i, double t) const {
        const std::size_t last = In.size() - 2;
        const double width = In[i + 1] - In[i];
        const double f0 = Out[i], f1 = Out[i + 1];
        if (i == 0) {
            const double d1 = (Out[2] - f0) / (1.0 + (In[2] - In[1]) / width);
            return f0 + t * ((-2 * f0 + 2 * f1 - d1) + t * (f0 - f1 + d1));
        }
        const double d0 = (f1 - Out[i - 1]) / (1.0 + (In[i] - In[i - 1]) / width);
        if (i == last) return f0 + t * (d0 + t * (-f0 + f1 - d0));
        const double d1 = (Out[i + 2] - f0) / (1.0 + (In[i + 2] - In[i + 1]) / width);
        return f0 + t * (d0 + t * ((-3 * f0 - 2 * d0 + 3 * f1 - d1) + t * (2 * f0 + d0 - 2 * f1 + d1)));
    }
};

// The pre-LUT as the first operation of the file's chain.
class TPreLutOperation : public TLutOperation {
public:
    explicit TPreLutOperation(const TPreLutChannel (&pre)[3]) : pre_{pre[0], pre[1], pre[2]} {}
    void Apply(TRGBDouble& colour) const override {
        colour = TRGBDouble{pre_[0].Map(colour.Red), pre_[1].Map(colour.Green), pre_[2].Map(colour.Blue)};
    }
    bool PerChannel() const override { return true; }

private:
    TPreLutChannel pre_[3];
};

// The table just read as the chain's second operation.
std::unique_ptr<TLutOperation> TableOperation(const TLUT& lut) {
    if (lut.Kind == lkCube) {
        auto table = std::make_unique<TLUT>();
        const int n = lut.CubeSize;
        for (int r = 0; r < n; ++r)
            for (int g = 0; g < n; ++g) std::copy(lut.Cube[r][g], lut.Cube[r][g] + n, table->Cube[r][g]);
        table->CubeSize = n;
        table->Kind = lkCube;
        return std::make_unique<TCubeOperation>(std::move(table), TCubeInterpolation::Trilinear);
    }
    return std::make_unique<TCurveOperation>(std::vector<TRGBDouble>(lut.Curve, lut.Curve + lut.CurveSize),
                                             TRGBDouble{0, 0, 0}, TRGBDouble{1, 1, 1});
}

std::vector<double> ReadNumberLine(TTextScanner& scanner, std::size_t count, const std::string& what) {
    const std::string_view line = scanner.ExpectLine(what);
    std::vector<double> values;
    values.reserve(count);
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && static_cast<unsigned char>(line[i]) <= ' ') ++i;
        const std::size_t start = i;
        while (i < line.size() && static_cast<unsigned char>(line[i]) > ' ') ++i;
        if (i > start) {
            if (values.size() == count) scanner.Fail(what + " holds more than " + std::to_string(count) + " numbers.");
            values.push_back(ScanNumber(scanner, line.substr(start, i - start)));
        }
    }
    if (values.size() != count)
        scanner.Fail(what + " holds " + std::to_string(values.size()) + " numbers instead of " + std::to_string(count) +
                     ".");
    return values;
}

// A channel of the pre-LUT whose point count line is countLine.
TPreLutChannel ReadPreLutChannel(TTextScanner& scanner, const char* channel, std::string_view countLine) {
    const std::string what = std::string("The ") + channel + " pre-LUT";
    std::string_view tokens[2];
    if (SplitTokens(countLine, tokens, 2) != 1) scanner.Fail(what + " point count is one number.");
    const int count = ScanInteger(scanner, tokens[0], 2, kMaxCurveSize, what + " point count");
    TPreLutChannel result;
    result.In = ReadNumberLine(scanner, static_cast<std::size_t>(count), what + " input line");
    for (std::size_t i = 1; i < result.In.size(); ++i)
        if (!(result.In[i] > result.In[i - 1])) scanner.Fail(what + " inputs do not rise.");
    result.Out = ReadNumberLine(scanner, static_cast<std::size_t>(count), what + " output line");
    return result;
}

// The metadata block's lines as comments, or nothing when the next filled
// line opens no block; returns the first filled line after it (the red
// pre-LUT's point count).
std::string_view ReadMetadata(TTextScanner& scanner, TLUT& lut) {
    std::string_view line = scanner.ExpectLine("The pre-LUT");
    if (TrimView(line) != kMetadataBegin) return line;
    for (;;) {
        if (!scanner.NextLine(line))
            throw ELUTError("Incomplete file: \"" + std::string(kMetadataEnd) + "\" is missing.");
        if (TrimView(line) == kMetadataEnd) break;
        if (!TrimView(line).empty()) lut.Comments.emplace_back(TrimView(line));
    }
    return scanner.ExpectLine("The pre-LUT");
}

TRGBDouble ReadTriple(TTextScanner& scanner, std::size_t expected, std::size_t found) {
    std::string_view line;
    if (!scanner.NextFilledLine(line)) scanner.FailIncomplete(expected, found);
    std::string_view tokens[3];
    if (SplitTokens(line, tokens, 3) != 3) scanner.Fail("An entry needs three numbers.");
    return TRGBDouble{ScanNumber(scanner, tokens[0]), ScanNumber(scanner, tokens[1]), ScanNumber(scanner, tokens[2])};
}

void ExpectEnd(TTextScanner& scanner) {
    std::string_view line;
    if (scanner.NextFilledLine(line)) scanner.Fail("Text after the last entry.");
}

void ReadCube(TTextScanner& scanner, TLUT& lut) {
    std::string_view tokens[3];
    if (SplitTokens(scanner.ExpectLine("The grid size line"), tokens, 3) != 3)
        scanner.Fail("The grid size line needs three numbers.");
    int sizes[3];
    for (int i = 0; i < 3; ++i) sizes[i] = ScanInteger(scanner, tokens[i], 2, kMaxCubeSize, "The grid size");
    if (sizes[1] != sizes[0] || sizes[2] != sizes[0])
        scanner.Fail("Only grids of equal sizes on the three axes are supported.");
    const int size = sizes[0];
    const std::size_t points = static_cast<std::size_t>(size) * size * size;
    std::size_t found = 0;
    for (int b = 0; b < size; ++b)
        for (int g = 0; g < size; ++g)
            for (int r = 0; r < size; ++r) lut.Cube[r][g][b] = ReadTriple(scanner, points, found++);
    ExpectEnd(scanner);
    lut.CubeSize = size;
    lut.Kind = lkCube;
}

void ReadCurve(TTextScanner& scanner, TLUT& lut) {
    std::string_view tokens[2];
    if (SplitTokens(scanner.ExpectLine("The length line"), tokens, 2) != 1)
        scanner.Fail("The length line is one number.");
    const int length = ScanInteger(scanner, tokens[0], 2, kMaxCurveSize, "The length");
    for (int i = 0; i < length; ++i)
        lut.Curve[i] = ReadTriple(scanner, static_cast<std::size_t>(length), static_cast<std::size_t>(i));
    ExpectEnd(scanner);
    lut.CurveSize = length;
    lut.Kind = lkCurve;
}

// Bakes the pre-LUT into the table just read: every grid point or entry
// becomes the table's lookup at the pre-LUT's output.
void BakePreLut(const TPreLutChannel (&pre)[3], TLUT& lut) {
    auto table = std::make_unique<TLUT>();
    table->Kind = lut.Kind;
    if (lut.Kind == lkCube) {
        const int n = lut.CubeSize;
        table->CubeSize = n;
        for (int r = 0; r < n; ++r)
            for (int g = 0; g < n; ++g)
                for (int b = 0; b < n; ++b) table->Cube[r][g][b] = lut.Cube[r][g][b];
        for (int r = 0; r < n; ++r)
            for (int g = 0; g < n; ++g)
                for (int b = 0; b < n; ++b) {
                    const TRGBDouble in{pre[0].Map(GridValue(r, n)), pre[1].Map(GridValue(g, n)),
                                        pre[2].Map(GridValue(b, n))};
                    table->InterpolateCube(in, lut.Cube[r][g][b]);
                }
        return;
    }
    const int n = lut.CurveSize;
    table->CurveSize = n;
    std::copy(lut.Curve, lut.Curve + n, table->Curve);
    for (int i = 0; i < n; ++i) {
        const double x = GridValue(i, n);
        table->InterpolateCurve(TRGBDouble{pre[0].Map(x), pre[1].Map(x), pre[2].Map(x)}, lut.Curve[i]);
    }
}

std::string Header(const TLUT& lut, const char* type) {
    std::string text = std::string(kSignature) + "\n" + type + "\n\n" + std::string(kMetadataBegin) + "\n";
    for (const std::string& comment : lut.Comments) {
        const std::string_view line = TrimView(comment);
        if (line != kMetadataEnd && line.find_first_of("\r\n") == std::string_view::npos)
            text += std::string(line) + "\n";
    }
    text += std::string(kMetadataEnd) + "\n\n";
    for (int channel = 0; channel < 3; ++channel) text += "2\n0.0 1.0\n0.0 1.0\n";
    return text + "\n";
}

void AppendEntry(std::string& text, const TRGBDouble& entry) {
    text += FormatDecimal(entry.Red) + " " + FormatDecimal(entry.Green) + " " + FormatDecimal(entry.Blue) + "\n";
}

// The type line ("1D" or "3D") of a file whose first line is the signature.
std::string FileType(std::string_view fileHead) {
    TTextScanner scanner(fileHead.substr(0, 256));
    std::string_view line;
    if (!scanner.NextFilledLine(line) || TrimView(line) != kSignature || !scanner.NextFilledLine(line)) return "";
    return UpperCase(TrimView(line));
}

}  // namespace

void ReadCinespace(std::string_view text, TLUT& lut) {
    TTextScanner scanner(text);
    if (TrimView(scanner.ExpectLine("The signature line")) != kSignature)
        scanner.Fail("A Cinespace file starts with \"" + std::string(kSignature) + "\".");
    const std::string type = UpperCase(TrimView(scanner.ExpectLine("The type line")));
    if (type != "1D" && type != "3D") scanner.Fail("The type line is \"1D\" or \"3D\".");
    lut.Comments.clear();
    std::string_view line = ReadMetadata(scanner, lut);

    TPreLutChannel pre[3];
    pre[0] = ReadPreLutChannel(scanner, "red", line);
    pre[1] = ReadPreLutChannel(scanner, "green", scanner.ExpectLine("The green pre-LUT"));
    pre[2] = ReadPreLutChannel(scanner, "blue", scanner.ExpectLine("The blue pre-LUT"));

    if (type == "3D")
        ReadCube(scanner, lut);
    else
        ReadCurve(scanner, lut);
    if (!pre[0].IsIdentity() || !pre[1].IsIdentity() || !pre[2].IsIdentity()) {
        auto chain = std::make_shared<TLutChain>();
        chain->Append(std::make_unique<TPreLutOperation>(pre));
        chain->Append(TableOperation(lut));
        BakePreLut(pre, lut);
        lut.Chain = std::move(chain);
    }
}

std::string WriteCinespace3D(const TLUT& lut) {
    const std::int32_t size = CheckedCubeSize(lut.CubeSize);
    const std::string n = std::to_string(size);
    std::string text = Header(lut, "3D") + n + " " + n + " " + n + "\n";
    text.reserve(text.size() + static_cast<std::size_t>(size) * size * size * 32);
    for (int b = 0; b < size; ++b)
        for (int g = 0; g < size; ++g)
            for (int r = 0; r < size; ++r) AppendEntry(text, lut.Cube[r][g][b]);
    return text;
}

std::string WriteCinespace1D(const TLUT& lut) {
    const std::int32_t length = CheckedCurveSize(lut.CurveSize);
    std::string text = Header(lut, "1D") + std::to_string(length) + "\n";
    for (std::int32_t i = 0; i < length; ++i) AppendEntry(text, lut.Curve[i]);
    return text;
}

TCinespace3DLutFormat::TCinespace3DLutFormat()
    : TLUTFormat({.Id = "cinespace-3d", .Name = "Cinespace 3D", .Extensions = {"csp"}}) {}

OMBRANE_LUT_FORMAT(TCinespace3DLutFormat)

bool TCinespace3DLutFormat::CanRead(std::string_view head, const std::string&) const { return FileType(head) == "3D"; }

void TCinespace3DLutFormat::Read(std::string_view bytes, const std::string& name, TLUT& lut) const {
    (void)name;
    ReadCinespace(bytes, lut);
}

std::string TCinespace3DLutFormat::Write(const TLUT& lut, int, const std::string& name) const {
    (void)name;
    return WriteCinespace3D(lut);
}

TCinespace1DLutFormat::TCinespace1DLutFormat()
    : TLUTFormat({.Id = "cinespace-1d",
                  .Name = "Cinespace 1D",
                  .Extensions = {"csp"},
                  .Is3D = false,
                  .MaxSize = kMaxCurveSize}) {}

OMBRANE_LUT_FORMAT(TCinespace1DLutFormat)

bool TCinespace1DLutFormat::CanRead(std::string_view head, const std::string&) const { return FileType(head) == "1D"; }

void TCinespace1DLutFormat::Read(std::string_view bytes, const std::string& name, TLUT& lut) const {
    (void)name;
    ReadCinespace(bytes, lut);
}

std::string TCinespace1DLutFormat::Write(const TLUT& lut, int, const std::string& name) const {
    (void)name;
    return WriteCinespace1D(lut);
}
