#include "cli/Arguments.h"

#include <charconv>

namespace {

std::string Dashed(const std::string& name) { return "--" + name; }

}  // namespace

bool ParseWholeInt(const std::string& text, int& value) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') ++first;
    const auto [end, error] = std::from_chars(first, last, value);
    return !text.empty() && error == std::errc() && end == last;
}

TArguments::TArguments(const std::vector<std::string>& words, const std::vector<TOptionSpec>& options)
    : options_(options) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (optionsEnded || word.size() < 2 || word[0] != '-') {
            positionals_.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        if (word == "--help" || word == "-h") {
            help_ = true;
            continue;
        }
        const std::size_t equals = word.find('=');
        const bool isLong = word.compare(0, 2, "--") == 0;
        const std::string head = (isLong && equals != std::string::npos) ? word.substr(0, equals) : word;
        const TOptionSpec* option = Find(head);
        if (!option) throw EUsageError("unknown option " + head);
        if (!option->TakesValue) {
            if (head != word) throw EUsageError("option " + Dashed(option->Name) + " takes no value");
            Take(*option, std::string());
            continue;
        }
        if (head != word) {
            Take(*option, word.substr(equals + 1));
        } else {
            if (i + 1 >= words.size()) throw EUsageError("option " + Dashed(option->Name) + " needs a value");
            Take(*option, words[++i]);
        }
    }
}

const TOptionSpec* TArguments::Find(const std::string& word) const {
    for (const TOptionSpec& option : options_) {
        if (word == Dashed(option.Name)) return &option;
        if (option.Short != '\0' && word.size() == 2 && word[1] == option.Short) return &option;
    }
    return nullptr;
}

void TArguments::Take(const TOptionSpec& option, const std::string& value) {
    if (!option.TakesValue) {
        switches_.insert(option.Name);
        return;
    }
    if (!values_.emplace(option.Name, value).second)
        throw EUsageError("option " + Dashed(option.Name) + " is given more than once");
}

bool TArguments::Has(const std::string& name) const { return values_.count(name) != 0; }

const std::string& TArguments::Value(const std::string& name) const {
    const auto found = values_.find(name);
    if (found == values_.end()) throw EUsageError("option " + Dashed(name) + " is missing");
    return found->second;
}

int TArguments::IntValue(const std::string& name, int low, int high, int fallback) const {
    if (!Has(name)) return fallback;
    int value = 0;
    const std::string& text = Value(name);
    if (!ParseWholeInt(text, value) || value < low || value > high)
        throw EUsageError("option " + Dashed(name) + " needs an integer from " + std::to_string(low) + " to " +
                          std::to_string(high) + ", not \"" + text + "\"");
    return value;
}

void TArguments::ExpectPositionals(std::size_t count, const std::string& what) const {
    if (positionals_.size() < count) throw EUsageError("missing " + what);
    if (positionals_.size() > count) throw EUsageError("unexpected argument \"" + positionals_[count] + "\"");
}

void TArguments::ExpectAtLeast(std::size_t count, const std::string& what) const {
    if (positionals_.size() < count) throw EUsageError("missing " + what);
}
