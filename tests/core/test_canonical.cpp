// The canonical form of a signed element: one golden row per rule, each
// through the real parser, from the element a path of names leads to.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>

#include "xml/canonical.hpp"
#include "xml/tree.hpp"

namespace idf::xml {
namespace {

struct Row {
    const char* rule;
    std::string_view xml;
    std::initializer_list<std::string_view> path;  // from the document element
    std::string_view canonical;
};

// By local name, whatever the namespace (a Signature is in its own).
Node element_at(Document& doc, std::initializer_list<std::string_view> path) {
    Node node = doc.document_element();
    for (const std::string_view name : path) {
        Node child = node.first_child();
        while (child && !(child.type() == NodeType::element && child.local_name() == name))
            child = child.next_sibling();
        node = child;
        if (!node) break;
    }
    return node;
}

constexpr std::string_view nfe_ns = "http://www.portalfiscal.inf.br/nfe";

TEST(CanonicalXml, OneRowPerRule) {
    const Row rows[] = {
        {"attributes sorted by namespace, then local name; declarations first, default before prefixes",
         R"(<a xmlns="urn:d" xmlns:z="urn:a" xmlns:b="urn:b" z:k="1" b:k="2" y="3" Id="4" b:a="5"/>)",
         {},
         R"(<a xmlns="urn:d" xmlns:b="urn:b" xmlns:z="urn:a" Id="4" y="3" z:k="1" b:a="5" b:k="2"></a>)"},
        {"attributes of one namespace sorted by local name, whatever their prefixes",
         R"(<a xmlns:x="urn:s" xmlns:y="urn:s" x:b="1" y:a="2"/>)",
         {},
         R"(<a xmlns:x="urn:s" xmlns:y="urn:s" y:a="2" x:b="1"></a>)"},
        {"text escaping: & < > and CR; the quote and the apostrophe stay",
         "<a>x &amp; &lt;y&gt; \"q\" 'p' &#13;&#10;z</a>",
         {},
         "<a>x &amp; &lt;y&gt; \"q\" 'p' &#xD;\nz</a>"},
        {"attribute escaping: & < \" tab LF CR; > and the apostrophe stay",
         R"(<a v="&amp;&lt;&gt;&quot;'&#9;&#10;&#13;e"/>)",
         {},
         R"(<a v="&amp;&lt;>&quot;'&#x9;&#xA;&#xD;e"></a>)"},
        {"attribute values normalised by the parser: a literal tab or line break is a blank",
         "<a v=\"x\ty\nz\"/>",
         {},
         R"(<a v="x y z"></a>)"},
        {"CDATA written as text, escaped, joined with the text around it",
         "<a>1<![CDATA[<b>&]]>2</a>",
         {},
         "<a>1&lt;b&gt;&amp;2</a>"},
        {"character and entity references resolved",
         R"(<!DOCTYPE a [<!ENTITY e "Sa&#245;o">]><a t="&#65;&e;">&#x43;&amp;&e;&#x1F600;</a>)",
         {},
         "<a t=\"ASa\xC3\xB5o\">C&amp;Sa\xC3\xB5o\xF0\x9F\x98\x80</a>"},
        {"the default namespace inherited from above is declared on the element",
         R"(<nfeProc xmlns="http://www.portalfiscal.inf.br/nfe"><NFe><infNFe Id="NFe1"><ide/></infNFe></NFe></nfeProc>)",
         {"NFe", "infNFe"},
         R"(<infNFe xmlns="http://www.portalfiscal.inf.br/nfe" Id="NFe1"><ide></ide></infNFe>)"},
        {"a wrapper's declarations that nothing inside uses are left out",
         R"(<nfeProc xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" xmlns:xsd="http://www.w3.org/2001/XMLSchema" xmlns="http://www.portalfiscal.inf.br/nfe" versao="4.00"><NFe xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"><infNFe versao="4.00" Id="NFe1"><ide/></infNFe></NFe></nfeProc>)",
         {"NFe", "infNFe"},
         R"(<infNFe xmlns="http://www.portalfiscal.inf.br/nfe" Id="NFe1" versao="4.00"><ide></ide></infNFe>)"},
        {"a prefix used inside is declared where it is first used, once",
         R"(<r xmlns:n="urn:n" xmlns:q="urn:q"><e><n:a q:t="1"><n:b/></n:a></e></r>)",
         {"e"},
         R"(<e><n:a xmlns:n="urn:n" xmlns:q="urn:q" q:t="1"><n:b></n:b></n:a></e>)"},
        {"a redeclaration to the same namespace is not repeated",
         R"(<a xmlns="urn:x"><b xmlns="urn:x"><c xmlns="urn:y"/></b></a>)",
         {},
         R"(<a xmlns="urn:x"><b><c xmlns="urn:y"></c></b></a>)"},
        {"an element leaving a default namespace declares xmlns=\"\"",
         R"(<a xmlns="urn:x"><b xmlns=""><c/></b></a>)",
         {},
         R"(<a xmlns="urn:x"><b xmlns=""><c></c></b></a>)"},
        {"no xmlns=\"\" on an element never under a default namespace",
         R"(<a><b xmlns=""/></a>)",
         {},
         R"(<a><b></b></a>)"},
        {"white-space-only text between tags left out: a re-indented document gives the same bytes",
         "<a>\r\n  <b>\n\t<c>x y</c>\n  </b>\n  <d> </d>\n</a>",
         {},
         "<a><b><c>x y</c></b><d></d></a>"},
        {"comments left out, processing instructions kept",
         "<a><!-- c --><?p  d e?><?q?>x<!--y-->z</a>",
         {},
         "<a><?p d e?><?q?>xz</a>"},
        {"the signature's SignedInfo under its own default namespace",
         R"(<NFe xmlns="http://www.portalfiscal.inf.br/nfe"><Signature xmlns="http://www.w3.org/2000/09/xmldsig#"><SignedInfo><Reference URI="#NFe1"/></SignedInfo></Signature></NFe>)",
         {"Signature", "SignedInfo"},
         R"(<SignedInfo xmlns="http://www.w3.org/2000/09/xmldsig#"><Reference URI="#NFe1"></Reference></SignedInfo>)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.rule);
        Document doc;
        doc.load(row.xml, "doc.xml");
        const Node element = element_at(doc, row.path);
        ASSERT_TRUE(element);
        EXPECT_EQ(canonical_xml(element), row.canonical);
    }
}

// What the import's lookups add to the tree (an element created by
// child(), the empty text of an element read with text()) is not the
// document's and never reaches the canonical bytes.
TEST(CanonicalXml, LeavesOutWhatLookupsCreated) {
    Document doc;
    doc.load(std::string("<infNFe xmlns=\"") + std::string(nfe_ns) + "\"><ide><serie/></ide></infNFe>", "doc.xml");
    const Node root = doc.document_element();
    const std::string before = canonical_xml(root);
    root.child("emit").child("CNPJ").text();
    root.find("ide").child("serie").text();
    EXPECT_EQ(canonical_xml(root), before);
    EXPECT_EQ(before, std::string("<infNFe xmlns=\"") + std::string(nfe_ns) + "\"><ide><serie></serie></ide></infNFe>");
}

TEST(CanonicalXml, RefusesWhatIsNotAnElement) {
    Document doc;
    doc.load("<a>x</a>", "doc.xml");
    EXPECT_THROW(canonical_xml(Node()), XmlDocError);
    EXPECT_THROW(canonical_xml(doc.document_element().first_child()), XmlDocError);
}

// Deep nesting is walked without recursion.
TEST(CanonicalXml, DeepNesting) {
    std::string xml;
    for (int i = 0; i < 250; ++i) xml += "<e>";
    xml += "x";
    for (int i = 0; i < 250; ++i) xml += "</e>";
    Document doc;
    doc.load(xml, "doc.xml");
    EXPECT_EQ(canonical_xml(doc.document_element()), xml);
}

}  // namespace
}  // namespace idf::xml
