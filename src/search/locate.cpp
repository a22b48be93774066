// Locating the document of one import: either the user picks the file in
// the open dialog (blank key), or the folder's XML files are tried in name
// order and the first that carries the key in its authorisation protocol is
// the document; the same pass reads the whole folder for the events of
// that key (folder_scan.hpp).
#include "common/import.hpp"
#include "common/messages.hpp"
#include "search/diagnostico.hpp"
#include "search/folder_scan.hpp"
#include "values/text.hpp"

namespace idf {

namespace {

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
    auto varredura = std::make_unique<ScanResult>(scan_search(import));
    if (!varredura->documento.empty()) {
        import.document_path_ = varredura->documento;
        import.varredura_ = std::move(varredura);
        return;
    }
    // Why the search ended without the document: told with the message.
    Platform& platform = import.platform();
    const std::string chave = platform.host_to_ansi(import.chave_acesso);
    import.diagnostico_ = diagnostico_da_busca(chave, import.document_type(), std::move(*varredura));
    if (!import.silencioso()) import.mensagem_atencao(import.document_type().messages.not_found);
    import.abort();
}

}  // namespace idf
