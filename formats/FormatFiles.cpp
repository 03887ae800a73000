#include "formats/FormatFiles.h"

#include "fileio/FileRead.h"
#include "formats/FormatText.h"

namespace {

// Detection looks at this many bytes from the start of a file.
constexpr std::size_t kDetectionBytes = 4096;

}  // namespace

std::string ReadDetectionHead(const std::string& fileName) { return ReadFileHead(fileName, kDetectionHeadBytes); }

std::vector<std::string> SplitKeywordList(std::string_view list) {
    std::vector<std::string> items;
    std::size_t i = 0;
    const std::size_t n = list.size();
    auto skipBlanks = [&] {
        while (i < n && IsBlank(list[i])) ++i;
    };
    skipBlanks();
    while (i < n) {
        std::string item;
        if (list[i] == '"') {
            ++i;
            while (i < n) {
                if (list[i] == '"') {
                    if (i + 1 < n && list[i + 1] == '"') {
                        item += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += list[i++];
            }
        } else {
            while (i < n && !IsBlank(list[i]) && list[i] != ',') item += list[i++];
        }
        if (!item.empty()) items.push_back(std::move(item));
        skipBlanks();
        if (i < n && list[i] == ',') {
            ++i;
            skipBlanks();
        }
    }
    return items;
}

bool HasKeywords(const std::string& fileName, std::string_view required, std::string_view excluded) {
    return TextHasKeywords(ReadFileHead(fileName, kDetectionBytes), required, excluded);
}

bool TextHasKeywords(std::string_view text, std::string_view required, std::string_view excluded) {
    const std::string head = UpperCase(text.substr(0, kDetectionBytes));
    for (const std::string& keyword : SplitKeywordList(UpperCase(excluded)))
        if (head.find(keyword) != std::string::npos) return false;
    for (const std::string& keyword : SplitKeywordList(UpperCase(required)))
        if (head.find(keyword) == std::string::npos) return false;
    return true;
}

std::string BaseNameWithoutExtension(const std::string& fileName) {
    std::size_t slash = fileName.find_last_of('/');
    std::string name = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}
