#include "nfe/uimporta_arquivo_xml_nfe.hpp"

#include "common/messages.hpp"

namespace idf::nfe {

const DocumentKind nfe_document{"protNFe", "chNFe", msg::nfe_nao_localizada};

Tfrmimporta_arquivo_xml_nfe::Tfrmimporta_arquivo_xml_nfe(Platform& platform, const Regional& regional)
    : Import(platform, regional, nfe_document) {}

void Tfrmimporta_arquivo_xml_nfe::run_stages() {
    // The NF-e sections are written here.
}

ImportResult importa_arquivo_xml_nfe(Platform& platform, const Regional& regional, std::string_view chave_acesso,
                                     std::string_view pasta_temporaria, std::string_view modo_silencioso) {
    Tfrmimporta_arquivo_xml_nfe form(platform, regional);
    form.chave_acesso = chave_acesso;
    form.pasta_temporaria = pasta_temporaria;
    form.modo_silencioso = modo_silencioso;
    return form.btnimportarClick();
}

}  // namespace idf::nfe
