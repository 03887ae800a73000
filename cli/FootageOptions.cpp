#include "cli/FootageOptions.h"

#include "footage/OcioFootage.h"

std::unique_ptr<TFootageConversion> FootageFrom(const TArguments& arguments) {
    if (!arguments.Has("footage")) {
        if (arguments.Has("config")) throw EUsageError("option --config needs --footage SPACE");
        return nullptr;
    }
    // An empty name is no name: it is not taken for the display default.
    if (arguments.Value("footage").empty()) throw EUsageError("option --footage needs a value");
    const std::string config = arguments.Has("config") ? arguments.Value("config") : std::string();
    return MakeFootageConversion(arguments.Value("footage"), FootageConfigPath(config));
}
