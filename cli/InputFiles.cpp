#include "cli/InputFiles.h"

#include <filesystem>

#include "cli/Arguments.h"

namespace fs = std::filesystem;

namespace {

// The path with its folder resolved and with every link resolved (the
// missing tail of either kept as written).
std::vector<std::string> ResolvedForms(const std::string& file) {
    std::error_code error;
    const fs::path absolute = fs::absolute(file, error);
    std::vector<std::string> forms;
    const fs::path whole = fs::weakly_canonical(absolute, error);
    forms.push_back(error ? absolute.lexically_normal().string() : whole.string());
    const fs::path name = absolute.filename();
    if (!name.empty() && name != "." && name != "..") {
        const fs::path folder = fs::weakly_canonical(absolute.parent_path(), error);
        forms.push_back(((error ? absolute.parent_path().lexically_normal() : folder) / name).string());
    }
    return forms;
}

}  // namespace

TInputFiles::TInputFiles(const std::vector<std::string>& files) {
    for (const std::string& file : files) Add(file);
}

void TInputFiles::Add(const std::string& file) {
    for (std::string& form : ResolvedForms(file)) byPath_.emplace(std::move(form), file);
}

const std::string* TInputFiles::Overwritten(const std::string& output) const {
    for (const std::string& form : ResolvedForms(output))
        if (const auto found = byPath_.find(form); found != byPath_.end()) return &found->second;
    return nullptr;
}

void TInputFiles::CheckOutput(const std::string& output) const {
    if (const std::string* input = Overwritten(output))
        throw EUsageError("the output \"" + output + "\" would overwrite the input \"" + *input + "\"");
}

TInputFiles InputFilesOf(const TArguments& arguments, const std::vector<std::string>& options) {
    TInputFiles inputs(arguments.Positionals());
    for (const std::string& option : options)
        if (arguments.Has(option) && !arguments.Value(option).empty()) inputs.Add(arguments.Value(option));
    return inputs;
}
