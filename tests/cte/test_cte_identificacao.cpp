// Protocol, [IDENTIFICACAO], route lines and payer of the CT-e.
#include <gtest/gtest.h>

#include "cte/cte_fixture.hpp"

namespace idf::test::cte {
namespace {

const std::string msg_protocolo =
    "Arquivo XML Inválido. " + aborta("O Sistema não Conseguiu Ler o Nº do Protocolo da Autorização da CTe.");
const std::string msg_chave =
    "Arquivo XML Inválido. " + aborta("O Sistema não Conseguiu Ler a Chave de Acesso da CTe.");
const std::string msg_identificacao = aborta("O Sistema não Conseguiu Ler a TAG da Identificação no Arquivo XML.");

CTe with_protocol(std::string_view inf_prot) {
    CTe c;
    c.protocolo = inf_prot.empty() ? "" : "<protCTe>" + std::string(inf_prot) + "</protCTe>";
    return c;
}
CTe with_ide(std::string_view inner) {
    CTe c;
    c.ide = "<ide>" + std::string(inner) + "</ide>";
    return c;
}

// Where several elements are broken, the message shows which condition is
// checked first.
TEST(CteIdentificacao, AbortConditionsInOrder) {
    const struct {
        const char* name;
        CTe cte;
        std::string message;
    } cases[] = {
        {"no protCTe", with_protocol(""), msg_protocolo},
        {"no infProt", with_protocol("<x>1</x>"), msg_protocolo},
        {"blank nProt, no key", with_protocol("<infProt><nProt> \t</nProt></infProt>"), msg_protocolo},
        {"nProt holding an element", with_protocol("<infProt><chCTe>1</chCTe><nProt><a/></nProt></infProt>"),
         msg_protocolo},
        {"blank chCTe", with_protocol("<infProt><chCTe> </chCTe><nProt>1</nProt></infProt>"), msg_chave},
        // The status is checked between the number and the key; the
        // shared check is tested in full with the NF-e.
        {"denied use, blank chCTe",
         with_protocol("<infProt><chCTe> </chCTe><nProt>1</nProt><cStat>110</cStat><xMotivo>Uso Denegado</xMotivo>"
                       "</infProt>"),
         "Arquivo XML Inválido. " + aborta("O Protocolo não Autoriza o Uso da CTe (Situação 110 - Uso Denegado).")},
        {"no ide",
         [] {
             CTe c;
             c.ide = "";
             return c;
         }(),
         msg_identificacao},
        {"blank serie, bad number", with_ide("<serie> </serie><nCT>x</nCT><toma3><toma>0</toma></toma3>"),
         aborta("O Sistema não Conseguiu Ler a Série da Nota Fiscal no Arquivo XML.")},
        {"nCT 12A", with_ide("<serie>1</serie><nCT>12A</nCT><toma3><toma>0</toma></toma3>"),
         aborta("O Sistema não Conseguiu Ler o Número da Nota Fiscal no Arquivo XML.")},
        {"nCT beyond 32 bits, no payer", with_ide("<serie>1</serie><nCT>4294967296</nCT>"),
         aborta("O Sistema não Conseguiu Ler o Número da Nota Fiscal no Arquivo XML.")},
        // Not the payer message: only toma03 and toma3 are looked for.
        {"payer in toma4", with_ide("<serie>1</serie><nCT>1</nCT><toma4><toma>4</toma></toma4>"), msg_identificacao},
        {"empty toma", with_ide("<serie>1</serie><nCT>1</nCT><toma3><toma/></toma3>"),
         aborta("O Sistema não Conseguiu Ler o Tomador da Transportadora no Arquivo XML.")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        expect_abort(run(c.cte), c.message);
    }
}

TEST(CteIdentificacao, AccessKeyInElevenGroupsOfFour) {
    const struct {
        std::string_view key, line;
    } cases[] = {
        {chave, "Chave_Acesso=3524 0612 3456 7800 0190 5700 1000 0001 2310 0000 1238"},
        // A missing group still gets its separator.
        {"3524061234567800019057001000000123100000", "Chave_Acesso=3524 0612 3456 7800 0190 5700 1000 0001 2310 0000 "},
        {" 35240612", "Chave_Acesso= 352 4061 2        "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        const RunResult r =
            run(with_protocol("<infProt><chCTe>" + std::string(c.key) + "</chCTe><nProt>1</nProt></infProt>"));
        ASSERT_TRUE(r.completed());
        EXPECT_EQ(r.lines()[0], "[IDENTIFICACAO]");
        EXPECT_EQ(r.lines()[1], c.line);
    }
}

TEST(CteIdentificacao, SeriesAsReadAndNumberNormalised) {
    const RunResult r = run(with_ide("<serie>001</serie><nCT>000000123</nCT><toma3><toma>0</toma></toma3>"));
    ASSERT_TRUE(r.completed());
    const Lines lines = section(r, "[IDENTIFICACAO]");
    EXPECT_EQ(lines[1], "Serie_Nota_Fiscal=001");
    EXPECT_EQ(lines[2], "Numero_Nota_Fiscal=123");
}

TEST(CteIdentificacao, RouteLinesOnlyForPresentTags) {
    const struct {
        const char* name;
        std::string_view route;
        Lines expected;
    } cases[] = {
        {"all nine",
         "<cMunEnv>1</cMunEnv><xMunEnv>A</xMunEnv><UFEnv>SP</UFEnv><cMunIni>2</cMunIni><xMunIni>B</xMunIni>"
         "<UFIni>MG</UFIni><cMunFim>3</cMunFim><xMunFim>C</xMunFim><UFFim>RJ</UFFim>",
         {"cMunEnv=1", "xMunEnv=A", "UFEnv=SP", "cMunIni=2", "xMunIni=B", "UFIni=MG", "cMunFim=3", "xMunFim=C",
          "UFFim=RJ"}},
        {"none", "", {}},
        // The fixed order of the tags decides, not the document's; blank,
        // empty and unreadable tags give no line; values are not trimmed.
        {"mixed",
         "<UFFim>RJ</UFFim><UFEnv>  </UFEnv><UFIni/><xMunFim><a>x</a></xMunFim><xMunIni> B </xMunIni>",
         {"xMunIni= B ", "UFFim=RJ"}},
        {"old layout's cMunEmi is no route tag", "<cMunEmi>1</cMunEmi><UFEmi>SC</UFEmi>", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RunResult r = run(with_ide("<serie>1</serie><nCT>1</nCT>" + std::string(c.route) +
                                         "<dhEmi>2024-06-15</dhEmi><toma3><toma>0</toma></toma3>"));
        ASSERT_TRUE(r.completed());
        EXPECT_EQ(route_lines(r), c.expected);
        EXPECT_TRUE(r.boxes.empty());
    }
}

TEST(CteIdentificacao, EmissionDateAndItsProblemLine) {
    const struct {
        std::string_view dh_emi;  // the whole element, or nothing
        Regional regional;
        std::string_view line;
        bool problem;
    } cases[] = {
        {"<dhEmi>2014-06-15T10:20:30-03:00</dhEmi>", Regional::brazilian(), "Data_Emissao=15/06/2014", false},
        // 5 June in a month-first setting.
        {"<dhEmi>2014-06-05</dhEmi>", Regional{',', "M/d/yyyy"}, "Data_Emissao=6/5/2014", false},
        // A short date with the month's name cannot be written.
        {"<dhEmi>2014-06-05</dhEmi>", Regional{',', "dd-MMM-yy"}, "Data_Emissao=", true},
        {"", Regional::brazilian(), "Data_Emissao=", true},
        {"<dhEmi>  </dhEmi>", Regional::brazilian(), "Data_Emissao=", true},
        {"<dhEmi>2014-02-30T10:00:00</dhEmi>", Regional::brazilian(), "Data_Emissao=", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dh_emi);
        const RunResult r =
            run(with_ide("<serie>1</serie><nCT>1</nCT>" + std::string(c.dh_emi) + "<toma3><toma>0</toma></toma3>"), "",
                c.regional);
        ASSERT_TRUE(r.completed());
        EXPECT_EQ(section(r, "[IDENTIFICACAO]")[3], c.line);
        EXPECT_EQ(r.result.lista_problemas, c.problem ? "- Data da Emissão da Nota Fiscal no Arquivo XML.\r\n" : "");
    }
}

TEST(CteIdentificacao, PayerGroupsAndPrecedence) {
    const struct {
        std::string_view groups, line;
    } cases[] = {
        {"<toma3><toma>0</toma></toma3>", "Tomador=0"},
        {"<toma03><toma>3</toma></toma03>", "Tomador=3"},
        // toma03 wins wherever it stands; the code is not checked.
        {"<toma3><toma>1</toma></toma3><toma03><toma> 9x</toma></toma03>", "Tomador= 9x"},
        {"<toma4><toma>4</toma></toma4><toma3><toma>1</toma></toma3>", "Tomador=1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.groups);
        const RunResult r =
            run(with_ide("<serie>1</serie><nCT>1</nCT><dhEmi>2024-06-15</dhEmi>" + std::string(c.groups)));
        ASSERT_TRUE(r.completed());
        EXPECT_EQ(section(r, "[IDENTIFICACAO]").back(), c.line);
    }
}

}  // namespace
}  // namespace idf::test::cte
