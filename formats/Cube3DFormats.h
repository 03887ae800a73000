#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "InputDomain.h"
#include "LutFormat.h"

// The cube family: a size keyword followed by one line of three decimals per
// grid point, red index fastest. Cube 3D is the model; Truelight and FSI CFE
// differ in their header and detection.
//
// A Cube 3D file may carry a 1D shaper: "LUT_1D_SIZE M" in the header, then
// M data lines of the shaper ahead of the cube lines. The shaper is read into
// the curve (its values are already in the cube's 0..1 domain) and the LUT
// applies curve then cube. An input range other than 0..1 for either section
// of such a file cannot be represented and is refused.
class TCube3DLutFormat : public TGenericLutFormat {
public:
    TCube3DLutFormat();
    bool CanRead(const std::string& fileName) const override;
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

// Truelight cube text. Files from other programs may carry a 1D input table
// (grid-index units 0..N-1) between "# InputLUT" and "# Cube"; it is read into
// the curve and the LUT then applies curve and cube.
class TCube3DTruelightLutFormat : public TCube3DLutFormat {
public:
    TCube3DTruelightLutFormat();
    bool CanRead(const std::string& fileName) const override;
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
    void ParseHeaderLine(const std::string& line, TLUT& lut, TCubeState& state) const override;

private:
    struct TTruelightState : TCubeState {
        std::int32_t InputLength = -1;  // "# lutLength", -1 when not given
        bool InInputTable = false;
        bool HasInputTable = false;
    };
    static void ParseMarker(std::string_view comment, TTruelightState& state);
    static void ParseInputLine(const std::string& line, TLUT& lut, TTruelightState& state);
};

class TFSI_CFE_3DLutFormat : public TCube3DLutFormat {
public:
    TFSI_CFE_3DLutFormat();
    bool CanRead(const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;
};

// A 1D shaper table ahead of the cube.
class TNucoda3DLutFormat : public TGenericLutFormat {
public:
    // Entries of the shaper the writer puts ahead of the cube.
    static constexpr std::int32_t kShaperLength = 4096;

    TNucoda3DLutFormat();
    bool CanRead(const std::string& fileName) const override;
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;

private:
    struct TNucodaState : TLutReadState {
        TNucodaState() : TLutReadState(true) {}
        std::int64_t Expected() const override;
        std::int32_t CurveLength = 0;
        std::int32_t CubeType = 0;
        bool HasCurve = false;
        bool HasCube = false;
    };
    static void ParseDataLine(const std::string& line, TLUT& lut, TNucodaState& state);
};

// Integers at a bit depth, blue index fastest.
class TCodex3DLutFormat : public TGenericLutFormat {
public:
    // The bit depth the reader assumes.
    static constexpr int kReadBits = 12;

    TCodex3DLutFormat();
    bool CanRead(const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};
