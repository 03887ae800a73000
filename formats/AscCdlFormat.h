#pragma once
#include <string>
#include <string_view>

#include "CdlMaths.h"
#include "LutFormat.h"

// One ColorCorrection document turned into a 33-point cube. Read only.
class TASC_CDL_Format : public TGenericLutFormat {
public:
    TASC_CDL_Format();
    bool CanRead(const std::string& fileName) const override;
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;
    // No writer: raises ELUTError.
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;
};

// Parses one ColorCorrection document. Missing elements raise EError
// 'The "name" node is not found'; bad numbers raise ELUTError.
void ReadCDLText(std::string_view text, TCDLData& data);
// The same for a file (the size limit and file errors of ReadFileBytes).
void ReadCDLFile(const std::string& fileName, TCDLData& data);
