// The state and the course of one import: the hidden import form of each
// document type derives from Import and supplies its section stages.
//
// btnimportarClick creates the exchange file, locates and loads the
// document, empties lista_problemas, runs the stages one after the other and
// finishes; any stage may take the abort path by calling abort(), which
// unwinds to btnimportarClick. Nothing escapes btnimportarClick.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/exchange_file.hpp"
#include "common/platform.hpp"
#include "values/regional.hpp"
#include "xml/tree.hpp"

namespace idf {

enum class Outcome { completed, aborted };

// The texts of the authorisation protocol's infProt (UTF-8, untrimmed);
// none when the import stopped before the protocol was read, when the
// element is missing or when its text cannot be read.
struct ProtocoloLido {
    std::optional<std::string> nProt;
    std::optional<std::string> cStat;
    std::optional<std::string> xMotivo;
    std::optional<std::string> tpAmb;
};

struct ImportResult {
    Outcome outcome = Outcome::aborted;
    // The exchange file's path; it exists only when the import completed.
    std::string arquivo_ini;
    // The problem lines found (UTF-8), shown or not by modo_silencioso.
    std::string lista_problemas;
    ProtocoloLido protocolo;
};

// Thrown by abort(): ends the import through the abort path.
struct AbortImport {
    std::string message;  // UTF-8; empty for no box
};

// What differs between the document types while locating the document.
struct DocumentKind {
    std::string_view protocol;           // protNFe / protCTe
    std::string_view key_child;          // chNFe / chCTe
    std::string_view not_found_message;  // UTF-8
};

class Import {
public:
    Import(Platform& platform, const Regional& regional, const DocumentKind& kind);
    virtual ~Import() = default;
    Import(const Import&) = delete;
    Import& operator=(const Import&) = delete;

    // The arguments as received, in the host's encoding.
    std::string chave_acesso;
    std::string pasta_temporaria;
    std::string modo_silencioso;

    // Runs the whole import. Never throws.
    ImportResult btnimportarClick();

    // --- for the stages -------------------------------------------------
    Platform& platform() { return platform_; }
    const Regional& regional() const { return regional_; }
    xml::Document& XML() { return xml_; }
    xml::Node document_element() { return xml_.document_element(); }
    // The full path of the loaded file (the open dialog's file name).
    const std::string& opd_file_name() const { return opd_file_name_; }

    bool silencioso() const { return modo_silencioso == "Sim"; }

    void write_line(std::string_view ansi_text) { file_->write_line(ansi_text); }
    void write_value(std::string_view key, std::string_view ansi_value) { file_->write_value(key, ansi_value); }
    void write_empty_line() { file_->write_empty_line(); }
    // Appends a problem line (UTF-8) and CR LF to lista_problemas.
    void add_problem(std::string_view line);
    // Shows the message (when not empty) and takes the abort path.
    [[noreturn]] void abort(std::string_view message = {});
    // Shows a warning box.
    void mensagem_atencao(std::string_view text) { platform_.mensagem_atencao(text); }

    // Reads and parses one file into XML(); raises xml::ParseError.
    void load_document(const std::string& path);

    const std::string& lista_problemas() const { return lista_problemas_; }
    // The protocol texts handed back in the result.
    void set_protocolo_lido(ProtocoloLido lido) { protocolo_lido_ = std::move(lido); }
    const ExchangeFile& exchange_file() const { return *file_; }

protected:
    // The section stages of the document type, run after the document has
    // been located; they end by returning (finish follows) or by abort().
    virtual void run_stages() = 0;

private:
    friend void locate_document(Import&);
    void finish(ImportResult& result);

    Platform& platform_;
    const Regional& regional_;
    const DocumentKind& kind_;
    xml::Document xml_;
    std::string opd_file_name_;
    std::unique_ptr<ExchangeFile> file_;
    std::string lista_problemas_;
    ProtocoloLido protocolo_lido_;
};

// Locates the wanted document (the search in pasta_temporaria or the open
// dialog) and leaves it loaded; takes the abort path when none is found.
void locate_document(Import& import);

}  // namespace idf
