#include "grading/ExportLook.h"

#include "formats/LookExport.h"
#include "formats/LutConvert.h"

void ExportLookFile(const TLookSettings& settings, const TLutFile& file, const TFootageConversion* footage) {
    ExportLook(settings, *file.Profile, file.Size, file.Bits, file.Name, footage);
}

void ExportLutFile(const TLUT& lut, const TLutFile& file) {
    WriteConverted(lut, file.Name, *file.Profile, file.Size, file.Bits);
}
