// Helpers of the core tests: an import form whose stages the test supplies,
// so that locating, the exchange file and the field rules can be checked
// without the NF-e or CT-e stages.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/import.hpp"
#include "common/messages.hpp"
#include "support/test_support.hpp"

namespace idf::test {

// The names and the not-found message of each type, as locating uses them;
// the stages are the test's.
inline const DocumentType nfe_kind{{"NFe", "infNFe", "protNFe", "chNFe", "nNF", "nfeProc", "procEventoNFe", "evento",
                                    "retEvento", "resNFe", "resEvento"},
                                   {msg::nfe_nao_localizada, {}, {}, {}},
                                   {},
                                   {"55", "65"}};
inline const DocumentType cte_kind{
    {"CTe", "infCte", "protCTe", "chCTe", "nCT", "cteProc", "procEventoCTe", "eventoCTe", "retEventoCTe", "resCTe"},
    {msg::cte_nao_localizado, {}, {}, {}},
    {},
    {"57", "67"}};

Regional point_month_first();

// An import form whose stages are a function of the test.
class StageForm final : public Import {
public:
    StageForm(Platform& platform, const Regional& regional, const DocumentType& kind = nfe_kind)
        : Import(platform, regional, kind) {}

    std::function<void(StageForm&)> stages;
    int stages_run = 0;

protected:
    void run_stages() override {
        ++stages_run;
        if (stages) stages(*this);
    }
};

struct FormRun {
    ImportResult result;
    std::vector<std::string> boxes;
    // The exchange file's bytes when it exists after the call.
    std::optional<std::string> ini;
    std::string document_path;
    int stages_run = 0;
    int dialog_calls = 0;
    bool completed() const { return result.outcome == Outcome::completed; }
};

// One import of `xml` chosen in the open dialog, with the given stages.
FormRun run_stages_on(std::string_view xml, std::function<void(StageForm&)> stages,
                      const Regional& regional = Regional::brazilian(), std::string_view modo_silencioso = "");

// One import by the search way, the exchange file going to a folder of its
// own; the current folder is restored afterwards. The stages write the text
// of the loaded document's element "marca" as "Marca=", to tell which
// document was imported.
FormRun search_folder(std::string_view chave, const std::string& pasta, std::string_view modo_silencioso = "",
                      const DocumentType& kind = nfe_kind);

// A minimal authorised document of the kind, carrying `key` in its protocol
// and `marca` in an element of that name under the root.
std::string nfe_with_key(std::string_view key, std::string_view marca = "");
std::string cte_with_key(std::string_view key, std::string_view marca = "");

// Restores the process's current folder when it goes out of scope.
class CurrentFolderGuard {
public:
    CurrentFolderGuard() : saved_(std::filesystem::current_path()) {}
    ~CurrentFolderGuard() {
        std::error_code ec;
        std::filesystem::current_path(saved_, ec);
    }
    CurrentFolderGuard(const CurrentFolderGuard&) = delete;
    CurrentFolderGuard& operator=(const CurrentFolderGuard&) = delete;

private:
    std::filesystem::path saved_;
};

}  // namespace idf::test
