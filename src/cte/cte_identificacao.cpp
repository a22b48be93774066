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
// Also the message of a payer outside toma03 and toma3.

const Protocolo protocolo{"CTe", "protCTe", "chCTe", sem_protocolo, sem_chave};

// Children of ide: series, number, then where the CT-e was issued, where the
// transport starts and where it ends (each route line only when its child
// holds a non-blank text), then the emission date.
const Field identificacao[] = {
    {"Serie_Nota_Fiscal=", "serie", as_read, Kind::mandatory, msg::sem_serie},
    {"Numero_Nota_Fiscal=", "nCT", as_integer, Kind::mandatory, msg::sem_numero},
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
const Field tomador{"Tomador=", "toma", as_read, Kind::mandatory,
                    "O Sistema não Conseguiu Ler o Tomador da Transportadora no Arquivo XML.\r\n\n"
                    "A Importação será Abortada."};

}  // namespace

void Tfrmimporta_arquivo_xml_cte::le_identificacao() {
    le_protocolo(*this, protocolo);

    const xml::Node ide = find_path(document_element(), {"CTe", "infCte", "ide"});
    if (!ide) abort(msg::sem_identificacao);
    write_fields(*this, ide, identificacao);
    le_tomador();
}

void Tfrmimporta_arquivo_xml_cte::le_tomador() {
    // Only these two payer groups are known; toma03 wins over toma3.
    xml::Node grupo = find_path(document_element(), {"CTe", "infCte", "ide", "toma03"});
    if (!grupo) grupo = find_path(document_element(), {"CTe", "infCte", "ide", "toma3"});
    if (!grupo) abort(msg::sem_identificacao);
    write_field(*this, grupo, tomador);
}

}  // namespace idf::cte
