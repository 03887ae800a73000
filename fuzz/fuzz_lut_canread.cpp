// CanRead of every format on the same file. The first input byte picks the
// file's extension (some formats decide by it), the rest is the file.
// Detection answers or raises EError, and never changes the file.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>

#include "formats/LutFormat.h"
#include "fuzz/FuzzSupport.h"

namespace {

std::string ReadBack(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const auto& extensions = fuzz::LutExtensions();
    const std::string& extension = extensions[data[0] % extensions.size()];
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string fileName = fuzz::WriteScratchFile(bytes, extension);
    for (const TLUTFormat* format : fuzz::Formats())
        fuzz::ExpectOnlyEError(format->Name.c_str(), [&] { (void)format->CanRead(fileName); });
    if (ReadBack(fileName) != bytes) fuzz::Fail("CanRead", "detection changed the file");
    return 0;
}
