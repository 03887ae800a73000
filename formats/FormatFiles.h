#pragma once
// What the LUT formats read from and know about files by name: the head of a
// file for detection, keyword detection, and the parts of a file name.
#include <string>
#include <string_view>
#include <vector>

#include "fileio/FileNames.h"

// Detection reads at most this many bytes from the start of a file, once,
// and gives them to every format; each looks at as many as it needs.
constexpr std::size_t kDetectionHeadBytes = 64 * 1024;

// The head detection looks at: the first kDetectionHeadBytes bytes of the
// file. What is not a regular file is refused (EError naming the file).
std::string ReadDetectionHead(const std::string& fileName);

// Keyword detection on the first 4096 bytes of the file, compared upper-cased.
// Both lists are comma-separated; blanks and control characters separate
// items too and a double quote opens a quoted item. False when an excluded
// keyword occurs or a required one does not.
bool HasKeywords(const std::string& fileName, std::string_view required, std::string_view excluded);

// The same test on text already read (the first 4096 bytes of it count).
bool TextHasKeywords(std::string_view text, std::string_view required, std::string_view excluded);

// Splits a keyword list as HasKeywords does.
std::vector<std::string> SplitKeywordList(std::string_view list);

// The file name without folder and without extension.
std::string BaseNameWithoutExtension(const std::string& fileName);
