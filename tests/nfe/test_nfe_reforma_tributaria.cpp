// The tax reform's lines of an NF-e: the item's IS and IBS/CBS, after its
// COFINS and before its order, and the reform's totals after
// Total_Nota_Fiscal. They never abort and never add a problem line.
#include <gtest/gtest.h>

#include <algorithm>

#include "nfe_fixture.hpp"
#include "support/reforma_tributaria.hpp"

namespace idf::test::nfe {
namespace {

// "Key=value" as the line of item 1: "Key_1=value".
Lines do_item_1(const Lines& lines) {
    Lines out;
    for (std::string line : lines) out.push_back(line.insert(line.find('='), "_1"));
    return out;
}

// The lines after `line`, up to the next empty one.
Lines depois_de(const Lines& lines, const std::string& line) {
    const auto from = std::find(lines.begin(), lines.end(), line);
    if (from == lines.end()) return {"<no " + line + ">"};
    return {from + 1, std::find(from, lines.end(), "")};
}

const std::string is_completo =
    "<IS><CSTIS>000</CSTIS><cClassTribIS>000001</cClassTribIS><vBCIS>150.5</vBCIS><pIS>0.0525</pIS>"
    "<pISEspec>1.5</pISEspec><uTrib>LT</uTrib><qTrib>2.125</qTrib><vIS>7.9</vIS></IS>";
const Lines linhas_is_completo = {
    "CST_IS_1=000",
    "Classificacao_IS_1=000001",
    "Base_IS_1=150,50",
    "Aliquota_IS_1=0,0525",
    "Aliquota_Especifica_IS_1=1,5000",
    "Unidade_IS_1=LT",
    "Quantidade_IS_1=2,1250",
    "Valor_IS_1=7,90",
};

const std::string totais_completos =
    "<ISTot><vIS>11.1</vIS></ISTot><IBSCBSTot><vBCIBSCBS>11.2</vBCIBSCBS><gIBS>"
    "<gIBSUF><vDif>11.3</vDif><vDevTrib>11.4</vDevTrib><vIBSUF>11.5</vIBSUF></gIBSUF>"
    "<gIBSMun><vDif>11.6</vDif><vDevTrib>11.7</vDevTrib><vIBSMun>11.8</vIBSMun></gIBSMun>"
    "<vIBS>11.9</vIBS><vCredPres>12.1</vCredPres><vCredPresCondSus>12.2</vCredPresCondSus></gIBS>"
    "<gCBS><vDif>12.3</vDif><vDevTrib>12.4</vDevTrib><vCBS>12.5</vCBS><vCredPres>12.6</vCredPres>"
    "<vCredPresCondSus>12.7</vCredPresCondSus></gCBS>"
    "<gMono><vIBSMono>13.1</vIBSMono><vCBSMono>13.2</vCBSMono><vIBSMonoReten>13.3</vIBSMonoReten>"
    "<vCBSMonoReten>13.4</vCBSMonoReten><vIBSMonoRet>13.5</vIBSMonoRet><vCBSMonoRet>13.6</vCBSMonoRet></gMono>"
    "<gEstornoCred><vIBSEstCred>13.7</vIBSEstCred><vCBSEstCred>13.8</vCBSEstCred></gEstornoCred></IBSCBSTot>"
    "<vNFTot>1400</vNFTot>";
const Lines linhas_totais_completos = {
    "Valor_IS=11,10",
    "Base_IBSCBS=11,20",
    "Valor_Diferido_IBS_UF=11,30",
    "Valor_Devolvido_IBS_UF=11,40",
    "Valor_IBS_UF=11,50",
    "Valor_Diferido_IBS_Municipio=11,60",
    "Valor_Devolvido_IBS_Municipio=11,70",
    "Valor_IBS_Municipio=11,80",
    "Valor_IBS=11,90",
    "Valor_Credito_Presumido_IBS=12,10",
    "Valor_Credito_Presumido_Suspenso_IBS=12,20",
    "Valor_Diferido_CBS=12,30",
    "Valor_Devolvido_CBS=12,40",
    "Valor_CBS=12,50",
    "Valor_Credito_Presumido_CBS=12,60",
    "Valor_Credito_Presumido_Suspenso_CBS=12,70",
    "Valor_IBS_Monofasico=13,10",
    "Valor_CBS_Monofasico=13,20",
    "Valor_IBS_Monofasico_Retencao=13,30",
    "Valor_CBS_Monofasico_Retencao=13,40",
    "Valor_IBS_Monofasico_Retido=13,50",
    "Valor_CBS_Monofasico_Retido=13,60",
    "Valor_Estorno_IBS=13,70",
    "Valor_Estorno_CBS=13,80",
    "Total_Nota_Fiscal_Com_Tributos=1400,00",
};

// The single-phase detail of a fuel in the subgroups of the current layout,
// every value its own, so that a line reading another's value shows.
const std::string mono_em_subgrupos =
    "<IBSCBS><CST>620</CST><cClassTrib>620001</cClassTrib><gIBSCBSMono>"
    "<gMonoPadrao><qBCMono>100.1</qBCMono><adRemIBS>0.1101</adRemIBS><adRemCBS>0.1102</adRemCBS>"
    "<vIBSMono>11.03</vIBSMono><vCBSMono>11.04</vCBSMono></gMonoPadrao>"
    "<gMonoReten><qBCMonoReten>200.2</qBCMonoReten><adRemIBSReten>0.2201</adRemIBSReten>"
    "<vIBSMonoReten>22.02</vIBSMonoReten><adRemCBSReten>0.2203</adRemCBSReten><vCBSMonoReten>22.04</vCBSMonoReten>"
    "</gMonoReten>"
    "<gMonoRet><qBCMonoRet>300.3</qBCMonoRet><adRemIBSRet>0.3301</adRemIBSRet><vIBSMonoRet>33.02</vIBSMonoRet>"
    "<adRemCBSRet>0.3303</adRemCBSRet><vCBSMonoRet>33.04</vCBSMonoRet></gMonoRet>"
    "<gMonoDif><pDifIBS>44.01</pDifIBS><vIBSMonoDif>44.02</vIBSMonoDif><pDifCBS>44.03</pDifCBS>"
    "<vCBSMonoDif>44.04</vCBSMonoDif></gMonoDif>"
    "<vTotIBSMonoItem>55.01</vTotIBSMonoItem><vTotCBSMonoItem>55.02</vTotCBSMonoItem></gIBSCBSMono></IBSCBS>";
const Lines linhas_mono_em_subgrupos = {
    "CST_IBSCBS=620",
    "Classificacao_IBSCBS=620001",
    "Valor_IBS_Monofasico=55,01",
    "Valor_CBS_Monofasico=55,02",
    "Quantidade_Monofasico=100,1000",
    "Aliquota_Ad_Rem_IBS_Monofasico=0,1101",
    "Valor_IBS_Monofasico_Proprio=11,03",
    "Aliquota_Ad_Rem_CBS_Monofasico=0,1102",
    "Valor_CBS_Monofasico_Proprio=11,04",
    "Quantidade_Monofasico_Retencao=200,2000",
    "Aliquota_Ad_Rem_IBS_Monofasico_Retencao=0,2201",
    "Valor_IBS_Monofasico_Retencao=22,02",
    "Aliquota_Ad_Rem_CBS_Monofasico_Retencao=0,2203",
    "Valor_CBS_Monofasico_Retencao=22,04",
    "Quantidade_Monofasico_Retido=300,3000",
    "Aliquota_Ad_Rem_IBS_Monofasico_Retido=0,3301",
    "Valor_IBS_Monofasico_Retido=33,02",
    "Aliquota_Ad_Rem_CBS_Monofasico_Retido=0,3303",
    "Valor_CBS_Monofasico_Retido=33,04",
    "Diferimento_IBS_Monofasico=44,0100",
    "Valor_IBS_Monofasico_Diferido=44,02",
    "Diferimento_CBS_Monofasico=44,0300",
    "Valor_CBS_Monofasico_Diferido=44,04",
};

TEST(NfeReformaTributaria, ItemAndTotalLinesInOrderWithTheirFormats) {
    Lines item_completo = linhas_is_completo;
    for (const std::string& line : do_item_1(linhas_ibscbs_completo)) item_completo.push_back(line);
    const std::string prefixo = "xmlns:n=\"http://www.portalfiscal.inf.br/nfe\"";
    const struct {
        const char* name;
        std::string imposto;  // after the COFINS group
        std::string total;    // after ICMSTot
        Lines item;           // after Valor_COFINS_1, before Numero_Pedido_1
        Lines totais;         // after Total_Nota_Fiscal
    } cases[] = {
        {"a blank element leaves its line out",
         "<IS><CSTIS> </CSTIS><vIS/></IS><IBSCBS><CST>000</CST><gIBSCBS><vBC>\t</vBC></gIBSCBS></IBSCBS>",
         "<ISTot><vIS> </vIS></ISTot><vNFTot/>",
         {"CST_IBSCBS_1=000"},
         {}},
        {"an absent group leaves its lines out",
         "<IBSCBS><gIBSCBS><gIBSUF><vIBSUF>1</vIBSUF></gIBSUF><vIBS>1</vIBS></gIBSCBS></IBSCBS>",
         "<IBSCBSTot><gCBS><vCBS>2</vCBS></gCBS></IBSCBSTot>",
         {"Valor_IBS_UF_1=1,00", "Valor_IBS_1=1,00"},
         {"Valor_CBS=2,00"}},
        {"a text that is not a number is written as read",
         "<IS><pIS>5%</pIS><vIS>1,5</vIS></IS>",
         "<vNFTot>abc</vNFTot>",
         {"Aliquota_IS_1=5%", "Valor_IS_1=1,5"},
         {"Total_Nota_Fiscal_Com_Tributos=abc"}},
        {"namespace prefixes",
         "<n:IBSCBS " + prefixo +
             "><n:CST>000</n:CST><n:gIBSCBS><n:gCBS><n:pCBS>0.9</n:pCBS></n:gCBS></n:gIBSCBS>"
             "</n:IBSCBS>",
         "<n:IBSCBSTot " + prefixo + "><n:vBCIBSCBS>5</n:vBCIBSCBS></n:IBSCBSTot>",
         {"CST_IBSCBS_1=000", "Aliquota_CBS_1=0,9000"},
         {"Base_IBSCBS=5,00"}},
        {"every element", is_completo + std::string(ibscbs_completo), totais_completos, item_completo,
         linhas_totais_completos},
        {"the single-phase detail in its subgroups", mono_em_subgrupos, "", do_item_1(linhas_mono_em_subgrupos), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NFe n;
        n.det =
            det(1, "<cProd>1</cProd><xPed>P</xPed>",
                "<imposto><COFINS><COFINSAliq><vCOFINS>1</vCOFINS></COFINSAliq></COFINS>" + c.imposto + "</imposto>");
        n.total = "<total><ICMSTot><vNF>10.00</vNF></ICMSTot>" + c.total + "</total>";
        const RunResult r = run(n);
        ASSERT_TRUE(r.completed());
        const Lines lines = r.lines();
        Lines item = c.item;
        item.push_back("Numero_Pedido_1=P");
        EXPECT_EQ(depois_de(lines, "Valor_COFINS_1=1,00"), item);
        EXPECT_EQ(depois_de(lines, "Total_Nota_Fiscal=10,00"), c.totais);
        EXPECT_EQ(r.result.lista_problemas, "");
        EXPECT_TRUE(r.boxes.empty());
    }
}

// The reform's rows of an item look their elements up without creating
// them: a small document of many items with bare groups stays within the
// bounds a document may grow to while it is read.
TEST(NfeReformaTributaria, ManyItemsWithBareGroupsImport) {
    NFe n;
    for (int i = 1; i <= 2000; ++i)
        n.det += det(i, "<cProd>1</cProd>", "<imposto><IS/><IBSCBS><CST>000</CST></IBSCBS></imposto>");
    const RunResult r = run(n);
    ASSERT_TRUE(r.completed()) << (r.boxes.empty() ? "" : r.boxes.front());
    EXPECT_EQ(r.document_lines().back(), "Itens=2000");
}

}  // namespace
}  // namespace idf::test::nfe
