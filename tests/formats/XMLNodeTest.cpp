#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "engine/base/Error.h"
#include "formats/xml/XMLNode.h"

namespace {

std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EError& e) {
        return e.what();
    }
    return "<no error>";
}

TEST(XMLNode, SmallLutDocumentGivesDeclarationElementAndTrailingNode) {
    TXMLNode root;
    root.LoadFromText(
        "<?xml version=\"1.0\"?>\n"
        "<lut name=\"look\"><data><elem r=\"1023\" g=\"0\" b=\"512\"/></data></lut>\n");
    ASSERT_EQ(root.ChildCount(), 3);
    EXPECT_EQ(root.Name, "");
    EXPECT_EQ(root.Child(0).Name, "?xml");
    EXPECT_EQ(root.Child(0).ChildCount(), 0);
    ASSERT_EQ(root.Child(0).Attributes.Count(), 1);
    EXPECT_EQ(root.Child(0).Attributes.Items[0].first, "version");
    EXPECT_EQ(root.Child(0).Attributes.Items[0].second->Text, "1.0");
    EXPECT_EQ(root.Child(1).Name, "lut");
    EXPECT_EQ(root.Child(2).Name, "");

    TXMLNode& lut = root.NodeByName("lut");
    EXPECT_EQ(lut.Attributes.ByName("name").AsString(), "look");
    ASSERT_EQ(lut.ChildCount(), 1);
    TXMLNode& data = lut.NodeByName("data");
    ASSERT_EQ(data.ChildCount(), 1);
    TXMLNode& elem = data.Child(0);
    EXPECT_EQ(elem.Name, "elem");
    EXPECT_EQ(elem.Attributes.ByName("r").AsFloat(), 1023.0);
    EXPECT_EQ(elem.Attributes.ByName("g").AsFloat(), 0.0);
    EXPECT_EQ(elem.Attributes.ByName("b").AsFloat(), 512.0);
    EXPECT_EQ(elem.Attributes.Count(), 3);
}

TEST(XMLNode, TextValuesAreKeptUntrimmedAndCdataIsAppendedAfterABlank) {
    TXMLNode root;
    root.LoadFromText("<size>17</size>");
    EXPECT_EQ(root.NodeByName("size").Value.Text, "17");
    root.LoadFromText("<size> 17 </size>");
    EXPECT_EQ(root.NodeByName("size").Value.Text, " 17 ");
    EXPECT_EQ(root.NodeByName("size").Value.AsInteger(), 17);
    root.LoadFromText("<a>x<![CDATA[y]]>z</a>");
    EXPECT_EQ(root.NodeByName("a").Value.Text, "x yz");
    root.LoadFromText("<a><![CDATA[y]]></a>");
    EXPECT_EQ(root.NodeByName("a").Value.Text, " y");
    root.LoadFromText("<a>\n  \n</a>");
    EXPECT_EQ(root.NodeByName("a").Value.Text, "");
    root.LoadFromText("<a>one\n two<b/>three</a>");
    EXPECT_EQ(root.NodeByName("a").Value.Text, "one\n twothree");
    EXPECT_TRUE(root.NodeByName("a").HasNode("b"));
    // No entity decoding.
    root.LoadFromText("<a>&lt;</a>");
    EXPECT_EQ(root.NodeByName("a").Value.Text, "&lt;");
}

TEST(XMLNode, LookupsCompareNamesCaseInsensitivelyAndReportMissingNodes) {
    TXMLNode root;
    root.LoadFromText("<lut><Cube>1</Cube><cube>2</cube></lut>");
    EXPECT_EQ(root.NodeByName("LUT").Name, "lut");
    EXPECT_EQ(root.NodeByName("lut").NodeByName("CUBE").Value.Text, "1");
    EXPECT_TRUE(root.HasNode("Lut"));
    EXPECT_FALSE(root.HasNode("data"));
    // Direct children only.
    EXPECT_FALSE(root.HasNode("cube"));
    EXPECT_EQ(ErrorOf([&] { root.NodeByName("lut").NodeByName("size"); }), "The \"size\" node is not found");
    EXPECT_EQ(ErrorOf([&] { root.NodeByName("cube"); }), "The \"cube\" node is not found");
    EXPECT_THROW(root.Child(1), EError);
    EXPECT_THROW(root.Child(-1), EError);
}

TEST(XMLNode, MissingAttributeReadsEmptyAndIsAppended) {
    TXMLNode root;
    root.LoadFromText("<elem r=\"1\" R=\"5\"/>");
    TXMLNode& elem = root.NodeByName("elem");
    // A repeated name keeps the last value in the place of its first appearance.
    ASSERT_EQ(elem.Attributes.Count(), 1);
    EXPECT_EQ(elem.Attributes.ByName("r").Text, "5");
    TXMLValue& g = elem.Attributes.ByName("g");
    EXPECT_EQ(g.Text, "");
    EXPECT_EQ(g.AsFloat(), 0.0);
    ASSERT_EQ(elem.Attributes.Count(), 2);
    EXPECT_EQ(elem.Attributes.Items[1].first, "g");
    // The reference returned stays valid while more attributes are added.
    elem.Attributes.ByName("x");
    elem.Attributes.ByName("y");
    g.Text = "3";
    EXPECT_EQ(elem.Attributes.ByName("G").AsFloat(), 3.0);
}

TEST(XMLNode, AttributeSplittingFollowsSingleBlanksAndLineBreaks) {
    TXMLNode root;
    root.LoadFromText("<elem r=\"1\"\r\ng='2'/>");
    TXMLAttributes& attributes = root.NodeByName("elem").Attributes;
    ASSERT_EQ(attributes.Count(), 3);
    EXPECT_EQ(attributes.Items[0].first, "r");
    EXPECT_EQ(attributes.Items[0].second->Text, "1");
    EXPECT_EQ(attributes.Items[1].first, "");
    EXPECT_EQ(attributes.Items[2].first, "g");
    EXPECT_EQ(attributes.Items[2].second->Text, "2");

    root.LoadFromText("<lut name=\"my lut\"/>");
    TXMLAttributes& split = root.NodeByName("lut").Attributes;
    ASSERT_EQ(split.Count(), 2);
    EXPECT_EQ(split.Items[0].first, "name");
    EXPECT_EQ(split.Items[0].second->Text, "m");
    EXPECT_EQ(split.Items[1].first, "lut\"");
    EXPECT_EQ(split.Items[1].second->Text, "");

    root.LoadFromText("<a flag x = \"\"/>");
    TXMLAttributes& bare = root.NodeByName("a").Attributes;
    EXPECT_EQ(bare.ByName("flag").Text, "");
    EXPECT_EQ(bare.Items[0].first, "flag");
}

TEST(XMLNode, CommentsAreSkippedBeforeElementsAndInsideContent) {
    TXMLNode root;
    root.LoadFromText("<!-- head --><lut><size>2</size></lut>");
    ASSERT_EQ(root.ChildCount(), 1);
    EXPECT_EQ(root.Child(0).Name, "lut");

    // Two comments in a row: the second is an empty node starting with "!".
    root.LoadFromText("<!-- one --><!-- two --><lut><size>2</size></lut>");
    ASSERT_EQ(root.ChildCount(), 2);
    EXPECT_EQ(root.Child(0).Name.substr(0, 1), "!");
    EXPECT_EQ(root.NodeByName("lut").NodeByName("size").Value.Text, "2");

    // Inside content, comments anywhere are dropped, also right before the
    // closing tag and with markup characters inside them.
    root.LoadFromText("<lut><!-- a <b> c --><size>2</size>text<!-- x --></lut><after/>");
    TXMLNode& lut = root.NodeByName("lut");
    ASSERT_EQ(lut.ChildCount(), 1);
    EXPECT_EQ(lut.Child(0).Name, "size");
    EXPECT_EQ(lut.Value.Text, "text");
    EXPECT_TRUE(root.HasNode("after"));
}

TEST(XMLNode, NumbersAcceptDotOrCommaAndRejectOtherText) {
    TXMLValue value;
    const auto asFloat = [&](const std::string& text) {
        value.Text = text;
        return value.AsFloat();
    };
    EXPECT_EQ(asFloat("0.5"), 0.5);
    EXPECT_EQ(asFloat("0,5"), 0.5);
    EXPECT_EQ(asFloat(" 1023 "), 1023.0);
    EXPECT_EQ(asFloat(""), 0.0);
    EXPECT_EQ(asFloat("  "), 0.0);
    EXPECT_EQ(asFloat("-2.5e1"), -25.0);
    EXPECT_EQ(asFloat("+3"), 3.0);
    EXPECT_EQ(asFloat("1e-3"), 0.001);
    for (const char* bad : {"1,234.5", "abc", "1.0x", "nan", "inf", "0x10", "+-1", "++1", "-", ".", "1 2"}) {
        value.Text = bad;
        EXPECT_THROW(value.AsFloat(), EError) << bad;
    }
    const auto asInteger = [&](const std::string& text) {
        value.Text = text;
        return value.AsInteger();
    };
    EXPECT_EQ(asInteger("2.5"), 2);
    EXPECT_EQ(asInteger("3.5"), 4);
    EXPECT_EQ(asInteger("-2.5"), -2);
    EXPECT_EQ(asInteger("17,6"), 18);
    value.Text = "1e300";
    EXPECT_THROW(value.AsInteger(), EError);
}

TEST(XMLNode, LoadingAgainClearsTheTreeAndFileErrorsAreReported) {
    const auto folder = std::filesystem::temp_directory_path() / "ombrane_xmlnode_test";
    std::filesystem::create_directories(folder);
    const std::string fileName = (folder / "doc.xml").string();
    {
        std::ofstream out(fileName, std::ios::binary);
        out << "\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<look><lut><size>\"2\"</size></lut></look>";
    }
    TXMLNode root;
    root.LoadFromText("<old a=\"1\"/><older/>");
    root.LoadFromFile(fileName);
    ASSERT_EQ(root.ChildCount(), 2);
    EXPECT_EQ(root.Child(0).Name, "?xml");
    EXPECT_EQ(root.NodeByName("look").NodeByName("lut").NodeByName("size").Value.Text, "\"2\"");
    EXPECT_FALSE(root.HasNode("old"));

    const std::string missing = (folder / "missing.xml").string();
    const std::string message = ErrorOf([&] { root.LoadFromFile(missing); });
    EXPECT_NE(message.find(missing), std::string::npos) << message;
    EXPECT_THROW(root.LoadFromFile(folder.string()), EError);
    std::filesystem::remove_all(folder);
}

TEST(XMLNode, MalformedMarkupAlwaysEndsWithATree) {
    const char* documents[] = {"",
                               "<",
                               ">",
                               "<<<>>>",
                               "<a",
                               "<a>",
                               "<a><b><c>",
                               "</a>",
                               "<a></b>text",
                               "<![CDATA[",
                               "<a><![CDATA[x",
                               "<a><!--",
                               "<!--",
                               "<a b=\"/>",
                               "<a =x/>",
                               "text only",
                               "<a>\"'</a>",
                               "<?",
                               "<!",
                               "<a><b/></a></a></a>",
                               "<a><!-- -- --></a>"};
    for (const char* text : documents) {
        TXMLNode root;
        EXPECT_NO_THROW(root.LoadFromText(text)) << text;
    }
    TXMLNode root;
    root.LoadFromText("<a>hello");
    ASSERT_TRUE(root.HasNode("a"));
    // A stray closing tag becomes an element that holds what follows.
    root.LoadFromText("</a><b/>");
    EXPECT_TRUE(root.NodeByName("/a").HasNode("b"));

    // Deep nesting fails with an error instead of exhausting the stack.
    std::string deep;
    for (int i = 0; i < 200000; ++i) deep += "<a>";
    EXPECT_THROW(root.LoadFromText(deep), EError);
    std::string fine;
    for (int i = 0; i < 500; ++i) fine += "<a>";
    root.LoadFromText(fine);
    int depth = 0;
    const TXMLNode* node = &root;
    while (node->ChildCount() > 0) {
        node = &node->Child(0);
        ++depth;
    }
    EXPECT_EQ(depth, 500);

    // Very many elements fail instead of exhausting memory; the limit itself
    // is accepted.
    std::string many;
    for (int i = 0; i < TXMLNode::kMaxElements; ++i) many += "<a/>";
    root.LoadFromText(many);
    EXPECT_EQ(root.ChildCount(), TXMLNode::kMaxElements);
    EXPECT_THROW(root.LoadFromText(many + "<a/>"), EError);
}

TEST(XMLNode, ElementWithVeryManyAttributesKeepsEveryOne) {
    constexpr int kCount = 200000;
    std::string tag = "<e";
    for (int i = 0; i < kCount; ++i) tag += " a" + std::to_string(i) + "=\"" + std::to_string(i * 3) + "\"";
    tag += " A7=\"last\"/>";
    TXMLNode root;
    root.LoadFromText(tag);
    TXMLAttributes& attributes = root.NodeByName("e").Attributes;
    ASSERT_EQ(attributes.Count(), kCount);
    EXPECT_EQ(attributes.ByName("a199999").AsInteger(), 199999 * 3);
    EXPECT_EQ(attributes.ByName("a7").Text, "last");
    EXPECT_EQ(attributes.Items[7].first, "a7");
    EXPECT_EQ(attributes.ByName("A0").Text, "0");
    attributes.Clear();
    EXPECT_EQ(attributes.ByName("a1").Text, "");
    EXPECT_EQ(attributes.Count(), 1);
}

TEST(XMLNode, AttributesAreLimitedOverTheWholeDocument) {
    // Spread over many elements, so that no single tag is remarkable: the
    // limit itself loads, one more attribute anywhere fails.
    constexpr int kPerElement = 1000;
    std::string element = "<e";
    for (int i = 0; i < kPerElement; ++i) element += " a" + std::to_string(i);
    element += "/>";
    std::string document;
    for (int k = 0; k < TXMLNode::kMaxAttributes / kPerElement; ++k) document += element;
    TXMLNode root;
    root.LoadFromText(document);
    ASSERT_EQ(root.ChildCount(), TXMLNode::kMaxAttributes / kPerElement);
    EXPECT_EQ(root.Child(root.ChildCount() - 1).Attributes.Count(), kPerElement);
    try {
        root.LoadFromText(document + "<f x/>");
        FAIL() << "one attribute over the limit must fail";
    } catch (const EError& e) {
        EXPECT_NE(std::string(e.what()).find("too many attributes"), std::string::npos) << e.what();
    }
    // Repeated names count too: the work is in the parsing.
    EXPECT_THROW(root.LoadFromText(document + "<f x x/>"), EError);
    EXPECT_NO_THROW(root.LoadFromText(document.substr(element.size()) + "<f x x/>"));
}

}  // namespace
