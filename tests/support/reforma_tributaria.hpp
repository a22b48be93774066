// An IBSCBS group of the tax reform that carries every element read, each
// with its own value, and the lines it gives (keys without an item
// suffix). The NF-e item (det/imposto) and the CT-e (imp) read the group
// alike. Rates keep 4 decimals, values 2; "800" is an integer amount.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace idf::test {

inline constexpr std::string_view ibscbs_completo =
    "<IBSCBS><CST>410</CST><cClassTrib>410999</cClassTrib><gIBSCBS><vBC>1000</vBC>"
    "<gIBSUF><pIBSUF>0.1001</pIBSUF><gDif><pDif>0.1002</pDif><vDif>1.1</vDif></gDif>"
    "<gDevTrib><vDevTrib>1.2</vDevTrib></gDevTrib><gRed><pRedAliq>0.1003</pRedAliq><pAliqEfet>0.1004</pAliqEfet>"
    "</gRed><vIBSUF>1.3</vIBSUF></gIBSUF>"
    "<gIBSMun><pIBSMun>0.2001</pIBSMun><gDif><pDif>0.2002</pDif><vDif>2.1</vDif></gDif>"
    "<gDevTrib><vDevTrib>2.2</vDevTrib></gDevTrib><gRed><pRedAliq>0.2003</pRedAliq><pAliqEfet>0.2004</pAliqEfet>"
    "</gRed><vIBSMun>2.3</vIBSMun></gIBSMun><vIBS>3.6</vIBS>"
    "<gCBS><pCBS>0.3001</pCBS><gDif><pDif>0.3002</pDif><vDif>3.1</vDif></gDif>"
    "<gDevTrib><vDevTrib>3.2</vDevTrib></gDevTrib><gRed><pRedAliq>0.3003</pRedAliq><pAliqEfet>0.3004</pAliqEfet>"
    "</gRed><vCBS>3.3</vCBS></gCBS>"
    "<gTribRegular><CSTReg>510</CSTReg><cClassTribReg>510001</cClassTribReg>"
    "<pAliqEfetRegIBSUF>0.4001</pAliqEfetRegIBSUF><vTribRegIBSUF>4.1</vTribRegIBSUF>"
    "<pAliqEfetRegIBSMun>0.4002</pAliqEfetRegIBSMun><vTribRegIBSMun>4.2</vTribRegIBSMun>"
    "<pAliqEfetRegCBS>0.4003</pAliqEfetRegCBS><vTribRegCBS>4.3</vTribRegCBS></gTribRegular></gIBSCBS>"
    "<gIBSCBSMono><vTotIBSMonoItem>5.1</vTotIBSMonoItem><vTotCBSMonoItem>5.2</vTotCBSMonoItem></gIBSCBSMono>"
    "<gTransfCred><vIBS>6.1</vIBS><vCBS>6.2</vCBS></gTransfCred>"
    "<gEstornoCred><vIBSEstCred>7.1</vIBSEstCred><vCBSEstCred>7.2</vCBSEstCred></gEstornoCred>"
    "<gCredPresOper><cCredPres>01</cCredPres><vBCCredPres>800</vBCCredPres>"
    "<gIBSCredPres><pCredPres>0.8001</pCredPres><vCredPres>8.1</vCredPres><vCredPresCondSus>8.2</vCredPresCondSus>"
    "</gIBSCredPres><gCBSCredPres><pCredPres>0.9001</pCredPres><vCredPres>9.1</vCredPres>"
    "<vCredPresCondSus>9.2</vCredPresCondSus></gCBSCredPres></gCredPresOper></IBSCBS>";

inline const std::vector<std::string> linhas_ibscbs_completo = {
    "CST_IBSCBS=410",
    "Classificacao_IBSCBS=410999",
    "Base_IBSCBS=1000,00",
    "Aliquota_IBS_UF=0,1001",
    "Diferimento_IBS_UF=0,1002",
    "Valor_Diferido_IBS_UF=1,10",
    "Valor_Devolvido_IBS_UF=1,20",
    "Reducao_IBS_UF=0,1003",
    "Aliquota_Efetiva_IBS_UF=0,1004",
    "Valor_IBS_UF=1,30",
    "Aliquota_IBS_Municipio=0,2001",
    "Diferimento_IBS_Municipio=0,2002",
    "Valor_Diferido_IBS_Municipio=2,10",
    "Valor_Devolvido_IBS_Municipio=2,20",
    "Reducao_IBS_Municipio=0,2003",
    "Aliquota_Efetiva_IBS_Municipio=0,2004",
    "Valor_IBS_Municipio=2,30",
    "Valor_IBS=3,60",
    "Aliquota_CBS=0,3001",
    "Diferimento_CBS=0,3002",
    "Valor_Diferido_CBS=3,10",
    "Valor_Devolvido_CBS=3,20",
    "Reducao_CBS=0,3003",
    "Aliquota_Efetiva_CBS=0,3004",
    "Valor_CBS=3,30",
    "CST_Regular_IBSCBS=510",
    "Classificacao_Regular_IBSCBS=510001",
    "Aliquota_Regular_IBS_UF=0,4001",
    "Valor_Regular_IBS_UF=4,10",
    "Aliquota_Regular_IBS_Municipio=0,4002",
    "Valor_Regular_IBS_Municipio=4,20",
    "Aliquota_Regular_CBS=0,4003",
    "Valor_Regular_CBS=4,30",
    "Valor_IBS_Monofasico=5,10",
    "Valor_CBS_Monofasico=5,20",
    "Valor_IBS_Transferido=6,10",
    "Valor_CBS_Transferido=6,20",
    "Valor_Estorno_IBS=7,10",
    "Valor_Estorno_CBS=7,20",
    "Codigo_Credito_Presumido=01",
    "Base_Credito_Presumido=800,00",
    "Aliquota_Credito_Presumido_IBS=0,8001",
    "Valor_Credito_Presumido_IBS=8,10",
    "Valor_Credito_Presumido_Suspenso_IBS=8,20",
    "Aliquota_Credito_Presumido_CBS=0,9001",
    "Valor_Credito_Presumido_CBS=9,10",
    "Valor_Credito_Presumido_Suspenso_CBS=9,20",
};

}  // namespace idf::test
