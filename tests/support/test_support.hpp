// Shared test helpers: a platform that records its boxes and answers the
// open dialog, temporary folders, and one-call import runners.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/import.hpp"
#include "platform/posix/posix_platform.hpp"
#include "values/regional.hpp"

namespace idf::test {

// A fresh folder under the system's temporary folder, removed afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    // Writes a file (bytes as given) and returns its full path.
    std::string write(std::string_view name, std::string_view bytes) const;

private:
    std::filesystem::path path_;
};

// The real POSIX platform, with the boxes recorded instead of shown, the
// open dialog answered by `dialog_choice` and the exchange file written to
// `exchange_dir`.
class TestPlatform : public PosixPlatform {
public:
    explicit TestPlatform(std::string exchange_dir) : exchange_dir(std::move(exchange_dir)) {}
    void mensagem_atencao(std::string_view text) override { boxes.emplace_back(text); }
    std::optional<std::string> open_file_dialog() override {
        ++dialog_calls;
        return dialog_choice;
    }
    std::string exchange_folder() override { return exchange_dir; }

    std::string exchange_dir;
    std::vector<std::string> boxes;  // UTF-8, in the order shown
    std::optional<std::string> dialog_choice;
    int dialog_calls = 0;
};

enum class DocType { nfe, cte };

// The library's description of the type; with the one-call runners.
const DocumentType& document_type(DocType type);

struct RunResult {
    ImportResult result;
    std::vector<std::string> boxes;
    // The exchange file's bytes when it exists after the call.
    std::optional<std::string> ini;
    // The same converted to UTF-8, for readable comparisons.
    std::string ini_utf8() const;
    // The exchange file's lines (UTF-8), split at CR LF.
    std::vector<std::string> lines() const;
    // The same without the [AUTENTICIDADE] section that ends every
    // completed file (and its empty line), for the tests of the sections
    // before it; the lines as they are when the file does not end with it.
    std::vector<std::string> document_lines() const;
    bool completed() const { return result.outcome == Outcome::completed; }
};

// Runs one import of the given XML text, chosen through the open dialog
// (blank key). The document's path is <tmp>/doc.xml.
// Runs one import of an existing file, chosen through the open dialog
// (blank key).
RunResult run_file(DocType type, const std::string& path, std::string_view modo_silencioso = "",
                   const Regional& regional = Regional::brazilian());

RunResult run_xml(DocType type, std::string_view xml, const Regional& regional = Regional::brazilian(),
                  std::string_view modo_silencioso = "");

// Runs one import by the search way in `folder`.
RunResult run_search(DocType type, std::string_view chave, std::string_view folder,
                     std::string_view modo_silencioso = "", const Regional& regional = Regional::brazilian());

// Reads a file's bytes (empty optional when missing).
std::optional<std::string> read_bytes(const std::string& path);

// The folder of real documents named by the environment variable
// IDF_CORPUS_DIR (read only); null when the variable is unset or empty.
const char* corpus_dir();

// A file of that folder. A test that calls it starts with
// IDF_REQUIRE_CORPUS(); without the folder the call fails the test.
std::string corpus_path(std::string_view relative);

// The authorised NF-e kept in the repository (samples/nfe-exemplo.xml), a
// document that imports on any machine, and its access key and protocol.
std::string sample_nfe_path();
inline constexpr std::string_view sample_nfe_key = "35240612345678000195550010000012341000012345";
inline constexpr std::string_view sample_nfe_protocol = "135240000123456";
// The same for a small authorised CT-e (tests/data/cte-exemplo.xml).
std::string sample_cte_path();
inline constexpr std::string_view sample_cte_key = "35240612345678000190570010000001231000001238";

// Splits CP1252 text with CR LF line ends into UTF-8 lines; a final CR LF
// does not start another line.
std::vector<std::string> split_lines(std::string_view cp1252);

// The authenticity's problem lines, which end the list of an edited
// document, and a list without them.
inline constexpr std::string_view conteudo_diferente =
    "- Conteúdo Diferente do Autorizado pela SEFAZ no Arquivo XML.\r\n";
inline constexpr std::string_view assinatura_invalida = "- Assinatura Digital Inválida no Arquivo XML.\r\n";
inline constexpr std::string_view certificado_de_outro = "- Certificado Digital de Outro Emitente no Arquivo XML.\r\n";
std::string without_authenticity_problems(std::string lista);

// Checks an exchange file against its golden file (`relative`, under
// tests/), in which "{ARQUIVO_XML}" stands for the document's `path`.
// With IDF_UPDATE_GOLDEN=1 in the environment the golden file is written
// from `produced` instead: review its diff before committing it.
void expect_golden(const std::string& relative, const std::string& produced, const std::string& path);

}  // namespace idf::test

// Skips the running test (from its body or its fixture's SetUp) when the
// real documents are not available.
#define IDF_REQUIRE_CORPUS()                                                                \
    do {                                                                                    \
        if (!::idf::test::corpus_dir())                                                     \
            GTEST_SKIP() << "reads the real documents: set IDF_CORPUS_DIR to their folder"; \
    } while (false)
