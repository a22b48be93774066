// The CT-e import: its document type and its section stages.
//
// The stages run one after the other, each finding its elements again from
// the document element:
//   protocol, identification, route and payer   (cte_identificacao.cpp)
//   carrier, sender and receiver                 (cte_participantes.cpp)
//   totals with taxes, transported NF-e, folder  (cte_totais.cpp)
// A CT-e OS (the root cteOSProc, the document CTeOS/infCte) is read by the
// same stages, with the model in place of the payer, the taker in place of
// the sender and the receiver, and the service in place of the transported
// NF-e.
#pragma once

#include <string_view>
#include <vector>

#include "common/fields.hpp"
#include "common/import.hpp"
#include "xml/tree.hpp"

namespace idf::cte {

// The CT-e and the CT-e OS: their names and messages, and their import.
extern const DocumentType document;

// The tables of rows the import runs for the identification and the totals,
// each with the element its paths start from; not among them: the payer
// (its group has two names), the parties, the ICMS groups and the values
// read by hand.
std::vector<Table> tabelas();
// The same, stage by stage.
std::vector<Table> tabelas_identificacao();
std::vector<Table> tabelas_totais();

class Tfrmimporta_arquivo_xml_cte final : public Import {
public:
    Tfrmimporta_arquivo_xml_cte(Platform& platform, const Regional& regional) : Import(platform, regional, document) {}

protected:
    void run_stages() override;

private:
    // Protocol and [IDENTIFICACAO]: key, series, number, route, date, payer
    // (the CT-e OS: the model), government purchase.
    void le_identificacao();
    void le_tomador();

    // [EMITENTE], [REMETENTE] and [DESTINATARIO]; the CT-e OS's [TOMADOR]
    // (none when it names no taker).
    void le_emitente();
    void le_remetente();
    void le_destinatario();
    void le_tomador_os();

    // [TOTAIS] with the ICMS, the CT-e OS's federal taxes and the IBS/CBS
    // lines, [NOTAS_FISCAIS] with [QUANTIDADE_NOTAS], the CT-e OS's
    // [SERVICO], and [DIRETORIO].
    void le_totais();
    void le_icms();
    void le_ibscbs();
    void le_notas_fiscais();
    void le_servico();
    void le_diretorio();
};

}  // namespace idf::cte
