#include "CommandSupport.h"

#include <algorithm>
#include <filesystem>

#include "ClipCommands.h"
#include "ClipFile.h"
#include "ColourProfile.h"
#include "FootageLook.h"
#include "FormatRegistry.h"
#include "GradingRoad.h"
#include "ImageFile.h"
#include "LutConvert.h"
#include "PictureFormats.h"
#include "ReferenceLibrary.h"
#include "SourceMatch.h"
#include "Thumbnail.h"

namespace {

struct TSlider {
    const char* Name;
    int TLookPositions::*Field;
};

constexpr TSlider kSliders[] = {
    {"gain", &TLookPositions::Gain},     {"saturation", &TLookPositions::Saturation},
    {"yellow", &TLookPositions::Yellow}, {"orange", &TLookPositions::Orange},
    {"red", &TLookPositions::Red},       {"violet", &TLookPositions::Violet},
    {"blue", &TLookPositions::Blue},     {"green", &TLookPositions::Green},
    {"low", &TLookPositions::Low},       {"middle", &TLookPositions::Middle},
    {"high", &TLookPositions::High},
};

} // namespace

std::vector<TOptionSpec> GradingOptionSpecs()
{
    std::vector<TOptionSpec> specs;
    for (const TSlider& slider : kSliders)
        specs.push_back({slider.Name, true});
    specs.push_back({"strength", true});
    specs.push_back({"basic-analysis", false});
    specs.push_back({"compress-saturation", false});
    return specs;
}

TLookPositions PositionsFrom(const TArguments& arguments)
{
    TLookPositions positions;
    for (const TSlider& slider : kSliders)
        positions.*slider.Field = arguments.IntValue(slider.Name, kTrackBarMin, kTrackBarMax, kTrackBarDefault);
    positions.AdvancedAnalysis = !arguments.Switch("basic-analysis");
    positions.CompressSaturation = arguments.Switch("compress-saturation");
    positions.Strength = arguments.IntValue("strength", kStrengthMin, kStrengthMax, kStrengthDefault);
    return positions;
}

const TLutOutputProfile& ChooseProfile(const TArguments& arguments, const std::string& output,
                                       bool prefer3D, bool onlyPreferred)
{
    if (arguments.Has("profile")) {
        const std::string& wanted = arguments.Value("profile");
        const TLutOutputProfile* profile = FindOutputProfile(wanted);
        if (!profile)
            throw EUsageError("unknown output profile \"" + wanted +
                              "\" ('ombrane-cli profiles' lists the names and numbers)");
        return *profile;
    }
    const TLutOutputProfile* profile = FindProfileForFile(output, prefer3D);
    if (!profile && !onlyPreferred)
        profile = FindProfileForFile(output, !prefer3D);
    if (!profile)
        throw EUsageError("no " + std::string(onlyPreferred ? (prefer3D ? "3D " : "1D ") : "") +
                          "output profile writes files like \"" + output + "\"; name one with --profile");
    return *profile;
}

int ChooseBits(const TArguments& arguments, const TLutOutputProfile& profile)
{
    if (!arguments.Has("bits"))
        return profile.DefaultBits;
    int bits = 0;
    const std::string& text = arguments.Value("bits");
    if (!ParseWholeInt(text, bits) || bits < 8 || bits > 16 || bits % 2 != 0)
        throw EUsageError("option --bits needs 8, 10, 12, 14 or 16, not \"" + text + "\"");
    if (!profile.BitsSelectable)
        throw EUsageError("the profile \"" + profile.Name + "\" does not let you choose the bit depth");
    return bits;
}

std::string OutputFile(const TArguments& arguments)
{
    if (!arguments.Has("output"))
        throw EUsageError("missing the output file (-o OUTPUT)");
    const std::string& output = arguments.Value("output");
    if (output.empty())
        throw EUsageError("the output file name is empty");
    return output;
}

void CheckPictureOutput(const std::string& fileName)
{
    if (!IsPictureName(fileName, TPictureRole::EightBitWritten))
        throw EUsageError("cannot write pictures like \"" + fileName + "\": use " +
                          ListOfExtensions(PictureExtensions(TPictureRole::EightBitWritten), "."));
}

void CheckFileOutput(const std::string& output)
{
    if (!output.ends_with('/'))
        return;
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(output, error)))
        throw EUsageError("the output \"" + output + "\" is not a folder");
    throw EUsageError("the output folder \"" + output + "\" does not exist");
}

TImage LoadPicture(const std::string& fileName)
{
    TColourProfile profile;
    return LoadPicture(fileName, profile);
}

TOutputProfileChoice OutputProfileFrom(const TArguments& arguments)
{
    if (!arguments.Has("output-profile"))
        return TOutputProfileChoice();
    const std::string value = arguments.Value("output-profile");
    std::error_code error;
    if (value != "srgb" && value != "source" && !std::filesystem::exists(value, error))
        throw EUsageError("--output-profile takes srgb, source or a profile file, not \"" + value + "\"");
    return TOutputProfileChoice::Parse(value);
}

TImage LoadPicture(const std::string& fileName, TColourProfile& profile)
{
    std::error_code kindError;
    if (std::filesystem::is_directory(fileName, kindError))
        throw EError("\"" + fileName + "\" is a folder, not a picture");
    if (IsClipName(fileName))
        return LoadClipPicture(fileName);
    if (LowerExtension(fileName).empty())
        throw EError("\"" + fileName + "\" is not a picture file: its name has no extension to tell its type");
    TImage picture;
    try {
        LoadImageFile(fileName, picture, profile);
    } catch (const std::exception& error) {
        const std::string message = error.what();
        if (message.find(fileName) != std::string::npos)
            throw;
        throw EError("\"" + fileName + "\": " + message);
    }
    return picture;
}

TImage ReferenceCell(const std::string& fileName)
{
    TImage picture = LoadPicture(fileName);
    if (picture.Width() > kThumbnailSize || picture.Height() > kThumbnailSize)
        picture = ReduceLikeLibrary(picture);
    return MakeThumbnailCell(picture);
}

TLookSettings ReferenceLook(const std::string& fileName, const TLookPositions& positions)
{
    return LookFromReference(ReferenceCell(fileName), positions);
}

void MatchToFrameFile(TLookSettings& settings, const std::string& frameFile, const TFootageConversion* footage)
{
    // Fitted first, then converted, as the window converts its preview.
    TImage frame = PrepareFrame(LoadPicture(frameFile));
    if (footage != nullptr)
        ConvertFootageImage(*footage, frame);
    MatchLookToFrame(settings, FrameStatistics(frame), frameFile);
}
