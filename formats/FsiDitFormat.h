#pragma once
#include <string>

#include "LutFormat.h"

// A binary 64-point cube: a 128-byte header and one little-endian 32-bit word
// per grid point (10 bits per channel, full scale 1008), red index fastest.
class TFSI_DIT_3DLutFormat : public TLUTFormat {
public:
    static constexpr int kGridSize = 64;
    static constexpr int kHeaderBytes = 128;
    static constexpr std::uint32_t kMagic = 0x42340299;
    static constexpr double kFullScale = 1008.0;

    TFSI_DIT_3DLutFormat();
    bool CanRead(const std::string& fileName) const override;
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;
};
