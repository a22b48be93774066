// The item blocks: "[PRODUTOS_n]" sections and [QUANTIDADE_ITENS].
//
// Every line of an item carries the item number in its key
// (Quantidade_12=3,0000), and a line whose value would be empty is left out.
// The walk moves along the children of infNFe with next_sibling, so it is
// linear in the number of items.
#include <string>

#include "common/fields.hpp"
#include "nfe/uimporta_arquivo_xml_nfe.hpp"

namespace idf::nfe {

namespace {

constexpr int texto = ItemLine::texto;

// Children of prod, in writing order.
constexpr ItemLine produto[] = {
    {"cProd", "Produto", texto},
    {"cEAN", "Codigo_Barra", texto},
    {"xProd", "Descricao", texto},
    {"NCM", "NCM", texto},
    {"CEST", "CEST", texto},
    {"CFOP", "CFOP", texto},
    {"uCom", "Unidade_Consumo", texto},
    {"qCom", "Quantidade", 4},
    {"vUnCom", "Valor_Unitario", 4},
    {"vProd", "Total", 2},
    {"cEANTrib", "Codigo_Barra_Tributavel", texto},
    {"uTrib", "Unidade_Tributavel", texto},
    {"qTrib", "Quantidade_Tributavel", 4},
    {"vUnTrib", "Valor_Unitario_Tributavel", 4},
    {"vDesc", "Desconto", 2},
    {"vOutro", "Despesa", 2},
    {"vFrete", "Frete", 2},
    {"vSeg", "Seguro", 2},
};

// Children of prod, after the taxes.
constexpr ItemLine pedido[] = {
    {"xPed", "Numero_Pedido", texto},
    {"nItemPed", "Numero_Item_Pedido", texto},
};

// Items per "[PRODUTOS_n]" section: a new section starts at every
// multiple of this number, so the first one holds one item less.
constexpr int itens_por_bloco = 50;

}  // namespace

void Tfrmimporta_arquivo_xml_nfe::grava_item_linha(std::string_view key, std::string_view value) {
    chave_item_.assign(key);
    chave_item_ += '_';
    chave_item_ += std::to_string(numero_item_);
    chave_item_ += '=';
    write_value(chave_item_, value);
}

void Tfrmimporta_arquivo_xml_nfe::grava_item_texto(std::string_view tag, std::string_view key, xml::Node node) {
    const std::string valor = le_valor_tag(*this, node, tag, false, 0);
    if (!valor.empty()) grava_item_linha(key, valor);
}

void Tfrmimporta_arquivo_xml_nfe::grava_item_valor(std::string_view tag, std::string_view key, xml::Node node,
                                                   int decimals) {
    const std::string valor = le_valor_tag(*this, node, tag, true, decimals);
    if (!valor.empty()) grava_item_linha(key, valor);
}

void Tfrmimporta_arquivo_xml_nfe::grava_item_linhas(std::span<const ItemLine> lines, xml::Node node) {
    for (const ItemLine& line : lines) {
        if (line.decimals == ItemLine::texto)
            grava_item_texto(line.tag, line.key, node);
        else
            grava_item_valor(line.tag, line.key, node, line.decimals);
    }
}

void Tfrmimporta_arquivo_xml_nfe::grava_linha_vazia() { write_empty_line(); }

void Tfrmimporta_arquivo_xml_nfe::le_itens() {
    numero_item_ = 0;
    numero_bloco_ = 1;

    if (const xml::Node primeiro = find_path(document_element(), {"NFe", "infNFe", "det"})) {
        write_empty_line();
        write_line("[PRODUTOS_1]");
        for (xml::Node det = primeiro; det; det = det.next_sibling()) {
            // The other children of infNFe (total, transp, ...) are passed
            // over, and so is a det written with a prefix.
            if (det.name() != "det") continue;

            const xml::Node prod = det.child("prod");
            if (prod.first_child()) {
                ++numero_item_;
                if (numero_item_ % itens_por_bloco == 0) {
                    ++numero_bloco_;
                    write_empty_line();
                    write_line("[PRODUTOS_" + std::to_string(numero_bloco_) + "]");
                }
                grava_item_linhas(produto, prod);
                le_impostos_item(det);
                grava_item_linhas(pedido, prod);
            }
            // Every det ends with an empty line, even one without product.
            grava_linha_vazia();
        }
    }

    write_line("[QUANTIDADE_ITENS]");
    write_value("Itens=", std::to_string(numero_item_));
}

}  // namespace idf::nfe
