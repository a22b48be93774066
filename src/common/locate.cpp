// Locating the document of one import: either the user picks the file in
// the open dialog (blank key), or the folder's XML files are tried in name
// order and the first that carries the key in its authorisation protocol is
// the document; the search reads the folder to its end for a cancellation
// of that key.
#include "common/cancelamento.hpp"
#include "common/diagnostico.hpp"
#include "common/import.hpp"
#include "common/key_precheck.hpp"
#include "common/messages.hpp"
#include "values/text.hpp"

namespace idf {

namespace {

// The access key held by the loaded document's protocol, in ANSI; empty
// when the document has no protocol or no key.
std::string protocol_key(Import& import, std::string_view protocol_name, std::string_view key_name) {
    xml::Node protocol = import.document_element().find(protocol_name);
    if (!protocol) return {};
    xml::Node inf_prot = protocol.find("infProt");
    if (!inf_prot) return {};
    xml::Node key = inf_prot.child(key_name);
    if (is_blank(key.text())) return {};
    try {
        return to_ansi(key.text());
    } catch (const DataError&) {
        return {};
    }
}

void dialog_way(Import& import) {
    const auto chosen = import.platform().open_file_dialog();
    if (!chosen) import.abort();
    try {
        import.load_document(*chosen);
    } catch (const DataError& error) {
        import.abort(std::string(msg::arquivo_invalido) + error.what() + std::string(msg::abortada));
    }
}

}  // namespace

void locate_document(Import& import) {
    if (is_blank(import.chave_acesso)) {
        dialog_way(import);
        import.document_path_ = import.XML().file_name();
        return;
    }

    // One pass over the folder finds the document, the first file whose
    // protocol carries the key, and the first cancellation of that key in
    // any other file (cancelamento.hpp). Both need the key in the file's
    // bytes, so the files that provably do not hold it are passed over
    // without parsing them.
    Platform& platform = import.platform();
    const DocumentType::Names& names = import.document_type().names;
    const std::string wanted = platform.host_to_ansi(import.chave_acesso);
    const std::string chave(trim(wanted));
    const KeyPrecheck precheck(chave);
    Import::CancelamentoNaPasta na_pasta;
    // Why the search may end without the document: told when it does.
    Diagnostico diagnostico = diagnostico_da_chave(chave, import.document_type());
    bool found = false;
    xml::Document outro;  // the files read after the document
    if (const auto listing = platform.list_directory(import.pasta_temporaria)) {
        for (const std::string& name : listing->names) {
            if (is_blank(name)) continue;
            const std::string path = platform.join_path(listing->folder, name);
            // A file that cannot be read ends its try like one that cannot
            // be parsed.
            const auto bytes = platform.read_file(path);
            if (!bytes && !found) diagnostico.ilegiveis.push_back(platform.path_to_utf8(path));
            if (!bytes || !precheck.may_carry_key(*bytes)) continue;
            try {
                xml::Document& doc = found ? outro : import.XML();
                doc.load(*bytes, path);
                if (!found) {
                    const std::string key = protocol_key(import, names.protocol, names.key);
                    if (!is_blank(key) && key == wanted) {
                        found = true;
                        import.document_path_ = path;
                        if (na_pasta.lido) break;
                        continue;
                    }
                    if (const Achado achado = classifica(doc.document_element(), names, chave);
                        achado != Achado::nenhum)
                        (achado == Achado::resumo ? diagnostico.resumos : diagnostico.sem_protocolo)
                            .push_back(platform.path_to_utf8(path));
                }
                if (!na_pasta.lido) {
                    if (auto lido = cancelamento_de(doc.document_element(), names, chave)) {
                        lido->arquivo = platform.path_to_utf8(path);
                        na_pasta = {std::move(lido), platform.path_to_utf8(name)};
                        if (found) break;
                    }
                }
            } catch (const DataError&) {
                // A file that cannot be read or parsed is passed over; any
                // other failure ends the import.
                if (!found) diagnostico.ilegiveis.push_back(platform.path_to_utf8(path));
            }
        }
    }
    if (found) {
        import.cancelamento_na_pasta_ = std::move(na_pasta);
        return;
    }
    import.XML().clear();
    import.diagnostico_ = std::move(diagnostico);
    if (!import.silencioso()) import.mensagem_atencao(import.document_type().messages.not_found);
    import.abort();
}

}  // namespace idf
