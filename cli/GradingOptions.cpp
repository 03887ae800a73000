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

std::string Range(const TLookControl& control) {
    return std::to_string(control.Min) + ".." + std::to_string(control.Max);
}

bool SameRange(const TLookControl& a, const TLookControl& b) {
    return a.Min == b.Min && a.Max == b.Max && a.Default == b.Default;
}

// The range and default most controls share, then each other control's own:
// "Grading options (slider positions, integers 0..200, default 100,
// --strength 0..100):".
std::string GradingOptionsTitle() {
    const TLookControl& first = LookControls().front();
    std::string title =
        "Grading options (slider positions, integers " + Range(first) + ", default " + std::to_string(first.Default);
    for (const TLookControl& control : LookControls()) {
        if (SameRange(control, first)) continue;
        title += ", --" + std::string(control.Key) + " " + Range(control);
        if (control.Default != first.Default) title += " (default " + std::to_string(control.Default) + ")";
    }
    return title + "):\n";
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
    std::string text = GradingOptionsTitle();
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
