#include "cte/uimporta_arquivo_xml_cte.hpp"

#include "common/autenticidade.hpp"
#include "common/lista_eventos.hpp"
#include "common/messages.hpp"

namespace idf::cte {

void Tfrmimporta_arquivo_xml_cte::run_stages() {
    using Cte = Tfrmimporta_arquivo_xml_cte;
    // In the order of the sections they write.
    if (is_variant()) {
        for (const auto stage : {&Cte::le_identificacao, &Cte::le_emitente, &Cte::le_tomador_os, &Cte::le_totais,
                                 &Cte::le_servico, &Cte::le_diretorio})
            (this->*stage)();
    } else {
        for (const auto stage : {&Cte::le_identificacao, &Cte::le_emitente, &Cte::le_remetente, &Cte::le_destinatario,
                                 &Cte::le_totais, &Cte::le_notas_fiscais, &Cte::le_diretorio})
            (this->*stage)();
    }
    // The events follow the last section, a CT-e OS's too, and the
    // document's authenticity follows them.
    escreve_eventos(*this);
    escreve_autenticidade(*this);
}

std::vector<Table> tabelas() {
    std::vector<Table> out = tabelas_identificacao();
    for (const Table& table : tabelas_totais()) out.push_back(table);
    return out;
}

const DocumentType document{
    {"CTe", "infCte", "protCTe", "chCTe", "nCT", "cteProc", "procEventoCTe", "eventoCTe", "retEventoCTe", "resCTe", "",
     "cteOSProc", "CTeOS", true},
    {msg::cte_nao_localizado, msg::sem_protocolo<"CTe">, msg::sem_chave<"CTe">, msg::cte_so_resumo},
    run_stages_of<Tfrmimporta_arquivo_xml_cte>,
    {"57", "67"}};

}  // namespace idf::cte
