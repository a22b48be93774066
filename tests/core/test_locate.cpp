// Locating the document: the search in pasta_temporaria and the open dialog.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "core/core_support.hpp"
#include "search/diagnostico.hpp"
#include "values/text.hpp"

namespace idf {
namespace {

namespace fs = std::filesystem;
using test::search_folder;

const std::string key = "35180834128745000152550010000474281920007498";
const std::string other_key = "26180875335849000115550010000016871192213331";
const std::string nfe_not_found(msg::nfe_nao_localizada);
const std::string cte_not_found(msg::cte_nao_localizado);

// The outcome of a search that matched the file `name` of `dir`.
void expect_imported(const test::FormRun& run, const test::TempDir& dir, const std::string& name,
                     const std::string& marca) {
    EXPECT_TRUE(run.completed());
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(run.document_path, dir.str() + "/" + name);
    EXPECT_EQ(run.ini, "Marca=" + marca + "\r\n");
    EXPECT_EQ(run.dialog_calls, 0);
}

void expect_not_found(const test::FormRun& run, const std::string& message = nfe_not_found) {
    EXPECT_FALSE(run.completed());
    EXPECT_FALSE(run.ini.has_value());
    EXPECT_EQ(run.boxes, std::vector<std::string>{message});
    EXPECT_EQ(run.stages_run, 0);
    EXPECT_EQ(run.dialog_calls, 0);
}

TEST(Search, TriesFilesInNameOrderIgnoringLetterCase) {
    // B.XML holds the key; a.xml, sorted first, holds another.
    test::TempDir dir;
    dir.write("B.XML", test::nfe_with_key(key, "B"));
    dir.write("a.xml", test::nfe_with_key(other_key, "a"));
    expect_imported(search_folder(key, dir.str()), dir, "B.XML", "B");
}

TEST(Search, OfTwoFilesWithTheKeyTheFirstByNameIsImported) {
    struct Case {
        std::vector<std::string> names;  // every one holds the key
        std::string first;
    };
    const Case cases[] = {
        {{"b.xml", "A.XML"}, "A.XML"},
        {{"B.xml", "a.xml"}, "a.xml"},
        {{"nota10.xml", "nota9.xml"}, "nota10.xml"},
        {{"zeta.xml", "Zeta2.xml", "ZETA1.XML"}, "zeta.xml"},
        {{"_x.xml", "a.xml"}, "_x.xml"},
        {{"NFe-2.xml", "nfe-10.xml"}, "nfe-10.xml"},
        {{"Éb.xml", "éa.xml"}, "éa.xml"},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        for (const auto& name : c.names) dir.write(name, test::nfe_with_key(key, name));
        const auto run = search_folder(key, dir.str());
        EXPECT_EQ(run.document_path, dir.str() + "/" + c.first);
        EXPECT_EQ(run.ini, "Marca=" + utf8_to_cp1252(c.first) + "\r\n");  // the value is ANSI
    }
}

TEST(Search, MaskMatchesXmlIgnoringCaseAndPlainFilesOnly) {
    struct Case {
        std::string name;
        bool listed;
    };
    const Case cases[] = {
        {"doc.xml", true},      {"doc.XML", true},      {"doc.XmL", true}, {"a.b.xml", true},
        {"doc.xml.bak", false}, {"doc.xmlx", false},    {"docxml", false}, {"doc.txt", false},
        {"doc.xm", false},      {".hidden.xml", false}, {"xml", false},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        dir.write(c.name, test::nfe_with_key(key, "m"));
        const auto run = search_folder(key, dir.str());
        EXPECT_EQ(run.completed(), c.listed) << c.name;
    }
}

TEST(Search, FoldersLinksAndSpecialFilesAreNotTried) {
    test::TempDir dir;
    fs::create_directory(dir.path() / "a.xml");
    ASSERT_EQ(::mkfifo((dir.path() / "b.xml").c_str(), 0644), 0);
    fs::create_symlink(dir.path() / "missing.target", dir.path() / "c.xml");
    dir.write("d.xml", test::nfe_with_key(key, "d"));
    expect_imported(search_folder(key, dir.str()), dir, "d.xml", "d");
}

TEST(Search, FilesThatCannotBeParsedAreSkippedSilently) {
    test::TempDir dir;
    dir.write("1-empty.xml", "");
    dir.write("2-broken.xml", "<nfeProc><protNFe><infProt><chNFe>" + key + "</chNFe>");
    dir.write("3-text.xml", key);
    dir.write("4-binary.xml", std::string("\0\xff\xfe\x01", 4) + key);
    dir.write("5-good.xml", test::nfe_with_key(key, "good"));
    expect_imported(search_folder(key, dir.str()), dir, "5-good.xml", "good");
}

TEST(Search, OnlyTheProtocolKeyOfTheDocumentElementCounts) {
    struct Case {
        const char* name;
        std::string xml;
        bool matches;
    };
    const std::string ns = R"( xmlns="http://www.portalfiscal.inf.br/nfe")";
    const Case cases[] = {
        {"plain", test::nfe_with_key(key), true},
        {"root name not examined",
         "<qualquer" + ns + "><protNFe><infProt><chNFe>" + key + "</chNFe></infProt></protNFe></qualquer>", true},
        {"no namespace", "<nfeProc><protNFe><infProt><chNFe>" + key + "</chNFe></infProt></protNFe></nfeProc>", true},
        {"prefixed",
         "<n:nfeProc xmlns:n=\"http://www.portalfiscal.inf.br/nfe\"><n:protNFe><n:infProt><n:chNFe>" + key +
             "</n:chNFe></n:infProt></n:protNFe></n:nfeProc>",
         true},
        {"cdata", "<nfeProc><protNFe><infProt><chNFe><![CDATA[" + key + "]]></chNFe></infProt></protNFe></nfeProc>",
         true},
        {"blanks between elements",
         "<nfeProc>\n  <protNFe>\n    <infProt>\n      <chNFe>" + key +
             "</chNFe>\n    </infProt>\n  </protNFe>\n</nfeProc>",
         true},
        {"later infProt ignored",
         "<nfeProc><protNFe><infProt><chNFe>" + other_key + "</chNFe></infProt><infProt><chNFe>" + key +
             "</chNFe></infProt></protNFe></nfeProc>",
         false},
        {"bare NFe", "<NFe" + ns + "><infNFe Id=\"NFe" + key + "\"/></NFe>", false},
        {"no infProt", "<nfeProc><protNFe><chNFe>" + key + "</chNFe></protNFe></nfeProc>", false},
        {"no chNFe", "<nfeProc><protNFe><infProt><chave>" + key + "</chave></infProt></protNFe></nfeProc>", false},
        {"protocol below NFe",
         "<nfeProc><NFe><protNFe><infProt><chNFe>" + key + "</chNFe></infProt></protNFe></NFe></nfeProc>", false},
        {"protocol in another namespace",
         "<nfeProc" + ns + "><protNFe xmlns=\"urn:other\"><infProt><chNFe>" + key +
             "</chNFe></infProt></protNFe></nfeProc>",
         false},
        {"key with blanks", "<nfeProc><protNFe><infProt><chNFe> " + key + " </chNFe></infProt></protNFe></nfeProc>",
         false},
        {"key with line break", "<nfeProc><protNFe><infProt><chNFe>" + key + "\n</chNFe></infProt></protNFe></nfeProc>",
         false},
        {"key and comment",
         "<nfeProc><protNFe><infProt><chNFe>" + key + "<!--x--></chNFe></infProt></protNFe></nfeProc>", false},
        {"key in two pieces",
         "<nfeProc><protNFe><infProt><chNFe>" + key.substr(0, 20) + "<![CDATA[" + key.substr(20) +
             "]]></chNFe></infProt></protNFe></nfeProc>",
         false},
        {"key in element", "<nfeProc><protNFe><infProt><chNFe><v>" + key + "</v></chNFe></infProt></protNFe></nfeProc>",
         false},
        {"key elsewhere only",
         "<nfeProc><!-- " + key + " --><NFe><infNFe Id=\"NFe" + key + "\"><x>" + key +
             "</x></infNFe></NFe><protNFe><infProt><chNFe>" + other_key + "</chNFe></infProt></protNFe></nfeProc>",
         false},
        {"CT-e protocol", test::cte_with_key(key), false},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        dir.write("doc.xml", c.xml);
        const auto run = search_folder(key, dir.str());
        EXPECT_EQ(run.completed(), c.matches) << c.name;
        if (!c.matches) expect_not_found(run);
    }
}

TEST(Search, KeyWrittenWithReferencesOrEntitiesMatches) {
    std::string char_refs;
    for (const char c : key) char_refs += "&#" + std::to_string(static_cast<int>(c)) + ";";
    std::string hex_refs;
    for (const char c : key) hex_refs += "&#x" + std::to_string(c - '0' + 30) + ";";
    const std::string cases[] = {
        "<nfeProc><protNFe><infProt><chNFe>" + char_refs + "</chNFe></infProt></protNFe></nfeProc>",
        "<nfeProc><protNFe><infProt><chNFe>" + hex_refs + "</chNFe></infProt></protNFe></nfeProc>",
        "<nfeProc><protNFe><infProt><chNFe>" + key.substr(0, 43) + "&#" + std::to_string(static_cast<int>(key.back())) +
            ";</chNFe></infProt></protNFe></nfeProc>",
        "<!DOCTYPE nfeProc [<!ENTITY k \"" + key +
            "\">]><nfeProc><protNFe><infProt><chNFe>&k;</chNFe></infProt>"
            "</protNFe></nfeProc>",
        "<!DOCTYPE nfeProc [<!ENTITY a \"" + key.substr(0, 22) + "\"><!ENTITY b \"" + key.substr(22) +
            "\">]><nfeProc><protNFe><infProt><chNFe>&a;&b;</chNFe></infProt></protNFe></nfeProc>",
    };
    for (const auto& xml : cases) {
        test::TempDir dir;
        dir.write("doc.xml", xml);
        EXPECT_TRUE(search_folder(key, dir.str()).completed()) << xml;
    }
    // References with leading zeros, and a key with letters.
    struct Case {
        std::string chave;
        std::string chnfe;
    };
    const Case more[] = {
        {"123", "&#0049;&#x00032;3"},
        {"NFe123", "NF&#101;123"},
        {"NFe123", "&#x4E;&#x46;e123"},
        {"NFe123", "<![CDATA[NFe123]]>"},
    };
    for (const auto& c : more) {
        test::TempDir dir;
        dir.write("doc.xml", "<nfeProc><protNFe><infProt><chNFe>" + c.chnfe + "</chNFe></infProt></protNFe></nfeProc>");
        EXPECT_TRUE(search_folder(c.chave, dir.str()).completed()) << c.chnfe;
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

TEST(Search, KeyFilesInEveryEncodingAreFound) {
    const std::string body = "<nfeProc><emit>Ação</emit><protNFe><infProt><chNFe>" + key +
                             "</chNFe></infProt></protNFe><marca>€ç</marca></nfeProc>";
    const std::u16string wide = utf8_to_utf16(body);
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"UTF-8", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + body},
        {"UTF-8 BOM", "\xef\xbb\xbf<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + body},
        {"UTF-8 BOM no declaration", "\xef\xbb\xbf" + body},
        {"UTF-16LE BOM", utf16(u"\ufeff<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + wide, false)},
        {"UTF-16BE BOM", utf16(u"\ufeff<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + wide, true)},
        {"UTF-16LE BOM no declaration", utf16(u"\ufeff" + wide, false)},
        {"UTF-16LE without BOM", utf16(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + wide, false)},
        {"UTF-16BE without BOM", utf16(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + wide, true)},
        // EBCDIC (IBM037): not a byte of it reads as the key in ASCII.
        {"EBCDIC",
         "\x4c\x6f\xa7\x94\x93\x40\xa5\x85\x99\xa2\x89\x96\x95\x7e\x7f\xf1\x4b\xf0\x7f\x40\x85\x95\x83\x96"
         "\x84\x89\x95\x87\x7e\x7f\xc9\xc2\xd4\xf0\xf3\xf7\x7f\x6f\x6e\x4c\x95\x86\x85\xd7\x99\x96\x83\x6e"
         "\x4c\x97\x99\x96\xa3\xd5\xc6\x85\x6e\x4c\x89\x95\x86\xd7\x99\x96\xa3\x6e\x4c\x83\x88\xd5\xc6\x85"
         "\x6e\xf3\xf5\xf1\xf8\xf0\xf8\xf3\xf4\xf1\xf2\xf8\xf7\xf4\xf5\xf0\xf0\xf0\xf1\xf5\xf2\xf5\xf5\xf0"
         "\xf0\xf1\xf0\xf0\xf0\xf0\xf4\xf7\xf4\xf2\xf8\xf1\xf9\xf2\xf0\xf0\xf0\xf7\xf4\xf9\xf8\x4c\x61\x83"
         "\x88\xd5\xc6\x85\x6e\x4c\x61\x89\x95\x86\xd7\x99\x96\xa3\x6e\x4c\x61\x97\x99\x96\xa3\xd5\xc6\x85"
         "\x6e\x4c\x94\x81\x99\x83\x81\x6e\x85\x4c\x61\x94\x81\x99\x83\x81\x6e\x4c\x61\x95\x86\x85\xd7\x99"
         "\x96\x83\x6e"},
        {"windows-1252", "<?xml version=\"1.0\" encoding=\"windows-1252\"?>" + utf8_to_cp1252(body)},
        {"ISO-8859-1 lower case", "<?xml version='1.0' encoding='iso-8859-1'?>" +
                                      utf8_to_cp1252("<nfeProc><emit>Ação</emit><protNFe><infProt><chNFe>" + key +
                                                     "</chNFe></infProt></protNFe><marca>ç</marca></nfeProc>")},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        dir.write("0-other.xml", test::nfe_with_key(other_key, "other"));
        dir.write("doc.xml", c.bytes);
        const auto run = search_folder(key, dir.str());
        EXPECT_TRUE(run.completed()) << c.name;
        EXPECT_EQ(run.document_path, dir.str() + "/doc.xml") << c.name;
        ASSERT_TRUE(run.ini) << c.name;
        EXPECT_TRUE(run.ini->starts_with("Marca=")) << c.name;
    }
}

TEST(Search, KeysAreComparedInTheAnsiCodePage) {
    // A key with letters outside ASCII: the argument arrives in UTF-8, the
    // file is ISO-8859-1; both become the same ANSI text.
    test::TempDir dir;
    dir.write("doc.xml",
              "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><nfeProc><protNFe><infProt><chNFe>CHAVE-"
              "\xc7\xc3O</chNFe></infProt></protNFe></nfeProc>");
    EXPECT_TRUE(search_folder("CHAVE-ÇÃO", dir.str()).completed());
    expect_not_found(search_folder("CHAVE-çãO", dir.str()));
}

TEST(Search, KeyMustBeExactlyEqual) {
    test::TempDir dir;
    dir.write("doc.xml", test::nfe_with_key("ABC123"));
    struct Case {
        std::string chave;
        bool found;
    };
    const Case cases[] = {
        {"ABC123", true}, {"abc123", false},  {"ABC123 ", false},  {" ABC123", false},
        {"ABC12", false}, {"ABC1234", false}, {"ABC123\t", false},
    };
    for (const auto& c : cases) {
        const auto run = search_folder(c.chave, dir.str());
        EXPECT_EQ(run.completed(), c.found) << '"' << c.chave << '"';
        if (!c.found) expect_not_found(run);
    }
}

TEST(Search, NoMatchShowsTheMessageOfTheDocumentTypeUnlessSilent) {
    test::TempDir dir;
    dir.write("nfe.xml", test::nfe_with_key(key));
    dir.write("cte.xml", test::cte_with_key(other_key));
    // An NF-e key passed to the CT-e import never matches.
    expect_not_found(search_folder(key, dir.str(), "", test::cte_kind), cte_not_found);
    expect_not_found(search_folder(other_key, dir.str(), "", test::nfe_kind), nfe_not_found);
    for (const std::string modo : {"sim", "SIM", " Sim", "Sim ", "Não"})
        expect_not_found(search_folder("0000", dir.str(), modo), nfe_not_found);
    const auto silent = search_folder("0000", dir.str(), "Sim");
    EXPECT_FALSE(silent.completed());
    EXPECT_FALSE(silent.ini.has_value());
    EXPECT_TRUE(silent.boxes.empty());
    EXPECT_EQ(silent.stages_run, 0);
}

TEST(Search, NoMatchLeavesNoExchangeFileNotEvenAnOldOne) {
    test::TempDir dir;
    test::TempDir out;
    const std::string ini = out.write("Integracao_Docs_Fiscal.ini", "[OLD]\r\n");
    test::CurrentFolderGuard guard;
    test::TestPlatform platform(out.str());
    test::StageForm form(platform, Regional::brazilian());
    form.chave_acesso = key;
    form.pasta_temporaria = dir.str();
    form.modo_silencioso = "Sim";
    EXPECT_EQ(form.run().outcome, Outcome::aborted);
    EXPECT_FALSE(fs::exists(ini));
    EXPECT_TRUE(platform.boxes.empty());
}

TEST(Search, FolderThatDoesNotExistIsTheNotFoundOutcome) {
    test::TempDir dir;
    const std::string file = dir.write("file.xml", test::nfe_with_key(key));
    for (const std::string& pasta :
         {(dir.path() / "missing").string(), file, (dir.path() / "missing/*.xml").string()}) {
        expect_not_found(search_folder(key, pasta));
        const auto silent = search_folder(key, pasta, "Sim");
        EXPECT_FALSE(silent.completed());
        EXPECT_TRUE(silent.boxes.empty());
    }
    test::TempDir empty;
    expect_not_found(search_folder(key, empty.str()));
}

TEST(Search, FolderForms) {
    test::TempDir dir;
    fs::create_directory(dir.path() / "sub");
    dir.write("sub/nota.xml", test::nfe_with_key(key, "xml"));
    dir.write("sub/nota.txt", test::nfe_with_key(key, "txt"));
    dir.write("sub/nota1.dat", test::nfe_with_key(key, "dat"));
    const std::string sub = dir.str() + "/sub";
    struct Case {
        std::string pasta;
        std::string marca;
    };
    const Case cases[] = {
        {sub, "xml"},
        {sub + "/", "xml"},                    // a trailing separator is accepted
        {dir.str() + "/./sub/../sub", "xml"},  // kept as the system resolves it
        {sub + "/*.txt", "txt"},               // a wildcard in the last part is the mask
        {sub + "/*.TXT", "txt"},
        {sub + "/nota?.dat", "dat"},
        {sub + "/*", "txt"},  // nota.txt sorts before nota.xml and nota1.dat
    };
    for (const auto& c : cases) {
        const auto run = search_folder(key, c.pasta);
        EXPECT_TRUE(run.completed()) << c.pasta;
        EXPECT_EQ(run.ini, "Marca=" + c.marca + "\r\n") << c.pasta;
        EXPECT_TRUE(fs::path(run.document_path).filename().string().starts_with("nota")) << run.document_path;
        EXPECT_TRUE(fs::equivalent(fs::path(run.document_path).parent_path(), sub))
            << c.pasta << " -> " << run.document_path;
    }
}

TEST(Search, RelativeAndEmptyFoldersStartFromTheCurrentFolder) {
    test::TempDir dir;
    fs::create_directory(dir.path() / "sub");
    dir.write("sub/nota.xml", test::nfe_with_key(key, "sub"));
    dir.write("raiz.xml", test::nfe_with_key(key, "raiz"));
    test::CurrentFolderGuard guard;
    fs::current_path(dir.path());
    const std::string real = fs::canonical(dir.path()).string();
    auto relative = search_folder(key, "sub");
    EXPECT_EQ(relative.ini, "Marca=sub\r\n");
    EXPECT_EQ(relative.document_path, real + "/sub/nota.xml");
    auto empty = search_folder(key, "");
    EXPECT_EQ(empty.ini, "Marca=raiz\r\n");
    EXPECT_EQ(empty.document_path, real + "/raiz.xml");
    auto dot = search_folder(key, "./*.xml");
    EXPECT_EQ(dot.ini, "Marca=raiz\r\n");
}

TEST(Search, LeavesTheCurrentFolderAtTheSearchedFolder) {
    test::TempDir dir;
    test::TempDir out;
    test::CurrentFolderGuard guard;
    for (const bool found : {true, false}) {
        fs::current_path(out.path());
        if (found) dir.write("doc.xml", test::nfe_with_key(key));
        test::TestPlatform platform(out.str());
        test::StageForm form(platform, Regional::brazilian());
        form.chave_acesso = key;
        form.pasta_temporaria = dir.str() + "/";
        form.modo_silencioso = "Sim";
        EXPECT_EQ(form.run().outcome, found ? Outcome::completed : Outcome::aborted);
        EXPECT_EQ(fs::current_path(), fs::canonical(dir.path())) << found;
        fs::remove(dir.path() / "doc.xml");
    }
}

TEST(Search, EveryNameIsReadByItsOwnBytes) {
    // Names the code page cannot hold (Latin-1 bytes from a Windows archive,
    // NFD accents, letters and signs beyond CP1252, a line feed) are read
    // by the bytes listed; only the texts shown are converted.
    for (const std::string odd :
         {"nota\nx.xml", "nota\xff.xml", "nota\x1b.xml", "nota\xe4\xb8\xad.xml", "a\xe7\xe3o.xml",
          "nac\xcc\xa7"
          "a\xcc\x83o.xml",
          "\xc5\x82\xf0\x9f\x98\x80.xml"}) {
        test::TempDir dir;
        dir.write(odd, test::nfe_with_key(key, "odd"));
        expect_imported(search_folder(key, dir.str()), dir, odd, "odd");
    }
}

TEST(Search, ChNFeThatIsNotPlainTextIsPassedOver) {
    test::TempDir dir;
    dir.write("a.xml", "<nfeProc><protNFe><infProt><chNFe>" + key + "<b/></chNFe></infProt></protNFe></nfeProc>");
    dir.write("b.xml", test::nfe_with_key(key, "b"));
    expect_imported(search_folder(key, dir.str()), dir, "b.xml", "b");
}

TEST(Search, CorpusFolderFindsEachAuthorisedDocumentByItsKey) {
    IDF_REQUIRE_CORPUS();
    // A folder holding every real NF-e of the corpus that has a protocol.
    test::TempDir dir;
    const std::pair<std::string, std::string> documents[] = {
        {"nfelib-nfe400-26-1808-1687.xml", "26180875335849000115550010000016871192213331"},
        {"nfelib-nfe400-35-1808-47428.xml", "35180834128745000152550010000474281920007498"},
        {"nfelib-nfe400-41-1707-46320.xml", "41170706117473000150550010000463202612756525"},
        {"nfelib-nfe400-nfeproc-sem-protnfe.xml", ""},
    };
    for (const auto& [name, unused] : documents) {
        const auto bytes = test::read_bytes(test::corpus_path("nfe/" + name));
        ASSERT_TRUE(bytes) << name;
        dir.write(name, *bytes);
    }
    for (const auto& [name, chave] : documents) {
        if (chave.empty()) continue;
        const auto run = search_folder(chave, dir.str(), "Sim");
        EXPECT_TRUE(run.completed()) << name;
        EXPECT_EQ(run.document_path, dir.str() + "/" + name);
    }
    EXPECT_FALSE(search_folder("35200159594315000157550010000000012062777161", dir.str(), "Sim").completed());
}

TEST(DialogWay, BlankKeyOpensTheDialogAndIgnoresTheFolder) {
    for (const std::string& chave :
         {std::string(), std::string(" "), std::string("\t\r\n"), std::string(3, '\0'), std::string("\x1f ")}) {
        test::TempDir dir;
        test::TestPlatform platform(dir.str());
        platform.dialog_choice = dir.write("escolhido.xml", test::nfe_with_key(key, "dialog"));
        test::StageForm form(platform, Regional::brazilian());
        form.chave_acesso = chave;
        form.pasta_temporaria = "/no/such/folder";
        const ImportResult result = form.run();
        EXPECT_EQ(result.outcome, Outcome::completed);
        EXPECT_EQ(platform.dialog_calls, 1);
        EXPECT_EQ(form.document_path(), dir.str() + "/escolhido.xml");
        EXPECT_TRUE(platform.boxes.empty());
    }
}

TEST(DialogWay, CancelAbortsWithoutAnyMessage) {
    for (const std::string modo : {"", "Sim"}) {
        test::TempDir dir;
        const std::string ini = dir.write("Integracao_Docs_Fiscal.ini", "[OLD]\r\n");
        test::TestPlatform platform(dir.str());
        test::StageForm form(platform, Regional::brazilian());
        form.modo_silencioso = modo;
        EXPECT_EQ(form.run().outcome, Outcome::aborted);
        EXPECT_EQ(platform.dialog_calls, 1);
        EXPECT_TRUE(platform.boxes.empty());
        EXPECT_FALSE(fs::exists(ini));
        EXPECT_EQ(form.stages_run, 0);
    }
}

TEST(DialogWay, ChosenDocumentIsNotCheckedForItsType) {
    // A bare NF-e without protocol, or any XML at all, reaches the stages.
    const std::string documents[] = {"<NFe xmlns=\"http://www.portalfiscal.inf.br/nfe\"><infNFe/></NFe>", "<x/>",
                                     test::cte_with_key(key)};
    for (const std::string& xml : documents) {
        const auto run = test::run_stages_on(xml, [](test::StageForm& f) { f.write_line("[OK]"); });
        EXPECT_TRUE(run.completed()) << xml;
        EXPECT_EQ(run.ini, "[OK]\r\n");
        EXPECT_TRUE(run.document_path.ends_with("/doc.xml"));
    }
}

TEST(DialogWay, ChosenFileThatCannotBeLoadedAbortsWithTheParseError) {
    const std::string prefix = "Arquivo XML Inválido. ";
    const std::string suffix = "\r\n\nA Importação será Abortada.";
    for (const std::string modo : {"", "Sim"}) {
        test::TempDir dir;
        test::TestPlatform platform(dir.str());
        platform.dialog_choice = dir.write("ruim.xml", "<?xml version=\"1.0\"?>\n<nfeProc>\n<ide>Ação</nfeProc>\n");
        test::StageForm form(platform, Regional::brazilian());
        form.modo_silencioso = modo;
        const ImportResult result = form.run();
        EXPECT_EQ(result.outcome, Outcome::aborted);
        EXPECT_FALSE(fs::exists(result.arquivo_ini));
        EXPECT_EQ(form.stages_run, 0);
        ASSERT_EQ(platform.boxes.size(), 1u);
        const std::string& box = platform.boxes[0];
        EXPECT_TRUE(box.starts_with(prefix)) << box;
        EXPECT_TRUE(box.ends_with("\r\nLine: 3\r\n<ide>Ação</nfeProc>" + suffix)) << box;
        // The parser's reason stands between, on one line.
        const std::string reason = box.substr(prefix.size(), box.find("\r\nLine: ") - prefix.size());
        EXPECT_FALSE(reason.empty());
        EXPECT_EQ(reason.find_first_of("\r\n"), std::string::npos);
    }
}

TEST(DialogWay, ChosenFileMissingOrUnnamedAbortsWithTheError) {
    const std::string suffix = "\r\n\nA Importação será Abortada.";
    struct Case {
        std::string chosen;
        std::string expected_start;
    };
    test::TempDir dir;
    const Case cases[] = {
        {(dir.path() / "sumiu.xml").string(), "Arquivo XML Inválido. "},
        {dir.str(), "Arquivo XML Inválido. "},  // a folder
        {"", "Arquivo XML Inválido. FileName cannot be blank" + suffix},
    };
    for (const auto& c : cases) {
        test::TestPlatform platform(dir.str());
        platform.dialog_choice = c.chosen;
        test::StageForm form(platform, Regional::brazilian());
        const ImportResult result = form.run();
        EXPECT_EQ(result.outcome, Outcome::aborted) << c.chosen;
        EXPECT_FALSE(fs::exists(result.arquivo_ini));
        ASSERT_EQ(platform.boxes.size(), 1u) << c.chosen;
        EXPECT_TRUE(platform.boxes[0].starts_with(c.expected_start)) << platform.boxes[0];
        EXPECT_TRUE(platform.boxes[0].ends_with(suffix)) << platform.boxes[0];
    }
}

TEST(DialogWay, ChosenFileWhoseNameTheCodePageCannotHoldIsOpened) {
    for (const std::string odd : {"nota\nx.xml", "nota\xff.xml", "\xc5\x82.xml"}) {
        test::TempDir dir;
        test::TestPlatform platform(dir.str());
        platform.dialog_choice = dir.write(odd, test::nfe_with_key(key));
        test::StageForm form(platform, Regional::brazilian());
        EXPECT_EQ(form.run().outcome, Outcome::completed) << odd;
        EXPECT_TRUE(platform.boxes.empty()) << odd;
    }
}

TEST(ChaveValida, LengthKindsOfCharactersAndCheckDigit) {
    struct Case {
        std::string chave;
        bool valida;
    };
    const Case cases[] = {
        {"", false},
        {"3524081234567800019955001000001234100000001", false},    // 43 characters
        {"352408123456780001995500100000123410000000188", false},  // 45
        {"35240812345678000199550010000012341000000017", false},   // the check digit is 8
        {"35240812345678000199550010000012341000000019", false},
        {"35A40812345678000199550010000012341000000010", false},  // a letter outside the CNPJ
        {"352408123456780001995A0010000012341000000011", false},
        {"35240812ab3456780001550010000012341000000012", false},  // small letters
        {"35240812345678000199550010000012341000000018", true},
        {"35240812345678000199550010000012341000000000", true},  // remainder 1: digit 0
        {"35240812345678000199550010000012341000000050", true},  // remainder 0: digit 0
        {"35250812ABC345DE0135550010000000011234567893", true},  // alphanumeric CNPJ
    };
    for (const auto& c : cases) EXPECT_EQ(chave_valida(c.chave), c.valida) << c.chave;
}

// What a search without a match tells comes from the files it listed (the
// mask's candidates), never from the other files read for events.
TEST(Diagnostico, FindingsOfTheSearchsCandidates) {
    const std::string chave_cte = "35240612345678000190670010000001231000001235";
    const DocumentType cte_os{{"CTe", "infCte", "protCTe", "chCTe", "nCT", "cteProc", "procEventoCTe", "eventoCTe",
                               "retEventoCTe", "resCTe", "", "cteOSProc", "CTeOS", true},
                              {msg::cte_nao_localizado, {}, {}, {}},
                              {},
                              {"57", "67"}};
    const std::string resumo = "<resNFe><chNFe>" + key + "</chNFe></resNFe>";
    const std::string ruim = "<nfeProc><protNFe><infProt><chNFe>" + key;
    const auto cteos = [&](std::string_view root, std::string_view inner) {
        return "<" + std::string(root) + " xmlns=\"http://www.portalfiscal.inf.br/cte\">" + std::string(inner) + "</" +
               std::string(root) + ">";
    };
    const std::string inf = "<infCte Id=\"CTe" + chave_cte + "\"/>";
    struct Case {
        std::string nome;
        const DocumentType* kind;
        std::string mascara;  // appended to the folder
        std::vector<std::pair<std::string, std::string>> files;
        std::vector<std::string> resumos, sem_protocolo, ilegiveis;  // names
    };
    const Case cases[] = {
        {"summary outside the mask", &test::nfe_kind, "/nota*.xml", {{"resumo.xml", resumo}}, {}, {}, {}},
        {"damaged file outside the mask", &test::nfe_kind, "/nota*.xml", {{"ruim.xml", ruim}}, {}, {}, {}},
        {"CT-e OS whose proc has another key's protocol",
         &cte_os,
         "",
         {{"os.xml", cteos("cteOSProc", "<CTeOS>" + inf + "</CTeOS><protCTe><infProt><chCTe>" + chave_cte +
                                            "1</chCTe></infProt></protCTe>")}},
         {},
         {},
         {}},
        {"summary and damaged file among the candidates",
         &test::nfe_kind,
         "/nota*.xml",
         {{"nota-b.xml", ruim}, {"nota-a.xml", resumo}, {"resumo.xml", resumo}},
         {"nota-a.xml"},
         {},
         {"nota-b.xml"}},
        {"CT-e OS without protocol, bare and in its proc",
         &cte_os,
         "",
         {{"a.xml", cteos("CTeOS", inf)}, {"b.xml", cteos("cteOSProc", "<CTeOS>" + inf + "</CTeOS>")}},
         {},
         {"a.xml", "b.xml"},
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nome);
        test::TempDir dir;
        for (const auto& [name, bytes] : c.files) dir.write(name, bytes);
        const std::string chave = c.kind == &cte_os ? chave_cte : key;
        const auto run = search_folder(chave, dir.str() + c.mascara, "", *c.kind);
        ASSERT_TRUE(run.result.diagnostico.has_value());
        const auto paths = [&](const std::vector<std::string>& names) {
            std::vector<std::string> out;
            for (const std::string& name : names) out.push_back(dir.str() + "/" + name);
            return out;
        };
        EXPECT_EQ(run.result.diagnostico->resumos, paths(c.resumos));
        EXPECT_EQ(run.result.diagnostico->sem_protocolo, paths(c.sem_protocolo));
        EXPECT_EQ(run.result.diagnostico->ilegiveis, paths(c.ilegiveis));
    }
}

}  // namespace
}  // namespace idf
