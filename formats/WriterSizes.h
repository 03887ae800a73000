#pragma once
#include <string>

#include "engine/base/Error.h"

class TLUTFormat;

// A grid size or curve length the target format cannot hold; the message
// says which it takes.
class ESizeError : public EError {
public:
    using EError::EError;
};

// Grid sizes a format's writer can hold at a bit depth. Most 3D formats
// take every size of 2..101 and 1D formats every length of 2..100001; a
// few accept fewer (Autodesk Lustre 3D 2^k + 1 points, FSI DIT 64 points,
// Codex 1D 2^bits entries, since its reader divides by the length).
bool WriterTakesSize(const TLUTFormat& format, int size, int bits);
// The sizes as text for a message: "2 to 101", "2, 3, 5, 9, 17, 33 or 65", "64".
std::string WriterSizesText(const TLUTFormat& format, int bits);
// The one size a format holds at this bit depth, or 0 when it holds more.
int WriterOnlySize(const TLUTFormat& format, int bits);
