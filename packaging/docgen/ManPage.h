#pragma once
#include <string>
#include <vector>

#include "packaging/docgen/HelpText.h"

// A manual page in section 1 written from help texts: the program's own
// help gives the name line, the synopsis and the description; each command
// of a program with commands gets a subsection with its help.
class TManPage {
public:
    TManPage(std::string program, std::string version);

    void SetProgramHelp(const THelpText& help);
    void AddCommand(const std::string& name, const THelpText& help);
    void AddSeeAlso(const std::string& page);

    std::string Roff() const;

private:
    std::string program_;
    std::string version_;
    THelpText help_;
    std::vector<std::pair<std::string, THelpText>> commands_;
    std::vector<std::string> seeAlso_;
};

// Text for a roff input line: backslashes, leading dots and quotes, and the
// dashes of options escaped.
std::string RoffText(const std::string& text);
