#include "common/protocolo.hpp"

#include <optional>
#include <string>

#include "common/fields.hpp"
#include "common/messages.hpp"
#include "search/cancelamento.hpp"
#include "values/text.hpp"

namespace idf {

namespace {

// The text of a child of infProt as the DOM gives it; none when the child is
// missing or its text cannot be read (it holds more than text).
std::optional<std::u16string> texto(xml::Node inf_prot, std::string_view child) {
    try {
        const xml::Node node = inf_prot.find(child);
        if (!node) return std::nullopt;
        return node.text();
    } catch (const xml::XmlDocError&) {
        return std::nullopt;
    }
}

// Without codes 0 to 32 at both ends; a missing or unreadable text is empty.
std::u16string_view aparado(const std::optional<std::u16string>& text) {
    return text ? trim(*text) : std::u16string_view();
}

// A protocol that carries a status other than authorised use (100) or
// authorised out of time (150): denied use, a cancellation or an event.
// Documents without a status keep being imported.
void verifica_situacao(Import& import, const std::optional<std::u16string>& c_stat,
                       const std::optional<std::u16string>& x_motivo) {
    const std::u16string_view situacao = aparado(c_stat);
    if (situacao.empty() || situacao == u"100" || situacao == u"150") return;
    std::string message = std::string(msg::arquivo_invalido) + "O Protocolo não Autoriza o Uso da " +
                          std::string(import.document_type().names.element) + " (Situação " + utf16_to_utf8(situacao);
    const std::u16string_view motivo = first_units(aparado(x_motivo), 255);
    if (!motivo.empty()) message += " - " + utf16_to_utf8(motivo);
    message += ").";
    message += msg::abortada;
    import.abort(message);
}

void le_protocolo(Import& import) {
    const DocumentType& type = import.document_type();
    const Field numero{"", "nProt", transform::as_read, Kind::mandatory, type.messages.no_protocol};
    const Field chave{"Chave_Acesso=", type.names.key, transform::access_key, Kind::mandatory, type.messages.no_key};

    xml::Node inf_prot = find_path(import.document_element(), {type.names.protocol, "infProt"});
    if (!inf_prot) import.abort(type.messages.no_protocol);
    const auto c_stat = texto(inf_prot, "cStat");
    const auto x_motivo = texto(inf_prot, "xMotivo");
    import.set_protocolo_lido({optional_utf8(texto(inf_prot, "nProt")), optional_utf8(c_stat), optional_utf8(x_motivo),
                               optional_utf8(texto(inf_prot, "tpAmb"))});
    read_field(import, inf_prot, numero);
    verifica_situacao(import, c_stat, x_motivo);

    inf_prot = find_path(import.document_element(), {type.names.protocol, "infProt"});
    if (!inf_prot) import.abort(type.messages.no_key);
    const std::string chave_lida = read_field(import, inf_prot, chave);
    // The key as read, for the cancellation events of the document.
    if (const auto texto_chave = texto(inf_prot, type.names.key)) verifica_cancelamento(import, *texto_chave);
    import.write_line("[IDENTIFICACAO]");
    import.write_value(chave.key, chave_lida);
}

}  // namespace

xml::Node le_inicio_identificacao(Import& import) {
    le_protocolo(import);

    const DocumentType::Names& names = import.document_type().names;
    const xml::Node ide = find_in_document(import, {"ide"});
    if (!ide) import.abort(msg::sem_identificacao);
    const Field identificacao[] = {
        {"Serie_Nota_Fiscal=", "serie", transform::as_read, Kind::mandatory, msg::nao_leu<"a Série da Nota Fiscal">},
        {"Numero_Nota_Fiscal=", names.number, transform::as_integer, Kind::mandatory,
         msg::nao_leu<"o Número da Nota Fiscal">},
    };
    write_fields(import, ide, identificacao);
    return ide;
}

}  // namespace idf
