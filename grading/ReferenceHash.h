#pragma once
#include <string>

// The SHA-256 of a reference file's bytes in lowercase hex, as a look
// document names its reference. EError naming the file when it cannot be
// read (ReadFileBytes, within the picture size limit).
std::string ReferenceFileHash(const std::string& fileName);

// True for 64 lowercase hex digits.
bool IsReferenceHash(const std::string& text);
