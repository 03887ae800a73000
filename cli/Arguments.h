#pragma once
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/base/Error.h"

// A command line that the tool cannot make sense of: the message is shown
// with a pointer to --help and the tool exits with status 2.
class EUsageError : public EError {
public:
    using EError::EError;
};

// One option a command knows: its long name without the dashes, an
// optional one-letter alias, and whether it takes a value.
struct TOptionSpec {
    std::string Name;
    bool TakesValue = false;
    char Short = '\0';
};

// The words of one command split into positionals, option values and
// switches. "--name value", "--name=value" and "-x value" are accepted;
// "--" ends the options; "--help" or "-h" anywhere asks for help.
class TArguments {
public:
    TArguments(const std::vector<std::string>& words, const std::vector<TOptionSpec>& options);

    bool HelpAsked() const { return help_; }
    const std::vector<std::string>& Positionals() const { return positionals_; }
    bool Has(const std::string& name) const;
    // The value of an option given once (EUsageError when given twice).
    const std::string& Value(const std::string& name) const;
    bool Switch(const std::string& name) const { return switches_.count(name) != 0; }

    // An integer option within [low, high], or fallback when absent.
    int IntValue(const std::string& name, int low, int high, int fallback) const;

    // Usage checks on the positionals.
    void ExpectPositionals(std::size_t count, const std::string& what) const;
    void ExpectAtLeast(std::size_t count, const std::string& what) const;

private:
    const TOptionSpec* Find(const std::string& word) const;
    void Take(const TOptionSpec& option, const std::string& value);

    std::vector<TOptionSpec> options_;
    std::vector<std::string> positionals_;
    std::map<std::string, std::string> values_;
    std::set<std::string> switches_;
    bool help_ = false;
};

// Parses a whole decimal integer (optional sign, nothing else); false when
// the text is not one or does not fit.
bool ParseWholeInt(const std::string& text, int& value);
