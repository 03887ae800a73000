// The colour-correction decoder. An even first byte passes the rest as the
// whole document; an odd one cuts the rest at line feeds into the slope,
// offset, power and saturation texts of an otherwise well-formed document,
// so the number decoding gets most of the work. Whatever was read must then
// go through ApplyCDL and the 33-point cube without undefined behaviour.
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/lut/LUT.h"
#include "formats/AscCdlFormat.h"
#include "formats/FormatRegistry.h"
#include "fuzz/FuzzSupport.h"

namespace {

std::string FromFields(std::string_view rest) {
    std::array<std::string, 4> fields{"1 1 1", "0 0 0", "1 1 1", "1"};
    for (std::string& field : fields) {
        if (rest.empty()) break;
        const std::size_t end = rest.find('\n');
        field = std::string(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<ColorCorrection id=\"fuzz\">\n<SOPNode>\n"
           "<Slope>" +
           fields[0] +
           "</Slope>\n"
           "<Offset>" +
           fields[1] +
           "</Offset>\n"
           "<Power>" +
           fields[2] +
           "</Power>\n"
           "</SOPNode>\n<SATNode>\n<Saturation>" +
           fields[3] +
           "</Saturation>\n</SATNode>\n"
           "</ColorCorrection>\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string document = data[0] % 2 == 0 ? std::string(rest) : FromFields(rest);
    const std::string fileName = fuzz::WriteScratchFile(document, ".cc");

    TCDLData cdl;
    bool read = false;
    fuzz::ExpectOnlyEError("ReadCDLFile", [&] {
        ReadCDLFile(fileName, cdl);
        read = true;
    });
    if (!read) return 0;
    static const float kInputs[] = {-0.5f, 0.0f, 0.25f, 1.0f, 2.0f};
    for (float r : kInputs)
        for (float g : kInputs) {
            float outRed, outGreen, outBlue;
            ApplyCDL(cdl, r, g, 1.0f - r, outRed, outGreen, outBlue);
        }

    TLUT& lut = fuzz::SharedLut();
    lut.Comments.clear();
    static const TLUTFormat& format = *FindLutFormat("asc-cdl");
    bool loaded = false;
    fuzz::ExpectOnlyEError("ASC CDL", [&] {
        format.LoadFromFile(fileName, lut);
        loaded = true;
    });
    // The file road also refuses a power of zero or below (or not a
    // number), which the decoder passes on.
    const bool powersUsable = cdl.Red.Power > 0 && cdl.Green.Power > 0 && cdl.Blue.Power > 0;
    if (!loaded && powersUsable) fuzz::Fail("ASC CDL", "the format refused a file ReadCDLFile accepted");
    if (loaded && !powersUsable) fuzz::Fail("ASC CDL", "the format read a correction with a power of zero or below");
    if (!loaded) return 0;
    if (lut.Kind != lkCube || lut.CubeSize != 33)
        fuzz::Fail("ASC CDL", "the correction did not become a 33-point cube");
    fuzz::ExerciseLookups(lut);
    return 0;
}
