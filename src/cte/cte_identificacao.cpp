// The authorisation protocol and [IDENTIFICACAO]: access key, series,
// number, the route of the transport, emission date, payer (tomador) or for
// the CT-e OS the model, and a government purchase.
#include <string>
#include <vector>

#include "common/fields.hpp"
#include "common/messages.hpp"
#include "common/protocolo.hpp"
#include "common/reforma_tributaria.hpp"
#include "cte/uimporta_arquivo_xml_cte.hpp"

namespace idf::cte {

namespace {

using namespace transform;

// Children of ide after the series and the number: where the CT-e was
// issued, where the transport starts and where it ends (each route line only
// when its child holds a non-blank text), then the emission date.
const Field identificacao[] = {
    {"cMunEnv=", "cMunEnv", as_read, Kind::optional},
    {"xMunEnv=", "xMunEnv", as_read, Kind::optional},
    {"UFEnv=", "UFEnv", as_read, Kind::optional},
    {"cMunIni=", "cMunIni", as_read, Kind::optional},
    {"xMunIni=", "xMunIni", as_read, Kind::optional},
    {"UFIni=", "UFIni", as_read, Kind::optional},
    {"cMunFim=", "cMunFim", as_read, Kind::optional},
    {"xMunFim=", "xMunFim", as_read, Kind::optional},
    {"UFFim=", "UFFim", as_read, Kind::optional},
    {"Data_Emissao=", "dhEmi", date, Kind::when_empty, msg::problema_data_emissao},
};

// Child of toma03 or toma3.
const Field tomador{"Tomador=", "toma", as_read, Kind::mandatory, msg::nao_leu<"o Tomador da Transportadora">};

// Child of the CT-e OS's ide, in place of the payer: the model (67).
const Field modelo{"Modelo=", "mod", as_read, Kind::optional};

}  // namespace

void Tfrmimporta_arquivo_xml_cte::le_identificacao() {
    const xml::Node ide = le_inicio_identificacao(*this);
    write_fields(*this, ide, identificacao);
    // The CT-e OS has no toma3 or toma03: its payer is the section
    // [TOMADOR].
    if (is_variant())
        write_field(*this, ide, modelo);
    else
        le_tomador();
    // A purchase by a government body, after the payer (the CT-e OS: after
    // the model).
    write_group(*this, ide, "gCompraGov", linhas_compra_governamental());
}

void Tfrmimporta_arquivo_xml_cte::le_tomador() {
    // Only these two payer groups are known; toma03 wins over toma3. A payer
    // outside both takes the message of a missing ide.
    xml::Node grupo = find_in_document(*this, {"ide", "toma03"});
    if (!grupo) grupo = find_in_document(*this, {"ide", "toma3"});
    if (!grupo) abort(msg::sem_identificacao);
    write_field(*this, grupo, tomador);
}

std::vector<Table> tabelas_identificacao() {
    return {{"CTe/infCte/ide", identificacao}, {"CTe/infCte/ide/gCompraGov", linhas_compra_governamental()}};
}

}  // namespace idf::cte
