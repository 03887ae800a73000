#include <charconv>
#include <iostream>
#include <string>

#include "cli/Arguments.h"
#include "cli/ClipCommands.h"
#include "cli/Commands.h"
#include "cli/HelpTexts.h"
#include "cli/InputFiles.h"
#include "cli/OutputChoice.h"
#include "cli/PictureInput.h"
#include "engine/colour/ColorSpace.h"
#include "engine/lut/LUT.h"
#include "engine/scopes/Scopes.h"
#include "formats/LutConvert.h"
#include "imageio/ImageFile.h"
#include "imageio/QtImage.h"
#include "scopeview/ScopeDrawing.h"

namespace {

constexpr int kDefaultScopeWidth = 512;
constexpr int kMinScopeWidth = 64;
constexpr int kMaxScopeWidth = 4096;
const char* const kRangeNames[3] = {"low", "middle", "high"};

// The shortest decimal form that reads back as the same double.
std::string Number(double value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

void PrintStatsTable(const TColorStats& stats) {
    for (int r = 0; r < 3; ++r) {
        const TRangeStats& range = stats.Ranges[r];
        std::cout << kRangeNames[r] << '\t' << stats.PixelCounts[r] << '\t' << Number(range.MeanU) << '\t'
                  << Number(range.DevU) << '\t' << Number(range.MeanV) << '\t' << Number(range.DevV) << '\n';
    }
}

void PrintStatsJson(const TColorStats& stats, const TImage& measured) {
    std::cout << "{\"width\": " << measured.Width() << ", \"height\": " << measured.Height() << ", \"ranges\": [";
    for (int r = 0; r < 3; ++r) {
        const TRangeStats& range = stats.Ranges[r];
        std::cout << (r ? ", " : "") << "{\"range\": \"" << kRangeNames[r] << "\", \"pixels\": " << stats.PixelCounts[r]
                  << ", \"mean_u\": " << Number(range.MeanU) << ", \"dev_u\": " << Number(range.DevU)
                  << ", \"mean_v\": " << Number(range.MeanV) << ", \"dev_v\": " << Number(range.DevV) << "}";
    }
    std::cout << "]}\n";
}

TScopeKind ScopeKindFrom(const TArguments& arguments) {
    if (!arguments.Has("scope")) return TScopeKind::All;
    const std::string& name = arguments.Value("scope");
    if (name == "all") return TScopeKind::All;
    if (name == "waveform") return TScopeKind::Waveform;
    if (name == "vectorscope") return TScopeKind::Vectorscope;
    if (name == "histogram") return TScopeKind::Histogram;
    throw EUsageError("option --scope needs waveform, vectorscope, histogram or all, not \"" + name + "\"");
}

}  // namespace

int RunStats(const std::vector<std::string>& words) {
    const TArguments arguments(
        words, {{"json", false}, {"as-reference", false}, {"frame", true}, {"sequence", false}, {"fps", true}});
    if (arguments.HelpAsked()) return PrintHelp(kStatsHelp);
    TakeClipOptions(arguments);
    arguments.ExpectPositionals(1, "the picture (PICTURE)");
    const std::string& file = arguments.Positionals()[0];
    const TImage measured = arguments.Switch("as-reference") ? ReferenceCell(file) : LoadPicture(file);
    TColorStats stats{};
    ComputeColorStats(measured, stats);
    if (arguments.Switch("json"))
        PrintStatsJson(stats, measured);
    else
        PrintStatsTable(stats);
    return 0;
}

int RunScopes(const std::vector<std::string>& words) {
    const TArguments arguments(words, {{"output", true, 'o'},
                                       {"reference", true},
                                       {"lut", true},
                                       {"scope", true},
                                       {"width", true},
                                       {"frame", true},
                                       {"sequence", false},
                                       {"fps", true}});
    if (arguments.HelpAsked()) return PrintHelp(kScopesHelp);
    TakeClipOptions(arguments);
    arguments.ExpectPositionals(1, "the picture (PICTURE)");
    const std::string output = OutputFile(arguments);
    InputFilesOf(arguments, {"reference", "lut"}).CheckOutput(output);
    CheckPictureOutput(output);
    const TScopeKind kind = ScopeKindFrom(arguments);
    const int width = arguments.IntValue("width", kMinScopeWidth, kMaxScopeWidth, kDefaultScopeWidth);

    TImage picture = LoadPicture(arguments.Positionals()[0]);
    if (arguments.Has("lut")) {
        const auto lut = ReadLutFile(arguments.Value("lut"));
        CheckUsableTables(*lut);
        lut->ApplyToImage(picture);
    }
    TScopeData data;
    data.Measure(picture);

    TScopeData cloud;
    TColorStats stats{};
    TScopeReference reference;
    if (arguments.Has("reference")) {
        const TImage cell = ReferenceCell(arguments.Value("reference"));
        ComputeColorStats(cell, stats);
        cloud.Measure(cell);
        reference = TScopeReference{&cloud, &stats};
    }
    SaveImageFile(output, ImageFromQImage(DrawScopes(data, kind, width, false, reference)));
    return 0;
}
