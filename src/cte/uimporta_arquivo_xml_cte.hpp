// The CT-e import: its document type and its section stages.
//
// The stages run one after the other, each finding its elements again from
// the document element:
//   protocol, identification, route and payer   (cte_identificacao.cpp)
//   carrier, sender and receiver                 (cte_participantes.cpp)
//   totals with taxes, transported NF-e, folder  (cte_totais.cpp)
#pragma once

#include <string_view>
#include <vector>

#include "common/fields.hpp"
#include "common/import.hpp"
#include "xml/tree.hpp"

namespace idf::cte {

// The CT-e: its names and messages, and its import.
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
    // Protocol and [IDENTIFICACAO]: key, series, number, route, date, payer,
    // government purchase.
    void le_identificacao();
    void le_tomador();

    // [EMITENTE], [REMETENTE] and [DESTINATARIO].
    void le_emitente();
    void le_remetente();
    void le_destinatario();

    // [TOTAIS] with the ICMS and the IBS/CBS lines, [NOTAS_FISCAIS] with
    // [QUANTIDADE_NOTAS], and [DIRETORIO].
    void le_totais();
    void le_icms();
    void le_ibscbs();
    void le_notas_fiscais();
    void le_diretorio();
};

}  // namespace idf::cte
