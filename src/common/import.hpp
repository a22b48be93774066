// ABOUT src/common/: the import course. It owns the driver of one import
// (this header: Import, DocumentType, the result records), the exchange
// file, the messages, the platform interface every OS call goes through
// (platform.hpp), the field-row engine (fields) and the stages both
// document types share: the protocol (protocolo), the events listing
// (lista_eventos), the authenticity (autenticidade), the reform rows
// (reforma_tributaria) and the JSON result (result_json). It may use
// values/ and xml/; its stages may ask the folder search (src/search/),
// but the driver, the exchange file, the messages and the platform
// interface, which the search itself uses, include nothing of it.
//
// The state and the course of one import: the import of each document type
// derives from Import and supplies its section stages.
//
// run() creates the exchange file, locates and loads the document, empties
// lista_problemas, runs the stages one after the other and finishes; any
// stage may take the abort path by calling abort(), which unwinds to run().
// Nothing escapes run().
#pragma once

#include <array>
#include <concepts>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/exchange_file.hpp"
#include "common/platform.hpp"
#include "values/regional.hpp"
#include "xml/tree.hpp"

namespace idf {

enum class Outcome { completed, aborted };

struct ScanResult;
struct Evento;

// The texts of the authorisation protocol's infProt (UTF-8, untrimmed);
// none when the import stopped before the protocol was read, when the
// element is missing or when its text cannot be read.
struct ProtocoloLido {
    std::optional<std::string> nProt;
    std::optional<std::string> cStat;
    std::optional<std::string> xMotivo;
    std::optional<std::string> tpAmb;
};

// A cancellation event of the imported document: the file holding it (full
// path, UTF-8) and the texts of the event (UTF-8; tpEvento and cStat
// trimmed, nProt and dhRegEvento as read, none when absent). The
// distribution's summary of the event has no cStat, and its dhRecbto stands
// for dhRegEvento.
struct CancelamentoLido {
    std::string arquivo;
    std::string tpEvento;
    std::optional<std::string> cStat;
    std::optional<std::string> nProt;
    std::optional<std::string> dhRegEvento;
};

// What a search with a key saw when it ended without the document (the
// not-found outcome): the checks of the key itself, and the listed files
// that come close to the wanted document (full paths, UTF-8, each list in
// the search's order).
struct Diagnostico {
    // 44 characters of the right kinds and the right check digit.
    bool chave_valida = false;
    // Positions 21 and 22 of the key, the document's model; none when the
    // key is shorter.
    std::optional<std::string> modelo;
    // The model is one of the import's.
    bool tipo_esperado = false;
    // The key given has characters with codes 0 to 32 at either end (a
    // fixed-width field of the host): the search compares it untrimmed, so
    // no protocol matches it. The other checks see the key without them.
    bool espacos_na_chave = false;
    // Files holding only the summary of the document (resNFe / resCTe).
    std::vector<std::string> resumos;
    // Files holding the document without its authorisation protocol.
    std::vector<std::string> sem_protocolo;
    // Files that may hold the key but could not be read or parsed.
    std::vector<std::string> ilegiveis;
};

// Whether the document is the one the authority authorised (see
// autenticidade.hpp): its content against the protocol's digest, its
// signature, and the holder of the certificate that signed it.
struct Autenticidade {
    enum class Conteudo { confere, difere, indeterminado };
    enum class Assinatura { valida, invalida, ausente };
    Conteudo conteudo = Conteudo::indeterminado;
    Assinatura assinatura = Assinatura::ausente;
    // The CNPJ (or CPF) of the certificate's holder; none when none could
    // be read.
    std::optional<std::string> cnpj_certificado;
    // Whether that number is the issuer's; none when either is unknown.
    std::optional<bool> certificado_do_emitente;
    bool operator==(const Autenticidade&) const = default;
};

struct ImportResult {
    Outcome outcome = Outcome::aborted;
    // The exchange file's path; it exists only when the import completed.
    std::string arquivo_ini;
    // The problem lines found (UTF-8), shown or not by modo_silencioso.
    std::string lista_problemas;
    ProtocoloLido protocolo;
    // The exchange file could not be created because an old file at its
    // path could not be removed: that file, another import's, is still there.
    bool old_file_kept = false;
    // The cancellation event that stopped the import; none when none was
    // found or the import ended before looking.
    std::optional<CancelamentoLido> cancelamento;
    // The full path of the document located (the search's match or the
    // chosen file); empty when none was.
    std::string documento;
    // The events listed in the exchange file (maybe none) when the import
    // completed; none otherwise.
    std::shared_ptr<const std::vector<Evento>> eventos;
    // Set only when a search with a key found no document.
    std::optional<Diagnostico> diagnostico;
    // The document's authenticity, on a completed import only.
    std::optional<Autenticidade> autenticidade;
};

// Thrown by abort(): ends the import through the abort path.
struct AbortImport {
    std::string message;  // UTF-8; empty for no box
};

// The arguments of one import, in the host's encoding.
struct ImportArguments {
    std::string_view chave_acesso;
    std::string_view pasta_temporaria;
    std::string_view modo_silencioso;
};

// One document type: the names of its elements, the messages that name it
// (UTF-8) and its import.
struct DocumentType {
    // Under the root element stand <element>/<info>, the signed document,
    // and <protocol>/infProt holding the access key <key>.
    struct Names {
        std::string_view element;   // NFe / CTe, also the document's name in the messages
        std::string_view info;      // infNFe / infCte
        std::string_view protocol;  // protNFe / protCTe
        std::string_view key;       // chNFe / chCTe
        std::string_view number;    // nNF / nCT, the document's number in ide
        // The cancellation events of the document (see cancelamento.hpp).
        std::string_view proc;          // nfeProc / cteProc, the root of a document with its protocol
        std::string_view event_proc;    // procEventoNFe / procEventoCTe, the root of an event file
        std::string_view event;         // evento / eventoCTe, the signed request under it
        std::string_view event_answer;  // retEvento / retEventoCTe, the authority's answer
        std::string_view summary;       // resNFe / resCTe, the root of a document's summary
        // resEvento: the summary of an event that the NF-e's distribution
        // service hands the recipient; none for the CT-e.
        std::string_view event_summary = {};
        // A second form of the document, when the type has one: under the
        // root <variant_proc> stands <variant_element>/<info> instead of
        // <element>/<info> (cteOSProc and CTeOS, the CT-e OS); its protocol,
        // key and events are the type's own.
        std::string_view variant_proc = {};
        std::string_view variant_element = {};

        // Whether `root` is the root of a document with its protocol.
        bool is_proc(std::string_view root) const {
            return root == proc || (!variant_proc.empty() && root == variant_proc);
        }
        // The signed document's element under a root named `root`.
        std::string_view element_under(std::string_view root) const {
            return !variant_proc.empty() && root == variant_proc ? variant_element : element;
        }
        // The detail of a request is one element inside detEvento (CT-e),
        // not detEvento itself (NF-e).
        bool event_detail_wrapped = false;
    };
    struct Messages {
        std::string_view not_found;    // no file of the folder carries the key
        std::string_view no_protocol;  // the protocol or its number is missing
        std::string_view no_key;       // the access key is missing
        std::string_view so_resumo;    // what to do when the folder holds only the summary
    };
    Names names;
    Messages messages;
    // One whole import of this type (see run_import).
    ImportResult (*run)(Platform& platform, const Regional& regional, const ImportArguments& arguments);
    // The models of the documents of this type (positions 21-22 of a key).
    std::array<std::string_view, 2> modelos;
};

class Import {
public:
    Import(Platform& platform, const Regional& regional, const DocumentType& type);
    virtual ~Import();
    Import(const Import&) = delete;
    Import& operator=(const Import&) = delete;

    // The arguments as received, in the host's encoding.
    std::string chave_acesso;
    std::string pasta_temporaria;
    std::string modo_silencioso;

    // Runs the whole import. Never throws.
    ImportResult run();

    // --- for the stages -------------------------------------------------
    Platform& platform() { return platform_; }
    const Regional& regional() const { return regional_; }
    xml::Document& XML() { return xml_; }
    xml::Node document_element() { return xml_.document_element(); }
    const DocumentType& document_type() const { return type_; }
    // The signed document's element in the loaded document (see
    // DocumentType::Names::element_under), under which every path of the
    // stages starts; and whether it is the type's second form.
    std::string_view element() const { return element_; }
    bool is_variant() const { return element_ != type_.names.element; }
    // The full path of the loaded document: the chosen file, or the one the
    // search matched.
    const std::string& document_path() const { return document_path_; }

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
    const ProtocoloLido& protocolo_lido() const { return protocolo_lido_; }
    const ExchangeFile& exchange_file() const { return *file_; }

    // The pass over the folder (search/folder_scan.hpp): the search's, or on
    // the dialog way the one the cancellation check makes and keeps here.
    // Held by a pointer that frees it without knowing its type, so that the
    // import never includes the search.
    const ScanResult* varredura() const { return varredura_.get(); }
    void set_varredura(std::shared_ptr<const ScanResult> varredura) { varredura_ = std::move(varredura); }
    // The cancellation that stops the import, handed back in the result.
    void set_cancelamento(CancelamentoLido lido) { cancelamento_ = std::move(lido); }

    // The events listed in the exchange file, handed back in the result of
    // a completed import.
    void set_eventos_listados(std::shared_ptr<const std::vector<Evento>> eventos) {
        eventos_listados_ = std::move(eventos);
    }

    // The document's authenticity, handed back in the result of a
    // completed import.
    void set_autenticidade(Autenticidade autenticidade) { autenticidade_ = std::move(autenticidade); }

protected:
    // The section stages of the document type, run after the document has
    // been located; they end by returning (finish follows) or by abort().
    virtual void run_stages() = 0;

private:
    friend void locate_document(Import&);
    void finish(ImportResult& result);

    Platform& platform_;
    const Regional& regional_;
    const DocumentType& type_;
    std::string_view element_;
    xml::Document xml_;
    std::string document_path_;
    std::unique_ptr<ExchangeFile> file_;
    std::string lista_problemas_;
    ProtocoloLido protocolo_lido_;
    std::shared_ptr<const ScanResult> varredura_;
    std::optional<CancelamentoLido> cancelamento_;
    std::shared_ptr<const std::vector<Evento>> eventos_listados_;
    std::optional<Diagnostico> diagnostico_;
    std::optional<Autenticidade> autenticidade_;
};

// One import of `Stages`, the import of one document type: made, given the
// arguments and run.
template <std::derived_from<Import> Stages>
ImportResult run_stages_of(Platform& platform, const Regional& regional, const ImportArguments& arguments) {
    Stages import(platform, regional);
    import.chave_acesso = arguments.chave_acesso;
    import.pasta_temporaria = arguments.pasta_temporaria;
    import.modo_silencioso = arguments.modo_silencioso;
    return import.run();
}

// The one entry of every caller (the exported calls, the tool): one import
// of the document type. Never throws but for memory to copy the arguments.
ImportResult run_import(const DocumentType& type, Platform& platform, const Regional& regional,
                        const ImportArguments& arguments);

// Locates the wanted document (the search in pasta_temporaria or the open
// dialog) and leaves it loaded; takes the abort path when none is found.
// The folder search's entry (src/search/locate.cpp), called by run().
void locate_document(Import& import);

}  // namespace idf
