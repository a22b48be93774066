// The item blocks: "[PRODUTOS_n]" sections and [QUANTIDADE_ITENS].
//
// Every line of an item carries the item number in its key
// (Quantidade_12=3,0000), and a line whose value would be empty is left out;
// a number that does not convert is written as read.
// The walk moves along the children of infNFe with next_sibling, so it is
// linear in the number of items.
#include <string>
#include <vector>

#include "common/fields.hpp"
#include "nfe/uimporta_arquivo_xml_nfe.hpp"

namespace idf::nfe {

namespace {

using namespace transform;

// Children of prod, in writing order.
const Field produto[] = {
    {"Produto=", "cProd", as_read, Kind::optional},
    {"Codigo_Barra=", "cEAN", as_read, Kind::optional},
    {"Descricao=", "xProd", as_read, Kind::optional},
    {"NCM=", "NCM", as_read, Kind::optional},
    {"CEST=", "CEST", as_read, Kind::optional},
    {"CFOP=", "CFOP", as_read, Kind::optional},
    {"Unidade_Consumo=", "uCom", as_read, Kind::optional},
    {"Quantidade=", "qCom", number(4), Kind::optional},
    {"Valor_Unitario=", "vUnCom", number(4), Kind::optional},
    {"Total=", "vProd", number(2), Kind::optional},
    {"Codigo_Barra_Tributavel=", "cEANTrib", as_read, Kind::optional},
    {"Unidade_Tributavel=", "uTrib", as_read, Kind::optional},
    {"Quantidade_Tributavel=", "qTrib", number(4), Kind::optional},
    {"Valor_Unitario_Tributavel=", "vUnTrib", number(4), Kind::optional},
    {"Desconto=", "vDesc", number(2), Kind::optional},
    {"Despesa=", "vOutro", number(2), Kind::optional},
    {"Frete=", "vFrete", number(2), Kind::optional},
    {"Seguro=", "vSeg", number(2), Kind::optional},
};

// Child of det, after the taxes: the item's value with IS, IBS and CBS.
const Field total_com_tributos{"Total_Item_Com_Tributos=", "vItem", number(2), Kind::optional};
// Children of det/DFeReferenciado: the item of another document that a
// credit or debit note adjusts.
const Field referenciado[] = {
    {"Chave_Referenciada=", "chaveAcesso", as_read, Kind::optional},
    {"Item_Referenciado=", "nItem", as_read, Kind::optional},
};

// Children of prod, after those.
const Field pedido[] = {
    {"Numero_Pedido=", "xPed", as_read, Kind::optional},
    {"Numero_Item_Pedido=", "nItemPed", as_read, Kind::optional},
};

// Items per "[PRODUTOS_n]" section: a new section starts at every
// multiple of this number, so the first one holds one item less.
constexpr int itens_por_bloco = 50;

}  // namespace

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
                sufixo_item_ = '_';
                sufixo_item_ += std::to_string(numero_item_);
                write_fields(*this, prod, produto, sufixo_item_);
                le_impostos_item(det);
                write_field(*this, det, total_com_tributos, sufixo_item_);
                write_group(*this, det, "DFeReferenciado", referenciado, sufixo_item_);
                write_fields(*this, prod, pedido, sufixo_item_);
            }
            // Every det ends with an empty line, even one without product.
            write_empty_line();
        }
    }

    write_line("[QUANTIDADE_ITENS]");
    write_value("Itens=", std::to_string(numero_item_));
}

std::vector<Table> tabelas_itens() {
    return {{"NFe/infNFe/det/prod", produto},
            {"NFe/infNFe/det", {&total_com_tributos, 1}},
            {"NFe/infNFe/det/DFeReferenciado", referenciado},
            {"NFe/infNFe/det/prod", pedido}};
}

}  // namespace idf::nfe
