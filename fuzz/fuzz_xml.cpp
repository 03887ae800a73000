// The XML document model on any text. Loading never rejects markup: it must
// end, build the same tree from a string and from a stream, build it the
// same way into a node that held another document, and every lookup must
// answer or raise EError.
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include "formats/xml/XMLNode.h"
#include "fuzz/FuzzSupport.h"

namespace {

bool SameValue(const TXMLValue& a, const TXMLValue& b) { return a.Text == b.Text; }

bool SameTree(const TXMLNode& a, const TXMLNode& b) {
    if (a.Name != b.Name || !SameValue(a.Value, b.Value) || a.Attributes.Items.size() != b.Attributes.Items.size() ||
        a.Children.size() != b.Children.size())
        return false;
    for (std::size_t i = 0; i < a.Attributes.Items.size(); ++i)
        if (a.Attributes.Items[i].first != b.Attributes.Items[i].first ||
            !SameValue(*a.Attributes.Items[i].second, *b.Attributes.Items[i].second))
            return false;
    for (std::size_t i = 0; i < a.Children.size(); ++i)
        if (!SameTree(*a.Children[i], *b.Children[i])) return false;
    return true;
}

void ReadNumbers(const TXMLValue& value) {
    fuzz::ExpectOnlyEError("AsFloat", [&] { (void)value.AsFloat(); });
    fuzz::ExpectOnlyEError("AsInteger", [&] { (void)value.AsInteger(); });
}

// Reads every value as a number and finds every child again by its name.
void Walk(TXMLNode& node) {
    ReadNumbers(node.Value);
    for (std::size_t i = 0; i < node.Attributes.Items.size(); ++i) {
        const std::string name = node.Attributes.Items[i].first;
        TXMLValue& byName = node.Attributes.ByName(name);
        ReadNumbers(byName);
    }
    for (int i = 0; i < node.ChildCount(); ++i) {
        TXMLNode& child = node.Child(i);
        if (!child.Name.empty()) {
            if (!node.HasNode(child.Name)) fuzz::Fail("HasNode", "a child is not found by its own name");
            fuzz::ExpectOnlyEError("NodeByName", [&] { (void)node.NodeByName(child.Name); });
        }
        Walk(child);
    }
    fuzz::ExpectOnlyEError("Child", [&] { (void)node.Child(node.ChildCount()); });
    fuzz::ExpectOnlyEError("NodeByName", [&] { (void)node.NodeByName("no such node"); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    TXMLNode root;
    bool loaded = false;
    fuzz::ExpectOnlyEError("LoadFromText", [&] {
        root.LoadFromText(text);
        loaded = true;
    });

    TXMLNode reused;
    reused.LoadFromText("<lut name=\"x\"><size>2</size><data><elem r=\"1\"/></data></lut>");
    std::istringstream stream{std::string(text)};
    bool streamed = false;
    fuzz::ExpectOnlyEError("LoadFromStream", [&] {
        reused.LoadFromStream(stream);
        streamed = true;
    });
    if (loaded != streamed) fuzz::Fail("LoadFromStream", "a stream and a string of the same text load differently");
    if (!loaded) return 0;
    if (!SameTree(root, reused))
        fuzz::Fail("LoadFromStream", "a stream into a used node gives another tree than the text");
    Walk(root);
    return 0;
}
