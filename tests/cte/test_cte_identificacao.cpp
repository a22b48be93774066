// Protocol, [IDENTIFICACAO], route lines and payer of the CT-e.
#include <gtest/gtest.h>

#include "cte/cte_fixture.hpp"

namespace idf::test::cte {
namespace {

constexpr std::string_view msg_protocolo =
    "Arquivo XML Inválido. O Sistema não Conseguiu Ler o Nº do Protocolo da Autorização da CTe.\r\n\n"
    "A Importação será Abortada.";
constexpr std::string_view msg_chave =
    "Arquivo XML Inválido. O Sistema não Conseguiu Ler a Chave de Acesso da CTe.\r\n\nA Importação será Abortada.";
constexpr std::string_view msg_identificacao =
    "O Sistema não Conseguiu Ler a TAG da Identificação no Arquivo XML.\r\n\nA Importação será Abortada.";
constexpr std::string_view msg_serie =
    "O Sistema não Conseguiu Ler a Série da Nota Fiscal no Arquivo XML.\r\n\nA Importação será Abortada.";
constexpr std::string_view msg_numero =
    "O Sistema não Conseguiu Ler o Número da Nota Fiscal no Arquivo XML.\r\n\nA Importação será Abortada.";
constexpr std::string_view msg_tomador =
    "O Sistema não Conseguiu Ler o Tomador da Transportadora no Arquivo XML.\r\n\nA Importação será Abortada.";
constexpr std::string_view problema_data = "- Data da Emissão da Nota Fiscal no Arquivo XML.\r\n";

std::string ide_with(std::string_view inner) { return "<ide>" + std::string(inner) + "</ide>"; }

struct AbortCase {
    const char* name;
    CTe cte;
    std::string_view message;
};

CTe with_protocol(std::string protocolo) {
    CTe c;
    c.protocolo = std::move(protocolo);
    return c;
}
CTe with_ide(std::string ide) {
    CTe c;
    c.ide = std::move(ide);
    return c;
}

// Each case breaks one or more elements; when several are broken the
// message shows which condition is checked first.
TEST(CteIdentificacao, AbortConditionsInOrderLeaveNoFile) {
    const AbortCase cases[] = {
        {"no protCTe", with_protocol(""), msg_protocolo},
        {"protCTe without infProt", with_protocol("<protCTe><x>1</x></protCTe>"), msg_protocolo},
        {"blank nProt", with_protocol("<protCTe><infProt><chCTe>1</chCTe><nProt> \t</nProt></infProt></protCTe>"),
         msg_protocolo},
        {"nProt holding an element",
         with_protocol("<protCTe><infProt><chCTe>1</chCTe><nProt><a>1</a></nProt></infProt></protCTe>"), msg_protocolo},
        {"blank nProt and no key", with_protocol("<protCTe><infProt><nProt/></infProt></protCTe>"), msg_protocolo},
        {"no chCTe", with_protocol("<protCTe><infProt><nProt>1</nProt></infProt></protCTe>"), msg_chave},
        {"blank chCTe and no ide",
         [] {
             CTe c = with_protocol("<protCTe><infProt><chCTe>  </chCTe><nProt>1</nProt></infProt></protCTe>");
             c.ide = "";
             return c;
         }(),
         msg_chave},
        {"no ide", with_ide(""), msg_identificacao},
        {"blank serie before a bad number",
         with_ide(ide_with("<serie> </serie><nCT>x</nCT><toma3><toma>0</toma></toma3>")), msg_serie},
        {"no serie", with_ide(ide_with("<nCT>1</nCT><toma3><toma>0</toma></toma3>")), msg_serie},
        {"nCT not an integer", with_ide(ide_with("<serie>1</serie><nCT>12A</nCT><toma3><toma>0</toma></toma3>")),
         msg_numero},
        {"nCT beyond 32 bits", with_ide(ide_with("<serie>1</serie><nCT>4294967296</nCT><toma3><toma>0</toma></toma3>")),
         msg_numero},
        {"no nCT before a missing payer", with_ide(ide_with("<serie>1</serie>")), msg_numero},
        {"payer only in toma4",
         with_ide(ide_with("<serie>1</serie><nCT>1</nCT><toma4><toma>4</toma><CNPJ>1</CNPJ></toma4>")),
         msg_identificacao},
        {"no payer group", with_ide(ide_with("<serie>1</serie><nCT>1</nCT>")), msg_identificacao},
        {"empty toma in toma3", with_ide(ide_with("<serie>1</serie><nCT>1</nCT><toma3><toma/></toma3>")), msg_tomador},
        {"toma03 without toma", with_ide(ide_with("<serie>1</serie><nCT>1</nCT><toma03><x>1</x></toma03>")),
         msg_tomador},
    };
    for (const AbortCase& c : cases) {
        SCOPED_TRACE(c.name);
        const RunResult r = run(c.cte);
        EXPECT_FALSE(r.completed());
        EXPECT_FALSE(r.ini.has_value());
        EXPECT_EQ(r.boxes, std::vector<std::string>{std::string(c.message)});
    }
}

TEST(CteIdentificacao, BareCteRootAbortsWithTheProtocolMessage) {
    const RunResult r =
        run_xml(DocType::cte, R"(<CTe xmlns="http://www.portalfiscal.inf.br/cte"><infCte><ide><serie>1</serie>)"
                              R"(<nCT>1</nCT><toma3><toma>0</toma></toma3></ide></infCte></CTe>)");
    EXPECT_FALSE(r.ini.has_value());
    EXPECT_EQ(r.boxes, std::vector<std::string>{std::string(msg_protocolo)});
}

TEST(CteIdentificacao, AccessKeyInGroupsOfFour) {
    const struct {
        std::string_view key;
        std::string_view line;
    } cases[] = {
        {chave, "Chave_Acesso=3524 0612 3456 7800 0190 5700 1000 0001 2310 0000 1238"},
        // Ten groups, and the separator of the missing eleventh.
        {"3524061234567800019057001000000123100000", "Chave_Acesso=3524 0612 3456 7800 0190 5700 1000 0001 2310 0000 "},
        {"123456", "Chave_Acesso=1234 56         "},
        // Never trimmed: a leading blank counts as a character.
        {" 35240612", "Chave_Acesso= 352 4061 2        "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        CTe cte;
        cte.protocolo =
            "<protCTe><infProt><chCTe>" + std::string(c.key) + "</chCTe><nProt>1</nProt></infProt></protCTe>";
        const RunResult r = run(cte);
        ASSERT_TRUE(r.completed());
        const Lines lines = r.lines();
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[0], "[IDENTIFICACAO]");
        EXPECT_EQ(lines[1], c.line);
    }
}

TEST(CteIdentificacao, SeriesAsReadAndNumberNormalised) {
    const struct {
        std::string_view serie, nct, serie_line, numero_line;
    } cases[] = {
        {"001", "000000123", "Serie_Nota_Fiscal=001", "Numero_Nota_Fiscal=123"},
        {" 2 ", "+42", "Serie_Nota_Fiscal= 2 ", "Numero_Nota_Fiscal=42"},
        {"0", "2147483647", "Serie_Nota_Fiscal=0", "Numero_Nota_Fiscal=2147483647"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nct);
        const RunResult r = run(with_ide(ide_with("<serie>" + std::string(c.serie) + "</serie><nCT>" +
                                                  std::string(c.nct) + "</nCT><toma3><toma>0</toma></toma3>")));
        ASSERT_TRUE(r.completed());
        const Lines lines = section(r, "[IDENTIFICACAO]");
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(lines[1], c.serie_line);
        EXPECT_EQ(lines[2], c.numero_line);
    }
}

TEST(CteIdentificacao, WholeSectionInOrder) {
    const RunResult r =
        run(with_ide(ide_with("<cUF>35</cUF><serie>1</serie><nCT>77</nCT><dhEmi>2014-06-15T10:20:30-03:00</dhEmi>"
                              "<cMunEnv>3550308</cMunEnv><xMunEnv>SAO PAULO</xMunEnv><UFEnv>SP</UFEnv>"
                              "<cMunIni>3509502</cMunIni><xMunIni>CAMPINAS</xMunIni><UFIni>SP</UFIni>"
                              "<cMunFim>3304557</cMunFim><xMunFim>RIO DE JANEIRO</xMunFim><UFFim>RJ</UFFim>"
                              "<toma3><toma>3</toma></toma3>")));
    ASSERT_TRUE(r.completed());
    const Lines lines = r.lines();
    const Lines expected = {
        "[IDENTIFICACAO]",
        "Chave_Acesso=" + std::string(chave_formatada),
        "Serie_Nota_Fiscal=1",
        "Numero_Nota_Fiscal=77",
        "cMunEnv=3550308",
        "xMunEnv=SAO PAULO",
        "UFEnv=SP",
        "cMunIni=3509502",
        "xMunIni=CAMPINAS",
        "UFIni=SP",
        "cMunFim=3304557",
        "xMunFim=RIO DE JANEIRO",
        "UFFim=RJ",
        "Data_Emissao=15/06/2014",
        "Tomador=3",
        "",
        "[EMITENTE]",
    };
    ASSERT_GE(lines.size(), expected.size());
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(expected.size())), expected);
    EXPECT_TRUE(r.boxes.empty());
}

TEST(CteIdentificacao, RouteLinesOnlyForPresentTags) {
    const struct {
        const char* name;
        std::string_view route_xml;
        Lines expected;
    } cases[] = {
        {"none", "", {}},
        {"no xMunEnv nor UFEnv",
         "<cMunEnv>1</cMunEnv><cMunIni>2</cMunIni><xMunIni>B</xMunIni><UFIni>SP</UFIni>"
         "<cMunFim>3</cMunFim><xMunFim>C</xMunFim><UFFim>RJ</UFFim>",
         {"cMunEnv=1", "cMunIni=2", "xMunIni=B", "UFIni=SP", "cMunFim=3", "xMunFim=C", "UFFim=RJ"}},
        // The fixed order of the tags decides, not the document's.
        {"document order reversed",
         "<UFFim>RJ</UFFim><xMunIni>B</xMunIni><cMunEnv>1</cMunEnv>",
         {"cMunEnv=1", "xMunIni=B", "UFFim=RJ"}},
        {"blank and empty tags", "<UFEnv>  </UFEnv><UFIni/><xMunFim>\n</xMunFim><UFFim>RJ</UFFim>", {"UFFim=RJ"}},
        {"a tag holding an element", "<xMunIni><a>x</a></xMunIni><UFIni>SP</UFIni>", {"UFIni=SP"}},
        {"values kept untrimmed", "<xMunIni> SAO  PAULO </xMunIni>", {"xMunIni= SAO  PAULO "}},
        // The old layout's issuing place is not a route tag.
        {"cMunEmi", "<cMunEmi>4202404</cMunEmi><xMunEmi>BLUMENAU</xMunEmi>", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RunResult r = run(with_ide(ide_with("<serie>1</serie><nCT>1</nCT>" + std::string(c.route_xml) +
                                                  "<dhEmi>2024-06-15</dhEmi><toma3><toma>0</toma></toma3>")));
        ASSERT_TRUE(r.completed());
        EXPECT_EQ(route_lines(r), c.expected);
        EXPECT_TRUE(r.boxes.empty());
    }
}

TEST(CteIdentificacao, EmissionDate) {
    const Regional month_first{',', "M/d/yyyy", '/'};
    const struct {
        const char* name;
        std::string_view dh_emi;  // the whole element, or nothing
        Regional regional;
        std::string_view line;
        bool problem;
    } cases[] = {
        {"timestamp", "<dhEmi>2014-06-15T10:20:30-03:00</dhEmi>", Regional::brazilian(), "Data_Emissao=15/06/2014",
         false},
        {"date only", "<dhEmi>2014-06-15</dhEmi>", Regional::brazilian(), "Data_Emissao=15/06/2014", false},
        // The text is built day first, so a month-first setting swaps them.
        {"month first", "<dhEmi>2014-06-05T10:20:30-03:00</dhEmi>", month_first, "Data_Emissao=5/6/2014", false},
        {"missing", "", Regional::brazilian(), "Data_Emissao=", true},
        {"blank", "<dhEmi>   </dhEmi>", Regional::brazilian(), "Data_Emissao=", true},
        {"impossible date", "<dhEmi>2014-02-30T10:00:00</dhEmi>", Regional::brazilian(), "Data_Emissao=", true},
        {"not a date", "<dhEmi>ontem</dhEmi>", Regional::brazilian(), "Data_Emissao=", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RunResult r = run(with_ide(ide_with("<serie>1</serie><nCT>1</nCT>" + std::string(c.dh_emi) +
                                                  "<toma3><toma>0</toma></toma3>")),
                                "", c.regional);
        ASSERT_TRUE(r.completed());
        const Lines lines = section(r, "[IDENTIFICACAO]");
        ASSERT_EQ(lines.size(), 5u);
        EXPECT_EQ(lines[3], c.line);
        EXPECT_EQ(r.result.lista_problemas, c.problem ? std::string(problema_data) : std::string());
    }
}

TEST(CteIdentificacao, PayerGroups) {
    const struct {
        const char* name;
        std::string_view groups;
        std::string_view line;
    } cases[] = {
        {"toma3", "<toma3><toma>0</toma></toma3>", "Tomador=0"},
        {"toma03", "<toma03><toma>3</toma></toma03>", "Tomador=3"},
        // toma03 wins, wherever it stands.
        {"both", "<toma3><toma>1</toma></toma3><toma03><toma>2</toma></toma03>", "Tomador=2"},
        {"toma3 and toma4", "<toma4><toma>4</toma></toma4><toma3><toma>1</toma></toma3>", "Tomador=1"},
        // The code is not checked against a list.
        {"unknown code kept as read", "<toma3><toma> 9x</toma></toma3>", "Tomador= 9x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RunResult r =
            run(with_ide(ide_with("<serie>1</serie><nCT>1</nCT><dhEmi>2024-06-15</dhEmi>" + std::string(c.groups))));
        ASSERT_TRUE(r.completed());
        const Lines lines = section(r, "[IDENTIFICACAO]");
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), c.line);
    }
}

TEST(CteIdentificacao, PrefixedElementsAreFound) {
    CTe c;
    c.ide = R"(<c:ide xmlns:c="http://www.portalfiscal.inf.br/cte"><c:serie>5</c:serie><c:nCT>6</c:nCT>)"
            R"(<c:UFIni>MG</c:UFIni><c:dhEmi>2024-06-15</c:dhEmi><c:toma3><c:toma>2</c:toma></c:toma3></c:ide>)";
    const RunResult r = run(c);
    ASSERT_TRUE(r.completed());
    EXPECT_EQ(section(r, "[IDENTIFICACAO]"),
              (Lines{"Chave_Acesso=" + std::string(chave_formatada), "Serie_Nota_Fiscal=5", "Numero_Nota_Fiscal=6",
                     "UFIni=MG", "Data_Emissao=15/06/2024", "Tomador=2"}));
}

}  // namespace
}  // namespace idf::test::cte
