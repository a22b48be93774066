#include "common/protocolo.hpp"

#include <exception>
#include <optional>

#include "common/text.hpp"

namespace idf {

namespace {

// The text of a child of infProt as the DOM gives it; none when the child is
// missing or its text cannot be read.
std::optional<std::u16string> texto(xml::Node inf_prot, std::string_view child) {
    try {
        const xml::Node node = xml::find_child(xml::child_nodes(inf_prot), child);
        if (!node) return std::nullopt;
        return xml::node_text(node);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<std::string> utf8(const std::optional<std::u16string>& text) {
    if (!text) return std::nullopt;
    return utf16_to_utf8(*text);
}

}  // namespace

void le_protocolo(Import& import, const Protocolo& protocolo) {
    const Field numero{"", "nProt", transform::as_read, Kind::mandatory, protocolo.sem_numero};
    const Field chave{"Chave_Acesso=", protocolo.chave, transform::access_key, Kind::mandatory, protocolo.sem_chave};

    xml::Node inf_prot = find_path(import.document_element(), {protocolo.elemento, "infProt"});
    if (!inf_prot) import.abort(protocolo.sem_numero);
    const auto c_stat = texto(inf_prot, "cStat");
    const auto x_motivo = texto(inf_prot, "xMotivo");
    import.set_protocolo_lido(
        {utf8(texto(inf_prot, "nProt")), utf8(c_stat), utf8(x_motivo), utf8(texto(inf_prot, "tpAmb"))});
    read_field(import, inf_prot, numero);

    inf_prot = find_path(import.document_element(), {protocolo.elemento, "infProt"});
    if (!inf_prot) import.abort(protocolo.sem_chave);
    const std::string chave_lida = read_field(import, inf_prot, chave);
    import.write_line("[IDENTIFICACAO]");
    import.write_value(chave.key, chave_lida);
}

}  // namespace idf
