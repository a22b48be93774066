#include "common/protocolo.hpp"

namespace idf {

void le_protocolo(Import& import, const Protocolo& protocolo) {
    const Field numero{"", "nProt", transform::as_read, Kind::mandatory, protocolo.sem_numero};
    const Field chave{"Chave_Acesso=", protocolo.chave, transform::access_key, Kind::mandatory, protocolo.sem_chave};

    xml::Node inf_prot = find_path(import.document_element(), {protocolo.elemento, "infProt"});
    if (!inf_prot) import.abort(protocolo.sem_numero);
    read_field(import, inf_prot, numero);

    inf_prot = find_path(import.document_element(), {protocolo.elemento, "infProt"});
    if (!inf_prot) import.abort(protocolo.sem_chave);
    const std::string chave_lida = read_field(import, inf_prot, chave);
    import.write_line("[IDENTIFICACAO]");
    import.write_value(chave.key, chave_lida);
}

}  // namespace idf
