#include "cte/uimporta_arquivo_xml_cte.hpp"

#include "common/messages.hpp"

namespace idf::cte {

const DocumentKind cte_document{"protCTe", "chCTe", msg::cte_nao_localizado};

Tfrmimporta_arquivo_xml_cte::Tfrmimporta_arquivo_xml_cte(Platform& platform, const Regional& regional)
    : Import(platform, regional, cte_document) {}

void Tfrmimporta_arquivo_xml_cte::run_stages() {
    le_identificacao();

    le_emitente();
    le_remetente();
    le_destinatario();

    le_totais();
    le_notas_fiscais();
    le_diretorio();
}

ImportResult importa_arquivo_xml_cte(Platform& platform, const Regional& regional, std::string_view chave_acesso,
                                     std::string_view pasta_temporaria, std::string_view modo_silencioso) {
    Tfrmimporta_arquivo_xml_cte form(platform, regional);
    form.chave_acesso = chave_acesso;
    form.pasta_temporaria = pasta_temporaria;
    form.modo_silencioso = modo_silencioso;
    return form.btnimportarClick();
}

}  // namespace idf::cte
