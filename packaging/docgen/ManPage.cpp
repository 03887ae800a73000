#include "packaging/docgen/ManPage.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace {

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Words written as they are typed in bold, placeholders (FILE, N, ...) in
// italics.
std::string Term(const std::string& term) {
    std::string out;
    std::istringstream in(term);
    bool first = true;
    for (std::string word; in >> word;) {
        if (!first) out += ' ';
        first = false;
        std::string comma;
        if (word.size() > 1 && word.back() == ',') {
            comma = ",";
            word.pop_back();
        }
        const bool placeholder =
            std::none_of(word.begin(), word.end(), [](char c) { return std::islower(static_cast<unsigned char>(c)); });
        const bool option = word[0] == '-';
        out += (placeholder && !option ? "\\fI" : "\\fB") + RoffText(word) + "\\fR" + comma;
    }
    return out;
}

void Paragraph(std::ostringstream& out, const std::vector<std::string>& lines) {
    out << ".PP\n";
    for (const std::string& line : lines) out << RoffText(line) << '\n';
}

void Usage(std::ostringstream& out, const std::string& usage, const std::string& program) {
    // A hanging indent, so that a usage too long for one line reads as one.
    out << ".PP\n.in +4n\n.ti -4n\n";
    std::string rest = usage;
    if (rest.rfind(program, 0) == 0) {
        out << "\\fB" << RoffText(program) << "\\fR";
        rest = rest.substr(program.size());
    }
    out << RoffText(rest) << "\n.in\n";
}

void Blocks(std::ostringstream& out, const std::vector<THelpBlock>& blocks, std::size_t skip) {
    for (std::size_t i = skip; i < blocks.size(); ++i) {
        const THelpBlock& block = blocks[i];
        switch (block.Kind) {
            case THelpBlock::TKind::Text:
                Paragraph(out, block.Lines);
                break;
            case THelpBlock::TKind::Heading:
                out << ".PP\n\\fB" << RoffText(block.Lines.front()) << "\\fR\n";
                break;
            case THelpBlock::TKind::Entries:
                for (const THelpEntry& entry : block.Entries) {
                    out << ".TP\n" << Term(entry.Term) << '\n';
                    if (!entry.Description.empty()) out << RoffText(entry.Description) << '\n';
                }
                break;
        }
    }
}

}  // namespace

std::string RoffText(const std::string& text) {
    std::string out;
    bool wordStart = true;
    bool inOption = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (wordStart) inOption = c == '-';
        if (c == '\\')
            out += "\\e";
        else if (c == '-' && inOption)
            out += "\\-";
        else
            out += c;
        wordStart = c == ' ' || c == '[' || c == '(' || c == '\'' || c == '"' || c == '|';
        if (wordStart) inOption = false;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out = "\\&" + out;
    return out;
}

TManPage::TManPage(std::string program, std::string version)
    : program_(std::move(program)), version_(std::move(version)) {}

void TManPage::SetProgramHelp(const THelpText& help) { help_ = help; }

void TManPage::AddCommand(const std::string& name, const THelpText& help) { commands_.emplace_back(name, help); }

void TManPage::AddSeeAlso(const std::string& page) { seeAlso_.push_back(page); }

std::string TManPage::Roff() const {
    std::ostringstream out;
    out << ".TH " << RoffText(Upper(program_)) << " 1 \"\" \"" << RoffText(version_) << "\" \"User Commands\"\n";
    // The name line: the program and the first sentence of its help.
    std::string summary;
    if (!help_.Blocks.empty() && help_.Blocks.front().Kind == THelpBlock::TKind::Text)
        for (const std::string& line : help_.Blocks.front().Lines) summary += (summary.empty() ? "" : " ") + line;
    out << ".SH NAME\n" << RoffText(program_) << " \\- " << RoffText(summary) << '\n';
    out << ".SH SYNOPSIS\n";
    for (const std::string& usage : help_.Usages) Usage(out, usage, program_);
    out << ".SH DESCRIPTION\n";
    Blocks(out, help_.Blocks, summary.empty() ? 0 : 1);
    if (!commands_.empty()) {
        out << ".SH COMMANDS\n";
        for (const auto& [name, help] : commands_) {
            out << ".SS " << RoffText(name) << '\n';
            for (const std::string& usage : help.Usages) Usage(out, usage, program_);
            Blocks(out, help.Blocks, 0);
        }
    }
    if (!seeAlso_.empty()) {
        out << ".SH SEE ALSO\n";
        for (std::size_t i = 0; i < seeAlso_.size(); ++i) {
            const std::string& page = seeAlso_[i];
            const std::size_t open = page.find('(');
            out << ".BR " << RoffText(page.substr(0, open)) << ' ' << page.substr(open)
                << (i + 1 < seeAlso_.size() ? "," : "") << '\n';
        }
    }
    return out.str();
}
