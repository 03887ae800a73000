#pragma once
#include <string>
#include <vector>

// The commands of ombrane-cli. Each gets the words after its own name,
// writes its results to standard output and returns the exit status;
// failures are raised (EUsageError for a bad command line, EError for the
// rest) and reported by main.
int RunProfiles(const std::vector<std::string>& words);
int RunFormats(const std::vector<std::string>& words);
int RunLook(const std::vector<std::string>& words);
int RunGrade(const std::vector<std::string>& words);
int RunConvert(const std::vector<std::string>& words);
int RunApply(const std::vector<std::string>& words);
int RunLibrary(const std::vector<std::string>& words);
int RunFootage(const std::vector<std::string>& words);
int RunStats(const std::vector<std::string>& words);
int RunScopes(const std::vector<std::string>& words);
int RunLearn(const std::vector<std::string>& words);
int RunLookInfo(const std::vector<std::string>& words);
int RunMatch(const std::vector<std::string>& words);
int RunJoin(const std::vector<std::string>& words);
