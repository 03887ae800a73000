#pragma once
#include <string_view>

// The texts --help prints, for the program and for each command.
extern const std::string_view kProgramHelp;
extern const std::string_view kProfilesHelp;
extern const std::string_view kFormatsHelp;
extern const std::string_view kLookHelp;
extern const std::string_view kGradeHelp;
extern const std::string_view kLookInfoHelp;
extern const std::string_view kConvertHelp;
extern const std::string_view kApplyHelp;
extern const std::string_view kLibraryHelp;
extern const std::string_view kFootageHelp;
extern const std::string_view kStatsHelp;
extern const std::string_view kScopesHelp;
extern const std::string_view kLearnHelp;
extern const std::string_view kMatchHelp;
extern const std::string_view kJoinHelp;

// Prints a help text to standard output, its lists of picture types filled
// in from the picture-format table (see cli/PictureHelp.h), and returns the
// success status.
int PrintHelp(std::string_view text);
