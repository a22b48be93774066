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

#include "common/import.hpp"
#include "common/xml.hpp"

namespace idf::nfe {

// The NF-e: its names and messages, and its import.
extern const DocumentType document;

// One line of an item block: the tag read under a node, the key written
// (before "_" and the item number) and how the tag is read.
struct ItemLine {
    std::string_view tag;
    std::string_view key;
    int decimals;  // texto for a text value, else a number with that many decimals
    static constexpr int texto = -1;
};

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
    void grava_item_texto(std::string_view tag, std::string_view key, xml::Node node);
    void grava_item_valor(std::string_view tag, std::string_view key, xml::Node node, int decimals);
    void grava_item_linhas(std::span<const ItemLine> lines, xml::Node node);
    void grava_linha_vazia();

    // The ICMS, IPI, PIS and COFINS lines of one item.
    static xml::Node localiza_grupo_icms(xml::Node det);
    void le_impostos_item(xml::Node det);
    void le_icms_item(xml::Node det);
    void le_tributo_item(xml::Node det, std::string_view tributo, std::string_view grupo,
                         std::span<const ItemLine> lines);

    void grava_item_linha(std::string_view key, std::string_view value);

    int numero_item_ = 0;
    int numero_bloco_ = 1;
    std::string chave_item_;  // reused while composing item keys
};

}  // namespace idf::nfe
