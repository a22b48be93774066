// integracao-docs-fiscal: runs one NF-e or CT-e import from the command line.
//
//   integracao-docs-fiscal nfe|cte [--chave KEY --pasta DIR] [--arquivo FILE]
//                                  [--silencioso] [--saida DIR] [--json] [--sem-indice]
//
// Exit status: 0 the exchange file was completed, 1 the import ended on the
// abort path (no file of this import), 2 usage error, the exchange file
// naming a file to import included.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include "common/messages.hpp"
#include "common/result_json.hpp"
#include "cte/uimporta_arquivo_xml_cte.hpp"
#include "nfe/uimporta_arquivo_xml_nfe.hpp"
#include "platform/headless_platform.hpp"
#include "platform/posix/posix_platform.hpp"
#include "search/diagnostico.hpp"
#include "values/regional.hpp"
#include "values/text.hpp"

#ifndef IDF_VERSION
#define IDF_VERSION "0.0.0"
#endif

namespace {

// Length of the well-formed UTF-8 sequence that starts text[i]; 0 when
// none does.
std::size_t utf8_length(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t n = lead >= 0xC2 && lead <= 0xDF   ? 2
                          : lead >= 0xE0 && lead <= 0xEF ? 3
                          : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                         : 0;
    if (n == 0 || i + n > text.size()) return 0;
    for (std::size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
    return n;
}

// A box's text as plain text for a terminal. Its line breaks (CR LF, CR,
// LF) become line feeds; any other control character, which the text of a
// document may bring in (a parse error quotes its line), is shown escaped,
// ESC as \x1b, instead of acting on the terminal; so are the C1 controls
// (U+0080 to U+009F, as \u009b) and bytes that are not UTF-8.
std::string terminal_text(std::string_view text) {
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    const auto escaped = [&](std::string_view prefix, unsigned char code) {
        out += prefix;
        out += hex[code >> 4];
        out += hex[code & 0xF];
    };
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t n = 1;
        if (c == '\r' || c == '\n') {
            out += '\n';
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') n = 2;
        } else if (c < 0x20 || c == 0x7F) {
            escaped("\\x", c);
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (n = utf8_length(text, i); n == 0) {
            escaped("\\x", c);
            n = 1;
        } else if (c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
            escaped("\\u00", static_cast<unsigned char>(text[i + 1]));
        } else {
            out += text.substr(i, n);
        }
        i += n;
    }
    return out;
}

// The library's platform, with the boxes printed on standard error as
// plain text for a terminal.
class TerminalPlatform final : public idf::PosixPlatform {
public:
    void mensagem_atencao(std::string_view text) override { idf::PosixPlatform::mensagem_atencao(terminal_text(text)); }
};

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Imports an authorised NF-e or CT-e XML file into the exchange file Integracao_Docs_Fiscal.ini.",
                 "integracao-docs-fiscal"};
    app.set_version_flag("--version", std::string("integracao-docs-fiscal ") + IDF_VERSION);
    std::string tipo;
    std::optional<std::string> chave;
    std::optional<std::string> pasta;
    std::optional<std::string> arquivo;
    std::optional<std::string> saida;
    bool silencioso = false;
    bool json = false;
    bool sem_indice = false;
    app.add_option("tipo", tipo, "Document type: nfe or cte")->required()->check(CLI::IsMember({"nfe", "cte"}));
    app.add_option("--chave", chave, "Access key of the wanted document (search in --pasta)");
    app.add_option("--pasta", pasta, "Folder holding the downloaded XML files");
    app.add_option("--arquivo", arquivo, "The XML file to import, as chosen in the open dialog");
    app.add_flag("--silencioso", silencioso, "Silent mode: no not-found message and no problem report");
    app.add_option("--saida", saida, "Folder of the exchange file (default: the current folder)");
    app.add_flag("--json", json, "Print one JSON object with the outcome instead of messages");
    app.add_flag("--sem-indice", sem_indice,
                 "Read every file of the folder, without this user's index of the folders searched");

    try {
        app.parse(argc, argv);
        if (!chave && !arquivo) throw CLI::ValidationError("either --chave (with --pasta) or --arquivo is required");
    } catch (const CLI::ParseError& e) {
        const int rc = app.exit(e);
        return e.get_exit_code() == 0 ? rc : 2;
    }

    TerminalPlatform terminal;
    if (sem_indice) terminal.turn_index_off();
    // A blank key takes the dialog way, which only --arquivo answers here.
    if (!arquivo && idf::is_blank(*chave)) {
        terminal.mensagem_atencao(idf::msg::chave_em_branco);
        return 2;
    }
    const std::string exchange_folder = idf::absolute_path(saida ? *saida : idf::current_folder());
    std::optional<std::string> exchange_file;
    if (!exchange_folder.empty()) exchange_file = terminal.join_path(exchange_folder, idf::exchange_file_name);
    std::optional<std::string> chosen;
    if (arquivo) chosen = idf::absolute_path(*arquivo);
    std::optional<std::string> searched;
    if (chave && !idf::is_blank(*chave)) searched = pasta.value_or("");
    // The boxes are kept for the JSON report, and shown without --json; the
    // "dialog" is answered by --arquivo.
    idf::HeadlessPlatform platform(terminal, exchange_file, chosen, !json);
    // The old exchange file is removed first: never a file to import. The
    // folder listed for the check is the one the import reads.
    platform.keep_listings(true);
    if (exchange_file && idf::output_is_an_input(platform, *exchange_file, chosen, searched)) {
        terminal.mensagem_atencao(idf::msg::saida_igual_entrada);
        return 2;
    }
    platform.keep_listings(false);
    const idf::Regional regional = idf::Regional::brazilian();
    const std::string modo = silencioso ? "Sim" : "";
    const std::string key = chave.value_or("");
    const std::string folder = pasta.value_or("");

    const idf::DocumentType& type = tipo == "nfe" ? idf::nfe::document : idf::cte::document;
    const idf::ImportResult result = idf::run_headless(type, platform, regional, {key, folder, modo});
    const bool completed = result.outcome == idf::Outcome::completed;
    // After the not-found message, what the search saw, a line each.
    if (!json && !silencioso && result.diagnostico)
        for (const std::string& linha : idf::linhas_do_diagnostico(*result.diagnostico, type))
            terminal.mensagem_atencao(linha);
    if (json) std::cout << idf::result_json(result, platform.messages()) << '\n';
    return completed ? 0 : 1;
}
