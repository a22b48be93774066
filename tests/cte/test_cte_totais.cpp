// [TOTAIS] with the ICMS, the transported NF-e keys and the end-of-run
// report of the CT-e.
#include <gtest/gtest.h>

#include <algorithm>

#include "cte/cte_fixture.hpp"
#include "support/reforma_tributaria.hpp"

namespace idf::test::cte {
namespace {

TEST(CteTotais, AbortConditionsInOrder) {
    const std::string msg_icms = aborta("O Sistema Encontrou Problemas ao Ler os Dados do ICMS da CTe no Arquivo XML.");
    const struct {
        std::string v_prest, imp, message;
    } cases[] = {
        {"", "", aborta("O Sistema não Conseguiu Ler a TAG dos Totais no Arquivo XML.")},
        {"<vPrest/>", "", msg_icms},
        {"<vPrest/>", "<imp><vTotTrib>1.00</vTotTrib></imp>", msg_icms},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.v_prest + c.imp);
        CTe cte;
        cte.v_prest = c.v_prest;
        cte.imp = c.imp;
        expect_abort(run(cte), c.message);
    }
}

TEST(CteTotais, TotalAndIcmsGroup) {
    const Lines zeros = {"Aliquota_Icms=0,00", "Base_Icms=0,00", "Valor_Icms=0,00"};
    const struct {
        const char* name;
        std::string v_prest, icms;
        Lines expected;  // the lines of [TOTAIS] after the total
        std::string_view total, problems;
    } cases[] = {
        {"ICMS00",
         "<vTPrest>1500.00</vTPrest>",
         "<ICMS00><CST>00</CST><vBC>1500.00</vBC><pICMS>12</pICMS><vICMS>180.005</vICMS></ICMS00>",
         {"Aliquota_Icms=12,00", "Base_Icms=1500,00", "Valor_Icms=180,01"},
         "1500,00",
         ""},
        // The fixed order of the groups decides, not the document's.
        {"CST90 before ICMS00",
         "",
         "<ICMS00><pICMS>12</pICMS></ICMS00><CST90><pICMS>7</pICMS></CST90>",
         {"Aliquota_Icms=7,00", "Base_Icms=0,00", "Valor_Icms=0,00"},
         "0,00",
         ""},
        {"unknown group before a known one",
         "<vRec>1</vRec>",
         "<ICMSOutraUF><pICMSOutraUF>9</pICMSOutraUF></ICMSOutraUF><ICMS10><vBC>1</vBC></ICMS10>",
         {"Aliquota_Icms=0,00", "Base_Icms=1,00", "Valor_Icms=0,00"},
         "0,00",
         ""},
        {"unknown group only", "", "<ICMSSN><CST>90</CST><indSN>1</indSN></ICMSSN>", zeros, "0,00", ""},
        {"ICMS45 is not looked for", "", "<ICMS45><CST>40</CST></ICMS45>", zeros, "0,00", ""},
        {"other value elements only", "", "<ICMS60><vBCSTRet>10.00</vBCSTRet></ICMS60>", zeros, "0,00", ""},
        {"values that do not convert", "<vTPrest>abc</vTPrest>",
         "<ICMS20><pICMS>x</pICMS><vBC>1,5</vBC><vICMS><a/></vICMS></ICMS20>", zeros, "0,00",
         "- Total da Nota Fiscal no Arquivo XML.\r\n- Alíquota do ICMS no Arquivo XML.\r\n"
         "- Base do ICMS no Arquivo XML.\r\n- Valor do ICMS no Arquivo XML.\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CTe cte;
        cte.v_prest = "<vPrest>" + c.v_prest + "</vPrest>";
        cte.imp = "<imp><ICMS>" + c.icms + "</ICMS></imp>";
        const RunResult r = run(cte);
        ASSERT_TRUE(r.completed());
        Lines expected = {"Total_Nota_Fiscal=" + std::string(c.total)};
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        EXPECT_EQ(section(r, "[TOTAIS]"), expected);
        EXPECT_EQ(r.result.lista_problemas, c.problems);
    }
}

TEST(CteTotais, EveryListedGroupIsRead) {
    for (const std::string group : {"CST00", "CST10", "CST20", "CST60", "CST70", "CST90", "ICMS00", "ICMS10", "ICMS20",
                                    "ICMS60", "ICMS70", "ICMS90"}) {
        CTe cte;
        cte.imp = "<imp><ICMS><" + group + "><vBC>10</vBC><pICMS>17.5</pICMS><vICMS>1.75</vICMS></" + group +
                  "></ICMS></imp>";
        EXPECT_EQ(section(run(cte), "[TOTAIS]"),
                  (Lines{"Total_Nota_Fiscal=100,00", "Aliquota_Icms=17,50", "Base_Icms=10,00", "Valor_Icms=1,75"}))
            << group;
    }
}

// The reform's IBS and CBS follow the ICMS, with the same rows as an NF-e
// item's IBSCBS group, then the value with the reform's taxes.
TEST(CteTotais, IbsAndCbsAfterTheIcms) {
    const Lines icms = {"Total_Nota_Fiscal=100,00", "Aliquota_Icms=12,00", "Base_Icms=100,00", "Valor_Icms=12,00"};
    Lines completo = icms;
    completo.insert(completo.end(), linhas_ibscbs_completo.begin(), linhas_ibscbs_completo.end());
    completo.push_back("Total_Nota_Fiscal_Com_Tributos=112,50");
    const struct {
        const char* name;
        std::string reforma;  // after ICMS in imp
        Lines expected;
    } cases[] = {
        {"no reform groups", "<vTotTrib>1</vTotTrib>", icms},
        {"every element", std::string(ibscbs_completo) + "<vTotDFe>112.5</vTotDFe>", completo},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CTe cte;
        cte.imp =
            "<imp><ICMS><ICMS00><CST>00</CST><vBC>100.00</vBC><pICMS>12.00</pICMS><vICMS>12.00</vICMS>"
            "</ICMS00></ICMS>" +
            c.reforma + "</imp>";
        const RunResult r = run(cte);
        ASSERT_TRUE(r.completed());
        EXPECT_EQ(section(r, "[TOTAIS]"), c.expected);
        EXPECT_EQ(r.result.lista_problemas, "");
    }
}

TEST(CteNotasFiscais, TransportedKeys) {
    const struct {
        const char* name;
        std::string inf_doc;
        Lines expected;  // from [NOTAS_FISCAIS] to the end of the file; none
                         // when the sections are left out
    } cases[] = {
        {"numbered, upper-cased, not masked",
         "<infNFe><chave>35240612345678000190550010000000011000000011</chave></infNFe>"
         "<infNFe><chave>3524061234567800019055001000000002100000002a</chave><PIN>1</PIN></infNFe>"
         "<infNFe><chave> 3524 </chave></infNFe>",
         {"[NOTAS_FISCAIS]", "chave_1=35240612345678000190550010000000011000000011",
          "chave_2=3524061234567800019055001000000002100000002A", "chave_3= 3524 ", "[QUANTIDADE_NOTAS]", "Notas=3"}},
        // Nodes without a non-blank chave are skipped and not counted;
        // every later sibling is visited, whatever its name.
        {"skipped nodes",
         "<infNF><chave>before</chave></infNF><infNFe><chave>aaa</chave></infNFe><infNFe><PIN>1</PIN></infNFe>"
         "<infNFe/><!-- nota --><infNFe><chave> </chave></infNFe><infOutros><chave>bbb</chave></infOutros>",
         {"[NOTAS_FISCAIS]", "chave_1=AAA", "chave_2=BBB", "[QUANTIDADE_NOTAS]", "Notas=2"}},
        // A key whose text cannot be read ends the list: the lines written
        // stay, no count follows.
        {"key split by a comment",
         "<infNFe><chave>aaa</chave></infNFe><infNFe><chave>4118102254<!--x-->5265</chave></infNFe>"
         "<infNFe><chave>ccc</chave></infNFe>",
         {"[NOTAS_FISCAIS]", "chave_1=AAA"}},
        {"key holding an element",
         "<infNFe><chave><x>1</x></chave></infNFe><infNFe><chave>ccc</chave></infNFe>",
         {"[NOTAS_FISCAIS]"}},
        {"no key at all", "<infNFe><PIN>1</PIN></infNFe>", {"[NOTAS_FISCAIS]", "[QUANTIDADE_NOTAS]", "Notas=0"}},
        {"paper invoices only", "<infNF><nDoc>1</nDoc><chave>x</chave></infNF>", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CTe cte;
        cte.inf_cte_norm = "<infCTeNorm><infDoc>" + c.inf_doc + "</infDoc></infCTeNorm>";
        const RunResult r = run(cte);
        ASSERT_TRUE(r.completed());
        Lines lines = r.document_lines();
        Lines expected = {"Valor_Icms=12,00", ""};
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        if (!c.expected.empty()) expected.push_back("");
        expected.insert(expected.end(), {"[DIRETORIO]", lines.back()});
        const auto from = std::find(lines.begin(), lines.end(), "Valor_Icms=12,00");
        EXPECT_EQ(Lines(from, lines.end()), expected);
        EXPECT_TRUE(r.result.lista_problemas.empty());
    }
}

TEST(CteNotasFiscais, NoSectionsWithoutInfDoc) {
    for (const std::string norm : {"", "<infCTeNorm><infCarga><vCarga>1</vCarga></infCarga></infCTeNorm>"}) {
        CTe cte;
        cte.inf_cte_norm = norm;
        const RunResult r = run(cte);
        EXPECT_FALSE(has_line(r, "[NOTAS_FISCAIS]")) << norm;
        EXPECT_FALSE(has_line(r, "[QUANTIDADE_NOTAS]")) << norm;
        EXPECT_TRUE(has_line(r, "[DIRETORIO]")) << norm;
    }
}

TEST(CteRelatorio, ShownUnlessModoSilenciosoIsSim) {
    CTe cte;
    cte.ide = "<ide><serie>1</serie><nCT>1</nCT><toma3><toma>0</toma></toma3></ide>";
    cte.v_prest = "<vPrest><vTPrest>abc</vTPrest></vPrest>";
    const std::string problems =
        "- Data da Emissão da Nota Fiscal no Arquivo XML.\r\n- Total da Nota Fiscal no Arquivo XML.\r\n";
    for (const std::string_view modo : {"", "Sim", "sim", "Sim "}) {
        SCOPED_TRACE(modo);
        const RunResult r = run(cte, modo);
        ASSERT_TRUE(r.completed());
        // The file is complete either way.
        EXPECT_TRUE(r.document_lines().back().starts_with("Diretorio_Arquivo_XML="));
        EXPECT_EQ(r.result.lista_problemas, problems);
        const std::vector<std::string> boxes =
            modo == "Sim"
                ? std::vector<std::string>{}
                : std::vector<std::string>{"O Sistema Encontrou Problemas ao Importar os Dados do:\r\r" + problems};
        EXPECT_EQ(r.boxes, boxes);
    }
}

}  // namespace
}  // namespace idf::test::cte
