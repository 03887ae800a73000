#pragma once
#include <memory>
#include <string>

class TLUT;

// A kept LUT as a look document holds it: a Common LUT Format document with
// every value in its exact shortest form, so the LUT reads back with
// exactly its values, kind, sizes and comments.

// The largest kept LUT read (a 101-point cube in exact decimals is about
// 60 MB).
constexpr std::size_t kMaxKeptLutBytes = 80u * 1024 * 1024;

// EError for a LUT that is a chain of operations rather than its tables, or
// one holding NaN, an infinity or a magnitude beyond a 32-bit float's,
// which would not come back as it is.
std::string KeptLutText(const TLUT& lut);
// EError (without the file's name) for a text beyond kMaxKeptLutBytes, one
// the CLF reader refuses, or one of other operators than a curve and a
// cube, which could not be written again.
std::shared_ptr<const TLUT> KeptLutFromText(const std::string& text);

// A LUT of its own holding the same tables, kind and comments (no chain).
std::unique_ptr<TLUT> CopyLutTables(const TLUT& lut);
