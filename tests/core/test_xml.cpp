// The XML layer: lookups, text, siblings, parsing and its safety limits.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/test_support.hpp"
#include "values/text.hpp"
#include "xml/builder.hpp"
#include "xml/tree.hpp"

namespace idf::xml {
namespace {

struct Loaded {
    Document doc;
    explicit Loaded(std::string_view bytes) { doc.load(bytes, "doc.xml"); }
    Node root() { return doc.document_element(); }
};

std::string text8(Node node) { return utf16_to_utf8(node.text()); }

// Every child of a node, as "name" for elements and "#type" otherwise.
std::vector<std::string> children_of(Node node) {
    std::vector<std::string> names;
    for (Node child = node.first_child(); child; child = child.next_sibling()) names.push_back(child.name());
    return names;
}

TEST(ChildByName, CreatesAMissingChildAsTheLastChild) {
    Loaded x("<a><b>1</b><c>2</c></a>");
    Node created = x.root().child("z");
    ASSERT_TRUE(created);
    EXPECT_EQ(created.name(), "z");
    EXPECT_EQ(created.text(), u"");
    EXPECT_EQ(children_of(x.root()), (std::vector<std::string>{"b", "c", "z"}));
    // A later lookup finds the created element, which holds its empty text.
    EXPECT_EQ(x.root().find("z"), created);
    EXPECT_EQ(x.root().child("z"), created);
    ASSERT_TRUE(created.first_child());
    EXPECT_EQ(created.first_child().type(), NodeType::text);
}

TEST(ChildByName, ChainThroughAbsentElementsEndsInAnEmptyElement) {
    Loaded x("<a/>");
    Node leaf = x.root().child("b").child("c");
    EXPECT_EQ(leaf.text(), u"");
    Node b = x.root().find("b");
    ASSERT_TRUE(b);
    EXPECT_EQ(b.find("c"), leaf);
}

TEST(ChildByName, CreatedChildTakesTheParentsPrefixAndNamespace) {
    Loaded x(R"(<n:a xmlns:n="urn:x"><n:b/></n:a>)");
    Node created = x.root().child("c");
    EXPECT_EQ(created.name(), "n:c");
    EXPECT_EQ(created.local_name(), "c");
    EXPECT_EQ(created.namespace_uri(), "urn:x");
}

TEST(FindChild, NeverChangesTheDocument) {
    Loaded x("<a><b/></a>");
    EXPECT_FALSE(x.root().find("missing"));
    EXPECT_FALSE(x.root().find("missing"));
    EXPECT_EQ(children_of(x.root()), (std::vector<std::string>{"b"}));
    // An empty element stays without children after find().
    EXPECT_FALSE(x.root().find("b").first_child());
}

TEST(FindChild, TakesTheFirstOfTwoSameNamedChildren) {
    Loaded x("<a><b>1</b><b>2</b></a>");
    EXPECT_EQ(text8(x.root().find("b")), "1");
    EXPECT_EQ(text8(x.root().child("b")), "1");
}

TEST(NameMatching, UsesQualifiedOrLocalNameWithinTheParentsNamespace) {
    struct Case {
        const char* xml;
        const char* name;
        bool found;
    };
    const Case cases[] = {
        // Default namespace inherited by the children.
        {R"(<a xmlns="urn:nfe"><det/></a>)", "det", true},
        // A prefixed child in the same namespace is found by its local name...
        {R"(<a xmlns="urn:nfe" xmlns:p="urn:nfe"><p:det/></a>)", "det", true},
        // ...and by its qualified name.
        {R"(<a xmlns="urn:nfe" xmlns:p="urn:nfe"><p:det/></a>)", "p:det", true},
        // Namespace URIs compare without regard to letter case.
        {R"(<a xmlns="urn:NFE"><det xmlns="urn:nfe"/></a>)", "det", true},
        // A child that declares another namespace is not found by name.
        {R"(<a xmlns="urn:nfe"><Signature xmlns="http://www.w3.org/2000/09/xmldsig#"/></a>)", "Signature", false},
        // A parent without a namespace accepts children of any namespace.
        {R"(<a><det xmlns="urn:other"/></a>)", "det", true},
        // Names compare with letter case.
        {R"(<a><Det/></a>)", "det", false},
        {R"(<a><det/></a>)", "de", false},
        // Only elements carry these names; text and comments never match.
        {R"(<a><!--det-->x</a>)", "det", false},
    };
    for (const auto& c : cases) {
        Loaded x(c.xml);
        EXPECT_EQ(static_cast<bool>(x.root().find(c.name)), c.found) << c.xml << " / " << c.name;
    }
}

TEST(NameMatching, ElementInAnotherNamespaceIsNotFoundSoChildByNameCreatesOne) {
    Loaded x(R"(<a xmlns="urn:nfe"><Signature xmlns="urn:sig"><v>1</v></Signature></a>)");
    Node created = x.root().child("Signature");
    EXPECT_EQ(created.text(), u"");
    EXPECT_EQ(created.namespace_uri(), "urn:nfe");
    EXPECT_EQ(children_of(x.root()), (std::vector<std::string>{"Signature", "Signature"}));
}

TEST(NodeName, CarriesThePrefix) {
    Loaded x(R"(<nfe:a xmlns:nfe="urn:nfe"><nfe:det/></nfe:a>)");
    Node det = x.root().find("det");
    ASSERT_TRUE(det);
    EXPECT_EQ(det.name(), "nfe:det");
    EXPECT_NE(det.name(), "det");
    EXPECT_EQ(x.root().name(), "nfe:a");
}

TEST(Attribute, ReadsTheValueOfTheElementsOwnAttributeByItsWrittenName) {
    Loaded x(R"(<!DOCTYPE a [<!ENTITY n "NFe">]><a xmlns="urn:a" xmlns:p="urn:p" Id="&n;&#51;5 &amp;" p:x="1">)"
             R"(<b Id="inner"/><c/></a>)");
    struct Case {
        std::string_view name;
        std::optional<std::u16string> value;
    };
    const Case cases[] = {
        {"id", std::nullopt},                         // letter case counts
        {"xmlns", std::nullopt},                      // namespace declarations are no attributes
        {"x", std::nullopt},                          // a prefixed one by its written name only
        {"p:x", u"1"},           {"Id", u"NFe35 &"},  // references resolved
    };
    for (const auto& c : cases) EXPECT_EQ(x.root().attribute(c.name), c.value) << c.name;
    EXPECT_EQ(x.root().find("b").attribute("Id"), u"inner");
    EXPECT_EQ(x.root().find("c").attribute("Id"), std::nullopt);
    EXPECT_EQ(x.root().child("z").attribute("Id"), std::nullopt);  // created by a lookup
    EXPECT_THROW(Node().attribute("Id"), XmlDocError);
}

TEST(NodeText, ReadsTextOnlyElementsAndRaisesOnAnythingElse) {
    struct Case {
        const char* xml;
        const char* text;  // nullptr when text() raises
    };
    const Case cases[] = {
        {"<a>abc</a>", "abc"},
        {"<a>  padded  </a>", "  padded  "},  // nothing trimmed
        {"<a><![CDATA[10.5]]></a>", "10.5"},  // CDATA is a node of its own
        {"<a><![CDATA[<b>&amp;]]></a>", "<b>&amp;"},
        {"<a>&lt;&amp;&gt;&quot;&apos;</a>", "<&>\"'"},
        {"<a>&#67;&#x41;&#xE7;</a>", "CAç"},
        {"<a>x&amp;y</a>", "x&y"},  // one text node, not three
        {"<!DOCTYPE a [<!ENTITY e \"entity text\">]><a>&e;</a>", "entity text"},
        {"<!DOCTYPE a [<!ENTITY e \"mid\">]><a>x &e; y</a>", "x mid y"},
        {"<a>line1\nline2</a>", "line1\nline2"},
        {"<a>1<!--c-->2</a>", nullptr},  // text plus a comment
        {"<a><!--c--></a>", nullptr},    // only a comment
        {"<a><b>1</b></a>", nullptr},    // container element
        {"<a>1<b/></a>", nullptr},
        {"<a>x<![CDATA[y]]></a>", nullptr},  // text and CDATA are two nodes
        {"<a><?pi data?></a>", nullptr},
    };
    for (const auto& c : cases) {
        Loaded x(c.xml);
        if (c.text) {
            EXPECT_EQ(text8(x.root()), c.text) << c.xml;
        } else {
            try {
                x.root().text();
                ADD_FAILURE() << "no error for " << c.xml;
            } catch (const XmlDocError& e) {
                EXPECT_STREQ(e.what(), "Element does not contain a single text node") << c.xml;
            }
        }
    }
}

TEST(NodeText, EmptyElementGainsAnEmptyTextNode) {
    Loaded x("<a><b/></a>");
    Node b = x.root().find("b");
    EXPECT_FALSE(b.first_child());
    EXPECT_EQ(b.text(), u"");
    Node added = b.first_child();
    ASSERT_TRUE(added);
    EXPECT_EQ(added.type(), NodeType::text);
    EXPECT_FALSE(added.next_sibling());
    // Reading again reads that text node.
    EXPECT_EQ(b.text(), u"");
    EXPECT_EQ(children_of(b).size(), 1u);
}

TEST(NodeText, OtherNodeTypesGiveTheirValue) {
    Loaded x("<a><!-- note --><?target some data?><![CDATA[cd]]></a>");
    Node comment = x.root().first_child();
    ASSERT_EQ(comment.type(), NodeType::comment);
    EXPECT_EQ(text8(comment), " note ");
    Node pi = comment.next_sibling();
    ASSERT_EQ(pi.type(), NodeType::processing_instruction);
    EXPECT_EQ(pi.name(), "target");
    EXPECT_EQ(text8(pi), "some data");
    Node cdata = pi.next_sibling();
    ASSERT_EQ(cdata.type(), NodeType::cdata);
    EXPECT_EQ(text8(cdata), "cd");
    EXPECT_FALSE(cdata.next_sibling());
}

TEST(WhiteSpace, TextMadeOnlyOfBlanksIsDropped) {
    Loaded x("<a>\n  <b> </b>\r\n\t<c>\t\n</c>\n  <d> x </d>  <e><![CDATA[ ]]></e>\n</a>");
    EXPECT_EQ(children_of(x.root()), (std::vector<std::string>{"b", "c", "d", "e"}));
    // An element whose only content was white space has no child.
    EXPECT_FALSE(x.root().find("b").first_child());
    EXPECT_FALSE(x.root().find("c").first_child());
    // Text with something else in it is kept whole, and CDATA is kept.
    EXPECT_EQ(text8(x.root().find("d")), " x ");
    EXPECT_EQ(text8(x.root().find("e")), " ");
}

TEST(WhiteSpace, BlanksAroundAValueElementDoNotMakeItMixed) {
    Loaded x("<a>\n  <v>1</v>\n  <!-- c -->\n</a>");
    Node v = x.root().find("v");
    EXPECT_EQ(text8(v), "1");
    EXPECT_EQ(v.next_sibling().type(), NodeType::comment);
}

TEST(NextSibling, WalksEveryNodeTypeAndMeetsCreatedElementsLast) {
    Loaded x("<a><b/>t<!--c--><?p d?><![CDATA[x]]><e/></a>");
    x.root().child("z");
    EXPECT_EQ(children_of(x.root()),
              (std::vector<std::string>{"b", "#text", "#comment", "p", "#cdata-section", "e", "z"}));
    EXPECT_FALSE(x.root().next_sibling());
}

TEST(EmptyNode, EveryOperationRaisesInsteadOfCrashing) {
    const Node none;
    EXPECT_FALSE(none);
    EXPECT_THROW(none.find("a"), XmlDocError);
    EXPECT_THROW(none.child("a"), XmlDocError);
    EXPECT_THROW(none.first_child(), XmlDocError);
    EXPECT_THROW(none.name(), XmlDocError);
    EXPECT_THROW(none.text(), XmlDocError);
    EXPECT_THROW(none.next_sibling(), XmlDocError);
    EXPECT_THROW(none.type(), XmlDocError);
}

TEST(Document, RootIsTheLastTopLevelElement) {
    Loaded x("<?xml version=\"1.0\"?><!-- before --><?pi x?><root><x/></root><!-- after -->");
    EXPECT_EQ(x.root().name(), "root");
    EXPECT_EQ(x.doc.file_name(), "doc.xml");
}

TEST(Document, NothingLoadedAfterAFailedLoad) {
    Document doc;
    EXPECT_THROW(doc.document_element(), XmlDocError);
    doc.load("<a/>", "first.xml");
    EXPECT_TRUE(doc.loaded());
    EXPECT_THROW(doc.load("<a>", "second.xml"), ParseError);
    EXPECT_FALSE(doc.loaded());
    try {
        doc.document_element();
        ADD_FAILURE();
    } catch (const XmlDocError& e) {
        EXPECT_STREQ(e.what(), "No active document");
    }
}

TEST(ParseError, MessageHoldsReasonLineAndSourceText) {
    const std::string bytes =
        "<?xml version=\"1.0\"?>\r\n<a>\r\n  <b>0123456789012345678901234567890123456789XYZ</c>\r\n</a>";
    Document doc;
    try {
        doc.load(bytes, "bad.xml");
        FAIL() << "no parse error";
    } catch (const ParseError& e) {
        EXPECT_FALSE(e.reason.empty());
        EXPECT_EQ(e.reason.find_first_of("\r\n"), std::string::npos);
        EXPECT_EQ(e.line, 3);
        EXPECT_EQ(e.source_text, "  <b>01234567890123456789012345678901234");
        EXPECT_EQ(std::string(e.what()), e.reason + "\r\nLine: 3\r\n" + e.source_text);
    }
}

TEST(ParseError, SourceTextIsUtf8WhateverTheFileEncoding) {
    // The bad line holds accented letters in ISO-8859-1 and then an error.
    const std::string latin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<a>\xc7\xc3O</b>";
    Document doc;
    try {
        doc.load(latin1, "bad.xml");
        FAIL() << "no parse error";
    } catch (const ParseError& e) {
        EXPECT_EQ(e.line, 2);
        EXPECT_EQ(e.source_text, "<a>ÇÃO</b>");
    }
    // UTF-16: the line is found and decoded, not cut between bytes.
    std::u16string wide = u"\ufeff<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<a>\u00e7</b>";
    std::string utf16le;
    for (const char16_t c : wide) {
        utf16le += static_cast<char>(c & 0xff);
        utf16le += static_cast<char>(c >> 8);
    }
    try {
        doc.load(utf16le, "bad16.xml");
        FAIL() << "no parse error";
    } catch (const ParseError& e) {
        EXPECT_EQ(e.line, 2);
        EXPECT_EQ(e.source_text, "<a>ç</b>");
    }
}

TEST(ParseError, SourceTextIsCutAtFortyCharactersNotBytes) {
    const std::string line = std::string(39, 'x') + "çé</b>";
    Document doc;
    try {
        doc.load("<a>\n" + line, "bad.xml");
        FAIL();
    } catch (const ParseError& e) {
        EXPECT_EQ(e.source_text, std::string(39, 'x') + "ç");
    }
}

TEST(Parsing, RejectsWhatIsNotWellFormed) {
    const char* bad[] = {
        "",
        "   ",
        "not xml",
        "<a>",
        "<a></b>",
        "<a>&undefined;</a>",
        "<a/><b/>",
        "<a x='1' x='2'/>",
        "<?xml version=\"1.0\" encoding=\"no-such-encoding\"?><a/>",
        "<a>\x01</a>",
        "\xef\xbb\xbf<a>\xff</a>",  // not UTF-8
    };
    for (const char* bytes : bad) {
        Document doc;
        EXPECT_THROW(doc.load(bytes, "bad.xml"), ParseError) << bytes;
        EXPECT_FALSE(doc.loaded());
    }
}

std::string utf16(std::u16string_view text, bool big_endian) {
    std::string out;
    for (const char16_t c : text) {
        const char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xff);
        out += big_endian ? hi : lo;
        out += big_endian ? lo : hi;
    }
    return out;
}

TEST(Encodings, TheDeclaredEncodingIsHonoured) {
    struct Case {
        std::string name;
        std::string bytes;
    };
    const std::u16string wide = u"\ufeff<?xml version=\"1.0\" encoding=\"UTF-16\"?><a>Ação €</a>";
    const Case cases[] = {
        {"UTF-8", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>A\xc3\xa7\xc3\xa3o \xe2\x82\xac</a>"},
        {"UTF-8 BOM", "\xef\xbb\xbf<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>A\xc3\xa7\xc3\xa3o \xe2\x82\xac</a>"},
        {"no declaration", "<a>A\xc3\xa7\xc3\xa3o \xe2\x82\xac</a>"},
        {"UTF-16LE BOM", utf16(wide, false)},
        {"UTF-16BE BOM", utf16(wide, true)},
        {"windows-1252", "<?xml version=\"1.0\" encoding=\"windows-1252\"?><a>A\xe7\xe3o \x80</a>"},
    };
    for (const auto& c : cases) {
        Document doc;
        doc.load(c.bytes, "enc.xml");
        EXPECT_EQ(doc.document_element().text(), u"Ação €") << c.name;
    }
    Document latin1;
    latin1.load("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>A\xe7\xe3o \xa4</a>", "enc.xml");
    EXPECT_EQ(latin1.document_element().text(), u"Ação \u00a4");
}

TEST(Safety, ExternalEntitiesAndDtdsAreNeverLoaded) {
    test::TempDir dir;
    const std::string secret = dir.write("secret.txt", "TOP-SECRET");
    const std::string dtd = dir.write("ext.dtd", "<!ENTITY e \"FROM-DTD\">");
    const std::string pe = dir.write("pe.ent", "<!ENTITY f \"FROM-PE\">");
    const std::string docs[] = {
        "<!DOCTYPE a [<!ENTITY e SYSTEM \"file://" + secret + "\">]><a>&e;</a>",
        "<!DOCTYPE a [<!ENTITY e SYSTEM \"" + secret + "\">]><a>&e;</a>",
        "<!DOCTYPE a SYSTEM \"file://" + dtd + "\"><a>&e;</a>",
        "<!DOCTYPE a [<!ENTITY % p SYSTEM \"file://" + pe + "\"> %p;]><a>&f;</a>",
        "<!DOCTYPE a [<!ENTITY e SYSTEM \"http://127.0.0.1:9/x\">]><a>&e;</a>",
        "<a xmlns:xi=\"http://www.w3.org/2001/XInclude\"><xi:include href=\"file://" + secret +
            "\" parse=\"text\"/></a>",
    };
    for (const auto& bytes : docs) {
        Document doc;
        std::string text;
        try {
            doc.load(bytes, "ext.xml");
            Node root = doc.document_element();
            for (Node n = root.first_child(); n; n = n.next_sibling())
                if (n.type() != NodeType::element) text += utf16_to_utf8(n.text());
        } catch (const ParseError&) {
            // Refusing the document is fine too.
        }
        EXPECT_EQ(text.find("TOP-SECRET"), std::string::npos) << bytes;
        EXPECT_EQ(text.find("FROM-"), std::string::npos) << bytes;
    }
}

TEST(Safety, EntityExpansionBombsFailAsParseErrors) {
    std::string laughs = "<!DOCTYPE a [<!ENTITY l0 \"lol\">";
    for (int i = 1; i <= 12; ++i)
        laughs += "<!ENTITY l" + std::to_string(i) + " \"" + [&] {
            std::string refs;
            for (int k = 0; k < 10; ++k) refs += "&l" + std::to_string(i - 1) + ";";
            return refs;
        }() + "\">";
    laughs += "]><a>&l12;</a>";
    Document doc;
    EXPECT_THROW(doc.load(laughs, "bomb.xml"), ParseError);

    // Quadratic blow-up: one large entity referenced very many times.
    std::string quadratic = "<!DOCTYPE a [<!ENTITY big \"" + std::string(100000, 'x') + "\">]><a>";
    for (int i = 0; i < 100000; ++i) quadratic += "&big;";
    quadratic += "</a>";
    EXPECT_THROW(doc.load(quadratic, "quadratic.xml"), ParseError);
}

TEST(Safety, AbsurdNestingFailsAsAParseError) {
    const int depth = 100000;
    std::string deep;
    for (int i = 0; i < depth; ++i) deep += "<a>";
    for (int i = 0; i < depth; ++i) deep += "</a>";
    Document doc;
    EXPECT_THROW(doc.load(deep, "deep.xml"), ParseError);
    // Documents as deep as real ones load.
    std::string fine;
    for (int i = 0; i < 50; ++i) fine += "<a>";
    for (int i = 0; i < 50; ++i) fine += "</a>";
    EXPECT_NO_THROW(doc.load(fine, "fine.xml"));
}

TEST(Safety, AttributesCountAgainstTheNodeBound) {
    // Defaults declared once are added to every element: 52 attributes of
    // one byte for each "<b/>", within the bound of the text but beyond the
    // nodes the file's size allows.
    std::string xml = "<!DOCTYPE a [<!ATTLIST b";
    for (const char* letters : {"abcdefghijklmnopqrstuvwxyz", "ABCDEFGHIJKLMNOPQRSTUVWXYZ"})
        for (const char* c = letters; *c; ++c) xml += std::string(" ") + *c + " CDATA \"\"";
    xml += ">]><a>";
    for (int i = 0; i < 10000; ++i) xml += "<b/>";
    xml += "</a>";
    Document doc;
    try {
        doc.load(xml, "defaults.xml");
        ADD_FAILURE() << "a document beyond the node bound loaded";
    } catch (const ParseError& e) {
        EXPECT_EQ(e.reason, "The document is too large.");
    }
}

TEST(Safety, DistinctNamesAreBoundedByTheFileSize) {
    // A 28 KB document with `names` distinct element names, padded to its
    // size by a comment.
    constexpr std::size_t size = 28 * 1024;
    const auto document = [](std::size_t names) {
        std::string xml = "<r>";
        for (std::size_t i = 1; i < names; ++i) xml += "<n" + std::to_string(i) + "/>";
        xml += "<!--";
        xml.append(size - xml.size() - 7, 'x');
        return xml + "--></r>";
    };
    const std::size_t bound = limits::max_names(size);
    Document doc;
    // A few names below the bound load (the tree names its text, comment
    // and document nodes too)...
    const std::string below = document(bound - 8);
    ASSERT_EQ(below.size(), size);
    EXPECT_NO_THROW(doc.load(below, "below.xml"));
    // ...and one above is refused.
    const std::string above = document(bound + 1);
    ASSERT_EQ(above.size(), size);
    try {
        doc.load(above, "above.xml");
        ADD_FAILURE() << "a document beyond the bound of distinct names loaded";
    } catch (const ParseError& e) {
        EXPECT_EQ(e.reason, "The document has too many distinct names.");
    }
}

TEST(Corpus, RealDocumentsKeepTheirStructure) {
    IDF_REQUIRE_CORPUS();
    const auto bytes = test::read_bytes(test::corpus_path("nfe/nfelib-nfe400-35-1808-47428.xml"));
    ASSERT_TRUE(bytes);
    Document doc;
    doc.load(*bytes, "corpus.xml");
    Node root = doc.document_element();
    EXPECT_EQ(root.name(), "nfeProc");
    Node inf_prot = root.find("protNFe").find("infProt");
    ASSERT_TRUE(inf_prot);
    EXPECT_EQ(text8(inf_prot.find("chNFe")), "35180834128745000152550010000474281920007498");
    Node inf_nfe = root.find("NFe").find("infNFe");
    ASSERT_TRUE(inf_nfe);
    int items = 0;
    for (Node n = inf_nfe.first_child(); n; n = n.next_sibling())
        if (n.type() == NodeType::element && n.name() == "det") ++items;
    EXPECT_EQ(items, 6);
    // The signature declares its own namespace and is not found by name.
    EXPECT_FALSE(root.find("NFe").find("Signature"));
}

}  // namespace
}  // namespace idf::xml
