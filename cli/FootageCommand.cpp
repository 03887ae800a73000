#include <iostream>

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/HelpTexts.h"
#include "footage/OcioFootage.h"

int RunFootage(const std::vector<std::string>& words) {
    const TArguments arguments(words, {{"config", true}});
    if (arguments.HelpAsked()) return PrintHelp(kFootageHelp);
    arguments.ExpectPositionals(0, "");
    const std::string config = arguments.Has("config") ? arguments.Value("config") : std::string();
    for (const TFootageSpaceEntry& space : FootageSpaces(FootageConfigPath(config)))
        std::cout << space.Key << '\t' << space.Label << '\n';
    return 0;
}
