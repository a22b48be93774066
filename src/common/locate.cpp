// Locating the document of one import: either the user picks the file in
// the open dialog (blank key), or the folder's XML files are tried in name
// order until one carries the key in its authorisation protocol.
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

    const std::string wanted = import.platform().host_to_ansi(import.chave_acesso);
    const KeyPrecheck precheck(wanted);
    if (const auto listing = import.platform().list_directory(import.pasta_temporaria)) {
        for (const std::string& name : listing->names) {
            if (is_blank(name)) continue;
            const std::string path = import.platform().join_path(listing->folder, name);
            try {
                // A file that cannot be read ends its try like one that
                // cannot be parsed; one that provably holds no such key is
                // passed over without parsing it.
                const auto bytes = import.platform().read_file(path);
                if (!bytes || !precheck.may_carry_key(*bytes)) continue;
                import.XML().load(*bytes, path);
                const DocumentType::Names& names = import.document_type().names;
                const std::string key = protocol_key(import, names.protocol, names.key);
                if (!is_blank(key) && key == wanted) {
                    import.document_path_ = path;
                    return;
                }
            } catch (const DataError&) {
                // A file that cannot be read or parsed is passed over; any
                // other failure ends the import.
            }
        }
    }
    import.XML().clear();
    if (!import.silencioso()) import.mensagem_atencao(import.document_type().messages.not_found);
    import.abort();
}

}  // namespace idf
