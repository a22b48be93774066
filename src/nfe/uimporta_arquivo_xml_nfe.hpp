// The NF-e import: its document type and its section stages.
//
// The stages run one after the other, each finding its elements again from
// the document element:
//   identification and referenced notes  (nfe_identificacao.cpp)
//   issuer, stand-alone issuer, recipient (nfe_participantes.cpp)
//   totals, carrier, instalments, notes and folder (nfe_totais.cpp)
//   items, with the taxes of each item   (nfe_itens.cpp, nfe_impostos_item.cpp)
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/fields.hpp"
#include "common/import.hpp"
#include "xml/tree.hpp"

namespace idf::nfe {

// The NF-e: its names and messages, and its import.
extern const DocumentType document;

// The tables of rows the import runs for the identification, the totals, the
// carrier, the instalments and the items, each with the element its paths
// start from; not among them: the parties, the ICMS groups (the first one
// present is read) and the values read by hand.
std::vector<Table> tabelas();
// The same, stage by stage.
std::vector<Table> tabelas_identificacao();
std::vector<Table> tabelas_totais();
std::vector<Table> tabelas_itens();
std::vector<Table> tabelas_impostos_item();

class Tfrmimporta_arquivo_xml_nfe final : public Import {
public:
    Tfrmimporta_arquivo_xml_nfe(Platform& platform, const Regional& regional) : Import(platform, regional, document) {}

protected:
    void run_stages() override;

private:
    // Protocol, [IDENTIFICACAO] and [NOTAS_REFERENCIADAS].
    void le_identificacao();
    void le_notas_referenciadas();

    // [EMITENTE], [EMISSOR NFE AVULSA] and [DESTINATARIO].
    void le_emitente();
    void le_emissor_avulsa();
    void le_destinatario();

    // [TOTAIS], [TRANSPORTADORA], [VENCIMENTOS], [OBSERVACOES], [DIRETORIO].
    void le_totais();
    void le_transportadora();
    void le_vencimentos();
    void le_observacoes();
    void le_diretorio();

    // The [PRODUTOS_n] sections and [QUANTIDADE_ITENS].
    void le_itens();

    // The ICMS, IPI, PIS, COFINS, IS and IBS/CBS lines of one item.
    static xml::Node localiza_grupo_icms(xml::Node det);
    void le_impostos_item(xml::Node det);
    void le_icms_item(xml::Node det);
    void le_tributo_item(xml::Node det, std::string_view tributo, std::string_view grupo,
                         std::span<const Field> linhas);

    int numero_item_ = 0;
    int numero_bloco_ = 1;
    std::string sufixo_item_;  // "_12" for item 12, after every key of the item
};

}  // namespace idf::nfe
