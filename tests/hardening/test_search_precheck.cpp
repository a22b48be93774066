// The search's quick look at the bytes must never change which file is
// imported: for every way of writing a key, the file chosen is the one that
// parsing every file in full, in name order, chooses.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "hardening/hardening_support.hpp"
#include "search/folder_scan.hpp"
#include "search/key_precheck.hpp"
#include "values/text.hpp"
#include "xml/tree.hpp"

namespace idf {
namespace {

namespace fs = std::filesystem;
using test::DocType;
using test::key_a;
using test::key_b;
using test::nfe_doc;

const std::string K(key_a);

// The key with every character written as a decimal (or hexadecimal)
// character reference.
std::string as_references(std::string_view key, bool hex) {
    std::string out;
    for (const char c : key) {
        char buf[16];
        std::snprintf(buf, sizeof buf, hex ? "&#x%X;" : "&#%d;", c);
        out += buf;
    }
    return out;
}

struct File {
    std::string name;
    std::string bytes;
};

struct SearchCase {
    const char* what;
    DocType type;
    std::string key;
    std::vector<File> files;
    // The file a full parse chooses, when the case pins it down; the search
    // must always choose what the full parse chooses.
    std::optional<std::string> expected;
};

std::vector<SearchCase> search_cases() {
    const std::string doc_b = nfe_doc(K);  // the plain file that sorts last
    const std::string utf8_decl = R"(<?xml version="1.0" encoding="UTF-8"?>)";
    const std::string utf16_decl = R"(<?xml version="1.0" encoding="UTF-16"?>)";
    std::vector<SearchCase> cases = {
        {"decimal character references",
         DocType::nfe,
         K,
         {{"a.xml", nfe_doc(as_references(K, false))}, {"b.xml", doc_b}},
         "a.xml"},
        {"hexadecimal character references",
         DocType::nfe,
         K,
         {{"a.xml", nfe_doc(as_references(K, true))}, {"b.xml", doc_b}},
         "a.xml"},
        {"one reference with leading zeros",
         DocType::nfe,
         K,
         {{"a.xml", nfe_doc("&#00051;" + K.substr(1))}, {"b.xml", doc_b}},
         "a.xml"},
        {"whole key in CDATA",
         DocType::nfe,
         K,
         {{"a.xml", nfe_doc("<![CDATA[" + K + "]]>")}, {"b.xml", doc_b}},
         "a.xml"},
        {"CDATA between blanks",
         DocType::nfe,
         K,
         {{"a.xml", nfe_doc(" <![CDATA[" + K + "]]>\n")}, {"b.xml", doc_b}},
         std::nullopt},
        {"key split between text and CDATA",
         DocType::nfe,
         K,
         {{"a.xml", nfe_doc(K.substr(0, 20) + "<![CDATA[" + K.substr(20) + "]]>")}, {"b.xml", doc_b}},
         "b.xml"},
        {"key split in two CDATA sections",
         DocType::nfe,
         K,
         {{"a.xml", nfe_doc("<![CDATA[" + K.substr(0, 9) + "]]><![CDATA[" + K.substr(9) + "]]>")}, {"b.xml", doc_b}},
         std::nullopt},
        {"internal entity holding the key",
         DocType::nfe,
         K,
         {{"a.xml", nfe_doc("&k;", utf8_decl + "<!DOCTYPE nfeProc [<!ENTITY k \"" + K + "\">]>")}, {"b.xml", doc_b}},
         "a.xml"},
        {"nested entities each holding a piece",
         DocType::nfe,
         K,
         {{"a.xml", nfe_doc("&k;", utf8_decl + "<!DOCTYPE nfeProc [<!ENTITY p \"" + K.substr(0, 22) +
                                       "\"><!ENTITY k \"&p;" + K.substr(22) + "\">]>")},
          {"b.xml", doc_b}},
         "a.xml"},
        {"entity made of character references",
         DocType::nfe,
         K,
         {{"a.xml", nfe_doc("&k;", utf8_decl + "<!DOCTYPE nfeProc [<!ENTITY k \"" + as_references(K, false) + "\">]>")},
          {"b.xml", doc_b}},
         "a.xml"},
        {"entity declared through a parameter entity",
         DocType::nfe,
         K,
         {{"a.xml", nfe_doc("&k;", utf8_decl + "<!DOCTYPE nfeProc [<!ENTITY % d \"<!ENTITY k '" + K + "'>\"> %d;]>")},
          {"b.xml", doc_b}},
         std::nullopt},
        {"text around an entity",
         DocType::nfe,
         K,
         {{"a.xml", nfe_doc(K.substr(0, 4) + "&m;" + K.substr(40),
                            utf8_decl + "<!DOCTYPE nfeProc [<!ENTITY m \"" + K.substr(4, 36) + "\">]>")},
          {"b.xml", doc_b}},
         "a.xml"},
        {"unresolved external entity inside the key",
         DocType::nfe,
         K,
         {{"a.xml", nfe_doc(K.substr(0, 10) + "&e;" + K.substr(10),
                            utf8_decl + "<!DOCTYPE nfeProc [<!ENTITY e SYSTEM \"nada.txt\">]>")},
          {"b.xml", doc_b}},
         std::nullopt},
        {"comment inside the key element",
         DocType::nfe,
         K,
         {{"a.xml", nfe_doc(K.substr(0, 10) + "<!-- x -->" + K.substr(10))}, {"b.xml", doc_b}},
         "b.xml"},
        {"empty comment inside the key element",
         DocType::nfe,
         K,
         {{"a.xml", nfe_doc(K.substr(0, 10) + "<!---->" + K.substr(10))}, {"b.xml", doc_b}},
         "b.xml"},
        {"processing instruction inside the key element",
         DocType::nfe,
         K,
         {{"a.xml", nfe_doc(K.substr(0, 10) + "<?pi x?>" + K.substr(10))}, {"b.xml", doc_b}},
         "b.xml"},
        {"key element written with a prefix",
         DocType::nfe,
         K,
         {{"a.xml", "<n:nfeProc xmlns:n=\"http://www.portalfiscal.inf.br/nfe\"><n:protNFe><n:infProt><n:chNFe>" + K +
                        "</n:chNFe></n:infProt></n:protNFe></n:nfeProc>"},
          {"b.xml", doc_b}},
         "a.xml"},
        {"ISO-8859-1 with accented text",
         DocType::nfe,
         K,
         {{"a.xml", test::to_latin1(nfe_doc(K, R"(<?xml version="1.0" encoding="ISO-8859-1"?>)") +
                                    "<!-- S\xC3\xA3o Jo\xC3\xA3o -->")},
          {"b.xml", doc_b}},
         "a.xml"},
        {"windows-1252 with a euro sign",
         DocType::nfe,
         K,
         {{"a.xml", nfe_doc(K, R"(<?xml version='1.0' encoding='windows-1252'?>)") + "<!-- \x80 -->"},
          {"b.xml", doc_b}},
         "a.xml"},
        {"UTF-16 little endian with a byte-order mark",
         DocType::nfe,
         K,
         {{"a.xml", "\xFF\xFE" + test::to_utf16le(nfe_doc(K, utf16_decl))}, {"b.xml", doc_b}},
         "a.xml"},
        {"UTF-16 big endian with a byte-order mark",
         DocType::nfe,
         K,
         {{"a.xml", "\xFE\xFF" + test::to_utf16be(nfe_doc(K, utf16_decl))}, {"b.xml", doc_b}},
         "a.xml"},
        {"UTF-16 without a byte-order mark",
         DocType::nfe,
         K,
         {{"a.xml", test::to_utf16le(nfe_doc(K, utf16_decl))}, {"b.xml", doc_b}},
         std::nullopt},
        {"EBCDIC",
         DocType::nfe,
         K,
         {{"a.xml", test::to_ebcdic037(nfe_doc(K, R"(<?xml version="1.0" encoding="IBM037"?>)"))}, {"b.xml", doc_b}},
         std::nullopt},
        {"UTF-7 with the first digit in base64",
         DocType::nfe,
         K,
         {{"a.xml", nfe_doc("+ADM-" + K.substr(1), R"(<?xml version="1.0" encoding="UTF-7"?>)")}, {"b.xml", doc_b}},
         std::nullopt},
        {"UTF-8 byte-order mark, ISO-8859-1 declared",
         DocType::nfe,
         K,
         {{"a.xml", "\xEF\xBB\xBF" + nfe_doc(K, R"(<?xml version="1.0" encoding="ISO-8859-1"?>)")}, {"b.xml", doc_b}},
         std::nullopt},
        {"overlong UTF-8 for a digit",
         DocType::nfe,
         K,
         {{"a.xml", nfe_doc("\xC0\xB3" + K.substr(1))}, {"b.xml", doc_b}},
         "b.xml"},
        {"superscript three in Latin-1 for a digit",
         DocType::nfe,
         K,
         {{"a.xml", nfe_doc("\xB3" + K.substr(1), R"(<?xml version="1.0" encoding="ISO-8859-1"?>)")}, {"b.xml", doc_b}},
         "b.xml"},
        {"fullwidth digit for a digit",
         DocType::nfe,
         K,
         {{"a.xml", nfe_doc("\xEF\xBC\x93" + K.substr(1))}, {"b.xml", doc_b}},
         "b.xml"},
        {"key surrounded by blanks", DocType::nfe, K, {{"a.xml", nfe_doc(" " + K + " ")}, {"b.xml", doc_b}}, "b.xml"},
        {"truncated file with the key before the match",
         DocType::nfe,
         K,
         {{"a.xml", nfe_doc(K).substr(0, 200)}, {"b.xml", doc_b}},
         "b.xml"},
        {"binary file with the key before the match",
         DocType::nfe,
         K,
         {{"a.xml", std::string("\x00\x01\xFF", 3) + K}, {"b.xml", doc_b}},
         "b.xml"},
        {"key only in an attribute and a comment",
         DocType::nfe,
         K,
         {{"a.xml", "<nfeProc><NFe><infNFe Id=\"NFe" + K + "\"/></NFe><!-- " + K + " --></nfeProc>"}, {"b.xml", doc_b}},
         "b.xml"},
        {"CT-e key as character references",
         DocType::cte,
         K,
         {{"a.xml", test::cte_doc(as_references(K, false))}, {"b.xml", test::cte_doc(K)}},
         "a.xml"},
        {"NF-e key searched as a CT-e", DocType::cte, K, {{"a.xml", nfe_doc(K)}}, ""},
        {"same key twice: first name ignoring case",
         DocType::nfe,
         K,
         {{"B.xml", doc_b}, {"a.xml", nfe_doc(as_references(K, true))}},
         "a.xml"},
        {"argument with a trailing blank", DocType::nfe, K + " ", {{"a.xml", nfe_doc(K)}}, ""},
        {"argument with an accented letter",
         DocType::nfe,
         K.substr(0, 43) + "\xC3\xA9",
         {{"a.xml", nfe_doc(K.substr(0, 43) + "\xC3\xA9")}, {"b.xml", doc_b}},
         "a.xml"},
        {"argument with a question mark for a character CP1252 lacks",
         DocType::nfe,
         K.substr(0, 43) + "?",
         {{"a.xml", nfe_doc(K.substr(0, 43) + "\xC4\x81")}, {"b.xml", doc_b}},
         "a.xml"},
        {"other keys only",
         DocType::nfe,
         K,
         {{"a.xml", nfe_doc(std::string(key_b))}, {"b.xml", nfe_doc(std::string(key_b))}},
         ""},
    };
    return cases;
}

TEST(SearchPrecheck, ChoosesTheFileThatAFullParseChooses) {
    for (const SearchCase& c : search_cases()) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        for (const File& file : c.files) dir.write(file.name, file.bytes);
        const std::string by_full_parse = test::chosen_by_full_parse(c.type, c.key, dir.str());
        if (c.expected) {
            EXPECT_EQ(by_full_parse, *c.expected);
        }
        const test::SearchRun run = test::search(c.type, c.key, dir.str());
        EXPECT_EQ(run.chosen, by_full_parse);
    }
}

// Every file of the corpus whose protocol key a full parse reads is one the
// quick check lets through for that key; and for a key it does not hold,
// the check passes over every document but those that hold a character
// reference to a digit or letter, NFC-e with their QR code in a
// CDATA section included, which is what makes a large folder fast.
TEST(SearchPrecheck, CorpusFilesPassForTheirOwnKeyAndMostAreSkippedForAnother) {
    IDF_REQUIRE_CORPUS();
    int documents = 0;
    int skipped = 0;
    const KeyPrecheck absent("35991199999999999999550010000000011000000019");
    for (const char* sub : {"nfe", "cte"}) {
        for (const auto& entry : fs::directory_iterator(test::corpus_path(sub))) {
            const auto bytes = test::read_bytes(entry.path().string());
            ASSERT_TRUE(bytes);
            SCOPED_TRACE(entry.path().filename().string());
            xml::Document doc;
            try {
                doc.load(*bytes, entry.path().string());
            } catch (const std::exception&) {
                continue;
            }
            for (const auto& [protocol, name] : {std::pair{"protNFe", "chNFe"}, std::pair{"protCTe", "chCTe"}}) {
                const xml::Node prot = doc.document_element().find(protocol);
                if (!prot) continue;
                const xml::Node inf = prot.find("infProt");
                if (!inf) continue;
                const std::u16string text = inf.child(name).text();
                if (is_blank(text)) continue;
                EXPECT_TRUE(KeyPrecheck(to_ansi(text)).may_carry_key(*bytes));
            }
            ++documents;
            if (!absent.may_carry_key(*bytes))
                ++skipped;
            else
                EXPECT_NE(bytes->find("&#"), std::string::npos);
        }
    }
    EXPECT_GT(documents, 90);
    EXPECT_GE(skipped * 100, documents * 90) << skipped << " of " << documents << " skipped";
}

TEST(SearchPrecheck, AnswersMaybeForEveryConstructThatCanSpellTheKey) {
    const std::string plain = nfe_doc(std::string(key_b));
    struct Case {
        const char* what;
        std::string bytes;
        bool may_carry;
    };
    const Case cases[] = {
        {"another key, plain UTF-8", plain, false},
        {"the key anywhere in the bytes", plain + "<!-- " + K + " -->", true},
        {"the key in an attribute", "<a b=\"" + K + "\"/>", true},
        {"no declaration", plain.substr(plain.find("?>") + 2), false},
        {"blanks and a UTF-8 mark before the root", "\xEF\xBB\xBF \r\n" + plain.substr(plain.find("?>") + 2), false},
        {"UTF-8 mark, UTF-8 declared", "\xEF\xBB\xBF" + plain, false},
        {"ISO-8859-1 declared", nfe_doc(std::string(key_b), R"(<?xml version="1.0" encoding="ISO-8859-1"?>)"), false},
        {"windows-1252 declared in single quotes",
         nfe_doc(std::string(key_b), R"(<?xml version='1.0' encoding = 'Windows-1252'?>)"), false},
        {"UTF-16 declared", nfe_doc(std::string(key_b), R"(<?xml version="1.0" encoding="UTF-16"?>)"), true},
        {"Shift_JIS declared", nfe_doc(std::string(key_b), R"(<?xml version="1.0" encoding="Shift_JIS"?>)"), true},
        {"UTF-7 declared", nfe_doc(std::string(key_b), R"(<?xml version="1.0" encoding="UTF-7"?>)"), true},
        {"unterminated declaration", R"(<?xml version="1.0" encoding="UTF-8")", true},
        {"UTF-16 mark", std::string("\xFF\xFE<\0", 4), true},
        {"UTF-32 without a mark", std::string("<\0\0\0?\0\0\0", 8), true},
        {"a NUL byte", plain + std::string(1, '\0'), true},
        {"EBCDIC head", test::to_ebcdic037("<?xml version=\"1.0\"?>"), true},
        {"text before the root", "x" + plain, true},
        {"empty file", "", true},
        {"document type declaration", "<!DOCTYPE nfeProc>" + plain.substr(plain.find("?>") + 2), true},
        {"entity declaration alone", plain + "<!ENTITY", true},
        {"document type declaration inside a comment", plain + "<!-- <!DOCTYPE x> -->", true},
        {"document type declaration inside a processing instruction", plain + "<?pi <!DOCTYPE x> ?>", true},
        {"comments anywhere", nfe_doc("1<!-- x -->a" + std::string(key_b)) + "<!---->", false},
        {"processing instructions next to digits", nfe_doc("1<?pi <!-- ]]> --> ?>1"), false},
        {"CDATA section holding another key", nfe_doc("<![CDATA[" + std::string(key_b) + "]]>"), false},
        {"QR code of an NFC-e in a CDATA section",
         plain + "<infNFeSupl><qrCode><![CDATA[https://sefaz.example/qrcode?p=" + std::string(key_b) +
             "|2|1]]></qrCode></infNFeSupl>",
         false},
        {"the key in a CDATA section", nfe_doc("<![CDATA[" + K + "]]>"), true},
        {"the key split between text and a CDATA section",
         nfe_doc(K.substr(0, 20) + "<![CDATA[" + K.substr(20) + "]]>"), true},
        {"the key split in two CDATA sections",
         nfe_doc("<![CDATA[" + K.substr(0, 7) + "]]><![CDATA[" + K.substr(7) + "]]>"), true},
        {"the key split by an empty CDATA section", nfe_doc(K.substr(0, 5) + "<![CDATA[]]>" + K.substr(5)), true},
        {"the key split by a comment", nfe_doc(K.substr(0, 10) + "<!-- x -->" + K.substr(10)), true},
        {"the key split by a comment holding a CDATA closer", nfe_doc(K.substr(0, 10) + "<!-- ]]> -->" + K.substr(10)),
         true},
        {"the key split by a processing instruction", nfe_doc(K.substr(0, 30) + "<?pi x?>" + K.substr(30)), true},
        {"the key split by a comment, CDATA elsewhere",
         nfe_doc(K.substr(0, 10) + "<!---->" + K.substr(10)) + "<a><![CDATA[x]]></a>", true},
        {"the key split by a tag", "<a>" + K.substr(0, 10) + "<b/>" + K.substr(10) + "</a>", false},
        {"a comment opener inside a CDATA section splits the key",
         nfe_doc(K.substr(0, 10) + "<![CDATA[<!--]]>" + K.substr(10)) + "<!-- -->", false},
        {"CDATA section left open", plain + "<![CDATA[" + K.substr(0, 10), true},
        {"comment left open", nfe_doc(K.substr(0, 10) + "<!--" + K.substr(10)), true},
        {"processing instruction left open", plain + "<?pi ", true},
        {"CDATA opener inside a comment", plain + "<!-- <![CDATA[ -->", false},
        {"bare ampersands and references inside a CDATA section", plain + "<a><![CDATA[?x=1&y=2&#51;]]></a>", false},
        {"bare ampersand inside a comment", plain + "<!-- a & b -->", false},
        {"reference to a digit beside a CDATA section", plain + "<a><![CDATA[x]]>&#51;</a>", true},
        {"reference to a digit", plain + "&#51;", true},
        {"reference to a digit with leading zeros", plain + "&#00051;", true},
        {"hexadecimal reference to a digit", plain + "&#x33;", true},
        {"hexadecimal reference to a letter, in capitals", plain + "&#x4E;", true},
        {"reference to a small letter", plain + "&#97;", true},
        {"hexadecimal reference with a capital X", plain + "&#X33;", true},
        {"reference with more digits than any character needs", plain + "&#000000216;", true},
        {"reference without its semicolon", plain + "&#216 ", true},
        {"reference without digits", plain + "&#;", true},
        {"reference to a carriage return", plain + "&#13;", false},
        {"reference to an accented letter", plain + "&#216;", false},
        {"hexadecimal reference to an accented letter", plain + "&#xe3;&#xC7;", false},
        {"reference to the character after z", plain + "&#123;", false},
        {"another key split by a reference to a blank",
         nfe_doc(std::string(key_b).substr(0, 20) + "&#32;" + std::string(key_b).substr(20)), false},
        {"the key split by a reference to a blank, then a reference to a digit",
         nfe_doc(K.substr(0, 20) + "&#32;" + K.substr(20)) + "&#51;", true},
        {"entity reference", plain + "&k;", true},
        {"bare ampersand", plain + "& ", true},
        {"predefined entities", plain + "&amp;&lt;&gt;&quot;&apos;", false},
        {"predefined entity cut short", plain + "&amp", true},
        {"overlong UTF-8 (C0)", plain + "\xC0\xB3", true},
        {"overlong UTF-8 (E0)", plain + "\xE0\x80\xB3", true},
        {"overlong UTF-8 (F0)", plain + "\xF0\x80\x80\xB3", true},
        {"valid UTF-8 accents", plain + "\xC3\xA3\xC3\xA7", false},
        {"valid three- and four-byte UTF-8", plain + "\xE0\xA4\x85\xF0\x9F\x98\x80", false},
        {"Latin-1 capital A grave, declared",
         nfe_doc("\xC0" + std::string(key_b), R"(<?xml version="1.0" encoding="ISO-8859-1"?>)"), false},
        {"UTF-8 mark, ISO-8859-1 declared",
         "\xEF\xBB\xBF" + nfe_doc("\xC0", R"(<?xml version="1.0" encoding="ISO-8859-1"?>)"), true},
    };
    const KeyPrecheck check(K);
    ASSERT_TRUE(check.active());
    for (const Case& c : cases) EXPECT_EQ(check.may_carry_key(c.bytes), c.may_carry) << c.what;
}

// Generated prologs (declarations, processing instructions and comments
// that hold what looks like other markup, document type declarations with
// entities) times ways of writing the key, in several encodings: alone in
// the folder and before a plain file with the same key, the search picks
// the file a full parse of every file picks.
TEST(SearchPrecheck, GeneratedPrologsAndKeyFormsChooseWhatAFullParseChooses) {
    const std::string half1 = K.substr(0, 22), half2 = K.substr(22);
    const std::string entities = "<!ENTITY a \"" + half1 + "\"><!ENTITY b \"" + half2 +
                                 "\"><!ENTITY n \"&a;&b;\"><!ENTITY r \"" + as_references(K, false) + "\">";
    const std::string doctype = "<!DOCTYPE nfeProc [" + entities + "]>";
    const std::vector<std::string> prologs = {
        "",
        "<?pi <!-- ?>" + doctype + "<!-- -->",
        "<?pi <![CDATA[ ?>" + doctype + "<!-- ]]> -->",
        "<?pi --> ?>" + doctype,
        "<?pi ]]> ?><?pi > ?>" + doctype,
        "<!-- <!DOCTYPE nfeProc [" + entities + "]> -->",
        "<!-- <?pi --><!DOCTYPE nfeProc [<!-- > ]> --><?pi ?>" + entities + "]>",
        doctype + "<?pi <!DOCTYPE x> ?>",
    };
    const std::vector<std::string> key_forms = {
        K,
        "&a;&b;",
        "&n;",
        "&r;",
        as_references(K, false),
        as_references(K, true).substr(0, 30) + K.substr(6),
        "<![CDATA[" + K + "]]>",
        "<![CDATA[" + half1 + "]]><![CDATA[" + half2 + "]]>",
        half1 + "<!-- x -->" + half2,
        half1 + "<?pi x?>" + half2,
        half1 + "&amp;" + half2,
        "<?pi <!-- ?>" + K + "<!-- ?> -->",
        half1 + "<![CDATA[" + half2 + "]]>",
        "<![CDATA[" + half1 + "]]>" + half2,
        half1 + "<![CDATA[]]>" + half2,
        " <![CDATA[" + K + "]]> ",
        "<![CDATA[" + K + "]]><!-- x -->",
        "<![CDATA[" + half1 + "<!-- x -->" + half2 + "]]>",
        half1 + "<!-- <![CDATA[ -->" + half2,
        half1 + "<!-- ]]> -->" + half2,
        half1 + "<![CDATA[<!--]]>" + half2,
        "<![CDATA[" + half1 + "]]>&#" + std::to_string(static_cast<int>(half2[0])) + ";" + half2.substr(1),
        "&a;<![CDATA[" + half2 + "]]>",
    };
    const auto as_utf16 = [](const std::string& utf8) { return "\xFF\xFE" + test::to_utf16le(utf8); };
    const std::vector<std::pair<std::string, std::function<std::string(const std::string&)>>> encodings = {
        {R"(<?xml version="1.0"?>)", [](const std::string& s) { return s; }},
        {R"(<?xml version="1.0" encoding="ISO-8859-1"?>)", [](const std::string& s) { return s; }},
        {R"(<?xml version="1.0" encoding="UTF-8"?>)", [](const std::string& s) { return "\xEF\xBB\xBF" + s; }},
        {R"(<?xml version="1.0" encoding="UTF-16"?>)", as_utf16},
    };
    int matched = 0;
    for (const auto& [declaration, encode] : encodings) {
        for (std::size_t p = 0; p < prologs.size(); ++p) {
            for (std::size_t k = 0; k < key_forms.size(); ++k) {
                SCOPED_TRACE(declaration + " prolog " + std::to_string(p) + " key form " + std::to_string(k));
                test::TempDir dir;
                dir.write("a.xml", encode(nfe_doc(key_forms[k], declaration + prologs[p])));
                const std::string alone = test::chosen_by_full_parse(DocType::nfe, K, dir.str());
                EXPECT_EQ(test::search(DocType::nfe, K, dir.str()).chosen, alone);
                dir.write("b.xml", nfe_doc(K));
                EXPECT_EQ(test::search(DocType::nfe, K, dir.str()).chosen, alone.empty() ? "b.xml" : "a.xml");
                matched += !alone.empty();
            }
        }
    }
    // The entities, references and CDATA forms do spell the key.
    EXPECT_GT(matched, 60);
}

TEST(SearchPrecheck, OnlyKeysOfAsciiDigitsAndLettersAreChecked) {
    const std::string plain = nfe_doc(std::string(key_b));
    for (const std::string& key : {std::string(), K + " ", " " + K, K.substr(0, 43) + "?", K.substr(0, 43) + "\xE9",
                                   K.substr(0, 43) + "-", K.substr(0, 20) + "&" + K.substr(21)}) {
        const KeyPrecheck check(key);
        EXPECT_FALSE(check.active()) << key;
        EXPECT_TRUE(check.may_carry_key(plain)) << key;
    }
    EXPECT_TRUE(KeyPrecheck("NFe" + K).active());
}

// Once the document is found, the pass parses a file of its folder only when
// it may hold an event of the key: never one without it, nor one that
// provably holds no infEvento element; always one in doubt.
TEST(SearchPrecheck, FilesParsedForTheEventsOfTheKey) {
    const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
    const std::string evento = "<procEventoNFe><evento><infEvento><chNFe>" + K +
                               "</chNFe><tpEvento>110110</tpEvento></infEvento></evento></procEventoNFe>";
    std::string utf16;
    for (const char c : "<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + evento) {
        utf16 += c;
        utf16 += '\0';
    }
    const struct {
        std::string what, bytes;
        bool parsed;
    } rows[] = {
        {"an event of another key", head + evento.substr(0, 41) + std::string(key_b) + evento.substr(85), false},
        {"a copy of the document", nfe_doc(K), false},
        {"the key in a comment, no event", head + "<a><!-- " + K + " --><b>" + K + "</b></a>", false},
        {"an event of the key", head + evento, true},
        {"a correction letter without its head", evento, true},
        {"a cancellation's codes with the key, damaged", head + "<x>" + K + " 110111", true},
        {"the document type may hide the element", "<!DOCTYPE a [<!ENTITY e \"x\">]><a>" + K + "</a>", true},
        {"UTF-16, whose bytes hide the names", "\xFF\xFE" + utf16, true},
    };
    const KeyPrecheck check(K);
    for (const auto& row : rows) EXPECT_EQ(may_hold_event(check, row.bytes), row.parsed) << row.what;
}

TEST(SearchPrecheck, TheAnsiConversionKeepsDigitsAndLettersApart) {
    // The check relies on it; on this platform it holds.
    EXPECT_TRUE(ansi_keeps_ascii_alnum_apart());
}

}  // namespace
}  // namespace idf
