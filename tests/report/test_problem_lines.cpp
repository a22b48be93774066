// The end-of-run report: each value that has a line of its own there, made
// unreadable alone in an authorised NF-e or CT-e, adds exactly that line.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "support/test_support.hpp"

namespace idf::test {
namespace {

// The document with the value of the first `child` after the start tag of
// `parent` replaced by an element: a value that holds more than text.
std::string unreadable(std::string xml, std::string_view parent, std::string_view child) {
    // Built by appending: GCC 12 at -O3 warns about prepending to a temporary.
    const auto tag = [](std::string_view start, std::string_view name) {
        return std::string(start).append(name).append(">");
    };
    const std::string open = tag("<", child);
    const std::size_t at = xml.find(tag("<", parent));
    const std::size_t from = at == std::string::npos ? at : xml.find(open, at);
    const std::size_t to = from == std::string::npos ? from : xml.find(tag("</", child), from);
    if (to == std::string::npos) {
        ADD_FAILURE() << "no " << child << " in " << parent;
        return xml;
    }
    return xml.replace(from + open.size(), to - from - open.size(), "<x/>");
}

TEST(ProblemLines, EachUnreadableValueAddsItsOwnLine) {
    const std::string nfe = read_bytes(sample_nfe_path()).value();
    const std::string cte = read_bytes(sample_cte_path()).value();
    ASSERT_EQ(run_xml(DocType::nfe, nfe).result.lista_problemas, "");
    ASSERT_EQ(run_xml(DocType::cte, cte).result.lista_problemas, "");
    const struct {
        DocType type;
        const char* parent;
        const char* child;
        const char* line;  // between "- " and " no Arquivo XML."
    } cases[] = {
        {DocType::nfe, "ide", "dhEmi", "Data da Emissão da Nota Fiscal"},
        {DocType::nfe, "emit", "IE", "Inscrição Estadual do Fornecedor"},
        {DocType::nfe, "emit", "xNome", "Razão Social / Nome do Fornecedor"},
        {DocType::nfe, "emit", "xFant", "Nome Fantasia do Fornecedor"},
        {DocType::nfe, "emit", "CRT", "Regime Tributário do Fornecedor"},
        {DocType::nfe, "enderEmit", "xLgr", "Endereço do Fornecedor"},
        {DocType::nfe, "enderEmit", "nro", "Nº do Endereço do Fornecedor"},
        {DocType::nfe, "enderEmit", "xCpl", "Complemento do Endereço do Fornecedor"},
        {DocType::nfe, "enderEmit", "xBairro", "Bairro do Fornecedor"},
        {DocType::nfe, "enderEmit", "cMun", "Cidade do Fornecedor"},
        {DocType::nfe, "enderEmit", "CEP", "Cep do Fornecedor"},
        {DocType::nfe, "enderEmit", "fone", "Fone do Fornecedor"},
        {DocType::nfe, "dest", "xNome", "Razão Social / Nome do Destinatário"},
        {DocType::nfe, "ICMSTot", "vBC", "Base do ICMS da Nota Fiscal"},
        {DocType::nfe, "ICMSTot", "vICMS", "Valor do ICMS da Nota Fiscal"},
        {DocType::nfe, "ICMSTot", "vBCST", "Base da ST da Nota Fiscal"},
        {DocType::nfe, "ICMSTot", "vST", "Valor da ST da Nota Fiscal"},
        {DocType::nfe, "ICMSTot", "vProd", "Total do Produto da Nota Fiscal"},
        {DocType::nfe, "ICMSTot", "vFrete", "Valor do Frete da Nota Fiscal"},
        {DocType::nfe, "ICMSTot", "vSeg", "Valor do Seguro da Nota Fiscal"},
        {DocType::nfe, "ICMSTot", "vOutro", "Valor da Despesa da Nota Fiscal"},
        {DocType::nfe, "ICMSTot", "vDesc", "Valor do Desconto da Nota Fiscal"},
        {DocType::nfe, "ICMSTot", "vIPI", "Valor do IPI da Nota Fiscal"},
        {DocType::nfe, "ICMSTot", "vNF", "Total da Nota Fiscal"},
        {DocType::nfe, "transporta", "CNPJ", "CNPJ/CPF da Transportadora"},
        {DocType::nfe, "transporta", "xNome", "Razão Social / Nome da Transportadora"},
        {DocType::nfe, "transporta", "IE", "Inscrição Estadual da Transportadora"},
        {DocType::nfe, "transporta", "xEnder", "Endereço da Transportadora"},
        {DocType::nfe, "transporta", "xMun", "Cidade da Transportadora"},
        {DocType::nfe, "transporta", "UF", "Estado da Transportadora"},
        {DocType::nfe, "transp", "modFrete", "Modalidade do Frete"},
        {DocType::cte, "ide", "dhEmi", "Data da Emissão da Nota Fiscal"},
        {DocType::cte, "emit", "IE", "Inscrição Estadual da Transportadora"},
        {DocType::cte, "emit", "xNome", "Razão Social / Nome da Transportadora"},
        {DocType::cte, "emit", "xFant", "Nome Fantasia da Transportadora"},
        {DocType::cte, "enderEmit", "xLgr", "Endereço da Transportadora"},
        {DocType::cte, "enderEmit", "nro", "Nº do Endereço da Transportadora"},
        {DocType::cte, "enderEmit", "xBairro", "Bairro da Transportadora"},
        {DocType::cte, "enderEmit", "cMun", "Cidade da Transportadora"},
        {DocType::cte, "enderEmit", "CEP", "Cep da Transportadora"},
        {DocType::cte, "enderEmit", "fone", "Fone da Transportadora"},
        {DocType::cte, "rem", "xNome", "Razão Social / Nome do Remetente"},
        {DocType::cte, "dest", "xNome", "Razão Social / Nome do Destinatário"},
        {DocType::cte, "vPrest", "vTPrest", "Total da Nota Fiscal"},
        {DocType::cte, "ICMS00", "pICMS", "Alíquota do ICMS"},
        {DocType::cte, "ICMS00", "vBC", "Base do ICMS"},
        {DocType::cte, "ICMS00", "vICMS", "Valor do ICMS"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.type == DocType::nfe ? "NF-e " : "CT-e ") + c.parent + "/" + c.child);
        const RunResult r = run_xml(c.type, unreadable(c.type == DocType::nfe ? nfe : cte, c.parent, c.child),
                                    Regional::brazilian(), "Sim");
        ASSERT_TRUE(r.completed());
        // The edited NF-e is no longer the one its protocol's digest names:
        // that line ends the list (the CT-e's protocol carries no digest).
        EXPECT_EQ(r.result.lista_problemas, "- " + std::string(c.line) + " no Arquivo XML.\r\n" +
                                                std::string(c.type == DocType::nfe ? conteudo_diferente : ""));
    }
}

}  // namespace
}  // namespace idf::test
