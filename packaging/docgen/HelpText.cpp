#include "packaging/docgen/HelpText.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace {

std::size_t Indent(const std::string& line) {
    const std::size_t first = line.find_first_not_of(' ');
    return first == std::string::npos ? line.size() : first;
}

std::string Trim(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The column where the description starts: after a gap of two spaces or
// more that ends at the column of the entry's next lines, or else after the
// first such gap; npos when the whole line is the term.
std::size_t DescriptionColumn(const std::string& line, std::size_t continuation) {
    std::size_t first = std::string::npos;
    for (std::size_t gap = line.find("  ", 2); gap != std::string::npos; gap = line.find("  ", gap + 1)) {
        const std::size_t end = line.find_first_not_of(' ', gap);
        if (end == std::string::npos) break;
        if (continuation != std::string::npos) {
            if (end == continuation) return end;
        } else if (first == std::string::npos) {
            first = end;
        }
        gap = end;
    }
    return first;
}

void AddTo(std::string& text, const std::string& more) {
    if (more.empty()) return;
    if (!text.empty()) text += ' ';
    text += more;
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

bool IsPlaceholder(const std::string& word) {
    const bool letter =
        std::any_of(word.begin(), word.end(), [](char c) { return std::isalpha(static_cast<unsigned char>(c)); });
    return letter &&
           (std::all_of(word.begin(), word.end(),
                        [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.'; }) ||
            word.find('|') != std::string::npos);
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator)) parts.push_back(part);
    return parts;
}

// "8, 10, 12, 14 or 16" in a description: the values an option takes.
std::vector<std::string> ListedChoices(const std::string& description) {
    const std::vector<std::string> words = Words(description);
    for (std::size_t start = 0; start < words.size(); ++start) {
        std::vector<std::string> choices;
        std::size_t i = start;
        while (i + 1 < words.size() && words[i].size() > 1 && words[i].back() == ',') {
            choices.push_back(words[i].substr(0, words[i].size() - 1));
            ++i;
        }
        if (choices.size() < 2 || i + 2 >= words.size() || words[i + 1] != "or") continue;
        choices.push_back(words[i]);
        std::string last = words[i + 2];
        while (!last.empty() && (last.back() == ';' || last.back() == ',' || last.back() == '.')) last.pop_back();
        choices.push_back(last);
        const bool plain = std::all_of(choices.begin(), choices.end(), [](const std::string& choice) {
            return !choice.empty() && std::all_of(choice.begin(), choice.end(), [](char c) {
                return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
            });
        });
        if (plain) return choices;
    }
    return {};
}

// Reads "-o, --output FILE" or "--yellow N  --orange N" or "[--scope a|b]".
void ReadOptions(const std::string& text, const std::string& description, std::vector<THelpOption>& options) {
    std::vector<std::string> pending;
    auto flush = [&](const std::string& value) {
        for (const std::string& name : pending) {
            auto found = std::find_if(options.begin(), options.end(), [&](const THelpOption& option) {
                return std::find(option.Names.begin(), option.Names.end(), name) != option.Names.end();
            });
            if (found == options.end()) {
                options.push_back({{}, value, {}});
                found = options.end() - 1;
            }
            for (const std::string& other : pending)
                if (std::find(found->Names.begin(), found->Names.end(), other) == found->Names.end())
                    found->Names.push_back(other);
            if (found->Value.empty()) found->Value = value;
            if (value.find('|') != std::string::npos) {
                found->Choices = Split(value, '|');
            } else if (found->Choices.empty() && !value.empty()) {
                found->Choices = ListedChoices(description);
            }
        }
        pending.clear();
    };
    // A bracket closes what it opened: "[--force] FILE..." is a switch.
    std::string cleaned;
    for (const char c : text) {
        if (c == ']')
            cleaned += " ] ";
        else
            cleaned += c == '[' || c == ',' ? ' ' : c;
    }
    for (const std::string& word : Words(cleaned)) {
        if (word == "]") {
            flush("");
        } else if (word.size() > 1 && word[0] == '-' && word != "--") {
            if (!pending.empty() && pending.back().rfind("--", 0) == 0) flush("");
            pending.push_back(word.substr(0, word.find('=')));
        } else {
            flush(IsPlaceholder(word) ? word : "");
        }
    }
    flush("");
}

}  // namespace

THelpText ParseHelpText(const std::string& text) {
    THelpText help;
    const std::vector<std::string> lines = Lines(text);
    std::size_t i = 0;
    const std::string usage = "Usage: ";
    if (!lines.empty() && lines[0].rfind(usage, 0) == 0) {
        const std::size_t column = usage.size();
        for (; i < lines.size() && !Trim(lines[i]).empty(); ++i) {
            const std::string& line = lines[i];
            if (i == 0 || Indent(line) == column)
                help.Usages.push_back(Trim(line.substr(i == 0 ? column : 0)));
            else
                AddTo(help.Usages.back(), Trim(line));
        }
    }
    THelpBlock* block = nullptr;
    auto start = [&](THelpBlock::TKind kind) {
        if (!block || block->Kind != kind) {
            help.Blocks.push_back({kind, {}, {}});
            block = &help.Blocks.back();
        }
    };
    for (; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (Trim(line).empty()) {
            block = nullptr;
            continue;
        }
        const std::size_t indent = Indent(line);
        const bool entryNext = i + 1 < lines.size() && Indent(lines[i + 1]) == 2 && !Trim(lines[i + 1]).empty();
        if (indent == 0) {
            const bool heading = line.back() == ':' && entryNext;
            if (heading) block = nullptr;
            start(heading ? THelpBlock::TKind::Heading : THelpBlock::TKind::Text);
            block->Lines.push_back(line);
            if (heading) block = nullptr;
        } else if (indent == 2) {
            start(THelpBlock::TKind::Entries);
            const bool continued = i + 1 < lines.size() && Indent(lines[i + 1]) > 2 && !Trim(lines[i + 1]).empty();
            const std::size_t column = DescriptionColumn(line, continued ? Indent(lines[i + 1]) : std::string::npos);
            THelpEntry entry;
            entry.Term = Trim(line.substr(0, column));
            if (column != std::string::npos) entry.Description = Trim(line.substr(column));
            block->Entries.push_back(entry);
        } else if (block && block->Kind == THelpBlock::TKind::Entries) {
            AddTo(block->Entries.back().Description, Trim(line));
        } else {
            start(THelpBlock::TKind::Text);
            block->Lines.push_back(Trim(line));
        }
    }
    return help;
}

std::vector<THelpOption> HelpOptions(const THelpText& help) {
    std::vector<THelpOption> options;
    for (const THelpBlock& block : help.Blocks)
        for (const THelpEntry& entry : block.Entries)
            if (!entry.Term.empty() && entry.Term[0] == '-') ReadOptions(entry.Term, entry.Description, options);
    for (const std::string& usage : help.Usages) ReadOptions(usage, {}, options);
    return options;
}
