#include "cli/CommandSupport.h"

#include <algorithm>
#include <filesystem>

#include "cli/ClipOptions.h"
#include "clip/ClipFile.h"
#include "engine/FootageLook.h"
#include "engine/GradingRoad.h"
#include "engine/SourceMatch.h"
#include "engine/Thumbnail.h"
#include "formats/FormatRegistry.h"
#include "formats/LutConvert.h"
#include "imageio/ColourProfile.h"
#include "imageio/ImageFile.h"
#include "imageio/PictureFormats.h"
#include "library/ReferenceLibrary.h"

namespace {

// The help lines' text starts in this column; an option too long to leave
// two spaces before it puts its text on the next line.
constexpr std::size_t kHelpColumn = 20;

std::string HelpLine(const std::string& options, const std::string& text) {
    std::string line = "  " + options;
    if (line.size() + 2 <= kHelpColumn)
        line.resize(kHelpColumn, ' ');
    else
        line += "\n" + std::string(kHelpColumn, ' ');
    for (char c : text) {
        line += c;
        if (c == '\n') line += std::string(kHelpColumn, ' ');
    }
    return line + "\n";
}

}  // namespace

std::vector<TOptionSpec> GradingOptionSpecs() {
    std::vector<TOptionSpec> specs;
    for (const TLookControl& control : LookControls()) specs.push_back({control.Key, true});
    for (const TLookSwitch& option : LookSwitches()) specs.push_back({option.Key, false});
    return specs;
}

TLookPositions PositionsFrom(const TArguments& arguments) {
    TLookPositions positions;
    for (const TLookControl& control : LookControls())
        positions.*control.Position = arguments.IntValue(control.Key, control.Min, control.Max, control.Default);
    for (const TLookSwitch& option : LookSwitches())
        positions.*option.Position = arguments.Switch(option.Key) ? option.OptionValue : !option.OptionValue;
    return positions;
}

std::string GradingOptionsHelp() {
    std::string text;
    std::string options;
    for (const TLookControl& control : LookControls()) {
        options += (options.empty() ? "--" : "  --") + std::string(control.Key) + " N";
        if (!control.Help) continue;
        text += HelpLine(options, control.Help);
        options.clear();
    }
    for (const TLookSwitch& option : LookSwitches()) text += HelpLine(std::string("--") + option.Key, option.Help);
    return text;
}

const TLutOutputProfile& ChooseProfile(const TArguments& arguments, const std::string& output, bool prefer3D,
                                       bool onlyPreferred) {
    if (arguments.Has("profile")) {
        const std::string& wanted = arguments.Value("profile");
        const TLutOutputProfile* profile = FindOutputProfile(wanted);
        if (!profile)
            throw EUsageError("unknown output profile \"" + wanted +
                              "\" ('ombrane-cli profiles' lists the names and numbers)");
        return *profile;
    }
    const TLutOutputProfile* profile = FindProfileForFile(output, prefer3D);
    if (!profile && !onlyPreferred) profile = FindProfileForFile(output, !prefer3D);
    if (!profile)
        throw EUsageError("no " + std::string(onlyPreferred ? (prefer3D ? "3D " : "1D ") : "") +
                          "output profile writes files like \"" + output + "\"; name one with --profile");
    return *profile;
}

int ChooseBits(const TArguments& arguments, const TLutOutputProfile& profile) {
    if (!arguments.Has("bits")) return profile.DefaultBits;
    int bits = 0;
    const std::string& text = arguments.Value("bits");
    if (!ParseWholeInt(text, bits) || bits < 8 || bits > 16 || bits % 2 != 0)
        throw EUsageError("option --bits needs 8, 10, 12, 14 or 16, not \"" + text + "\"");
    if (!profile.BitsSelectable)
        throw EUsageError("the profile \"" + profile.Name + "\" does not let you choose the bit depth");
    return bits;
}

std::string OutputFile(const TArguments& arguments) {
    if (!arguments.Has("output")) throw EUsageError("missing the output file (-o OUTPUT)");
    const std::string& output = arguments.Value("output");
    if (output.empty()) throw EUsageError("the output file name is empty");
    return output;
}

void CheckPictureOutput(const std::string& fileName) {
    if (!IsPictureName(fileName, TPictureRole::EightBitWritten))
        throw EUsageError("cannot write pictures like \"" + fileName + "\": use " +
                          ListOfExtensions(PictureExtensions(TPictureRole::EightBitWritten), "."));
}

void CheckFileOutput(const std::string& output) {
    if (!output.ends_with('/')) return;
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(output, error)))
        throw EUsageError("the output \"" + output + "\" is not a folder");
    throw EUsageError("the output folder \"" + output + "\" does not exist");
}

TImage LoadPicture(const std::string& fileName) {
    TColourProfile profile;
    return LoadPicture(fileName, profile);
}

TOutputProfileChoice OutputProfileFrom(const TArguments& arguments) {
    if (!arguments.Has("output-profile")) return TOutputProfileChoice();
    const std::string value = arguments.Value("output-profile");
    std::error_code error;
    if (value != "srgb" && value != "source" && !std::filesystem::exists(value, error))
        throw EUsageError("--output-profile takes srgb, source or a profile file, not \"" + value + "\"");
    return TOutputProfileChoice::Parse(value);
}

TImage LoadPicture(const std::string& fileName, TColourProfile& profile) {
    std::error_code kindError;
    if (std::filesystem::is_directory(fileName, kindError))
        throw EError("\"" + fileName + "\" is a folder, not a picture");
    if (IsClipName(fileName)) return LoadClipPicture(fileName);
    if (LowerExtension(fileName).empty())
        throw EError("\"" + fileName + "\" is not a picture file: its name has no extension to tell its type");
    TImage picture;
    try {
        LoadImageFile(fileName, picture, profile);
    } catch (const std::exception& error) {
        const std::string message = error.what();
        if (message.find(fileName) != std::string::npos) throw;
        throw EError("\"" + fileName + "\": " + message);
    }
    return picture;
}

TImage ReferenceCell(const std::string& fileName) {
    TImage picture = LoadPicture(fileName);
    if (picture.Width() > kThumbnailSize || picture.Height() > kThumbnailSize) picture = ReduceLikeLibrary(picture);
    return MakeThumbnailCell(picture);
}

TLookSettings ReferenceLook(const std::string& fileName, const TLookPositions& positions) {
    return LookFromReference(ReferenceCell(fileName), positions);
}

void MatchToFrameFile(TLookSettings& settings, const std::string& frameFile, const TFootageConversion* footage) {
    // Fitted first, then converted, as the window converts its preview.
    TImage frame = PrepareFrame(LoadPicture(frameFile));
    if (footage != nullptr) ConvertFootageImage(*footage, frame);
    MatchLookToFrame(settings, FrameStatistics(frame), frameFile);
}
