#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "formats/InputDomain.h"
#include "formats/LutFormat.h"

// A Cube 3D file may carry a 1D shaper: "LUT_1D_SIZE M" in the header, then
// M data lines of the shaper ahead of the cube lines. The shaper is read into
// the curve (its values are already in the cube's 0..1 domain) and the LUT
// applies curve then cube. An input range other than 0..1 for either section
// of such a file cannot be represented and is refused.
class TCube3DLutFormat : public TGenericLutFormat {
public:
    TCube3DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    // The reading state of the cube family.
    struct TCubeState : TLutReadState {
        TCubeState() : TLutReadState(true) {}
        std::int32_t ShaperLength = -1;  // "LUT_1D_SIZE", -1 when not given
        std::string UnsupportedRange;    // the first input range that is not 0..1
        bool InData = false;             // a data line has been met after the size
        TInputDomain CubeDomain;         // DOMAIN_MIN/MAX, LUT_3D_INPUT_RANGE
        TInputDomain CurveDomain;        // LUT_1D_INPUT_RANGE
    };

    TCube3DLutFormat(TLutFormatInfo info, bool readsShaper)
        : TGenericLutFormat(std::move(info)), ReadsShaper(readsShaper) {}
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
    // Lines met before the size is known.
    virtual void ParseHeaderLine(const std::string& line, TLUT& lut, TCubeState& state) const;
    // After the line loop: the shaper, when the file declared one, else the
    // cube's declared input range baked in.
    void FinishShaper(TLUT& lut, const TCubeState& state) const;

private:
    // The shaper keywords, when the line starts with one of them.
    void ParseShaperKeyword(std::string_view line, TCubeState& state) const;
    // At the first data line: the header is complete.
    void CheckShaperHeader(const TCubeState& state) const;

    bool ReadsShaper = true;  // the format knows the shaper keywords
};
