#include "formats/xml/XMLNode.h"

#include <charconv>
#include <cmath>
#include <istream>
#include <iterator>

#include "engine/base/Error.h"
#include "formats/FormatText.h"
#include "formats/TextFile.h"

namespace {

constexpr std::size_t npos = std::string_view::npos;

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameTextAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    return true;
}

// Removes control characters and blanks from both ends.
// Drops the front of the text up to and including position `count`.
void DeleteFront(std::string_view& rest, std::size_t count) {
    rest.remove_prefix(count < rest.size() ? count : rest.size());
}

// A comment at the first "<" of the text is removed through its "-->".
void SkipComment(std::string_view& rest) {
    const std::size_t open = rest.find('<');
    if (open == npos || rest.substr(open + 1, 3) != "!--") return;
    const std::size_t close = rest.find("-->", open + 4);
    DeleteFront(rest, close == npos ? rest.size() : close + 3);
}

std::string Unquote(std::string_view raw) {
    if (!raw.empty() && (raw.front() == '"' || raw.front() == '\'')) {
        if (raw.size() < 2) return {};
        return std::string(raw.substr(1, raw.size() - 2));
    }
    return std::string(raw);
}

void BreaksToBlanks(std::string& text) {
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
}

std::string UpperKey(std::string_view name) {
    std::string key(name);
    for (char& c : key) c = UpperAscii(c);
    return key;
}

template <typename TState>
void NoteUnclosed(TState& state, const std::string& name) {
    if (state.Unclosed.empty()) state.Unclosed = name.empty() ? std::string("?") : name;
}

[[noreturn]] void ThrowNotANumber(const std::string& text) {
    throw EError("'" + text + "' is not a valid floating point value");
}

}  // namespace

// ---------------------------------------------------------------- TXMLValue

double TXMLValue::AsFloat() const {
    std::string text(TrimView(Text));
    if (text.empty()) text = "0";
    const std::string original = text;
    const std::size_t comma = text.find(',');
    if (comma != npos) text[comma] = '.';
    // Only a plain decimal number is accepted: no "inf", "nan" or hex forms.
    for (char c : text)
        if (!((c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-' || c == 'e' || c == 'E'))
            ThrowNotANumber(original);
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (*begin == '+') {
        ++begin;
        if (begin == end || *begin == '+' || *begin == '-') ThrowNotANumber(original);
    }
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(begin, end, value, std::chars_format::general);
    if (ec != std::errc() || ptr != end) ThrowNotANumber(original);
    return value;
}

std::int64_t TXMLValue::AsInteger() const {
    const double rounded = std::nearbyint(AsFloat());
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    if (!(rounded >= -9223372036854775808.0 && rounded < 9223372036854775808.0))
        throw EError("'" + std::string(TrimView(Text)) + "' is not a valid integer value");
    return static_cast<std::int64_t>(rounded);
}

// ----------------------------------------------------------- TXMLAttributes

void TXMLAttributes::Clear() {
    Items.clear();
    index_.clear();
}

void TXMLAttributes::RebuildIndex() {
    index_.clear();
    for (std::size_t i = 0; i < Items.size(); ++i) index_.emplace(UpperKey(Items[i].first), i);
}

TXMLValue& TXMLAttributes::ByName(const std::string& name) {
    if (Items.size() < kIndexFrom) {
        for (auto& item : Items)
            if (SameTextAscii(item.first, name)) return *item.second;
    } else {
        if (index_.size() != Items.size()) RebuildIndex();
        const auto found = index_.find(UpperKey(name));
        if (found != index_.end() && found->second < Items.size() && SameTextAscii(Items[found->second].first, name))
            return *Items[found->second].second;
    }
    Items.emplace_back(name, std::make_unique<TXMLValue>());
    if (!index_.empty()) index_.emplace(UpperKey(name), Items.size() - 1);
    return *Items.back().second;
}

// ----------------------------------------------------------------- TXMLNode

void TXMLNode::Clear() {
    Name.clear();
    Attributes.Clear();
    Children.clear();
}

TXMLNode& TXMLNode::AddChild() {
    Children.push_back(std::make_unique<TXMLNode>());
    return *Children.back();
}

void TXMLNode::LoadFromFile(const std::string& fileName) { LoadFromText(ReadFileBytes(fileName)); }

void TXMLNode::LoadFromStream(std::istream& stream) {
    Clear();
    std::string text{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    LoadFromText(text);
}

void TXMLNode::LoadFromText(std::string_view text) {
    Clear();
    std::string_view rest = text;
    TParseState state;
    while (!rest.empty()) AddChild().ParseElement(rest, 1, state);
    UnclosedElement = std::move(state.Unclosed);
    MismatchedClose = std::move(state.Mismatched);
}

void TXMLNode::RequireWholeDocument(bool namesMustMatch) const {
    if (!UnclosedElement.empty())
        throw EError("The XML document is damaged: it ends before its \"" + UnclosedElement + "\" element is closed.");
    if (namesMustMatch && !MismatchedClose.empty()) {
        const std::size_t slash = MismatchedClose.find('/');
        throw EError("The XML document is damaged: the \"" + MismatchedClose.substr(0, slash) +
                     "\" element is closed by \"</" + MismatchedClose.substr(slash + 1).substr(0, 80) + ">\".");
    }
}

TXMLNode& TXMLNode::Child(int index) const {
    if (index < 0 || index >= ChildCount())
        throw EError("XML child index " + std::to_string(index) + " is out of range");
    return *Children[static_cast<std::size_t>(index)];
}

const TXMLNode* TXMLNode::FindChild(const std::string& name) const {
    for (const auto& child : Children)
        if (SameTextAscii(child->Name, name)) return child.get();
    return nullptr;
}

TXMLNode& TXMLNode::NodeByName(const std::string& name) const {
    const TXMLNode* child = FindChild(name);
    if (!child) throw EError("The \"" + name + "\" node is not found");
    return const_cast<TXMLNode&>(*child);
}

bool TXMLNode::HasNode(const std::string& name) const { return FindChild(name) != nullptr; }

// Parses one element from the front of the text into this node. Tags
// ending in "/" or "?", and tags starting with "!", have no content.
void TXMLNode::ParseElement(std::string_view& rest, int depth, TParseState& state) {
    if (depth > kMaxDepth) throw EError("The XML document is nested too deeply.");
    if (++state.Elements > kMaxElements) throw EError("The XML document holds too many elements.");
    if (const std::size_t start = rest.find('<');
        start != npos && rest.substr(start + 1, 3) == "!--" && rest.find("-->", start + 4) == npos)
        NoteUnclosed(state, "!--");
    SkipComment(rest);
    const std::size_t open = rest.find('<');
    if (open != npos) DeleteFront(rest, open + 1);

    const std::size_t close = rest.find('>');
    if (open != npos && close == npos) NoteUnclosed(state, std::string(rest.substr(0, rest.find(' '))));
    // p: 1-based position of the ">" or, without one, the text's length.
    const std::size_t p = close != npos ? close + 1 : rest.size();
    const bool isEmpty = (p >= 2 && (rest[p - 2] == '/' || rest[p - 2] == '?')) || (!rest.empty() && rest[0] == '!');
    std::string tag(rest.substr(0, p > 0 ? p - 1 : 0));
    DeleteFront(rest, p);
    if (isEmpty && !tag.empty()) tag.pop_back();
    BreaksToBlanks(tag);

    const std::size_t blank = tag.find(' ');
    if (blank == npos) {
        Name = tag;
    } else {
        Name = tag.substr(0, blank);
        const std::string_view attributes = TrimView(std::string_view(tag).substr(blank + 1));
        if (!attributes.empty()) ParseAttributes(attributes, state);
    }
    if (isEmpty) return;
    // Text after the last element is no element: it cannot be left open.
    const std::string unclosedBefore = state.Unclosed;
    ParseContent(rest, depth, state);
    if (open == npos) state.Unclosed = unclosedBefore;
}

// Attributes are separated by single blanks; a quoted value holding a blank
// is split there (the reader stays that simple on purpose).
void TXMLNode::ParseAttributes(std::string_view text, TParseState& state) {
    while (!text.empty()) {
        if (++state.Attributes > kMaxAttributes) throw EError("The XML document holds too many attributes.");
        const std::size_t blank = text.find(' ');
        const std::string_view piece = text.substr(0, blank);
        DeleteFront(text, blank == npos ? text.size() : blank + 1);
        const std::size_t equals = piece.find('=');
        std::string name;
        std::string value;
        if (equals == npos) {
            name = std::string(piece);
        } else {
            name = std::string(TrimView(piece.substr(0, equals)));
            value = Unquote(TrimView(piece.substr(equals + 1)));
        }
        Attributes.ByName(name).Text = std::move(value);
    }
}

// Collects the text content (non-blank runs, untrimmed; CDATA sections after
// a blank), child elements and comments up to the closing tag, whatever name
// the closing tag carries.
void TXMLNode::ParseContent(std::string_view& rest, int depth, TParseState& state) {
    Value.Text.clear();
    for (;;) {
        const std::size_t open = rest.find('<');
        const std::size_t p = open != npos ? open + 1 : rest.size();
        const std::string_view before = rest.substr(0, p > 0 ? p - 1 : 0);
        if (!TrimView(before).empty()) Value.Text.append(before);
        DeleteFront(rest, before.size());
        if (rest.empty() || rest.find('<') == npos) {
            NoteUnclosed(state, Name);
            return;
        }
        // From here the text starts with "<".
        if (rest.substr(1, 8) == "![CDATA[") {
            const std::size_t end = rest.find("]]>", 9);
            if (end == npos) NoteUnclosed(state, Name);
            const std::size_t contentEnd = end != npos ? end : rest.size() - 1;
            Value.Text += ' ';
            if (contentEnd > 9) Value.Text.append(rest.substr(9, contentEnd - 9));
            DeleteFront(rest, end != npos ? end + 3 : rest.size());
        } else if (rest.substr(1, 3) == "!--") {
            const std::size_t end = rest.find("-->", 4);
            if (end == npos) NoteUnclosed(state, Name);
            DeleteFront(rest, end != npos ? end + 3 : rest.size());
        } else if (rest.size() > 1 && rest[1] == '/') {
            const std::size_t end = rest.find('>');
            if (end == npos) NoteUnclosed(state, Name);
            const std::string_view closing = TrimView(rest.substr(2, end != npos ? end - 2 : npos));
            if (state.Mismatched.empty() && end != npos && !SameTextAscii(closing, Name))
                state.Mismatched = Name + "/" + std::string(closing);
            DeleteFront(rest, end != npos ? end + 1 : rest.size());
            return;
        } else {
            AddChild().ParseElement(rest, depth + 1, state);
        }
    }
}
