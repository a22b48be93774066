#include "cte/cte_fixture.hpp"

#include <algorithm>

namespace idf::test::cte {

std::string CTe::xml() const {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
           "<cteProc xmlns=\"http://www.portalfiscal.inf.br/cte\" versao=\"4.00\"><CTe><infCte versao=\"4.00\">" +
           ide + emit + rem + dest + v_prest + imp + inf_cte_norm + "</infCte></CTe>" + protocolo + "</cteProc>";
}

RunResult run(const CTe& cte, std::string_view modo_silencioso, const Regional& regional) {
    return run_xml(DocType::cte, cte.xml(), regional, modo_silencioso);
}

Lines section(const RunResult& r, std::string_view header) {
    const Lines all = r.lines();
    auto it = std::find(all.begin(), all.end(), header);
    if (it == all.end()) return {};
    Lines out;
    for (++it; it != all.end() && !it->empty() && it->front() != '['; ++it) out.push_back(*it);
    return out;
}

Lines route_lines(const RunResult& r) {
    const Lines identificacao = section(r, "[IDENTIFICACAO]");
    const auto from = std::find_if(identificacao.begin(), identificacao.end(),
                                   [](const std::string& l) { return l.starts_with("Numero_Nota_Fiscal="); });
    const auto to = std::find_if(identificacao.begin(), identificacao.end(),
                                 [](const std::string& l) { return l.starts_with("Data_Emissao="); });
    if (from == identificacao.end() || to == identificacao.end() || to < from) return {};
    return Lines(from + 1, to);
}

bool has_line(const RunResult& r, std::string_view line) {
    const Lines all = r.lines();
    return std::find(all.begin(), all.end(), line) != all.end();
}

std::string aborta(std::string_view text) { return std::string(text) + "\r\n\nA Importação será Abortada."; }

void expect_abort(const RunResult& r, std::string_view message) {
    EXPECT_FALSE(r.completed());
    EXPECT_FALSE(r.ini.has_value());
    EXPECT_EQ(r.boxes, std::vector<std::string>{std::string(message)});
}

}  // namespace idf::test::cte
