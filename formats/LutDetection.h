#pragma once
#include <memory>
#include <string>

#include "engine/lut/LUT.h"

// Choosing the reader of a LUT file and reading it.

// Index of the first format in detection order (LutDetectionOrder) whose CanRead accepts the
// file, or -1 when none does. The head of the file is read once for all
// formats; a file that cannot be read raises that error.
int FindReaderFormat(const std::string& fileName);

// Reads a LUT file with the first format that accepts it. A missing file or
// one no format reads raises EError naming the file; a reader's error is
// raised again with the file named in front. formatIndex, when given,
// receives the index of the format that read it.
std::unique_ptr<TLUT> ReadLutFile(const std::string& fileName, int* formatIndex = nullptr);
