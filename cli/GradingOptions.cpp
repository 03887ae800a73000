#include "cli/GradingOptions.h"

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
