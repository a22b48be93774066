// The [PRODUTOS_n] sections and [QUANTIDADE_ITENS].
#include <gtest/gtest.h>

#include <algorithm>

#include "nfe_fixture.hpp"

namespace idf::test::nfe {
namespace {

// The lines after "Diretorio_Arquivo_XML=...".
Lines after_folder(const RunResult& r) {
    const Lines lines = r.document_lines();
    auto at = std::find_if(lines.begin(), lines.end(),
                           [](const std::string& l) { return l.starts_with("Diretorio_Arquivo_XML="); });
    if (at == lines.end()) return {"<no folder line>"};
    return {at + 1, lines.end()};
}

NFe with_det(std::string det) {
    NFe n;
    n.det = std::move(det);
    return n;
}

TEST(NfeItens, NoItemsGiveTheCountZero) {
    const RunResult r = run(NFe{});
    ASSERT_TRUE(r.completed());
    EXPECT_EQ(after_folder(r), (Lines{"[QUANTIDADE_ITENS]", "Itens=0"}));
    EXPECT_TRUE(r.ini->ends_with(
        "Itens=0\r\n\r\n[AUTENTICIDADE]\r\nConteudo_Autorizado=Indeterminado\r\nAssinatura_Digital=Ausente\r\n"));
}

TEST(NfeItens, OneItemBlock) {
    const RunResult r = run(with_det(det(1,
                                         "<cProd>001</cProd><xProd>PARAFUSO</xProd><qCom>10.0000</qCom>"
                                         "<vUnCom>1.5</vUnCom><vProd>15.00</vProd><xPed>PC-9</xPed>")));
    ASSERT_TRUE(r.completed());
    EXPECT_EQ(after_folder(r), (Lines{"", "[PRODUTOS_1]", "Produto_1=001", "Descricao_1=PARAFUSO",
                                      "Quantidade_1=10,0000", "Valor_Unitario_1=1,5000", "Total_1=15,00",
                                      "Numero_Pedido_1=PC-9", "", "[QUANTIDADE_ITENS]", "Itens=1"}));
}

// Numbers round halves away from zero; a number that does not convert is
// written raw.
TEST(NfeItens, BlankTagsAreLeftOutAndTextIsNotTrimmed) {
    const RunResult r =
        run(with_det(det(1,
                         "<cProd>1</cProd><cEAN> </cEAN><xProd>  Nome  </xProd><NCM><b/></NCM>"
                         "<qCom>abc</qCom><vProd>1,5</vProd><uCom><![CDATA[K G]]></uCom>"
                         "<vUnCom><![CDATA[10.5]]></vUnCom><qTrib>1.00005</qTrib><vOutro>1234.567</vOutro>")));
    ASSERT_TRUE(r.completed());
    EXPECT_EQ(item_lines(r),
              (Lines{"Descricao_1=  Nome  ", "Unidade_Consumo_1=K G", "Quantidade_1=abc", "Valor_Unitario_1=10,5000",
                     "Total_1=1,5", "Quantidade_Tributavel_1=1,0001", "Despesa_1=1234,57"}));
    EXPECT_EQ(r.result.lista_problemas, "");
}

// Item n stands in section n / 50 + 1; a section change adds an empty line
// before its header, after the item's own.
TEST(NfeItens, SectionsChangeAtEveryMultipleOfFifty) {
    struct Case {
        int items;
        // The section header lines found, and the first item of each.
        Lines headers;
        Lines firsts;
    };
    const Case cases[] = {
        {49, {"[PRODUTOS_1]"}, {"Produto_1=1"}},
        {50, {"[PRODUTOS_1]", "[PRODUTOS_2]"}, {"Produto_1=1", "Produto_50=50"}},
        {120, {"[PRODUTOS_1]", "[PRODUTOS_2]", "[PRODUTOS_3]"}, {"Produto_1=1", "Produto_50=50", "Produto_100=100"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.items);
        const RunResult r = run(with_det(dets(c.items)));
        ASSERT_TRUE(r.completed());
        const Lines lines = after_folder(r);
        Lines headers;
        Lines firsts;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (!lines[i].starts_with("[PRODUTOS_")) continue;
            headers.push_back(lines[i]);
            firsts.push_back(lines.at(i + 1));
            // Two empty lines before every header but the first, one before it.
            EXPECT_EQ(lines.at(i - 1), "");
            if (headers.size() > 1) {
                EXPECT_EQ(lines.at(i - 2), "");
                EXPECT_NE(lines.at(i - 3), "");
            } else {
                EXPECT_EQ(i, 1u);
            }
        }
        EXPECT_EQ(headers, c.headers);
        EXPECT_EQ(firsts, c.firsts);
        // Each item: its line and its empty line; then the count.
        EXPECT_EQ(lines.size(), 2 * c.headers.size() + 2u * c.items + 2);
        EXPECT_EQ(lines.back(), "Itens=" + std::to_string(c.items));
        EXPECT_EQ(lines.at(lines.size() - 2), "[QUANTIDADE_ITENS]");
        EXPECT_EQ(lines.at(lines.size() - 3), "");
    }
}

TEST(NfeItens, ItemsWithoutProductAreSkippedButKeepTheirEmptyLine) {
    const RunResult r = run(with_det(det(1, "<cProd>A</cProd>") + "<det nItem=\"2\"><prod/><imposto/></det>" +
                                     "<det nItem=\"3\"><infAdProd>x</infAdProd></det>" + det(4, "<cProd>B</cProd>")));
    ASSERT_TRUE(r.completed());
    EXPECT_EQ(after_folder(r), (Lines{"", "[PRODUTOS_1]", "Produto_1=A", "", "", "", "Produto_2=B", "",
                                      "[QUANTIDADE_ITENS]", "Itens=2"}));
}

TEST(NfeItens, NumberingFollowsDocumentOrderNotNItem) {
    const RunResult r = run(with_det(det(7, "<cProd>X</cProd>") + det(3, "<cProd>Y</cProd>")));
    ASSERT_TRUE(r.completed());
    EXPECT_EQ(after_folder(r),
              (Lines{"", "[PRODUTOS_1]", "Produto_1=X", "", "Produto_2=Y", "", "[QUANTIDADE_ITENS]", "Itens=2"}));
}

TEST(NfeItens, PrefixedDetIsFoundButNotCounted) {
    NFe n;
    n.det =
        "<nfe:det xmlns:nfe=\"http://www.portalfiscal.inf.br/nfe\" nItem=\"1\"><nfe:prod><nfe:cProd>1</nfe:cProd>"
        "</nfe:prod></nfe:det>";
    const RunResult r = run(n);
    ASSERT_TRUE(r.completed());
    EXPECT_EQ(after_folder(r), (Lines{"", "[PRODUTOS_1]", "[QUANTIDADE_ITENS]", "Itens=0"}));
}

}  // namespace
}  // namespace idf::test::nfe
