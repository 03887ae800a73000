// look_eval: prints the look of a reference, as ombrane-cli builds it, at
// the colours given on standard input: the look's own per-colour function,
// with no cube in between, so that scripts can check an exported cube
// against the look at colours a peer computed.
//
//   look_eval REFERENCE [grading options of ombrane-cli look] < points
//
// Every input line "r g b" gives one output line with the three values of
// the look, written with 17 significant digits. Errors go to standard error
// as "look_eval: <message>" with exit code 1.
#include <QCoreApplication>

#include <charconv>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "cli/Arguments.h"
#include "cli/GradingOptions.h"
#include "cli/PictureInput.h"
#include "engine/look/LookTransfer.h"

namespace {

bool ParseNumber(std::string_view& text, double& value) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc()) return false;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return true;
}

void AppendNumber(std::string& out, double value) {
    char buffer[40];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 17);
    (void)ec;
    out.append(buffer, end);
}

int Run(const std::vector<std::string>& words) {
    const TArguments arguments(words, GradingOptionSpecs());
    arguments.ExpectPositionals(1, "the reference picture");
    const TLookSettings settings = ReferenceLook(arguments.Positionals()[0], PositionsFrom(arguments));
    std::string out, line;
    long lineNumber = 0;
    while (std::getline(std::cin, line)) {
        ++lineNumber;
        std::string_view text = line;
        TRGBDouble in;
        if (!ParseNumber(text, in.Red) || !ParseNumber(text, in.Green) || !ParseNumber(text, in.Blue))
            throw EError("line " + std::to_string(lineNumber) + " of the input is not three numbers");
        const TRGBDouble result = LookColour(settings, settings.Factors, in);
        AppendNumber(out, result.Red);
        out += ' ';
        AppendNumber(out, result.Green);
        out += ' ';
        AppendNumber(out, result.Blue);
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    try {
        return Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::cerr << "look_eval: " << e.what() << "\n";
        return 1;
    }
}
