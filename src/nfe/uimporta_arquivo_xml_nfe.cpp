#include "nfe/uimporta_arquivo_xml_nfe.hpp"

#include "common/autenticidade.hpp"
#include "common/lista_eventos.hpp"
#include "common/messages.hpp"

namespace idf::nfe {

void Tfrmimporta_arquivo_xml_nfe::run_stages() {
    using Nfe = Tfrmimporta_arquivo_xml_nfe;
    // In the order of the sections they write.
    for (const auto stage : {&Nfe::le_identificacao, &Nfe::le_notas_referenciadas, &Nfe::le_emitente,
                             &Nfe::le_emissor_avulsa, &Nfe::le_destinatario, &Nfe::le_totais, &Nfe::le_transportadora,
                             &Nfe::le_vencimentos, &Nfe::le_observacoes, &Nfe::le_diretorio, &Nfe::le_itens})
        (this->*stage)();
    escreve_eventos(*this);
    // The document's authenticity, after everything else.
    escreve_autenticidade(*this);
}

std::vector<Table> tabelas() {
    std::vector<Table> out;
    for (auto stage : {tabelas_identificacao, tabelas_totais, tabelas_itens, tabelas_impostos_item})
        for (const Table& table : stage()) out.push_back(table);
    return out;
}

const DocumentType document{
    {"NFe", "infNFe", "protNFe", "chNFe", "nNF", "nfeProc", "procEventoNFe", "evento", "retEvento", "resNFe",
     "resEvento"},
    {msg::nfe_nao_localizada, msg::sem_protocolo<"NFe">, msg::sem_chave<"NFe">, msg::nfe_so_resumo},
    run_stages_of<Tfrmimporta_arquivo_xml_nfe>,
    {"55", "65"}};

}  // namespace idf::nfe
