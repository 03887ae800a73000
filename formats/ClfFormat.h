#pragma once
#include <string>
#include <string_view>

class TLUT;

// The Common LUT Format's reader and writers, for code that keeps a LUT
// inside a document of its own (ClfFormat.cpp describes the format).

void ReadClf(std::string_view text, const std::string& name, TLUT& lut);
// The file the "clf" profile writes: nine significant digits a value.
std::string WriteClf(const TLUT& lut, const std::string& name);
// The LUT's tables with every value in the fewest digits that read back as
// exactly that double, and its comments; no name. ReadClf gives back the
// same kind, sizes, values and comments (trimmed). EError for a LUT that
// holds a chain of operations, which tables do not keep exactly.
std::string WriteExactClf(const TLUT& lut);

// The CLF ProcessList inside an XML text; false for every other text.
bool LooksLikeClf(std::string_view head);
