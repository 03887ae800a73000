// The hex-coded float decoder of the look format. The bytes are first read
// as one run of hex values, checking the position bookkeeping; then they
// become the data of a look whose size the first byte chooses (the small
// sizes, the edges of the cube and a few that must be refused), read
// through the format.
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/lut/LUT.h"
#include "formats/AscCdlFormat.h"
#include "formats/FormatRegistry.h"
#include "formats/FormatText.h"
#include "fuzz/FuzzSupport.h"

namespace {

void DecodeAll(std::string_view text) {
    std::size_t position = 0;
    for (;;) {
        const std::size_t before = position;
        float value = 0.0f;
        const bool more = ReadHexSingle(text, position, value);
        if (position > text.size()) fuzz::Fail("ReadHexSingle", "the position ran past the text");
        if (!more) {
            if (position != text.size())
                fuzz::Fail("ReadHexSingle", "a failed read did not end at the end of the text");
            return;
        }
        if (position < before + 8) fuzz::Fail("ReadHexSingle", "eight digits took fewer than eight characters");
        if (std::isnan(value)) fuzz::Fail("ReadHexSingle", "a NaN was passed on");
    }
}

std::string SizeText(std::uint8_t choice) {
    static const char* const kOdd[] = {"0", "1", "-1", "101", "102", "2147483648", "\"3\"", "\"", "x", ""};
    if (choice < 16) return std::to_string(choice);
    return kOdd[choice % std::size(kOdd)];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    DecodeAll(rest);

    const std::string document = "<?xml version=\"1.0\"?>\n<look>\n<shaders/>\n<lut>\n<size>" + SizeText(data[0]) +
                                 "</size>\n<data>" + std::string(rest) + "</data>\n</lut>\n</look>\n";
    const std::string fileName = fuzz::WriteScratchFile(document, ".look");
    TLUT& lut = fuzz::SharedLut();
    lut.Kind = lkCube;
    lut.CubeSize = 0;
    static const TLUTFormat& format = *FindLutFormat("speedgrade-look-3d");
    bool loaded = false;
    fuzz::ExpectOnlyEError("Speedgrade look", [&] {
        format.LoadFromFile(fileName, lut);
        loaded = true;
    });
    fuzz::CheckLutSizes(lut, "Speedgrade look");
    if (loaded) fuzz::ExerciseLookups(lut);
    return 0;
}
