// The NF-e import: its hidden import form and its section stages.
#pragma once

#include <string_view>

#include "common/import.hpp"

namespace idf::nfe {

extern const DocumentKind nfe_document;

class Tfrmimporta_arquivo_xml_nfe final : public Import {
public:
    Tfrmimporta_arquivo_xml_nfe(Platform& platform, const Regional& regional);

protected:
    void run_stages() override;
};

// One call of the NF-e import: create the form, fill it, run it, free it.
ImportResult importa_arquivo_xml_nfe(Platform& platform, const Regional& regional, std::string_view chave_acesso,
                                     std::string_view pasta_temporaria, std::string_view modo_silencioso);

}  // namespace idf::nfe
