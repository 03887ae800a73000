#pragma once
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// A small, lenient, read-only XML reader for the XML-based LUT formats.
// It turns a document into a tree of element nodes (name, attributes, text
// value, children). It never rejects markup, knows no namespaces, DTDs or
// entity references, and has no writer.

// A text value exactly as collected from the document.
class TXMLValue {
public:
    std::string Text;

    const std::string& AsString() const { return Text; }
    // The text as a number: trimmed, empty counts as 0, the first "." and the
    // first "," both stand for the decimal point. Throws EError when the text
    // is not a number.
    double AsFloat() const;
    // AsFloat rounded to the nearest integer, halves to even. Throws EError
    // when the text is not a number or the value does not fit.
    std::int64_t AsInteger() const;
};

// The attributes of one element, in order of first appearance; names compare
// case-insensitively (ASCII letters). Items is read freely but changed only
// through ByName and Clear.
class TXMLAttributes {
public:
    using TItem = std::pair<std::string, std::unique_ptr<TXMLValue>>;
    std::vector<TItem> Items;

    void Clear();
    int Count() const { return static_cast<int>(Items.size()); }
    // The value of the named attribute. A missing attribute is appended with
    // an empty value, so reading it yields empty text and never fails.
    TXMLValue& ByName(const std::string& name);

private:
    // Upper-cased name -> position in Items, so that an element with very
    // many attributes is still read in linear time. Small lists are searched.
    static constexpr std::size_t kIndexFrom = 16;
    std::unordered_map<std::string, std::size_t> index_;
    void RebuildIndex();
};

// One element, or the document root (whose name stays empty).
class TXMLNode {
public:
    // Elements nested deeper than this make the load fail with EError rather
    // than exhaust the stack.
    static constexpr int kMaxDepth = 1000;
    // A document with more elements than this makes the load fail with
    // EError rather than exhaust memory (ten times the largest LUT table).
    static constexpr int kMaxElements = 1000000;
    // Likewise for attributes, counted over the whole document: each costs
    // about 200 bytes for a few bytes of text (the largest LUT table, 100001
    // curve points of three attributes, holds about 300,000).
    static constexpr int kMaxAttributes = 1000000;

    TXMLNode() = default;
    TXMLNode(const TXMLNode&) = delete;
    TXMLNode& operator=(const TXMLNode&) = delete;

    std::string Name;
    TXMLValue Value;
    TXMLAttributes Attributes;
    std::vector<std::unique_ptr<TXMLNode>> Children;

    // Empties the name, the attributes and the children; Value stays.
    void Clear();
    TXMLNode& AddChild();

    // Reads the whole file (refused above the LUT file size limit) and
    // parses it. A file that cannot be opened raises EError naming it and
    // the system's reason.
    void LoadFromFile(const std::string& fileName);
    void LoadFromStream(std::istream& stream);
    void LoadFromText(std::string_view text);

    // What the last load found damaged, for readers that must tell a cut or
    // corrupted document from a whole one (the tree is built all the same):
    // the first element whose text ended before its closing tag (also for a
    // tag, comment or CDATA section left open), and the first closing tag
    // whose name differs from its element's, as "name/closing".
    std::string UnclosedElement;
    std::string MismatchedClose;
    // Raises EError when the last load found the document cut short, and
    // with namesMustMatch also when a closing tag names another element.
    void RequireWholeDocument(bool namesMustMatch) const;

    int ChildCount() const { return static_cast<int>(Children.size()); }
    // Throws EError for an index out of range.
    TXMLNode& Child(int index) const;
    // The first direct child with that name (ASCII case-insensitive); throws
    // EError 'The "name" node is not found' when there is none.
    TXMLNode& NodeByName(const std::string& name) const;
    bool HasNode(const std::string& name) const;

private:
    const TXMLNode* FindChild(const std::string& name) const;
    struct TParseState {
        int Elements = 0;
        int Attributes = 0;
        std::string Unclosed;
        std::string Mismatched;
    };
    void ParseElement(std::string_view& rest, int depth, TParseState& state);
    void ParseAttributes(std::string_view text, TParseState& state);
    void ParseContent(std::string_view& rest, int depth, TParseState& state);
};
