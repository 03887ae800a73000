#pragma once
#include <string>
#include <vector>

// A help text as the programs print it, read back into its parts: the usage
// lines, then blocks of running text and of two-column entries
// ("  --size N      grid size ..."). Headings are text lines ending in ':'.
struct THelpEntry {
    std::string Term;         // "-o, --output FILE"
    std::string Description;  // its lines joined by spaces
};

struct THelpBlock {
    enum class TKind { Text, Heading, Entries } Kind = TKind::Text;
    std::vector<std::string> Lines;  // Text and Heading
    std::vector<THelpEntry> Entries;
};

struct THelpText {
    std::vector<std::string> Usages;  // without "Usage:", each joined to one line
    std::vector<THelpBlock> Blocks;
};

THelpText ParseHelpText(const std::string& text);

// The options a help text names, in its entries and in its usage lines.
struct THelpOption {
    std::vector<std::string> Names;  // "-o", "--output"
    std::string Value;               // "FILE"; empty for a switch
    std::vector<std::string> Choices;
};
std::vector<THelpOption> HelpOptions(const THelpText& help);
