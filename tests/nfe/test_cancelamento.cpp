// Cancellation events beside the document or appended to it stop the import
// of both document types, on the search way and on the dialog way.
#include <gtest/gtest.h>

#include <optional>
#include <set>
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

// The CT-e OS: the CT-e's events, under its own root.
Tipo cteos() {
    Tipo t = cte();
    t.documento = std::string(IDF_TESTS_DIR) + "/../samples/cteos-exemplo.xml";
    t.chave = "35240647528163000105670010000045211739204188";
    t.proc = "cteOSProc";
    return t;
}

const std::string outra_chave = "35240698765432000110550010000099991000099990";

// The authority's answer to an event: <resposta><infEvento>.
std::string resposta(const Tipo& t, const std::string& p, const std::string& chave, const std::string& tp,
                     const std::string& c_stat, const std::string& amb = "1") {
    return "<" + p + t.resposta + " versao=\"1.00\"><" + p + "infEvento><" + p + "tpAmb>" + amb + "</" + p + "tpAmb><" +
           p + "cStat>" + c_stat + "</" + p + "cStat><" + p + t.chave_tag + ">" + chave + "</" + p + t.chave_tag +
           "><" + p + "tpEvento>" + tp + "</" + p + "tpEvento><" + p + "dhRegEvento>2024-06-11T10:00:00-03:00</" + p +
           "dhRegEvento><" + p + "nProt>135240000999999</" + p + "nProt></" + p + "infEvento></" + p + t.resposta + ">";
}

// An event file as the ERP downloads it; `p` a prefix ("n:") or none; the
// answer names `chave_resposta` when given.
std::string evento(const Tipo& t, const std::string& tp, const std::string& c_stat,
                   const std::string& chave_evento = {}, const std::string& p = {},
                   const std::string& chave_resposta = {}) {
    const std::string& chave = chave_evento.empty() ? t.chave : chave_evento;
    const std::string xmlns =
        p.empty() ? " xmlns=\"" + t.ns + "\"" : " xmlns:" + p.substr(0, p.size() - 1) + "=\"" + t.ns + "\"";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><" + p + t.evento_proc + xmlns + " versao=\"1.00\"><" + p +
           t.evento + " versao=\"1.00\"><" + p + "infEvento><" + p + t.chave_tag + "> " + chave + "</" + p +
           t.chave_tag + "><" + p + "tpEvento>" + tp + "</" + p + "tpEvento><" + p + "detEvento><" + p +
           "descEvento>Cancelamento</" + p + "descEvento></" + p + "detEvento></" + p + "infEvento></" + p + t.evento +
           ">" + resposta(t, p, chave_resposta.empty() ? chave : chave_resposta, tp, c_stat) + "</" + p +
           t.evento_proc + ">";
}

std::string documento(const Tipo& t) { return read_bytes(t.documento).value_or(""); }

// The document with answers appended inside a wrapper after its protocol.
std::string com_respostas(const Tipo& t, const std::string& respostas) {
    std::string doc = documento(t);
    const std::size_t end = doc.rfind("</" + t.proc + ">");
    doc.insert(end, "<procCanc>" + respostas + "</procCanc>");
    return doc;
}

std::string com_resposta(const Tipo& t, const std::string& tp, const std::string& c_stat,
                         const std::string& amb = "1") {
    return com_respostas(t, resposta(t, "", t.chave, tp, c_stat, amb));
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
    std::string mascara = {};  // appended to the searched folder
    // Files that cannot be read, and the one named as possibly the
    // cancellation (empty: none).
    std::set<std::string> sem_leitura = {};
    std::string ilegivel = {};
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
        {"damaged correction letter passed over",
         {{"a.xml", evento(t, "110110", "135").substr(0, 300)}, {"nota.xml", doc}},
         false,
         importada},
        {"damaged cancellation",
         {{"a.xml", evento(t, "110111", "135").substr(0, 300)}, {"nota.xml", doc}},
         false,
         importada,
         {},
         {},
         "a.xml"},
        {"event that cannot be read",
         {{"nota.xml", doc}, {"z.xml", evento(t, "110110", "135")}},
         false,
         importada,
         {},
         {"z.xml"},
         "z.xml"},
        {"a cancellation wins over a file that cannot be read",
         {{"a.xml", doc}, {"nota.xml", doc}, {"z.xml", evento(t, "110111", "135")}},
         false,
         std::vector<std::string>{"z.xml", "110111", "135"},
         {},
         {"a.xml"}},
        {"event beside a masked folder",
         {{"nota.xml", doc}, {"110111-evento.xml", evento(t, "110111", "135")}},
         false,
         std::vector<std::string>{"110111-evento.xml", "110111", "135"},
         "/nota*.xml"},
        {"key split by a CDATA section and a comment",
         {{"nota.xml", doc},
          {"z.xml",
           evento(t, "110111", "135",
                  t.chave.substr(0, 10) + "<![CDATA[" + t.chave.substr(10, 20) + "]]><!-- -->" + t.chave.substr(30))}},
         false,
         std::vector<std::string>{"z.xml", "110111", "135"}},
        {"codes with blanks around them",
         {{"nota.xml", doc}, {"z.xml", evento(t, " 110111\n", "\t135 ")}},
         false,
         std::vector<std::string>{"z.xml", "110111", "135"}},
        {"answer naming another key",
         {{"nota.xml", doc}, {"z.xml", evento(t, "110111", "135", {}, {}, outra_chave)}},
         false,
         importada},
        {"cancellation appended from the test environment",
         {{"nota.xml", com_resposta(t, "110111", "135", "2")}},
         false,
         importada},
        {"rejected answer, then an accepted one, inside the document",
         {{"nota.xml",
           com_respostas(t, resposta(t, "", t.chave, "110111", "573") + resposta(t, "", t.chave, "110111", "135"))}},
         false,
         std::vector<std::string>{"nota.xml", "110111", "135"}},
        {"cancellation larger than any event, never read",
         {{"nota.xml", doc}, {"z.xml", evento(t, "110111", "135") + "<!--" + std::string(17u << 20, ' ') + "-->"}},
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

// The test platform with some files that cannot be read.
class Platform : public TestPlatform {
public:
    using TestPlatform::TestPlatform;
    FileBytes read_file(const std::string& path) override {
        return blocked(path) ? FileBytes{ReadStatus::unreadable, {}} : TestPlatform::read_file(path);
    }
    FileBytes read_file_once(const std::string& path, FileIdentities& read) override {
        return blocked(path) ? FileBytes{ReadStatus::unreadable, {}} : TestPlatform::read_file_once(path, read);
    }
    std::set<std::string> sem_leitura;

private:
    bool blocked(const std::string& path) { return sem_leitura.contains(file_name_part(path)); }
};

// One import, by the search (a key) or of the chosen file.
RunResult run(DocType type, const std::string& chave, const std::string& pasta,
              const std::optional<std::string>& escolhido, const std::set<std::string>& sem_leitura) {
    TempDir out;
    Platform platform(out.str());
    platform.dialog_choice = escolhido;
    platform.sem_leitura = sem_leitura;
    RunResult r;
    r.result = run_import(document_type(type), platform, Regional::brazilian(), {chave, pasta, ""});
    r.boxes = platform.boxes;
    r.ini = read_bytes(r.result.arquivo_ini);
    return r;
}

void verifica(const Tipo& t) {
    for (const Caso& c : casos(t)) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        for (const Arquivo& a : c.arquivos) dir.write(a.name, a.bytes);
        const RunResult r = c.dialogo ? run(t.type, "", "", dir.str() + "/nota.xml", c.sem_leitura)
                                      : run(t.type, t.chave, dir.str() + c.mascara, {}, c.sem_leitura);
        const std::string json = result_json(r.result, r.boxes);
        if (!c.ilegivel.empty()) {
            EXPECT_FALSE(r.ini.has_value());
            EXPECT_EQ(r.boxes, std::vector<std::string>{"O Sistema não Conseguiu Ler o Arquivo " + c.ilegivel +
                                                        " da Pasta, que Pode Conter o Evento de Cancelamento da " +
                                                        t.sigla + ".\r\n\nA Importação será Abortada."});
            EXPECT_TRUE(
                json.ends_with(",\"cancelamento\":null,\"eventos\":null,\"autenticidade\":null,\"diagnostico\":null}"))
                << json;
            continue;
        }
        if (!c.cancelada) {
            EXPECT_TRUE(r.completed()) << testing::PrintToString(r.boxes);
            EXPECT_FALSE(r.result.cancelamento.has_value());
            EXPECT_NE(json.find(",\"cancelamento\":null,\"eventos\":["), std::string::npos) << json;
            EXPECT_NE(json.find("],\"autenticidade\":{"), std::string::npos) << json;
            EXPECT_TRUE(json.ends_with("},\"diagnostico\":null}")) << json;
            continue;
        }
        const auto& [arquivo, tp, c_stat] = std::tie((*c.cancelada)[0], (*c.cancelada)[1], (*c.cancelada)[2]);
        EXPECT_FALSE(r.completed());
        EXPECT_FALSE(r.ini.has_value());
        EXPECT_EQ(r.boxes, std::vector<std::string>{"A " + t.sigla + " foi Cancelada: o Arquivo " + arquivo +
                                                    " Contém o Evento de Cancelamento " + tp + " (Situação " + c_stat +
                                                    ").\r\n\nA Importação será Abortada."});
        EXPECT_TRUE(json.ends_with(",\"cancelamento\":{\"arquivo\":\"" + dir.str() + "/" + arquivo +
                                   "\",\"tpEvento\":\"" + tp + "\",\"cStat\":\"" + c_stat +
                                   "\",\"nProt\":\"135240000999999\",\"dhRegEvento\":\"2024-06-11T10:00:00-03:00\"},"
                                   "\"eventos\":null,\"autenticidade\":null,\"diagnostico\":null}"))
            << json;
    }
}

TEST(Cancelamento, NfeEventsBesideOrInsideTheDocument) { verifica(nfe()); }

TEST(Cancelamento, CteEventsBesideOrInsideTheDocument) { verifica(cte()); }

TEST(Cancelamento, CteOsEventsBesideOrInsideTheDocument) { verifica(cteos()); }

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
    EXPECT_TRUE(result_json(r.result, r.boxes)
                    .ends_with(",\"cancelamento\":null,\"eventos\":null,\"autenticidade\":null,\"diagnostico\":null}"));
}

}  // namespace
}  // namespace idf::test
