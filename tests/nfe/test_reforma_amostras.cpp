// The hand-written documents of the tax reform (tests/data/reforma): their
// exchange files, and that every value they carry in the reform's groups is
// read by some row of the imports' tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "common/fields.hpp"
#include "cte/uimporta_arquivo_xml_cte.hpp"
#include "nfe/uimporta_arquivo_xml_nfe.hpp"
#include "support/test_support.hpp"
#include "values/text.hpp"
#include "xml/tree.hpp"

namespace idf::test {
namespace {

const std::string amostras = std::string(IDF_TESTS_DIR) + "/data/reforma/";

// The exchange files, checked by hand; "{ARQUIVO_XML}" stands for the
// document's path.
TEST(ReformaAmostras, ExchangeFilesMatchTheirExpectedFiles) {
    const struct {
        DocType type;
        const char* name;
        const char* golden;  // under tests/
    } cases[] = {
        {DocType::nfe, "nfe-reforma-compra-governamental", "nfe/golden/nfe-reforma-compra-governamental.ini"},
        {DocType::nfe, "nfe-reforma-combustivel", "nfe/golden/nfe-reforma-combustivel.ini"},
        {DocType::cte, "cte-reforma-compra-governamental", "cte/golden/cte-reforma-compra-governamental.ini"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = amostras + c.name + ".xml";
        const RunResult r = run_file(c.type, path);
        ASSERT_TRUE(r.completed());
        ASSERT_TRUE(r.ini.has_value());
        expect_golden(c.golden, *r.ini, path);
        EXPECT_EQ(r.result.lista_problemas, "");
    }
}

// The groups and leaves of the reform whose values a buyer needs.
const std::set<std::string, std::less<>> grupos_reforma = {
    "IBSCBS",          "IS",    "IBSCBSTot",  "ISTot",       "gCompraGov", "gPagAntecipado",
    "DFeReferenciado", "vItem", "tpNFDebito", "tpNFCredito", "cMunFGIBS",  "dPrevEntrega",
};

struct Folhas {
    std::set<std::string> grupos_vistos;
    std::vector<std::string> com_valor;  // "NFe/infNFe/det/imposto/IS/vIS"
};

// Every leaf element with a non-blank text at or under a reform group, as
// its path of local names from the root element.
void folhas(xml::Node node, const std::string& path, bool na_reforma, Folhas& out) {
    bool tem_elementos = false;
    for (xml::Node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() != xml::NodeType::element) continue;
        tem_elementos = true;
        const bool grupo = grupos_reforma.contains(child.local_name());
        if (grupo) out.grupos_vistos.insert(child.local_name());
        folhas(child, path.empty() ? child.local_name() : path + "/" + child.local_name(), na_reforma || grupo, out);
    }
    if (!tem_elementos && na_reforma && !is_blank(node.text())) out.com_valor.push_back(path);
}

TEST(ReformaAmostras, EveryValueOfTheReformGroupsIsReadBySomeRow) {
    std::set<std::string> lidos;
    for (const auto& tabelas : {nfe::tabelas(), cte::tabelas()})
        for (std::string& path : paths_read(tabelas)) lidos.insert(std::move(path));

    Folhas todas;
    std::vector<std::string> nao_lidas;
    int documentos = 0;
    for (const auto& entry : std::filesystem::directory_iterator(amostras)) {
        if (entry.path().extension() != ".xml") continue;
        ++documentos;
        const auto bytes = read_bytes(entry.path().string());
        ASSERT_TRUE(bytes.has_value());
        xml::Document doc;
        doc.load(*bytes, entry.path().string());
        Folhas f;
        folhas(doc.document_element(), "", false, f);
        EXPECT_FALSE(f.com_valor.empty()) << entry.path();
        for (const std::string& folha : f.com_valor)
            if (!lidos.contains(folha)) nao_lidas.push_back(entry.path().filename().string() + ": " + folha);
        todas.grupos_vistos.insert(f.grupos_vistos.begin(), f.grupos_vistos.end());
    }
    EXPECT_EQ(documentos, 3);
    // The samples carry every group: a group left out would go unchecked.
    EXPECT_EQ(todas.grupos_vistos, std::set<std::string>(grupos_reforma.begin(), grupos_reforma.end()));
    std::sort(nao_lidas.begin(), nao_lidas.end());
    EXPECT_EQ(nao_lidas, std::vector<std::string>{}) << "values that no row reads";
}

}  // namespace
}  // namespace idf::test
