#pragma once
#include <string>

#include "engine/picture/Image.h"

// The reference's 150 x 150 thumbnail cell as a look document keeps it:
// an 8-bit RGB PNG (the program's own PNG writer, lossless), in base64.

std::string CellText(const TImage& cell);
// The cell back, pixel for pixel. EError (without the file's name) for
// text that is not base64, a damaged PNG, or one of another size than
// 150 x 150 (refused from its header, before it is decoded).
TImage CellFromText(const std::string& text);
