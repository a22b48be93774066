// The CT-e import: its hidden import form and its section stages.
#pragma once

#include <string_view>

#include "common/import.hpp"

namespace idf::cte {

extern const DocumentKind cte_document;

class Tfrmimporta_arquivo_xml_cte final : public Import {
public:
    Tfrmimporta_arquivo_xml_cte(Platform& platform, const Regional& regional);

protected:
    void run_stages() override;
};

// One call of the CT-e import: create the form, fill it, run it, free it.
ImportResult importa_arquivo_xml_cte(Platform& platform, const Regional& regional, std::string_view chave_acesso,
                                     std::string_view pasta_temporaria, std::string_view modo_silencioso);

}  // namespace idf::cte
