#pragma once
#include <map>
#include <string>
#include <vector>

class TArguments;

// The files a command reads, so that none of them is ever written: an
// output is refused when it names one of them, compared by the path with
// every link resolved and by the path with its folder resolved (the output
// need not exist yet; a link named as the output is itself taken as the
// file it leads to).
class TInputFiles {
public:
    TInputFiles() = default;
    explicit TInputFiles(const std::vector<std::string>& files);

    void Add(const std::string& file);
    // The input (as given) that output would overwrite, or nullptr.
    const std::string* Overwritten(const std::string& output) const;
    // Raises EUsageError "the output "OUTPUT" would overwrite the input
    // "INPUT"" when it would.
    void CheckOutput(const std::string& output) const;

private:
    std::map<std::string, std::string> byPath_;
};

// The files the command line names for reading: the positionals and the
// values of the given options.
TInputFiles InputFilesOf(const TArguments& arguments, const std::vector<std::string>& options);
