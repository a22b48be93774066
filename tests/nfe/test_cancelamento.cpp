// Cancellation events beside the document or appended to it stop the import
// of both document types, on the search way and on the dialog way.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/result_json.hpp"
#include "support/test_support.hpp"

namespace idf::test {
namespace {

// The names of one document type, written out here as the documents have
// them.
struct Tipo {
    DocType type;
    std::string sigla;      // in the message
    std::string documento;  // the sample's path
    std::string chave;
    std::string proc, evento_proc, evento, resposta, chave_tag, ns;
};

Tipo nfe() {
    return {
        DocType::nfe, "NFe",       sample_nfe_path(), std::string(sample_nfe_key),         "nfeProc", "procEventoNFe",
        "evento",     "retEvento", "chNFe",           "http://www.portalfiscal.inf.br/nfe"};
}

Tipo cte() {
    return {DocType::cte,      "CTe",
            sample_cte_path(), std::string(sample_cte_key),
            "cteProc",         "procEventoCTe",
            "eventoCTe",       "retEventoCTe",
            "chCTe",           "http://www.portalfiscal.inf.br/cte"};
}

const std::string outra_chave = "35240698765432000110550010000099991000099990";

// The authority's answer to an event: <resposta><infEvento>.
std::string resposta(const Tipo& t, const std::string& p, const std::string& chave, const std::string& tp,
                     const std::string& c_stat) {
    return "<" + p + t.resposta + " versao=\"1.00\"><" + p + "infEvento><" + p + "tpAmb>1</" + p + "tpAmb><" + p +
           "cStat>" + c_stat + "</" + p + "cStat><" + p + t.chave_tag + ">" + chave + "</" + p + t.chave_tag + "><" +
           p + "tpEvento>" + tp + "</" + p + "tpEvento><" + p + "dhRegEvento>2024-06-11T10:00:00-03:00</" + p +
           "dhRegEvento><" + p + "nProt>135240000999999</" + p + "nProt></" + p + "infEvento></" + p + t.resposta + ">";
}

// An event file as the ERP downloads it; `p` a prefix ("n:") or none.
std::string evento(const Tipo& t, const std::string& tp, const std::string& c_stat,
                   const std::string& chave_evento = {}, const std::string& p = {}) {
    const std::string& chave = chave_evento.empty() ? t.chave : chave_evento;
    const std::string xmlns =
        p.empty() ? " xmlns=\"" + t.ns + "\"" : " xmlns:" + p.substr(0, p.size() - 1) + "=\"" + t.ns + "\"";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><" + p + t.evento_proc + xmlns + " versao=\"1.00\"><" + p +
           t.evento + " versao=\"1.00\"><" + p + "infEvento><" + p + t.chave_tag + "> " + chave + "</" + p +
           t.chave_tag + "><" + p + "tpEvento>" + tp + "</" + p + "tpEvento><" + p + "detEvento><" + p +
           "descEvento>Cancelamento</" + p + "descEvento></" + p + "detEvento></" + p + "infEvento></" + p + t.evento +
           ">" + resposta(t, p, chave, tp, c_stat) + "</" + p + t.evento_proc + ">";
}

std::string documento(const Tipo& t) { return read_bytes(t.documento).value_or(""); }

// The document with an answer appended inside a wrapper after its protocol.
std::string com_resposta(const Tipo& t, const std::string& tp, const std::string& c_stat) {
    std::string doc = documento(t);
    const std::size_t end = doc.rfind("</" + t.proc + ">");
    doc.insert(end, "<procCanc>" + resposta(t, "", t.chave, tp, c_stat) + "</procCanc>");
    return doc;
}

struct Arquivo {
    std::string name, bytes;
};

struct Caso {
    const char* what;
    std::vector<Arquivo> arquivos;  // "nota.xml" is the document
    bool dialogo = false;           // chosen in the dialog instead of searched
    // The file named in the message with tpEvento and cStat; none: imported.
    std::optional<std::vector<std::string>> cancelada;
};

const std::optional<std::vector<std::string>> importada;

std::vector<Caso> casos(const Tipo& t) {
    const std::string doc = documento(t);
    return {
        {"event sorting before the document",
         {{"a-evento.xml", evento(t, "110111", "135")}, {"nota.xml", doc}},
         false,
         std::vector<std::string>{"a-evento.xml", "110111", "135"}},
        {"event sorting after the document",
         {{"nota.xml", doc}, {"Z-EVENTO.XML", evento(t, "110112", "136")}},
         false,
         std::vector<std::string>{"Z-EVENTO.XML", "110112", "136"}},
        {"answer appended to the document",
         {{"nota.xml", com_resposta(t, "110111", "155")}, {"a-evento.xml", evento(t, "110112", "135")}},
         false,
         std::vector<std::string>{"nota.xml", "110111", "155"}},
        {"rejected cancellation", {{"nota.xml", doc}, {"z.xml", evento(t, "110111", "573")}}, false, importada},
        {"rejected cancellation appended", {{"nota.xml", com_resposta(t, "110111", "573")}}, false, importada},
        {"correction letter", {{"nota.xml", doc}, {"z.xml", evento(t, "110110", "135")}}, false, importada},
        {"cancellation of another key",
         {{"nota.xml", doc}, {"z.xml", evento(t, "110111", "135", outra_chave)}},
         false,
         importada},
        {"damaged event file passed over",
         {{"a.xml", evento(t, "110111", "135").substr(0, 300)}, {"nota.xml", doc}},
         false,
         importada},
        {"event with prefixed names",
         {{"nota.xml", doc}, {"z.xml", evento(t, "110111", "135", {}, "e:")}},
         false,
         std::vector<std::string>{"z.xml", "110111", "135"}},
        {"dialog way, event beside the chosen file",
         {{"nota.xml", doc}, {"evento.xml", evento(t, "110111", "135")}},
         true,
         std::vector<std::string>{"evento.xml", "110111", "135"}},
        {"dialog way, nothing beside the chosen file", {{"nota.xml", doc}}, true, importada},
    };
}

void verifica(const Tipo& t) {
    for (const Caso& c : casos(t)) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        for (const Arquivo& a : c.arquivos) dir.write(a.name, a.bytes);
        const RunResult r =
            c.dialogo ? run_file(t.type, dir.str() + "/nota.xml") : run_search(t.type, t.chave, dir.str());
        const std::string json = result_json(r.result, r.boxes);
        if (!c.cancelada) {
            EXPECT_TRUE(r.completed()) << testing::PrintToString(r.boxes);
            EXPECT_FALSE(r.result.cancelamento.has_value());
            EXPECT_TRUE(json.ends_with(",\"cancelamento\":null,\"diagnostico\":null}")) << json;
            continue;
        }
        const auto& [arquivo, tp, c_stat] = std::tie((*c.cancelada)[0], (*c.cancelada)[1], (*c.cancelada)[2]);
        EXPECT_FALSE(r.completed());
        EXPECT_FALSE(r.ini.has_value());
        EXPECT_EQ(r.boxes, std::vector<std::string>{"A " + t.sigla + " foi Cancelada: o Arquivo " + arquivo +
                                                    " Contém o Evento de Cancelamento " + tp + " (Situação " + c_stat +
                                                    ").\r\n\nA Importação será Abortada."});
        EXPECT_TRUE(json.ends_with(
            ",\"cancelamento\":{\"arquivo\":\"" + dir.str() + "/" + arquivo + "\",\"tpEvento\":\"" + tp +
            "\",\"cStat\":\"" + c_stat +
            "\",\"nProt\":\"135240000999999\",\"dhRegEvento\":\"2024-06-11T10:00:00-03:00\"},\"diagnostico\":null}"))
            << json;
    }
}

TEST(Cancelamento, NfeEventsBesideOrInsideTheDocument) { verifica(nfe()); }

TEST(Cancelamento, CteEventsBesideOrInsideTheDocument) { verifica(cte()); }

// Ended before the check (the protocol's number is missing): no event
// looked for, and none reported, though one lies beside the document.
TEST(Cancelamento, ImportEndedBeforeTheCheckReportsNone) {
    const Tipo t = nfe();
    TempDir dir;
    std::string doc = documento(t);
    const std::size_t at = doc.find("<nProt>");
    doc.erase(at, doc.find("</nProt>") + 8 - at);
    dir.write("nota.xml", doc);
    dir.write("z.xml", evento(t, "110111", "135"));
    const RunResult r = run_search(t.type, t.chave, dir.str());
    EXPECT_FALSE(r.completed());
    EXPECT_FALSE(r.result.cancelamento.has_value());
    EXPECT_TRUE(result_json(r.result, r.boxes).ends_with(",\"cancelamento\":null,\"diagnostico\":null}"));
}

}  // namespace
}  // namespace idf::test
