// The CT-e OS (model 67, root cteOSProc) through the CT-e import: the
// sample document by both ways against its expected file, and the taker's
// and the federal taxes' cases.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cte/cte_fixture.hpp"

namespace idf::test::cte {
namespace {

const std::string amostra = std::string(IDF_TESTS_DIR) + "/../samples/cteos-exemplo.xml";
constexpr std::string_view chave_amostra = "35240647528163000105670010000045211739204188";

// The expected file of the sample ("{ARQUIVO_XML}" for its path).
const std::string esperado = "cte/golden/cteos-exemplo.ini";

// The sample with every `de` replaced by `para`.
std::string amostra_com(std::string_view de, std::string_view para) {
    std::string xml = read_bytes(amostra).value();
    EXPECT_NE(xml.find(de), std::string::npos) << de;
    for (std::size_t at = xml.find(de); at != std::string::npos; at = xml.find(de, at + para.size()))
        xml.replace(at, de.size(), para);
    return xml;
}

TEST(CteOs, SampleByTheDialogAndByTheSearch) {
    const RunResult dialogo = idf::test::run_file(DocType::cte, amostra);
    ASSERT_TRUE(dialogo.ini.has_value()) << testing::PrintToString(dialogo.boxes);
    expect_golden(esperado, *dialogo.ini, amostra);
    EXPECT_TRUE(dialogo.boxes.empty());

    // Beside a model-57 CT-e, found by its key.
    TempDir dir;
    const std::string path = dir.write("cteos.xml", read_bytes(amostra).value());
    dir.write("cte.xml", read_bytes(sample_cte_path()).value());
    const RunResult busca = run_search(DocType::cte, chave_amostra, dir.str());
    ASSERT_TRUE(busca.ini.has_value()) << testing::PrintToString(busca.boxes);
    expect_golden(esperado, *busca.ini, path);
}

struct Caso {
    const char* what;
    std::string_view de, para;  // the change to the sample: every de becomes para
    std::string aborta;         // the message of an abort; empty: completed
    std::string_view secao = {};
    Lines linhas = {};  // the whole section `secao`; none: no such section
    std::string problemas = {};
};

TEST(CteOs, TakerAndFederalTaxes) {
    const Caso casos[] = {
        {"taker without CNPJ or CPF", "<CNPJ>08364192000127</CNPJ>", "<CPF> </CPF>",
         aborta("O Sistema não Conseguiu Ler o CNPJ/CPF do Tomador no Arquivo XML.")},
        {"no enderToma", "enderToma>", "endereco>",
         aborta("O Sistema não Conseguiu Ler a TAG do Endereço do Tomador no Arquivo XML.")},
        // The schemas let toma out: no [TOMADOR], a problem line.
        {"no toma", "toma>", "tomador>", {}, "[TOMADOR]", {}, "- TAG do Tomador no Arquivo XML.\r\n"},
        {"taker by CPF",
         "<CNPJ>08364192000127</CNPJ>",
         "<CPF>12345678909</CPF>",
         {},
         "[TOMADOR]",
         {"CNPJ_CPF=12345678909", "Inscricao_Estadual=795331420118",
          "Razao_Social=Metalúrgica Paulista de Precisão S.A.", "Nome_Fantasia=Metal Paulista",
          "Endereco=Rua Doutor Fernandes Coelho", "Numero_Endereco=210", "Bairro=Pinheiros", "Cidade=3550308",
          "CEP=05.423-040", "Fone=(011)3552-7100"}},
        {"taker without name, unreadable telephone",
         "<xNome>Metalúrgica Paulista de Precisão S.A.</xNome>",
         "<xNome/><fone><b/></fone>",
         {},
         {},
         {},
         "- Razão Social / Nome do Tomador no Arquivo XML.\r\n- Fone do Tomador no Arquivo XML.\r\n"},
        {"no infTribFed",
         "infTribFed>",
         "outros>",
         {},
         "[TOTAIS]",
         {"Total_Nota_Fiscal=3850,00", "Aliquota_Icms=12,00", "Base_Icms=3850,00", "Valor_Icms=462,00"}},
        {"some federal taxes",
         "<vIR>57.75</vIR>\n          <vINSS>423.50</vINSS>",
         "<vIR> </vIR>",
         {},
         "[TOTAIS]",
         {"Total_Nota_Fiscal=3850,00", "Aliquota_Icms=12,00", "Base_Icms=3850,00", "Valor_Icms=462,00",
          "Valor_PIS=25,03", "Valor_COFINS=115,50", "Valor_CSLL=38,50"}},
        {"blank service",
         "<xDescServ>Fretamento eventual de ônibus executivo Campinas - São Paulo</xDescServ>",
         "<xDescServ> </xDescServ>",
         {},
         "[SERVICO]",
         {}},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.what);
        const RunResult r = run_xml(DocType::cte, amostra_com(c.de, c.para), Regional::brazilian(), "Sim");
        if (!c.aborta.empty()) {
            expect_abort(r, c.aborta);
            continue;
        }
        ASSERT_TRUE(r.completed()) << testing::PrintToString(r.boxes);
        if (!c.secao.empty()) {
            EXPECT_EQ(section(r, c.secao), c.linhas);
            EXPECT_EQ(has_line(r, c.secao), !c.linhas.empty());
        }
        // The edited sample is no longer the one its protocol's digest
        // names: that line ends the list.
        EXPECT_EQ(r.result.lista_problemas, c.problemas + std::string(conteudo_diferente));
    }
}

// A real CT-e OS whose taker is left out, as its schemas allow: by the
// dialog and by the search, the same file as with the taker, less the
// [TOMADOR] section, and the end-of-run report names the missing group.
TEST(CteOs, RealDocumentWithoutTaker) {
    IDF_REQUIRE_CORPUS();
    const std::string chave = "41181010776992000105670260000000081307453250";
    const std::string completo = read_bytes(corpus_path("cte/spedda-cteos300-hom.xml")).value();
    const std::size_t inicio = completo.find("<toma>");
    const std::size_t fim = completo.find("</toma>");
    ASSERT_NE(inicio, std::string::npos);
    ASSERT_NE(fim, std::string::npos);
    std::string sem_tomador = completo;
    sem_tomador.erase(inicio, fim + 7 - inicio);

    TempDir dir;
    const std::string path = dir.write("cteos.xml", completo);
    const RunResult com = run_file(DocType::cte, path);
    ASSERT_TRUE(com.ini.has_value()) << testing::PrintToString(com.boxes);
    // This document was edited after it was signed: its own authenticity
    // lines are the whole of its problems, and they close the list.
    const std::string autenticidade = com.result.lista_problemas;
    // The empty line and [TOMADOR] up to the empty line before [TOTAIS].
    std::string esperado = *com.ini;
    const std::size_t secao = esperado.find("\r\n[TOMADOR]\r\n");
    ASSERT_NE(secao, std::string::npos);
    esperado.erase(secao, esperado.find("\r\n\r\n", secao + 2) + 2 - secao);
    ASSERT_EQ(esperado.find("[TOMADOR]"), std::string::npos);
    ASSERT_NE(esperado.find("\r\n\r\n[TOTAIS]\r\n"), std::string::npos);

    dir.write("cteos.xml", sem_tomador);
    const std::string problemas = "- TAG do Tomador no Arquivo XML.\r\n" + autenticidade;
    const std::string relatorio = "O Sistema Encontrou Problemas ao Importar os Dados do:\r\r" + problemas;
    for (const RunResult& r : {run_file(DocType::cte, path), run_search(DocType::cte, chave, dir.str())}) {
        ASSERT_TRUE(r.ini.has_value()) << testing::PrintToString(r.boxes);
        EXPECT_EQ(*r.ini, esperado);
        EXPECT_EQ(r.result.lista_problemas, problemas);
        EXPECT_EQ(r.boxes, std::vector<std::string>{relatorio});
    }
}

}  // namespace
}  // namespace idf::test::cte
