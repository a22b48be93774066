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

constexpr std::string_view sem_protocolo =
    "Arquivo XML Inválido. O Sistema não Conseguiu Ler o Nº do Protocolo da Autorização da CTe.\r\n\n"
    "A Importação será Abortada.";
constexpr std::string_view sem_chave =
    "Arquivo XML Inválido. O Sistema não Conseguiu Ler a Chave de Acesso da CTe.\r\n\nA Importação será Abortada.";

const Protocolo protocolo{"CTe", "protCTe", "chCTe", sem_protocolo, sem_chave};

// Children of ide, before the route lines.
const Field identificacao[] = {
    {"Serie_Nota_Fiscal=", "serie", as_read, Kind::mandatory, msg::sem_serie},
    {"Numero_Nota_Fiscal=", "nCT", as_integer, Kind::mandatory, msg::sem_numero},
};

// Where the CT-e was issued, where the transport starts and where it ends.
constexpr std::string_view rota[] = {
    "cMunEnv", "xMunEnv", "UFEnv", "cMunIni", "xMunIni", "UFIni", "cMunFim", "xMunFim", "UFFim",
};

// Child of ide, after the route lines.
const Field data_emissao{"Data_Emissao=", "dhEmi", date, Kind::when_empty, msg::problema_data_emissao};

// Child of toma03 or toma3.
const Field tomador{"Tomador=", "toma", as_read, Kind::mandatory,
                    "O Sistema não Conseguiu Ler o Tomador da Transportadora no Arquivo XML.\r\n\n"
                    "A Importação será Abortada."};

}  // namespace

void Tfrmimporta_arquivo_xml_cte::le_identificacao() {
    le_protocolo(*this, protocolo);

    const xml::Node ide = find_path(document_element(), {"CTe", "infCte", "ide"});
    if (!ide) abort(msg::sem_identificacao);
    write_fields(*this, ide, identificacao);
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
    // in neither ends the import as a missing ide does.
    xml::Node grupo = find_path(document_element(), {"CTe", "infCte", "ide", "toma03"});
    if (!grupo) grupo = find_path(document_element(), {"CTe", "infCte", "ide", "toma3"});
    if (!grupo) abort(msg::sem_identificacao);
    write_field(*this, grupo, tomador);
}

}  // namespace idf::cte
