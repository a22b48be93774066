// The authorisation protocol and [IDENTIFICACAO]: access key, series,
// number, the route of the transport, emission date and payer (tomador).
#include <string>

#include "common/fields.hpp"
#include "common/messages.hpp"
#include "common/protocolo.hpp"
#include "cte/uimporta_arquivo_xml_cte.hpp"

namespace idf::cte {

namespace {

using namespace transform;

// Where the CT-e was issued, where the transport starts and where it ends.
constexpr std::string_view rota[] = {
    "cMunEnv", "xMunEnv", "UFEnv", "cMunIni", "xMunIni", "UFIni", "cMunFim", "xMunFim", "UFFim",
};

// Child of ide, after the route lines.
const Field data_emissao{"Data_Emissao=", "dhEmi", date, Kind::when_empty, msg::problema_data_emissao};

// Child of toma03 or toma3.
const Field tomador{"Tomador=", "toma", as_read, Kind::mandatory, msg::nao_leu<"o Tomador da Transportadora">};

}  // namespace

void Tfrmimporta_arquivo_xml_cte::le_identificacao() {
    const xml::Node ide = le_inicio_identificacao(*this);
    le_rota(ide);
    write_field(*this, ide, data_emissao);
    le_tomador();
}

void Tfrmimporta_arquivo_xml_cte::le_rota(xml::Node ide) {
    for (const std::string_view tag : rota) grava_tag_opcional(tag, ide);
}

void Tfrmimporta_arquivo_xml_cte::grava_tag_opcional(std::string_view tag, xml::Node node) {
    const std::string valor = le_valor_tag(*this, node, tag, false, 0);
    if (valor.empty()) return;
    write_value(std::string(tag) + "=", valor);
}

void Tfrmimporta_arquivo_xml_cte::le_tomador() {
    // Only these two payer groups are known; toma03 wins over toma3. A payer
    // outside both takes the message of a missing ide.
    xml::Node grupo = find_path(document_element(), {"CTe", "infCte", "ide", "toma03"});
    if (!grupo) grupo = find_path(document_element(), {"CTe", "infCte", "ide", "toma3"});
    if (!grupo) abort(msg::sem_identificacao);
    write_field(*this, grupo, tomador);
}

}  // namespace idf::cte
