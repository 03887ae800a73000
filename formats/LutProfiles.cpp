#include "formats/LutProfiles.h"

#include <charconv>
#include <system_error>

#include "engine/base/Error.h"
#include "formats/FormatRegistry.h"
#include "formats/FormatText.h"
#include "formats/LutFormat.h"

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EndsWithNoCase(const std::string& text, const std::string& tail) {
    if (tail.size() > text.size()) return false;
    const std::size_t start = text.size() - tail.size();
    for (std::size_t i = 0; i < tail.size(); ++i)
        if (LowerAscii(text[start + i]) != LowerAscii(tail[i])) return false;
    return true;
}

}  // namespace

bool FormatReads(int formatIndex) {
    const TLUTFormat* format = GetLutFormat(formatIndex);
    return format && format->Info().Reads;
}

bool FormatWrites(int formatIndex) {
    const TLUTFormat* format = GetLutFormat(formatIndex);
    return format && format->Info().Writes;
}

TLUTFormat& ProfileFormat(const TLutOutputProfile& profile) {
    TLUTFormat* format = GetLutFormat(profile.FormatIndex);
    if (!format)
        throw EError("The profile " + Quoted(profile.Name) + " names no format (index " +
                     std::to_string(profile.FormatIndex) + ").");
    return *format;
}

bool ProfileIs3D(const TLutOutputProfile& profile) {
    const TLUTFormat* format = GetLutFormat(profile.FormatIndex);
    return format && format->Is3D;
}

const TLutOutputProfile* FindOutputProfile(const std::string& nameOrNumber) {
    const auto& profiles = LutOutputProfiles();
    for (const auto& profile : profiles)
        if (profile->Name == nameOrNumber) return profile.get();

    int number = 0;
    const char* first = nameOrNumber.data();
    const char* last = first + nameOrNumber.size();
    const auto [end, error] = std::from_chars(first, last, number);
    if (nameOrNumber.empty() || error != std::errc() || end != last) return nullptr;
    if (number < 1 || static_cast<std::size_t>(number) > profiles.size()) return nullptr;
    return profiles[static_cast<std::size_t>(number - 1)].get();
}

const TLutOutputProfile* FindProfileForFile(const std::string& fileName, bool want3D) {
    for (const auto& profile : LutOutputProfiles())
        if (ProfileIs3D(*profile) == want3D && !profile->Extension.empty() &&
            EndsWithNoCase(fileName, "." + profile->Extension))
            return profile.get();
    return nullptr;
}
