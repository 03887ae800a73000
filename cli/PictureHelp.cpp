#include "cli/PictureHelp.h"

#include <vector>

#include "imageio/PictureFormats.h"

namespace {

// The lines of help texts are at most this long.
constexpr std::size_t kHelpWidth = 80;

// The paragraph of {deep-pictures}, before it is filled in and wrapped.
constexpr std::string_view kDeepPictures =
    "{deep-names} pictures (and {read-only-names} for reading) are graded at their own precision: the LUT "
    "is evaluated per pixel on values 0..1 and the output keeps the input's format and depth, or takes the "
    "extension's: {depth-by-extension}. The look is display-referred: float values outside 0..1 are clamped "
    "into it. Any picture written as {deep-only} is graded this way.";

// The types' names; among the types read at depth, a type read so only at
// 16 bits says so ("16-bit PNG").
std::vector<std::string> HelpNames(const std::vector<const TPictureFormat*>& formats, bool atDepth) {
    std::vector<std::string> names;
    for (const TPictureFormat* format : formats) {
        const bool sixteenOnly = atDepth && format->Depth == TDepthRule::EightOrDeep;
        names.push_back((sixteenOnly ? "16-bit " : "") + std::string(format->HelpName));
    }
    return names;
}

std::vector<const TPictureFormat*> FormatsWith(TPictureRole role) {
    std::vector<const TPictureFormat*> formats;
    for (const TPictureFormat& format : PictureFormats())
        if (HasRole(format, role)) formats.push_back(&format);
    return formats;
}

// "a, b and c" with conjunction " and ".
std::string Listed(const std::vector<std::string>& items, std::string_view conjunction) {
    std::string list;
    for (std::size_t i = 0; i < items.size(); ++i)
        list += (i == 0 ? "" : i + 1 == items.size() ? std::string(conjunction) : ", ") + items[i];
    return list;
}

// "16-bit", "half float": the depth written for a type's extensions.
std::string DefaultDepthName(const TPictureFormat& format) {
    if (format.DefaultKind == TSampleKind::Half) return "half float";
    if (format.DefaultKind == TSampleKind::Float) return "float";
    return std::to_string(format.DefaultBits) + "-bit";
}

// ".tif, .tiff 16-bit, .exr half float, ...", in the order of the written types.
std::string DepthByExtension() {
    std::vector<std::string> items;
    for (const TPictureFormat* format : PictureFormatsByPlace(&TPictureFormat::WriterPlace)) {
        if (format->DepthHelp == THelpExtensions::None) continue;
        std::vector<std::string> extensions = PictureExtensionsOf(*format);
        if (format->DepthHelp == THelpExtensions::Own) extensions.resize(1);
        std::string item;
        for (const std::string& extension : extensions) item += (item.empty() ? "." : ", .") + extension;
        items.push_back(item + " " + DefaultDepthName(*format));
    }
    return Listed(items, ", ");
}

std::string Replaced(std::string text, std::string_view field, const std::string& value) {
    for (std::size_t at = text.find(field); at != std::string::npos; at = text.find(field, at + value.size()))
        text.replace(at, field.size(), value);
    return text;
}

std::string WithLists(std::string text) {
    const std::vector<std::string> deepNames = HelpNames(PictureFormatsByPlace(&TPictureFormat::DeepHelpPlace), true);
    text = Replaced(text, "{written}", ListOfExtensions(PictureExtensions(TPictureRole::Written), ""));
    text = Replaced(text, "{deep-only}", ListOfExtensions(PictureExtensions(TPictureRole::DeepOnly), "."));
    text =
        Replaced(text, "{eight-bit-written}", ListOfExtensions(PictureExtensions(TPictureRole::EightBitWritten), "."));
    text =
        Replaced(text, "{eight-bit-names}", Listed(HelpNames(FormatsWith(TPictureRole::EightBitRead), false), " or "));
    text = Replaced(text, "{deep-names}", Listed(deepNames, " and "));
    text = Replaced(text, "{read-only-names}", Listed(HelpNames(FormatsWith(TPictureRole::ReadOnly), true), ", "));
    return Replaced(text, "{depth-by-extension}", DepthByExtension());
}

// The words of the text in lines of at most kHelpWidth characters.
std::string Wrapped(std::string_view text) {
    std::string wrapped;
    std::size_t lineStart = 0;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find(' ', at);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view word = text.substr(at, end - at);
        if (wrapped.size() > lineStart && wrapped.size() - lineStart + 1 + word.size() > kHelpWidth) {
            wrapped += '\n';
            lineStart = wrapped.size();
        } else if (wrapped.size() > lineStart) {
            wrapped += ' ';
        }
        wrapped += word;
        at = end + 1;
    }
    return wrapped;
}

}  // namespace

std::string WithPictureLists(std::string_view text) {
    return WithLists(Replaced(std::string(text), "{deep-pictures}", Wrapped(WithLists(std::string(kDeepPictures)))));
}
