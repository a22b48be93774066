// [TOTAIS] with the ICMS, the transported NF-e keys, [DIRETORIO] and the
// end-of-run report of the CT-e.
#include <gtest/gtest.h>

#include <algorithm>

#include "cte/cte_fixture.hpp"
#include "cte/uimporta_arquivo_xml_cte.hpp"

namespace idf::test::cte {
namespace {

constexpr std::string_view msg_totais =
    "O Sistema não Conseguiu Ler a TAG dos Totais no Arquivo XML.\r\n\nA Importação será Abortada.";
constexpr std::string_view msg_icms =
    "O Sistema Encontrou Problemas ao Ler os Dados do ICMS da CTe no Arquivo XML.\r\n\nA Importação será Abortada.";

TEST(CteTotais, AbortConditionsInOrderLeaveNoFile) {
    const struct {
        const char* name;
        std::string v_prest, imp;
        std::string_view message;
    } cases[] = {
        {"no vPrest, no imp", "", "", msg_totais},
        {"no imp", "<vPrest><vTPrest>1</vTPrest></vPrest>", "", msg_icms},
        {"imp without ICMS", "<vPrest/>", "<imp><vTotTrib>1.00</vTotTrib></imp>", msg_icms},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CTe cte;
        cte.v_prest = c.v_prest;
        cte.imp = c.imp;
        const RunResult r = run(cte);
        EXPECT_FALSE(r.completed());
        EXPECT_FALSE(r.ini.has_value());
        EXPECT_EQ(r.boxes, std::vector<std::string>{std::string(c.message)});
    }
}

TEST(CteTotais, TotalAmount) {
    const struct {
        std::string v_prest;
        std::string_view line;
        std::string_view problems;
    } cases[] = {
        {"<vPrest><vTPrest>1500.00</vTPrest></vPrest>", "Total_Nota_Fiscal=1500,00", ""},
        {"<vPrest><vTPrest>0.005</vTPrest></vPrest>", "Total_Nota_Fiscal=0,01", ""},
        {"<vPrest><vRec>10.00</vRec></vPrest>", "Total_Nota_Fiscal=0,00", ""},
        {"<vPrest><vTPrest> </vTPrest></vPrest>", "Total_Nota_Fiscal=0,00", ""},
        {"<vPrest><vTPrest>abc</vTPrest></vPrest>", "Total_Nota_Fiscal=0,00",
         "- Total da Nota Fiscal no Arquivo XML.\r\n"},
        {"<vPrest><vTPrest>1,5</vTPrest></vPrest>", "Total_Nota_Fiscal=0,00",
         "- Total da Nota Fiscal no Arquivo XML.\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.v_prest);
        CTe cte;
        cte.v_prest = c.v_prest;
        const RunResult r = run(cte);
        ASSERT_TRUE(r.completed());
        const Lines lines = section(r, "[TOTAIS]");
        ASSERT_EQ(lines.size(), 4u);
        EXPECT_EQ(lines[0], c.line);
        EXPECT_EQ(r.result.lista_problemas, c.problems);
    }
}

// The three ICMS lines after "Total_Nota_Fiscal=".
Lines icms_lines(const RunResult& r) {
    const Lines lines = section(r, "[TOTAIS]");
    return lines.size() == 4 ? Lines(lines.begin() + 1, lines.end()) : lines;
}

TEST(CteTotais, IcmsGroup) {
    const Lines zeros = {"Aliquota_Icms=0,00", "Base_Icms=0,00", "Valor_Icms=0,00"};
    const struct {
        const char* name;
        std::string icms;
        Lines expected;
        std::string_view problems;
    } cases[] = {
        {"ICMS00",
         "<ICMS00><CST>00</CST><vBC>1500.00</vBC><pICMS>12</pICMS><vICMS>180.00</vICMS></ICMS00>",
         {"Aliquota_Icms=12,00", "Base_Icms=1500,00", "Valor_Icms=180,00"},
         ""},
        // The fixed order decides, not the document's.
        {"CST90 before ICMS00",
         "<ICMS00><pICMS>12</pICMS></ICMS00><CST90><pICMS>7</pICMS></CST90>",
         {"Aliquota_Icms=7,00", "Base_Icms=0,00", "Valor_Icms=0,00"},
         ""},
        {"ICMS10 before ICMS20",
         "<ICMS20><vBC>2</vBC></ICMS20><ICMS10><vBC>1</vBC></ICMS10>",
         {"Aliquota_Icms=0,00", "Base_Icms=1,00", "Valor_Icms=0,00"},
         ""},
        {"unknown group only", "<ICMSSN><CST>90</CST><indSN>1</indSN></ICMSSN>", zeros, ""},
        {"ICMS45 is not looked for", "<ICMS45><CST>40</CST></ICMS45>", zeros, ""},
        {"unknown group before a known one",
         "<ICMSOutraUF><vICMSOutraUF>9</vICMSOutraUF></ICMSOutraUF>"
         "<ICMS90><vICMS>3.456</vICMS></ICMS90>",
         {"Aliquota_Icms=0,00", "Base_Icms=0,00", "Valor_Icms=3,46"},
         ""},
        {"empty ICMS", "", zeros, ""},
        {"other value elements only", "<ICMS60><vBCSTRet>10.00</vBCSTRet><vICMSSTRet>1.20</vICMSSTRet></ICMS60>", zeros,
         ""},
        {"values that do not convert", "<ICMS20><pICMS>x</pICMS><vBC>1.2.3</vBC><vICMS><a/></vICMS></ICMS20>", zeros,
         "- Alíquota do ICMS no Arquivo XML.\r\n- Base do ICMS no Arquivo XML.\r\n"
         "- Valor do ICMS no Arquivo XML.\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CTe cte;
        cte.imp = "<imp><ICMS>" + c.icms + "</ICMS></imp>";
        const RunResult r = run(cte);
        ASSERT_TRUE(r.completed());
        EXPECT_EQ(icms_lines(r), c.expected);
        EXPECT_EQ(r.result.lista_problemas, c.problems);
    }
}

TEST(CteTotais, EveryListedGroupIsRead) {
    for (const std::string_view group : {"CST00", "CST10", "CST20", "CST60", "CST70", "CST90", "ICMS00", "ICMS10",
                                         "ICMS20", "ICMS60", "ICMS70", "ICMS90"}) {
        SCOPED_TRACE(group);
        CTe cte;
        cte.imp = "<imp><ICMS><" + std::string(group) + "><vBC>10</vBC><pICMS>17.5</pICMS><vICMS>1.75</vICMS></" +
                  std::string(group) + "></ICMS></imp>";
        const RunResult r = run(cte);
        ASSERT_TRUE(r.completed());
        EXPECT_EQ(icms_lines(r), (Lines{"Aliquota_Icms=17,50", "Base_Icms=10,00", "Valor_Icms=1,75"}));
    }
}

TEST(CteTotais, PointAsDecimalSeparator) {
    // The swapped text of a decimal amount no longer converts; a whole
    // number still does.
    CTe cte;
    cte.v_prest = "<vPrest><vTPrest>1500.00</vTPrest></vPrest>";
    cte.imp = "<imp><ICMS><ICMS00><vBC>1500</vBC><pICMS>12.00</pICMS><vICMS>180</vICMS></ICMS00></ICMS></imp>";
    const RunResult r = run(cte, "", Regional{'.', "dd/MM/yyyy", '/'});
    ASSERT_TRUE(r.completed());
    EXPECT_EQ(section(r, "[TOTAIS]"),
              (Lines{"Total_Nota_Fiscal=0.00", "Aliquota_Icms=0.00", "Base_Icms=1500.00", "Valor_Icms=180.00"}));
    EXPECT_EQ(r.result.lista_problemas,
              "- Total da Nota Fiscal no Arquivo XML.\r\n- Alíquota do ICMS no Arquivo XML.\r\n");
}

TEST(CteTotais, TotalIsReadAfterTheParties) {
    CTe cte;
    cte.dest = "<dest><CNPJ>3</CNPJ></dest>";
    cte.v_prest = "<vPrest><vTPrest>abc</vTPrest></vPrest>";
    const RunResult r = run(cte);
    ASSERT_TRUE(r.completed());
    EXPECT_EQ(r.result.lista_problemas,
              "- Razão Social / Nome do Destinatário no Arquivo XML.\r\n- Total da Nota Fiscal no Arquivo XML.\r\n");
}

TEST(CteNotasFiscais, TransportedKeys) {
    const struct {
        const char* name;
        std::string inf_doc_inner;
        Lines expected;  // from [NOTAS_FISCAIS] to "Notas="
    } cases[] = {
        {"three keys, letters upper-cased",
         "<infNFe><chave>35240612345678000190550010000000011000000011</chave></infNFe>"
         "<infNFe><chave>35240612345678000190550010000000021000000022</chave><PIN>1</PIN></infNFe>"
         "<infNFe><chave>3524061234567800019055001000000003100000003a</chave></infNFe>",
         {"[NOTAS_FISCAIS]", "chave_1=35240612345678000190550010000000011000000011",
          "chave_2=35240612345678000190550010000000021000000022",
          "chave_3=3524061234567800019055001000000003100000003A", "[QUANTIDADE_NOTAS]", "Notas=3"}},
        {"skipped nodes do not count",
         "<infNFe><chave>AAA</chave></infNFe><infNFe><PIN>1</PIN></infNFe><infNFe/><!-- nota -->"
         "<infNFe><chave>  "
         "</chave></infNFe><infNFe><chave><x>1</x></chave></infNFe><infNFe><chave>bbb</chave></infNFe>",
         {"[NOTAS_FISCAIS]", "chave_1=AAA", "chave_2=BBB", "[QUANTIDADE_NOTAS]", "Notas=2"}},
        // The walk starts at the first infNFe and visits every later
        // sibling whatever its name.
        {"siblings of other names",
         "<infNF><nDoc>1</nDoc><chave>before</chave></infNF><infNFe><chave>k1</chave></infNFe>"
         "<infNF><nDoc>2</nDoc></infNF><infOutros><chave>k2</chave></infOutros>",
         {"[NOTAS_FISCAIS]", "chave_1=K1", "chave_2=K2", "[QUANTIDADE_NOTAS]", "Notas=2"}},
        {"untrimmed, not masked",
         "<infNFe><chave> 3524 </chave></infNFe>",
         {"[NOTAS_FISCAIS]", "chave_1= 3524 ", "[QUANTIDADE_NOTAS]", "Notas=1"}},
        {"no key at all", "<infNFe><PIN>1</PIN></infNFe>", {"[NOTAS_FISCAIS]", "[QUANTIDADE_NOTAS]", "Notas=0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CTe cte;
        cte.inf_cte_norm =
            "<infCTeNorm><infCarga><vCarga>1</vCarga></infCarga><infDoc>" + c.inf_doc_inner + "</infDoc></infCTeNorm>";
        const RunResult r = run(cte);
        ASSERT_TRUE(r.completed());
        const Lines lines = r.lines();
        const auto from = std::find(lines.begin(), lines.end(), "[NOTAS_FISCAIS]");
        ASSERT_NE(from, lines.end());
        EXPECT_EQ(from[-1], "");
        const auto to = std::find_if(from, lines.end(), [](const std::string& l) { return l.starts_with("Notas="); });
        ASSERT_NE(to, lines.end());
        EXPECT_EQ(Lines(from, to + 1), c.expected);
        EXPECT_EQ(Lines(to + 1, lines.end()), (Lines{"", "[DIRETORIO]", lines.back()}));
        EXPECT_TRUE(r.result.lista_problemas.empty());
    }
}

TEST(CteNotasFiscais, NoSectionsWithoutATransportedNfe) {
    const struct {
        const char* name;
        std::string inf_cte_norm;
    } cases[] = {
        {"no infCTeNorm", ""},
        {"no infDoc", "<infCTeNorm><infCarga><vCarga>1</vCarga></infCarga></infCTeNorm>"},
        {"paper invoices only",
         "<infCTeNorm><infDoc><infNF><nDoc>1</nDoc><chave>x</chave></infNF></infDoc></infCTeNorm>"},
        {"other documents only", "<infCTeNorm><infDoc><infOutros><tpDoc>99</tpDoc></infOutros></infDoc></infCTeNorm>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CTe cte;
        cte.inf_cte_norm = c.inf_cte_norm;
        const RunResult r = run(cte);
        ASSERT_TRUE(r.completed());
        const Lines lines = r.lines();
        ASSERT_GE(lines.size(), 8u);
        // The ICMS lines are followed directly by the folder block.
        EXPECT_TRUE(lines[lines.size() - 4].starts_with("Valor_Icms="));
        EXPECT_EQ(lines[lines.size() - 3], "");
        EXPECT_EQ(lines[lines.size() - 2], "[DIRETORIO]");
        EXPECT_FALSE(has_line(r, "[NOTAS_FISCAIS]"));
        EXPECT_FALSE(has_line(r, "[QUANTIDADE_NOTAS]"));
    }
}

TEST(CteDiretorio, FullPathOfTheConvertedFileIsTheLastLine) {
    TempDir dir;
    TestPlatform platform(dir.str());
    const CTe cte;
    platform.dialog_choice = dir.write("Conhecimento de Transporte.xml", cte.xml());
    const ImportResult result = idf::cte::importa_arquivo_xml_cte(platform, Regional::brazilian(), "", "", "");
    ASSERT_EQ(result.outcome, Outcome::completed);
    const auto bytes = read_bytes(result.arquivo_ini);
    ASSERT_TRUE(bytes.has_value());
    const std::string tail = "\r\n\r\n[DIRETORIO]\r\nDiretorio_Arquivo_XML=" + *platform.dialog_choice + "\r\n";
    ASSERT_GE(bytes->size(), tail.size());
    EXPECT_EQ(bytes->substr(bytes->size() - tail.size()), tail);
}

TEST(CteRelatorio, ReportFollowsModoSilencioso) {
    CTe cte;
    cte.ide = "<ide><serie>1</serie><nCT>1</nCT><toma3><toma>0</toma></toma3></ide>";
    cte.v_prest = "<vPrest><vTPrest>abc</vTPrest></vPrest>";
    const std::string problems =
        "- Data da Emissão da Nota Fiscal no Arquivo XML.\r\n- Total da Nota Fiscal no Arquivo XML.\r\n";
    const struct {
        std::string_view modo;
        bool box;
    } cases[] = {{"", true}, {"Sim", false}, {"sim", true}, {"Sim ", true}, {"Nao", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.modo);
        const RunResult r = run(cte, c.modo);
        ASSERT_TRUE(r.completed());
        // The file is complete either way.
        ASSERT_TRUE(r.ini.has_value());
        EXPECT_TRUE(r.lines().back().starts_with("Diretorio_Arquivo_XML="));
        EXPECT_EQ(r.result.lista_problemas, problems);
        const std::vector<std::string> boxes =
            c.box ? std::vector<std::string>{"O Sistema Encontrou Problemas ao Importar os Dados do:\r\r" + problems}
                  : std::vector<std::string>{};
        EXPECT_EQ(r.boxes, boxes);
    }
}

TEST(CteRelatorio, NoBoxWithoutProblems) {
    const RunResult r = run(CTe{});
    ASSERT_TRUE(r.completed());
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_TRUE(r.result.lista_problemas.empty());
}

}  // namespace
}  // namespace idf::test::cte
