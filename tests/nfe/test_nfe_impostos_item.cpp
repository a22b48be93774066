// The ICMS, IPI, PIS and COFINS lines of an item.
#include <gtest/gtest.h>

#include "nfe_fixture.hpp"

namespace idf::test::nfe {
namespace {

// The tax lines of one item whose prod holds cProd and xPed: the lines
// between Produto_1 and Numero_Pedido_1.
Lines tax_lines(std::string_view imposto) {
    NFe n;
    n.det = det(1, "<cProd>1</cProd><xPed>P</xPed>", imposto);
    const RunResult r = run(n);
    if (!r.completed()) return {"<aborted>"};
    Lines lines = item_lines(r);
    if (lines.empty() || lines.back() != "Numero_Pedido_1=P") return {"<no order line>"};
    lines.pop_back();
    return lines;
}

std::string icms(std::string_view groups) { return "<imposto><ICMS>" + std::string(groups) + "</ICMS></imposto>"; }

struct Case {
    const char* name;
    std::string imposto;
    Lines lines;
};

TEST(NfeImpostosItem, IcmsRowsByCstAndCsosn) {
    const Case cases[] = {
        {"ICMS00: the third row takes vICMS as the substitute value",
         icms("<ICMS00><orig>0</orig><CST>00</CST><modBC>3</modBC><vBC>100.00</vBC><pICMS>18.0000</pICMS>"
              "<vICMS>18.00</vICMS></ICMS00>"),
         {"Origem_1=0", "CST_Icms_1=00", "Base_Icms_1=100,00", "Aliquota_Icms_1=18,00", "Valor_Icms_1=18,00",
          "Valor_ST_Substituto_1=18,00"}},
        {"ICMS10 with vICMSST",
         icms("<ICMS10><orig>0</orig><CST>10</CST><vBC>100</vBC><pICMS>18</pICMS><vICMS>18</vICMS>"
              "<vBCST>150.00</vBCST><pICMSST>18.00</pICMSST><vICMSST>9.00</vICMSST></ICMS10>"),
         {"Origem_1=0", "CST_Icms_1=10", "Base_Icms_1=100,00", "Aliquota_Icms_1=18,00", "Valor_Icms_1=18,00",
          "Base_ST_1=150,00", "Aliquota_ST_1=18,00", "Valor_ST_1=9,00", "Base_ST_Retido_1=150,00",
          "Aliquota_ST_Retido_1=18,00", "Valor_ST_Retido_1=9,00", "Valor_ST_Substituto_1=18,00"}},
        {"ICMS10 without vICMSST: no retained lines",
         icms("<ICMS10><orig>0</orig><CST>10</CST><vICMS>18</vICMS><vBCST>150</vBCST><pICMSST>18</pICMSST>"
              "</ICMS10>"),
         {"Origem_1=0", "CST_Icms_1=10", "Valor_Icms_1=18,00", "Base_ST_1=150,00", "Aliquota_ST_1=18,00"}},
        {"ICMS60 reads the retained tags",
         icms("<ICMS60><orig>0</orig><CST>60</CST><vBCSTRet>50</vBCSTRet><vICMSSTRet>5</vICMSSTRet>"
              "<vBCST>99</vBCST><vICMS>99</vICMS></ICMS60>"),
         {"Origem_1=0", "CST_Icms_1=60", "Valor_Icms_1=99,00", "Base_ST_Retido_1=50,00", "Valor_ST_Retido_1=5,00"}},
        {"ICMS60 with every retained tag",
         icms("<ICMS60><orig>1</orig><CST>60</CST><vBCSTRet>50</vBCSTRet><pST>18</pST><vICMSSubstituto>3"
              "</vICMSSubstituto><vICMSSTRet>5</vICMSSTRet></ICMS60>"),
         {"Origem_1=1", "CST_Icms_1=60", "Base_ST_Retido_1=50,00", "Aliquota_ST_Retido_1=18,00",
          "Valor_ST_Retido_1=5,00", "Valor_ST_Substituto_1=3,00"}},
        {"CST 060 is not 60",
         icms("<ICMS60><CST>060</CST><vBCSTRet>50</vBCSTRet><vBCST>7</vBCST></ICMS60>"),
         {"CST_Icms_1=060", "Base_ST_Retido_1=7,00"}},
        {"CST ' 60' is not 60",
         icms("<ICMS60><CST> 60</CST><vBCSTRet>50</vBCSTRet><vBCST>7</vBCST></ICMS60>"),
         {"CST_Icms_1= 60", "Base_ST_Retido_1=7,00"}},
        {"ICMS40 with orig and CST only",
         icms("<ICMS40><orig>0</orig><CST>41</CST></ICMS40>"),
         {"Origem_1=0", "CST_Icms_1=41"}},
        {"ICMS20 with reduction and four-decimal rate",
         icms("<ICMS20><orig>0</orig><CST>20</CST><pRedBC>33.3300</pRedBC><vBC>66.67</vBC><pICMS>17.5000</pICMS>"
              "<vICMS>11.67</vICMS></ICMS20>"),
         {"Origem_1=0", "CST_Icms_1=20", "Base_Icms_1=66,67", "Reducao_Icms_1=33,33", "Aliquota_Icms_1=17,50",
          "Valor_Icms_1=11,67", "Valor_ST_Substituto_1=11,67"}},
        {"a value that is not a number is written raw",
         icms("<ICMS00><CST>00</CST><vBC>cem</vBC></ICMS00>"),
         {"CST_Icms_1=00", "Base_Icms_1=cem"}},
        {"ICMSSN102", icms("<ICMSSN102><orig>0</orig><CSOSN>102</CSOSN></ICMSSN102>"), {"Origem_1=0", "CSOSN_1=102"}},
        {"ICMSSN101 with the credit",
         icms("<ICMSSN101><orig>0</orig><CSOSN>101</CSOSN><pCredSN>2.5</pCredSN><vCredICMSSN>0.25</vCredICMSSN>"
              "</ICMSSN101>"),
         {"Origem_1=0", "CSOSN_1=101", "Percentual_SN_1=2,50", "Valor_Credito_SN_1=0,25"}},
        {"ICMSSN900 adds the normal values",
         icms("<ICMSSN900><orig>2</orig><CSOSN>900</CSOSN><modBC>3</modBC><vBC>10</vBC><pRedBC>5</pRedBC>"
              "<pICMS>12</pICMS><vICMS>1.2</vICMS><pCredSN>1</pCredSN><vCredICMSSN>0.1</vCredICMSSN></ICMSSN900>"),
         {"Origem_1=2", "CSOSN_1=900", "Percentual_SN_1=1,00", "Valor_Credito_SN_1=0,10", "Base_Icms_1=10,00",
          "Reducao_Icms_1=5,00", "Aliquota_Icms_1=12,00", "Valor_Icms_1=1,20"}},
        {"ICMSSN500 does not add them",
         icms("<ICMSSN500><orig>0</orig><CSOSN>500</CSOSN><vBC>10</vBC></ICMSSN500>"),
         {"Origem_1=0", "CSOSN_1=500"}},
        {"neither CST nor CSOSN", icms("<ICMS00><orig>0</orig><vBC>1</vBC></ICMS00>"), {}},
        {"a group outside the list", icms("<ICMSST><orig>0</orig><CST>41</CST></ICMSST>"), {}},
        {"ICMSPart is not looked at either", icms("<ICMSPart><orig>0</orig><CST>10</CST></ICMSPart>"), {}},
        {"the lookup order decides, not the document order",
         icms("<ICMS20><CST>20</CST></ICMS20><ICMS00><CST>00</CST></ICMS00>"),
         {"CST_Icms_1=00"}},
        {"ICMSSN103 comes before ICMSSN201",
         icms("<ICMSSN201><orig>0</orig><CSOSN>201</CSOSN></ICMSSN201><ICMSSN103><orig>0</orig><CSOSN>103</CSOSN>"
              "</ICMSSN103>"),
         {"Origem_1=0", "CSOSN_1=103"}},
        {"no imposto: no tax lines", "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(tax_lines(c.imposto), c.lines);
    }
}

TEST(NfeImpostosItem, EveryListedIcmsGroupIsRead) {
    // Each group alone under ICMS with its own code: the item gets its
    // origin and that code, whichever of the groups carries them.
    const struct {
        std::string group, tag, code;
    } cases[] = {
        {"ICMS00", "CST", "00"},       {"ICMS10", "CST", "10"},       {"ICMS20", "CST", "20"},
        {"ICMS30", "CST", "30"},       {"ICMS40", "CST", "40"},       {"ICMS41", "CST", "41"},
        {"ICMS50", "CST", "50"},       {"ICMS51", "CST", "51"},       {"ICMS60", "CST", "60"},
        {"ICMS70", "CST", "70"},       {"ICMS90", "CST", "90"},       {"ICMSSN101", "CSOSN", "101"},
        {"ICMSSN102", "CSOSN", "102"}, {"ICMSSN103", "CSOSN", "103"}, {"ICMSSN201", "CSOSN", "201"},
        {"ICMSSN202", "CSOSN", "202"}, {"ICMSSN203", "CSOSN", "203"}, {"ICMSSN300", "CSOSN", "300"},
        {"ICMSSN400", "CSOSN", "400"}, {"ICMSSN500", "CSOSN", "500"}, {"ICMSSN900", "CSOSN", "900"},
    };
    for (const auto& c : cases) {
        const std::string group =
            "<" + c.group + "><orig>2</orig><" + c.tag + ">" + c.code + "</" + c.tag + "></" + c.group + ">";
        const std::string key = c.tag == "CST" ? "CST_Icms_1=" : "CSOSN_1=";
        EXPECT_EQ(tax_lines(icms(group)), (Lines{"Origem_1=2", key + c.code})) << c.group;
    }
}

TEST(NfeImpostosItem, OnlyTheTaxedIpiPisAndCofinsGroups) {
    const Case cases[] = {
        {"taxed groups",
         "<imposto><IPI><cEnq>999</cEnq><IPITrib><CST>50</CST><vBC>100</vBC><pIPI>5</pIPI><vIPI>5</vIPI>"
         "</IPITrib></IPI><PIS><PISAliq><CST>01</CST><vBC>100</vBC><pPIS>1.65</pPIS><vPIS>1.65</vPIS></PISAliq>"
         "</PIS><COFINS><COFINSAliq><CST>01</CST><vBC>100</vBC><pCOFINS>7.6</pCOFINS><vCOFINS>7.6</vCOFINS>"
         "</COFINSAliq></COFINS></imposto>",
         {"CST_IPI_1=50", "Base_IPI_1=100,00", "Aliquota_IPI_1=5,00", "Valor_IPI_1=5,00", "CST_PIS_1=01",
          "Base_PIS_1=100,00", "Aliquota_PIS_1=1,65", "Valor_PIS_1=1,65", "CST_COFINS_1=01", "Base_COFINS_1=100,00",
          "Aliquota_COFINS_1=7,60", "Valor_COFINS_1=7,60"}},
        {"other groups write nothing",
         "<imposto><IPI><cEnq>999</cEnq><IPINT><CST>53</CST></IPINT></IPI><PIS><PISNT><CST>07</CST></PISNT>"
         "<PISOutr><CST>99</CST><vBC>1</vBC></PISOutr></PIS><COFINS><COFINSOutr><CST>99</CST></COFINSOutr>"
         "</COFINS></imposto>",
         {}},
        {"after the ICMS lines, with or without an ICMS group",
         "<imposto><ICMS><ICMS40><orig>0</orig><CST>40</CST></ICMS40></ICMS><PIS><PISAliq><CST>01</CST></PISAliq>"
         "</PIS></imposto>",
         {"Origem_1=0", "CST_Icms_1=40", "CST_PIS_1=01"}},
        {"without ICMS",
         "<imposto><COFINS><COFINSAliq><vCOFINS>1</vCOFINS></COFINSAliq></COFINS></imposto>",
         {"Valor_COFINS_1=1,00"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(tax_lines(c.imposto), c.lines);
    }
}

TEST(NfeImpostosItem, TheItemNumberIsInEveryTaxKey) {
    const std::string imposto = icms("<ICMS40><orig>0</orig><CST>41</CST></ICMS40>");
    NFe n;
    n.det = det(1, "<cProd>1</cProd>", imposto) + det(2, "<cProd>2</cProd>", "") + det(3, "<cProd>3</cProd>", imposto);
    const RunResult r = run(n);
    ASSERT_TRUE(r.completed());
    EXPECT_EQ(section(r, "[PRODUTOS_1]"), (Lines{"[PRODUTOS_1]", "Produto_1=1", "Origem_1=0", "CST_Icms_1=41", "",
                                                 "Produto_2=2", "", "Produto_3=3", "Origem_3=0", "CST_Icms_3=41", ""}));
}

}  // namespace
}  // namespace idf::test::nfe
