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

    // The presumed credit of the operation.
    {"Codigo_Credito_Presumido=", "gCredPresOper/cCredPres", as_read, Kind::optional},
    {"Base_Credito_Presumido=", "gCredPresOper/vBCCredPres", number(2), Kind::optional},
    {"Aliquota_Credito_Presumido_IBS=", "gCredPresOper/gIBSCredPres/pCredPres", number(4), Kind::optional},
    {"Valor_Credito_Presumido_IBS=", "gCredPresOper/gIBSCredPres/vCredPres", number(2), Kind::optional},
    {"Valor_Credito_Presumido_Suspenso_IBS=", "gCredPresOper/gIBSCredPres/vCredPresCondSus", number(2), Kind::optional},
    {"Aliquota_Credito_Presumido_CBS=", "gCredPresOper/gCBSCredPres/pCredPres", number(4), Kind::optional},
    {"Valor_Credito_Presumido_CBS=", "gCredPresOper/gCBSCredPres/vCredPres", number(2), Kind::optional},
    {"Valor_Credito_Presumido_Suspenso_CBS=", "gCredPresOper/gCBSCredPres/vCredPresCondSus", number(2), Kind::optional},
};

}  // namespace

std::span<const Field> linhas_ibscbs() { return ibscbs; }

}  // namespace idf
