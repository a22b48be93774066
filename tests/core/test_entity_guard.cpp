// The entity-expansion check that runs before MSXML sees a document.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "xml/entity_guard.hpp"

namespace {

using idf::xml::check_entity_expansion;

std::string billion_laughs(int levels) {
    std::string dtd = "<!DOCTYPE lolz [\n <!ENTITY lol \"lol\">\n";
    for (int i = 1; i <= levels; ++i) {
        dtd += " <!ENTITY lol" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k) dtd += i == 1 ? "&lol;" : "&lol" + std::to_string(i - 1) + ";";
        dtd += "\">\n";
    }
    return "<?xml version=\"1.0\"?>\n" + dtd + "]>\n<lolz>&lol" + std::to_string(levels) + ";</lolz>";
}

std::string utf16le(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

TEST(EntityGuard, HarmlessDocumentsPass) {
    const char* harmless[] = {
        "<a>no DTD at all</a>",
        "<!DOCTYPE a SYSTEM \"http://127.0.0.1:9/never.dtd\"><a/>",
        "<!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;&e;&lt;&#65;</a>",
        "<!DOCTYPE a [<!ENTITY ext SYSTEM \"file:///etc/passwd\">]><a>&ext;</a>",
        "<!DOCTYPE a [<!-- [ ] -->\n<!ELEMENT a (#PCDATA)>]><a/>",
        "<!DOCTYPE a [<!ENTITY % pe \"<!ENTITY x 'y'>\">]><a/>",  // declared, never referenced
        // Markup that looks like a declaration, past the prolog, declares nothing.
        "<a><![CDATA[<!DOCTYPE b [<!ENTITY % p 'x'> %p;]>]]></a>",
        "<!-- <!DOCTYPE b [%p;]> --><?pi <!DOCTYPE?>\n<a/>",
    };
    for (const char* doc : harmless) EXPECT_FALSE(check_entity_expansion(doc)) << doc;
    // Three levels of ten: a thousand characters, well within bounds.
    EXPECT_FALSE(check_entity_expansion(billion_laughs(3)));
}

TEST(EntityGuard, BombsAreRefusedWithTheLineOfTheDoctype) {
    const auto problem = check_entity_expansion(billion_laughs(9));
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->line, 2);
    EXPECT_NE(problem->reason.find("expand"), std::string::npos);
    // The same bomb in UTF-16 is seen through.
    EXPECT_TRUE(check_entity_expansion(utf16le(billion_laughs(9))));
    // After a comment and a processing instruction in the prolog, too.
    EXPECT_TRUE(check_entity_expansion("<!-- x -->\n<?pi?>" + billion_laughs(9).substr(22)));
}

TEST(EntityGuard, LimitGrowsWithTheDocument) {
    // One entity of 1000 characters referenced N times.
    const std::string value(1000, 'x');
    const auto doc = [&](int refs) {
        std::string body;
        for (int i = 0; i < refs; ++i) body += "&big;";
        return "<!DOCTYPE a [<!ENTITY big \"" + value + "\">]><a>" + body + "</a>";
    };
    EXPECT_FALSE(check_entity_expansion(doc(100)));  // 100 000 characters
    EXPECT_TRUE(check_entity_expansion(doc(3000)));  // 3 000 000 from a 16 KB file
    EXPECT_EQ(idf::xml::entity_expansion_limit(0), 1000000u);
}

TEST(EntityGuard, LoopsAndParameterEntitiesAreRefused) {
    EXPECT_TRUE(check_entity_expansion("<!DOCTYPE a [<!ENTITY a \"&b;\"><!ENTITY b \"&a;\">]><a>&a;</a>"));
    EXPECT_TRUE(check_entity_expansion("<!DOCTYPE a [<!ENTITY % p \"<!ENTITY e 'x'>\"> %p;]><a>&e;</a>"));
}

TEST(EntityGuard, AttributeDefaultsCountOncePerElement) {
    std::string elements;
    for (int i = 0; i < 2000; ++i) elements += "<b/>";
    const std::string value(1000, 'x');
    const std::string doc =
        "<!DOCTYPE a [<!ENTITY big \"" + value + "\"><!ATTLIST b c CDATA \"&big;\">]><a>" + elements + "</a>";
    EXPECT_TRUE(check_entity_expansion(doc));
}

TEST(EntityGuard, ManyAttributeDefaultsAreRefused) {
    std::string list = "<!ATTLIST b";
    for (std::size_t i = 0; i <= idf::xml::max_attribute_defaults; ++i) list += " d" + std::to_string(i) + " CDATA 'v'";
    const std::string doc = "<!DOCTYPE a [" + list + ">]><a><b/></a>";
    const auto problem = check_entity_expansion(doc);
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->reason.find("attribute defaults"), std::string::npos);
    EXPECT_FALSE(check_entity_expansion("<!DOCTYPE a [<!ATTLIST b c CDATA \"v\" d CDATA #FIXED 'w'>]><a><b/></a>"));
}

TEST(EntityGuard, RealDocumentsPass) {
    const char* corpus = std::getenv("IDF_CORPUS_DIR");
    if (!corpus || !*corpus) GTEST_SKIP() << "IDF_CORPUS_DIR is not set: the real documents are not available";
    const char* files[] = {"nfe/nfelib-nfe400-35-1808-47428.xml", "nfe/nfedanfe-nfe400-bom.xml",
                           "cte/spedda-cte300-hom-31nfe.xml", "cte/nfelib-cte300-35-1906-52203-multimodal.xml"};
    for (const char* name : files) {
        std::ifstream in(std::string(corpus) + "/" + name, std::ios::binary);
        ASSERT_TRUE(in) << name;
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_FALSE(check_entity_expansion(bytes)) << name;
    }
}

}  // namespace
