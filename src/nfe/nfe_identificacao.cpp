// The authorisation protocol, [IDENTIFICACAO] and [NOTAS_REFERENCIADAS].
#include <string>

#include "common/fields.hpp"
#include "common/messages.hpp"
#include "common/protocolo.hpp"
#include "nfe/uimporta_arquivo_xml_nfe.hpp"
#include "values/text.hpp"

namespace idf::nfe {

namespace {

using namespace transform;

}  // namespace

void Tfrmimporta_arquivo_xml_nfe::le_identificacao() {
    const xml::Node ide = le_inicio_identificacao(*this);

    // Older layouts carry dEmi, newer ones dhEmi; dhEmi is looked at only
    // when dEmi is blank, not when dEmi fails to convert.
    bool falhou = false;
    std::string data = read_value(*this, ide, "dEmi", date, &falhou);
    if (data.empty() && !falhou) data = read_value(*this, ide, "dhEmi", date);
    if (is_blank(data)) add_problem(msg::problema_data_emissao);
    write_value("Data_Emissao=", data);
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
