#include "formats/LutDetection.h"

#include <filesystem>
#include <system_error>

#include "engine/base/Error.h"
#include "formats/FormatFiles.h"
#include "formats/FormatRegistry.h"
#include "formats/FormatText.h"
#include "formats/LutFormat.h"

namespace {

// A reader's message with the file named in front, unless it names it.
std::string NamingFile(const std::string& fileName, const std::string& message) {
    if (message.find(fileName) != std::string::npos) return message;
    return Quoted(fileName) + ": " + message;
}

}  // namespace

int FindReaderFormat(const std::string& fileName) {
    const std::string head = ReadDetectionHead(fileName);
    for (const int index : LutDetectionOrder())
        if (GetLutFormat(index)->CanRead(head, fileName)) return index;
    return -1;
}

std::unique_ptr<TLUT> ReadLutFile(const std::string& fileName, int* formatIndex) {
    std::error_code error;
    const auto status = std::filesystem::status(fileName, error);
    if (error || !std::filesystem::exists(status))
        throw EError("Cannot open " + Quoted(fileName) + ": " +
                     (error ? error.message() : std::string("No such file or directory")));
    if (std::filesystem::is_directory(status)) throw EError("Cannot read " + Quoted(fileName) + ": it is a folder.");

    auto lut = std::make_unique<TLUT>();
    int index = -1;
    try {
        index = FindReaderFormat(fileName);
        if (index < 0) throw EError("No known LUT format reads " + Quoted(fileName) + ".");
        GetLutFormat(index)->LoadFromFile(fileName, *lut);
    } catch (const ELUTError& error) {
        throw ELUTError(NamingFile(fileName, error.what()));
    } catch (const std::exception& error) {
        throw EError(NamingFile(fileName, error.what()));
    }
    if (formatIndex) *formatIndex = index;
    return lut;
}
