#include "common/import.hpp"

#include <exception>
#include <optional>

#include "common/messages.hpp"
#include "values/text.hpp"

namespace idf {

Import::Import(Platform& platform, const Regional& regional, const DocumentType& type)
    : platform_(platform), regional_(regional), type_(type), element_(type.names.element) {}

Import::~Import() = default;

void Import::add_problem(std::string_view line) {
    lista_problemas_ += line;
    lista_problemas_ += "\r\n";
}

void Import::abort(std::string_view message) { throw AbortImport{std::string(message)}; }

void Import::load_document(const std::string& path) {
    xml_.clear();
    if (path.empty()) throw xml::XmlDocError("FileName cannot be blank");
    const FileBytes file = platform_.read_file(path);
    if (file.status == ReadStatus::too_large) throw xml::ParseError("The file is too large.", 0, "");
    if (!file) throw xml::ParseError("The system cannot locate the object specified.", 0, "");
    xml_.load(*file, path);
}

void Import::finish(ImportResult& result) {
    if (!file_->close()) {
        platform_.mensagem_atencao(msg::erro_gravar_arquivo);
        file_->discard();
        result.outcome = Outcome::aborted;
        return;
    }
    result.outcome = Outcome::completed;
    if (!is_blank(lista_problemas_) && !silencioso())
        platform_.mensagem_atencao(std::string(msg::relatorio_problemas) + lista_problemas_);
}

ImportResult Import::run() {
    ImportResult result;
    try {
        std::optional<std::string> path = platform_.exchange_file_path();
        if (path) {
            file_ = std::make_unique<ExchangeFile>(platform_, std::move(*path));
            result.arquivo_ini = file_->path();
        }
        if (!file_ || !file_->create()) {
            result.old_file_kept = file_ && file_->old_file_kept();
            platform_.mensagem_atencao(msg::erro_criar_arquivo);
            return result;
        }
    } catch (...) {
        // Without a path or a file there is nothing to clean up.
        try {
            platform_.mensagem_atencao(msg::erro_criar_arquivo);
        } catch (...) {
        }
        return result;
    }

    try {
        try {
            locate_document(*this);
            result.documento = document_path_;
            element_ = type_.names.element_under(document_element().local_name());
            lista_problemas_.clear();
            run_stages();
            result.lista_problemas = lista_problemas_;
            finish(result);
        } catch (const AbortImport& abort) {
            if (!abort.message.empty()) platform_.mensagem_atencao(abort.message);
            file_->discard();
            result.outcome = Outcome::aborted;
        } catch (const std::exception& error) {
            // Out of memory, a failing system call, a fault: never taken
            // for a value that could not be read.
            platform_.mensagem_atencao(std::string(msg::erro_inesperado) + error.what() + std::string(msg::abortada));
            file_->discard();
            result.outcome = Outcome::aborted;
        }
    } catch (...) {
        // Even the box failed: leave no file behind and return quietly.
        try {
            file_->discard();
        } catch (...) {
        }
        result.outcome = Outcome::aborted;
    }
    if (result.outcome == Outcome::aborted) {
        try {
            result.lista_problemas = lista_problemas_;
        } catch (...) {
            // Without memory for it the list of an aborted import is lost.
        }
    }
    result.protocolo = std::move(protocolo_lido_);
    result.cancelamento = std::move(cancelamento_);
    result.diagnostico = std::move(diagnostico_);
    if (result.outcome == Outcome::completed) {
        result.eventos = std::move(eventos_listados_);
        result.autenticidade = std::move(autenticidade_);
    }
    return result;
}

ImportResult run_import(const DocumentType& type, Platform& platform, const Regional& regional,
                        const ImportArguments& arguments) {
    return type.run(platform, regional, arguments);
}

}  // namespace idf
