// The tax lines of one item: ICMS from the first ICMS group the item
// carries, then IPI, PIS and COFINS from their taxed groups, then the tax
// reform's selective tax (IS) and IBS and CBS. A missing group or tag only
// leaves lines out.
#include <array>
#include <string>
#include <vector>

#include "common/fields.hpp"
#include "common/reforma_tributaria.hpp"
#include "nfe/uimporta_arquivo_xml_nfe.hpp"
#include "values/text.hpp"

namespace idf::nfe {

namespace {

using namespace transform;

// The ICMS groups looked for under imposto/ICMS, in this order; the first
// one present is used.
constexpr std::array<std::string_view, 21> grupos_icms = {
    "ICMS00",    "ICMS10",    "ICMS20",    "ICMS30",    "ICMS40",    "ICMS41",    "ICMS50",
    "ICMS51",    "ICMS60",    "ICMS70",    "ICMS90",    "ICMSSN101", "ICMSSN102", "ICMSSN103",
    "ICMSSN201", "ICMSSN202", "ICMSSN203", "ICMSSN300", "ICMSSN400", "ICMSSN500", "ICMSSN900",
};

// Normal regime (CST).
const Field icms[] = {
    {"Origem=", "orig", as_read, Kind::optional},           {"CST_Icms=", "CST", as_read, Kind::optional},
    {"Base_Icms=", "vBC", number(2), Kind::optional},       {"Reducao_Icms=", "pRedBC", number(2), Kind::optional},
    {"Aliquota_Icms=", "pICMS", number(2), Kind::optional}, {"Valor_Icms=", "vICMS", number(2), Kind::optional},
};
// CST 10: the tax charged by substitution.
const Field icms_st[] = {
    {"Base_ST=", "vBCST", number(2), Kind::optional},
    {"Aliquota_ST=", "pICMSST", number(2), Kind::optional},
    {"Valor_ST=", "vICMSST", number(2), Kind::optional},
};
// CST 60: the tax retained before.
const Field icms_st_retido_60[] = {
    {"Base_ST_Retido=", "vBCSTRet", number(2), Kind::optional},
    {"Aliquota_ST_Retido=", "pST", number(2), Kind::optional},
    {"Valor_ST_Retido=", "vICMSSTRet", number(2), Kind::optional},
    {"Valor_ST_Substituto=", "vICMSSubstituto", number(2), Kind::optional},
};
// Any other CST (and CST 10 with a vICMSST).
const Field icms_st_retido[] = {
    {"Base_ST_Retido=", "vBCST", number(2), Kind::optional},
    {"Aliquota_ST_Retido=", "pICMSST", number(2), Kind::optional},
    {"Valor_ST_Retido=", "vICMSST", number(2), Kind::optional},
    {"Valor_ST_Substituto=", "vICMS", number(2), Kind::optional},
};

// Simplified regime (CSOSN).
const Field icms_sn[] = {
    {"Origem=", "orig", as_read, Kind::optional},
    {"CSOSN=", "CSOSN", as_read, Kind::optional},
    {"Percentual_SN=", "pCredSN", number(2), Kind::optional},
    {"Valor_Credito_SN=", "vCredICMSSN", number(2), Kind::optional},
};
// CSOSN 900 also carries the normal ICMS values.
const Field icms_sn_900[] = {
    {"Base_Icms=", "vBC", number(2), Kind::optional},
    {"Reducao_Icms=", "pRedBC", number(2), Kind::optional},
    {"Aliquota_Icms=", "pICMS", number(2), Kind::optional},
    {"Valor_Icms=", "vICMS", number(2), Kind::optional},
};

const Field ipi[] = {
    {"CST_IPI=", "CST", as_read, Kind::optional},
    {"Base_IPI=", "vBC", number(2), Kind::optional},
    {"Aliquota_IPI=", "pIPI", number(2), Kind::optional},
    {"Valor_IPI=", "vIPI", number(2), Kind::optional},
};
const Field pis[] = {
    {"CST_PIS=", "CST", as_read, Kind::optional},
    {"Base_PIS=", "vBC", number(2), Kind::optional},
    {"Aliquota_PIS=", "pPIS", number(2), Kind::optional},
    {"Valor_PIS=", "vPIS", number(2), Kind::optional},
};
const Field cofins[] = {
    {"CST_COFINS=", "CST", as_read, Kind::optional},
    {"Base_COFINS=", "vBC", number(2), Kind::optional},
    {"Aliquota_COFINS=", "pCOFINS", number(2), Kind::optional},
    {"Valor_COFINS=", "vCOFINS", number(2), Kind::optional},
};

// The selective tax of the tax reform; the rate of a specific tax is per
// unit of uTrib (pISEspec, named adRemIS by the later layouts).
const Field imposto_seletivo[] = {
    {"CST_IS=", "CSTIS", as_read, Kind::optional},
    {"Classificacao_IS=", "cClassTribIS", as_read, Kind::optional},
    {"Base_IS=", "vBCIS", number(2), Kind::optional},
    {"Aliquota_IS=", "pIS", number(4), Kind::optional},
    {"Aliquota_Especifica_IS=", "pISEspec|adRemIS", number(4), Kind::optional},
    {"Unidade_IS=", "uTrib", as_read, Kind::optional},
    {"Quantidade_IS=", "qTrib", number(4), Kind::optional},
    {"Valor_IS=", "vIS", number(2), Kind::optional},
};

xml::Node imposto_de(xml::Node det) { return det.child("imposto"); }

}  // namespace

xml::Node Tfrmimporta_arquivo_xml_nfe::localiza_grupo_icms(xml::Node det) {
    const xml::Node grupos = imposto_de(det).child("ICMS");
    for (const std::string_view nome : grupos_icms)
        if (const xml::Node grupo = grupos.find(nome)) return grupo;
    return {};
}

void Tfrmimporta_arquivo_xml_nfe::le_icms_item(xml::Node det) {
    const xml::Node grupo = localiza_grupo_icms(det);
    if (!grupo) return;

    // Compared exactly, untrimmed: "060" or " 60" is not "60".
    const std::string cst = read_value(*this, grupo, "CST", as_read);
    if (!is_blank(cst)) {
        // The retained-tax marker: "0", or for CST 10 the value of vICMSST;
        // the retained lines follow whenever it holds something.
        std::string st_retido = "0";
        write_fields(*this, grupo, icms, sufixo_item_);
        if (cst == "10") {
            write_fields(*this, grupo, icms_st, sufixo_item_);
            st_retido = read_value(*this, grupo, "vICMSST", number(2));
        }
        if (cst == "60")
            write_fields(*this, grupo, icms_st_retido_60, sufixo_item_);
        else if (!st_retido.empty())
            write_fields(*this, grupo, icms_st_retido, sufixo_item_);
        return;
    }

    const std::string csosn = read_value(*this, grupo, "CSOSN", as_read);
    if (is_blank(csosn)) return;
    write_fields(*this, grupo, icms_sn, sufixo_item_);
    if (csosn == "900") write_fields(*this, grupo, icms_sn_900, sufixo_item_);
}

void Tfrmimporta_arquivo_xml_nfe::le_tributo_item(xml::Node det, std::string_view tributo, std::string_view grupo,
                                                  std::span<const Field> linhas) {
    const xml::Node grupos = imposto_de(det).child(tributo);
    if (const xml::Node tributado = grupos.find(grupo)) write_fields(*this, tributado, linhas, sufixo_item_);
}

void Tfrmimporta_arquivo_xml_nfe::le_impostos_item(xml::Node det) {
    le_icms_item(det);
    le_tributo_item(det, "IPI", "IPITrib", ipi);
    le_tributo_item(det, "PIS", "PISAliq", pis);
    le_tributo_item(det, "COFINS", "COFINSAliq", cofins);
    const xml::Node imposto = imposto_de(det);
    write_group(*this, imposto, "IS", imposto_seletivo, sufixo_item_);
    write_group(*this, imposto, "IBSCBS", linhas_ibscbs(), sufixo_item_);
}

std::vector<Table> tabelas_impostos_item() {
    return {{"NFe/infNFe/det/imposto/IPI/IPITrib", ipi},
            {"NFe/infNFe/det/imposto/PIS/PISAliq", pis},
            {"NFe/infNFe/det/imposto/COFINS/COFINSAliq", cofins},
            {"NFe/infNFe/det/imposto/IS", imposto_seletivo},
            {"NFe/infNFe/det/imposto/IBSCBS", linhas_ibscbs()}};
}

}  // namespace idf::nfe
