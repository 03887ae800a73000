#include "formats/WriterSizes.h"

#include "formats/LutFormat.h"

bool WriterTakesSize(const TLUTFormat& format, int size, int bits) { return format.Info().TakesSize(size, bits); }

std::string WriterSizesText(const TLUTFormat& format, int bits) { return format.Info().SizesText(bits); }

int WriterOnlySize(const TLUTFormat& format, int bits) { return format.Info().OnlySize(bits); }
