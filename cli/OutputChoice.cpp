#include "cli/OutputChoice.h"

#include <filesystem>

#include "formats/FormatRegistry.h"
#include "formats/LutConvert.h"
#include "imageio/ColourProfile.h"
#include "imageio/PictureFormats.h"

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

TOutputProfileChoice OutputProfileFrom(const TArguments& arguments) {
    if (!arguments.Has("output-profile")) return TOutputProfileChoice();
    const std::string value = arguments.Value("output-profile");
    std::error_code error;
    if (value != "srgb" && value != "source" && !std::filesystem::exists(value, error))
        throw EUsageError("--output-profile takes srgb, source or a profile file, not \"" + value + "\"");
    return TOutputProfileChoice::Parse(value);
}
