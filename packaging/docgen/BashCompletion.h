#pragma once
#include <string>
#include <vector>

#include "packaging/docgen/HelpText.h"

// The bash completion of a program with commands, written from the help
// texts: the commands, each command's options with what their values take,
// and its arguments in order. Lists that change at run time (profiles,
// footage spaces, library files) are asked of the program as it completes.
class TBashCompletion {
public:
    TBashCompletion(std::string program, std::vector<std::string> pictureExtensions,
                    std::vector<std::string> lutExtensions);

    void AddCommand(const std::string& name, const THelpText& help);

    std::string Script() const;

private:
    struct TCommand {
        std::string Name;
        std::vector<THelpOption> Options;
        std::vector<std::string> Usages;  // the arguments, as kinds
    };
    std::string Kind(const std::string& command, const std::string& placeholder, const std::string& option) const;
    std::string CommandFunction(const TCommand& command) const;

    std::string program_;
    std::vector<std::string> pictureExtensions_;
    std::vector<std::string> lutExtensions_;
    std::vector<TCommand> commands_;
};
