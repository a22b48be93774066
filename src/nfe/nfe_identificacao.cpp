// The authorisation protocol, [IDENTIFICACAO] and [NOTAS_REFERENCIADAS].
#include <string>
#include <vector>

#include "common/fields.hpp"
#include "common/messages.hpp"
#include "common/protocolo.hpp"
#include "common/reforma_tributaria.hpp"
#include "nfe/uimporta_arquivo_xml_nfe.hpp"

namespace idf::nfe {

namespace {

using namespace transform;

// Children of ide after the number. Older layouts carry dEmi, newer ones
// dhEmi; dhEmi is looked at only when dEmi is blank, not when dEmi fails to
// convert. Then the tax reform's lines, each only when present.
const Field identificacao[] = {
    {"Data_Emissao=", "dEmi|dhEmi", date, Kind::when_empty, msg::problema_data_emissao},
    {"Tipo_Nota_Debito=", "tpNFDebito", as_read, Kind::optional},
    {"Tipo_Nota_Credito=", "tpNFCredito", as_read, Kind::optional},
    {"Municipio_Fato_Gerador_IBS=", "cMunFGIBS", as_read, Kind::optional},
    // A date that cannot be read leaves the line out, silently.
    {"Data_Previsao_Entrega=", "dPrevEntrega", date, Kind::optional},
};

// The notes paid in advance that this one settles, numbered from 1.
const Field pagamento_antecipado{"Chave_Pagamento_Antecipado=", "gPagAntecipado/refNFe", as_read, Kind::optional};

}  // namespace

void Tfrmimporta_arquivo_xml_nfe::le_identificacao() {
    const xml::Node ide = le_inicio_identificacao(*this);
    write_fields(*this, ide, identificacao);
    write_group(*this, ide, "gCompraGov", linhas_compra_governamental());
    write_each(*this, ide, pagamento_antecipado);
}

std::vector<Table> tabelas_identificacao() {
    return {{"NFe/infNFe/ide", identificacao},
            {"NFe/infNFe/ide/gCompraGov", linhas_compra_governamental()},
            {"NFe/infNFe/ide", {&pagamento_antecipado, 1}}};
}

void Tfrmimporta_arquivo_xml_nfe::le_notas_referenciadas() {
    int numero = 1;
    write_empty_line();
    write_line("[NOTAS_REFERENCIADAS]");

    // From the first NFref on, every following child of ide is visited;
    // only the ones holding a refNFe write a line.
    for (xml::Node node = find_path(document_element(), {"NFe", "infNFe", "ide", "NFref"}); node;
         node = node.next_sibling()) {
        if (!node.first_child()) continue;
        const std::string chave = read_value(*this, node, "refNFe", upper);
        if (chave.empty()) continue;
        write_value("Nota_Fiscal_Referenciada_" + std::to_string(numero) + "=", chave);
        ++numero;
    }
}

}  // namespace idf::nfe
