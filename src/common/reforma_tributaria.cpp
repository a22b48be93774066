#include "common/reforma_tributaria.hpp"

namespace idf {

namespace {

using namespace transform;

// Rates carry 4 decimals, as the schema writes them (0.0525 stays
// 0,0525); values and bases carry 2; codes are as read.
const Field ibscbs[] = {
    {"CST_IBSCBS=", "CST", as_read, Kind::optional},
    {"Classificacao_IBSCBS=", "cClassTrib", as_read, Kind::optional},
    {"Base_IBSCBS=", "gIBSCBS/vBC", number(2), Kind::optional},

    // The IBS of the state.
    {"Aliquota_IBS_UF=", "gIBSCBS/gIBSUF/pIBSUF", number(4), Kind::optional},
    {"Diferimento_IBS_UF=", "gIBSCBS/gIBSUF/gDif/pDif", number(4), Kind::optional},
    {"Valor_Diferido_IBS_UF=", "gIBSCBS/gIBSUF/gDif/vDif", number(2), Kind::optional},
    {"Valor_Devolvido_IBS_UF=", "gIBSCBS/gIBSUF/gDevTrib/vDevTrib", number(2), Kind::optional},
    {"Reducao_IBS_UF=", "gIBSCBS/gIBSUF/gRed/pRedAliq", number(4), Kind::optional},
    {"Aliquota_Efetiva_IBS_UF=", "gIBSCBS/gIBSUF/gRed/pAliqEfet", number(4), Kind::optional},
    {"Valor_IBS_UF=", "gIBSCBS/gIBSUF/vIBSUF", number(2), Kind::optional},

    // The IBS of the municipality.
    {"Aliquota_IBS_Municipio=", "gIBSCBS/gIBSMun/pIBSMun", number(4), Kind::optional},
    {"Diferimento_IBS_Municipio=", "gIBSCBS/gIBSMun/gDif/pDif", number(4), Kind::optional},
    {"Valor_Diferido_IBS_Municipio=", "gIBSCBS/gIBSMun/gDif/vDif", number(2), Kind::optional},
    {"Valor_Devolvido_IBS_Municipio=", "gIBSCBS/gIBSMun/gDevTrib/vDevTrib", number(2), Kind::optional},
    {"Reducao_IBS_Municipio=", "gIBSCBS/gIBSMun/gRed/pRedAliq", number(4), Kind::optional},
    {"Aliquota_Efetiva_IBS_Municipio=", "gIBSCBS/gIBSMun/gRed/pAliqEfet", number(4), Kind::optional},
    {"Valor_IBS_Municipio=", "gIBSCBS/gIBSMun/vIBSMun", number(2), Kind::optional},

    // The whole IBS: state and municipality.
    {"Valor_IBS=", "gIBSCBS/vIBS", number(2), Kind::optional},

    // The CBS.
    {"Aliquota_CBS=", "gIBSCBS/gCBS/pCBS", number(4), Kind::optional},
    {"Diferimento_CBS=", "gIBSCBS/gCBS/gDif/pDif", number(4), Kind::optional},
    {"Valor_Diferido_CBS=", "gIBSCBS/gCBS/gDif/vDif", number(2), Kind::optional},
    {"Valor_Devolvido_CBS=", "gIBSCBS/gCBS/gDevTrib/vDevTrib", number(2), Kind::optional},
    {"Reducao_CBS=", "gIBSCBS/gCBS/gRed/pRedAliq", number(4), Kind::optional},
    {"Aliquota_Efetiva_CBS=", "gIBSCBS/gCBS/gRed/pAliqEfet", number(4), Kind::optional},
    {"Valor_CBS=", "gIBSCBS/gCBS/vCBS", number(2), Kind::optional},

    // What the regular taxation would have been.
    {"CST_Regular_IBSCBS=", "gIBSCBS/gTribRegular/CSTReg", as_read, Kind::optional},
    {"Classificacao_Regular_IBSCBS=", "gIBSCBS/gTribRegular/cClassTribReg", as_read, Kind::optional},
    {"Aliquota_Regular_IBS_UF=", "gIBSCBS/gTribRegular/pAliqEfetRegIBSUF", number(4), Kind::optional},
    {"Valor_Regular_IBS_UF=", "gIBSCBS/gTribRegular/vTribRegIBSUF", number(2), Kind::optional},
    {"Aliquota_Regular_IBS_Municipio=", "gIBSCBS/gTribRegular/pAliqEfetRegIBSMun", number(4), Kind::optional},
    {"Valor_Regular_IBS_Municipio=", "gIBSCBS/gTribRegular/vTribRegIBSMun", number(2), Kind::optional},
    {"Aliquota_Regular_CBS=", "gIBSCBS/gTribRegular/pAliqEfetRegCBS", number(4), Kind::optional},
    {"Valor_Regular_CBS=", "gIBSCBS/gTribRegular/vTribRegCBS", number(2), Kind::optional},

    // Single-phase taxation (fuels).
    {"Valor_IBS_Monofasico=", "gIBSCBSMono/vTotIBSMonoItem", number(2), Kind::optional},
    {"Valor_CBS_Monofasico=", "gIBSCBSMono/vTotCBSMonoItem", number(2), Kind::optional},

    // Credits transferred, and credits reversed.
    {"Valor_IBS_Transferido=", "gTransfCred/vIBS", number(2), Kind::optional},
    {"Valor_CBS_Transferido=", "gTransfCred/vCBS", number(2), Kind::optional},
    {"Valor_Estorno_IBS=", "gEstornoCred/vIBSEstCred", number(2), Kind::optional},
    {"Valor_Estorno_CBS=", "gEstornoCred/vCBSEstCred", number(2), Kind::optional},

    // The presumed credit of the operation; the earlier layouts kept it in
    // gIBSCBS (as the CT-e does), the code in either of its groups.
    {"Codigo_Credito_Presumido=",
     "gCredPresOper/cCredPres|gIBSCBS/gIBSCredPres/cCredPres|gIBSCBS/gCBSCredPres/cCredPres", as_read, Kind::optional},
    {"Base_Credito_Presumido=", "gCredPresOper/vBCCredPres", number(2), Kind::optional},
    {"Aliquota_Credito_Presumido_IBS=", "gCredPresOper/gIBSCredPres/pCredPres|gIBSCBS/gIBSCredPres/pCredPres",
     number(4), Kind::optional},
    {"Valor_Credito_Presumido_IBS=", "gCredPresOper/gIBSCredPres/vCredPres|gIBSCBS/gIBSCredPres/vCredPres", number(2),
     Kind::optional},
    {"Valor_Credito_Presumido_Suspenso_IBS=",
     "gCredPresOper/gIBSCredPres/vCredPresCondSus|gIBSCBS/gIBSCredPres/vCredPresCondSus", number(2), Kind::optional},
    {"Aliquota_Credito_Presumido_CBS=", "gCredPresOper/gCBSCredPres/pCredPres|gIBSCBS/gCBSCredPres/pCredPres",
     number(4), Kind::optional},
    {"Valor_Credito_Presumido_CBS=", "gCredPresOper/gCBSCredPres/vCredPres|gIBSCBS/gCBSCredPres/vCredPres", number(2),
     Kind::optional},
    {"Valor_Credito_Presumido_Suspenso_CBS=",
     "gCredPresOper/gCBSCredPres/vCredPresCondSus|gIBSCBS/gCBSCredPres/vCredPresCondSus", number(2), Kind::optional},

    // A purchase by a government body: the rates and values the body pays.
    {"Aliquota_Compra_Governamental_IBS_UF=", "gIBSCBS/gTribCompraGov/pAliqIBSUF", number(4), Kind::optional},
    {"Valor_Compra_Governamental_IBS_UF=", "gIBSCBS/gTribCompraGov/vTribIBSUF", number(2), Kind::optional},
    {"Aliquota_Compra_Governamental_IBS_Municipio=", "gIBSCBS/gTribCompraGov/pAliqIBSMun", number(4), Kind::optional},
    {"Valor_Compra_Governamental_IBS_Municipio=", "gIBSCBS/gTribCompraGov/vTribIBSMun", number(2), Kind::optional},
    {"Aliquota_Compra_Governamental_CBS=", "gIBSCBS/gTribCompraGov/pAliqCBS", number(4), Kind::optional},
    {"Valor_Compra_Governamental_CBS=", "gIBSCBS/gTribCompraGov/vTribCBS", number(2), Kind::optional},

    // The single-phase detail (fuels): each value in its subgroup, or
    // straight under gIBSCBSMono as the earlier layouts wrote it. Quantities
    // and ad rem rates (per unit) carry 4 decimals.
    {"Quantidade_Monofasico=", "gIBSCBSMono/gMonoPadrao/qBCMono|gIBSCBSMono/qBCMono", number(4), Kind::optional},
    {"Aliquota_Ad_Rem_IBS_Monofasico=", "gIBSCBSMono/gMonoPadrao/adRemIBS|gIBSCBSMono/adRemIBS", number(4),
     Kind::optional},
    {"Valor_IBS_Monofasico_Proprio=", "gIBSCBSMono/gMonoPadrao/vIBSMono|gIBSCBSMono/vIBSMono", number(2),
     Kind::optional},
    {"Aliquota_Ad_Rem_CBS_Monofasico=", "gIBSCBSMono/gMonoPadrao/adRemCBS|gIBSCBSMono/adRemCBS", number(4),
     Kind::optional},
    {"Valor_CBS_Monofasico_Proprio=", "gIBSCBSMono/gMonoPadrao/vCBSMono|gIBSCBSMono/vCBSMono", number(2),
     Kind::optional},
    // Charged by retention (the tax the seller withholds).
    {"Quantidade_Monofasico_Retencao=", "gIBSCBSMono/gMonoReten/qBCMonoReten|gIBSCBSMono/qBCMonoReten", number(4),
     Kind::optional},
    {"Aliquota_Ad_Rem_IBS_Monofasico_Retencao=", "gIBSCBSMono/gMonoReten/adRemIBSReten|gIBSCBSMono/adRemIBSReten",
     number(4), Kind::optional},
    {"Valor_IBS_Monofasico_Retencao=", "gIBSCBSMono/gMonoReten/vIBSMonoReten|gIBSCBSMono/vIBSMonoReten", number(2),
     Kind::optional},
    {"Aliquota_Ad_Rem_CBS_Monofasico_Retencao=", "gIBSCBSMono/gMonoReten/adRemCBSReten|gIBSCBSMono/adRemCBSReten",
     number(4), Kind::optional},
    {"Valor_CBS_Monofasico_Retencao=", "gIBSCBSMono/gMonoReten/vCBSMonoReten|gIBSCBSMono/vCBSMonoReten", number(2),
     Kind::optional},
    // Retained before (charged earlier in the chain).
    {"Quantidade_Monofasico_Retido=", "gIBSCBSMono/gMonoRet/qBCMonoRet|gIBSCBSMono/qBCMonoRet", number(4),
     Kind::optional},
    {"Aliquota_Ad_Rem_IBS_Monofasico_Retido=", "gIBSCBSMono/gMonoRet/adRemIBSRet|gIBSCBSMono/adRemIBSRet", number(4),
     Kind::optional},
    {"Valor_IBS_Monofasico_Retido=", "gIBSCBSMono/gMonoRet/vIBSMonoRet|gIBSCBSMono/vIBSMonoRet", number(2),
     Kind::optional},
    {"Aliquota_Ad_Rem_CBS_Monofasico_Retido=", "gIBSCBSMono/gMonoRet/adRemCBSRet|gIBSCBSMono/adRemCBSRet", number(4),
     Kind::optional},
    {"Valor_CBS_Monofasico_Retido=", "gIBSCBSMono/gMonoRet/vCBSMonoRet|gIBSCBSMono/vCBSMonoRet", number(2),
     Kind::optional},
    // Deferred.
    {"Diferimento_IBS_Monofasico=", "gIBSCBSMono/gMonoDif/pDifIBS|gIBSCBSMono/pDifIBS", number(4), Kind::optional},
    {"Valor_IBS_Monofasico_Diferido=", "gIBSCBSMono/gMonoDif/vIBSMonoDif|gIBSCBSMono/vIBSMonoDif", number(2),
     Kind::optional},
    {"Diferimento_CBS_Monofasico=", "gIBSCBSMono/gMonoDif/pDifCBS|gIBSCBSMono/pDifCBS", number(4), Kind::optional},
    {"Valor_CBS_Monofasico_Diferido=", "gIBSCBSMono/gMonoDif/vCBSMonoDif|gIBSCBSMono/vCBSMonoDif", number(2),
     Kind::optional},

    // The presumed IBS credit of the Manaus free zone.
    {"Competencia_Credito_Presumido_ZFM=", "gCredPresIBSZFM/competApur", as_read, Kind::optional},
    {"Tipo_Credito_Presumido_ZFM=", "gCredPresIBSZFM/tpCredPresIBSZFM", as_read, Kind::optional},
    {"Valor_Credito_Presumido_ZFM=", "gCredPresIBSZFM/vCredPresIBSZFM", number(2), Kind::optional},

    // An adjustment of an earlier period.
    {"Competencia_Ajuste=", "gAjusteCompet/competApur", as_read, Kind::optional},
    {"Valor_IBS_Ajuste=", "gAjusteCompet/vIBS", number(2), Kind::optional},
    {"Valor_CBS_Ajuste=", "gAjusteCompet/vCBS", number(2), Kind::optional},

    // A donation.
    {"Indicador_Doacao=", "indDoacao", as_read, Kind::optional},
};

// The purchase by a government body (ide/gCompraGov): who buys, the
// reduction of the rates and the kind of operation.
const Field compra_governamental[] = {
    {"Tipo_Ente_Governamental=", "tpEnteGov", as_read, Kind::optional},
    {"Percentual_Redutor_Compra_Governamental=", "pRedutor", number(4), Kind::optional},
    {"Tipo_Operacao_Governamental=", "tpOperGov", as_read, Kind::optional},
};

}  // namespace

std::span<const Field> linhas_ibscbs() { return ibscbs; }
std::span<const Field> linhas_compra_governamental() { return compra_governamental; }

}  // namespace idf
