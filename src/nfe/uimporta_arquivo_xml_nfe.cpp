#include "nfe/uimporta_arquivo_xml_nfe.hpp"

#include "common/messages.hpp"

namespace idf::nfe {

const DocumentKind nfe_document{"protNFe", "chNFe", msg::nfe_nao_localizada};

Tfrmimporta_arquivo_xml_nfe::Tfrmimporta_arquivo_xml_nfe(Platform& platform, const Regional& regional)
    : Import(platform, regional, nfe_document) {}

void Tfrmimporta_arquivo_xml_nfe::run_stages() {
    le_identificacao();
    le_notas_referenciadas();

    le_emitente();
    le_emissor_avulsa();
    le_destinatario();

    le_totais();
    le_transportadora();
    le_vencimentos();
    le_observacoes();
    le_diretorio();

    le_itens();
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
