// idf_reference: what the Linux build writes for one case of the Windows
// tests, under a chosen regional setting.
//
//   idf_reference nfe|cte OUT_DIR DECIMAL SHORT_DATE MODO
//                 (arquivo FILE | chave KEY DIR)
//
// Writes OUT_DIR/Integracao_Docs_Fiscal.ini (only when the import
// completed) and OUT_DIR/boxes.txt: every box text (UTF-8), each preceded
// by a line with its length in bytes.
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cte/uimporta_arquivo_xml_cte.hpp"
#include "nfe/uimporta_arquivo_xml_nfe.hpp"
#include "platform/posix/posix_platform.hpp"

namespace {

class ReferencePlatform final : public idf::PosixPlatform {
public:
    ReferencePlatform(std::string out, std::optional<std::string> chosen)
        : out_(std::move(out)), chosen_(std::move(chosen)) {}
    void mensagem_atencao(std::string_view text) override { boxes.emplace_back(text); }
    std::optional<std::string> open_file_dialog() override { return chosen_; }
    std::string exchange_folder() override { return out_; }
    std::vector<std::string> boxes;

private:
    std::string out_;
    std::optional<std::string> chosen_;
};

}  // namespace

int main(int argc, char** argv) {
    const bool by_file = argc == 8 && std::string(argv[6]) == "arquivo";
    const bool by_key = argc == 9 && std::string(argv[6]) == "chave";
    if (!by_file && !by_key) {
        std::cerr << "usage: idf_reference nfe|cte OUT DECIMAL SHORT_DATE MODO (arquivo FILE | chave KEY DIR)\n";
        return 2;
    }
    const std::string type = argv[1];
    const std::string out = idf::absolute_path(argv[2]);
    idf::Regional regional;
    regional.decimal_separator = argv[3][0];
    regional.short_date_format = argv[4];
    const std::string modo = argv[5];
    std::string chave, pasta;
    std::optional<std::string> chosen;
    if (by_file) {
        chosen = idf::absolute_path(argv[7]);
    } else {
        chave = argv[7];
        pasta = argv[8];
    }
    ReferencePlatform platform(out, chosen);
    const idf::DocumentType& document = type == "nfe" ? idf::nfe::document : idf::cte::document;
    const auto result = idf::run_import(document, platform, regional, {chave, pasta, modo});
    std::ofstream boxes(out + "/boxes.txt", std::ios::binary);
    for (const std::string& box : platform.boxes) boxes << box.size() << '\n' << box;
    return result.outcome == idf::Outcome::completed ? 0 : 1;
}
