// The tax lines of one item: ICMS from the first ICMS group the item
// carries, then IPI, PIS and COFINS from their taxed groups. A missing group
// or tag only leaves lines out.
#include <array>
#include <string>

#include "common/fields.hpp"
#include "nfe/uimporta_arquivo_xml_nfe.hpp"
#include "values/text.hpp"

namespace idf::nfe {

namespace {

constexpr int texto = ItemLine::texto;

// The ICMS groups looked for under imposto/ICMS, in this order; the first
// one present is used.
constexpr std::array<std::string_view, 21> grupos_icms = {
    "ICMS00",    "ICMS10",    "ICMS20",    "ICMS30",    "ICMS40",    "ICMS41",    "ICMS50",
    "ICMS51",    "ICMS60",    "ICMS70",    "ICMS90",    "ICMSSN101", "ICMSSN102", "ICMSSN103",
    "ICMSSN201", "ICMSSN202", "ICMSSN203", "ICMSSN300", "ICMSSN400", "ICMSSN500", "ICMSSN900",
};

// Normal regime (CST).
constexpr ItemLine icms[] = {
    {"orig", "Origem", texto},     {"CST", "CST_Icms", texto},    {"vBC", "Base_Icms", 2},
    {"pRedBC", "Reducao_Icms", 2}, {"pICMS", "Aliquota_Icms", 2}, {"vICMS", "Valor_Icms", 2},
};
// CST 10: the tax charged by substitution.
constexpr ItemLine icms_st[] = {
    {"vBCST", "Base_ST", 2},
    {"pICMSST", "Aliquota_ST", 2},
    {"vICMSST", "Valor_ST", 2},
};
// CST 60: the tax retained before.
constexpr ItemLine icms_st_retido_60[] = {
    {"vBCSTRet", "Base_ST_Retido", 2},
    {"pST", "Aliquota_ST_Retido", 2},
    {"vICMSSTRet", "Valor_ST_Retido", 2},
    {"vICMSSubstituto", "Valor_ST_Substituto", 2},
};
// Any other CST (and CST 10 with a vICMSST).
constexpr ItemLine icms_st_retido[] = {
    {"vBCST", "Base_ST_Retido", 2},
    {"pICMSST", "Aliquota_ST_Retido", 2},
    {"vICMSST", "Valor_ST_Retido", 2},
    {"vICMS", "Valor_ST_Substituto", 2},
};

// Simplified regime (CSOSN).
constexpr ItemLine icms_sn[] = {
    {"orig", "Origem", texto},
    {"CSOSN", "CSOSN", texto},
    {"pCredSN", "Percentual_SN", 2},
    {"vCredICMSSN", "Valor_Credito_SN", 2},
};
// CSOSN 900 also carries the normal ICMS values.
constexpr ItemLine icms_sn_900[] = {
    {"vBC", "Base_Icms", 2},
    {"pRedBC", "Reducao_Icms", 2},
    {"pICMS", "Aliquota_Icms", 2},
    {"vICMS", "Valor_Icms", 2},
};

constexpr ItemLine ipi[] = {
    {"CST", "CST_IPI", texto},
    {"vBC", "Base_IPI", 2},
    {"pIPI", "Aliquota_IPI", 2},
    {"vIPI", "Valor_IPI", 2},
};
constexpr ItemLine pis[] = {
    {"CST", "CST_PIS", texto},
    {"vBC", "Base_PIS", 2},
    {"pPIS", "Aliquota_PIS", 2},
    {"vPIS", "Valor_PIS", 2},
};
constexpr ItemLine cofins[] = {
    {"CST", "CST_COFINS", texto},
    {"vBC", "Base_COFINS", 2},
    {"pCOFINS", "Aliquota_COFINS", 2},
    {"vCOFINS", "Valor_COFINS", 2},
};

xml::Node imposto_de(xml::Node det) { return det.child("imposto"); }

}  // namespace

xml::Node Tfrmimporta_arquivo_xml_nfe::localiza_grupo_icms(xml::Node det) {
    const xml::Node icms_node = imposto_de(det).child("ICMS");
    for (const std::string_view nome : grupos_icms)
        if (const xml::Node grupo = icms_node.find(nome)) return grupo;
    return {};
}

void Tfrmimporta_arquivo_xml_nfe::le_icms_item(xml::Node det) {
    const xml::Node grupo = localiza_grupo_icms(det);
    if (!grupo) return;

    // Compared exactly, untrimmed: "060" or " 60" is not "60".
    const std::string cst = le_valor_tag(*this, grupo, "CST", false, 0);
    if (!is_blank(cst)) {
        // The retained-tax marker: "0", or for CST 10 the value of vICMSST;
        // the retained lines follow whenever it holds something.
        std::string st_retido = "0";
        grava_item_linhas(icms, grupo);
        if (cst == "10") {
            grava_item_linhas(icms_st, grupo);
            st_retido = le_valor_tag(*this, grupo, "vICMSST", true, 2);
        }
        if (cst == "60")
            grava_item_linhas(icms_st_retido_60, grupo);
        else if (!st_retido.empty())
            grava_item_linhas(icms_st_retido, grupo);
        return;
    }

    const std::string csosn = le_valor_tag(*this, grupo, "CSOSN", false, 0);
    if (is_blank(csosn)) return;
    grava_item_linhas(icms_sn, grupo);
    if (csosn == "900") grava_item_linhas(icms_sn_900, grupo);
}

void Tfrmimporta_arquivo_xml_nfe::le_tributo_item(xml::Node det, std::string_view tributo, std::string_view grupo,
                                                  std::span<const ItemLine> lines) {
    if (const xml::Node tributado = imposto_de(det).child(tributo).find(grupo)) grava_item_linhas(lines, tributado);
}

void Tfrmimporta_arquivo_xml_nfe::le_impostos_item(xml::Node det) {
    le_icms_item(det);
    le_tributo_item(det, "IPI", "IPITrib", ipi);
    le_tributo_item(det, "PIS", "PISAliq", pis);
    le_tributo_item(det, "COFINS", "COFINSAliq", cofins);
}

}  // namespace idf::nfe
