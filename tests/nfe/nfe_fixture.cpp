#include "nfe_fixture.hpp"

#include <algorithm>

namespace idf::test::nfe {

std::string NFe::xml() const {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
           "<nfeProc xmlns=\"http://www.portalfiscal.inf.br/nfe\" versao=\"4.00\">"
           "<NFe><infNFe Id=\"NFe" +
           std::string(chave) + "\" versao=\"4.00\">" + ide + emit + avulsa + dest + det + total + transp + cobr +
           inf_adic + "</infNFe></NFe>" + protocolo + "</nfeProc>";
}

std::string det(int n, std::string_view prod, std::string_view imposto) {
    return "<det nItem=\"" + std::to_string(n) + "\"><prod>" + std::string(prod) + "</prod>" + std::string(imposto) +
           "</det>";
}

std::string dets(int count) {
    std::string out;
    for (int n = 1; n <= count; ++n) out += det(n, "<cProd>" + std::to_string(n) + "</cProd>");
    return out;
}

RunResult run(const NFe& nfe, std::string_view modo_silencioso, const Regional& regional) {
    return run_xml(DocType::nfe, nfe.xml(), regional, modo_silencioso);
}

std::vector<std::string> section(const RunResult& r, std::string_view header) {
    const auto lines = r.lines();
    auto begin = std::find(lines.begin(), lines.end(), header);
    if (begin == lines.end()) return {};
    auto end = std::find_if(begin + 1, lines.end(), [](const std::string& l) { return l.starts_with('['); });
    return {begin, end};
}

std::vector<std::string> item_lines(const RunResult& r) {
    const auto lines = r.lines();
    auto begin =
        std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return l.starts_with("Produto_1="); });
    if (begin == lines.end()) return {};
    auto end = std::find(begin, lines.end(), "");
    return {begin + 1, end};
}

}  // namespace idf::test::nfe
