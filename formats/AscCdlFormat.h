#pragma once
#include <string>
#include <string_view>

#include "formats/CdlMaths.h"
#include "formats/LutFormat.h"

// Parses one ColorCorrection document. Missing elements raise EError
// 'The "name" node is not found'; bad numbers raise ELUTError.
void ReadCDLText(std::string_view text, TCDLData& data);
// The same for a file (the size limit and file errors of ReadFileBytes).
void ReadCDLFile(const std::string& fileName, TCDLData& data);
