#include <iostream>

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/HelpTexts.h"
#include "formats/FormatRegistry.h"
#include "formats/LutConvert.h"
#include "formats/LutFormat.h"

namespace {

const char* Dimension(bool is3D) { return is3D ? "3D" : "1D"; }

}  // namespace

int RunProfiles(const std::vector<std::string>& words) {
    const TArguments arguments(words, {});
    if (arguments.HelpAsked()) return PrintHelp(kProfilesHelp);
    arguments.ExpectPositionals(0, "");
    const auto& profiles = LutOutputProfiles();
    for (std::size_t i = 0; i < profiles.size(); ++i) {
        const TLutOutputProfile& profile = *profiles[i];
        std::cout << i + 1 << '\t' << profile.Name << '\t' << profile.Extension << '\t' << profile.DefaultSize << '\t'
                  << profile.DefaultBits << '\t' << Dimension(ProfileIs3D(profile)) << '\n';
    }
    return 0;
}

int RunFormats(const std::vector<std::string>& words) {
    const TArguments arguments(words, {});
    if (arguments.HelpAsked()) return PrintHelp(kFormatsHelp);
    arguments.ExpectPositionals(0, "");
    const auto& formats = LutFormats();
    for (std::size_t i = 0; i < formats.size(); ++i) {
        const TLutFormatInfo& info = formats[i]->Info();
        std::cout << i << '\t' << info.Name << '\t' << Dimension(info.Is3D) << '\t' << (info.Reads ? "read" : "-")
                  << '\t' << (info.Writes ? "write" : "-") << '\n';
    }
    return 0;
}
