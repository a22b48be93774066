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

// The event file with the Id its request's infEvento carries ("ID", the
// type, the key, the sequence), as the authority's files have it.
std::string com_id(const Tipo& t, std::string ev, const std::string& tp) {
    const std::string inf = "<infEvento>";
    return ev.replace(ev.find(inf), inf.size(), "<infEvento Id=\"ID" + tp + t.chave + "01\">");
}

// The event file without the answer's tpEvento, which the answer may leave
// out.
std::string sem_tipo_na_resposta(std::string ev) {
    const std::size_t at = ev.rfind("<tpEvento>");
    return ev.erase(at, ev.find("</tpEvento>", at) + 11 - at);
}

// The text without its XML declaration and, unless `ns`, without the
// declarations of the type's namespace.
std::string sem_declaracao(const Tipo& t, std::string xml, bool ns) {
    if (xml.starts_with("<?xml")) xml.erase(0, xml.find("?>") + 2);
    const std::string xmlns = " xmlns=\"" + t.ns + "\"";
    for (std::size_t at; !ns && (at = xml.find(xmlns)) != std::string::npos;) xml.erase(at, xmlns.size());
    return xml;
}

// The replies of the authority, saved as they came, in the type's
// namespace or in none.
std::string xmlns(const Tipo& t, bool ns) { return ns ? " xmlns=\"" + t.ns + "\"" : ""; }

std::string resposta_avulsa(const Tipo& t, bool ns, const std::string& tp = "110111",
                            const std::string& c_stat = "135") {
    std::string r = resposta(t, "", t.chave, tp, c_stat);
    return r.insert(1 + t.resposta.size(), xmlns(t, ns));
}

// Bytes past what is parsed that hold the key once, starting 20 bytes
// before the end of the first piece of 1 MiB that the platform reads such
// a file in, and a cancellation code after it.
std::string chave_entre_pedacos(const std::string& chave) {
    return std::string((1u << 20) - 20, ' ') + chave + "<tpEvento>110111</tpEvento>" + std::string(16u << 20, ' ');
}

std::string ret_env_evento(const Tipo& t, bool ns, const std::string& respostas) {
    return "<retEnvEvento" + xmlns(t, ns) +
           " versao=\"1.00\"><idLote>1</idLote><tpAmb>1</tpAmb><cOrgao>35</cOrgao><cStat>128</cStat>"
           "<xMotivo>Lote de evento processado</xMotivo>" +
           respostas + "</retEnvEvento>";
}

std::string ret_cons_sit(const Tipo& t, bool ns, const std::string& eventos) {
    const std::string raiz = "retConsSit" + t.sigla;
    const std::string chave = "<" + t.chave_tag + ">" + t.chave + "</" + t.chave_tag + ">";
    return "<" + raiz + xmlns(t, ns) + " versao=\"4.00\"><tpAmb>1</tpAmb><cStat>101</cStat>" +
           "<xMotivo>Cancelamento homologado</xMotivo><cUF>35</cUF>" + chave + "<prot" + t.sigla +
           " versao=\"4.00\"><infProt><tpAmb>1</tpAmb>" + chave +
           "<nProt>135240000123456</nProt><cStat>100</cStat></infProt></prot" + t.sigla + ">" + eventos + "</" + raiz +
           ">";
}

std::string soap(const Tipo& t, bool ns, const std::string& corpo) {
    return "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\"><soap:Body><resultMsg" +
           (ns ? " xmlns=\"" + t.ns + "/wsdl/RecepcaoEvento4\"" : std::string()) + ">" + corpo +
           "</resultMsg></soap:Body></soap:Envelope>";
}

// The NF-e distribution's summary of an event of the key `chave`.
std::string res_evento(const Tipo& t, bool ns, const std::string& tp, const std::string& chave) {
    return "<resEvento" + xmlns(t, ns) + " versao=\"1.01\"><cOrgao>35</cOrgao><CNPJ>12345678000199</CNPJ><chNFe>" +
           chave + "</chNFe><dhEvento>2024-06-11T09:59:00-03:00</dhEvento><tpEvento>" + tp +
           "</tpEvento><nSeqEvento>1</nSeqEvento><xEvento>Cancelamento</xEvento>"
           "<dhRecbto>2024-06-12T09:00:00-03:00</dhRecbto><nProt>135240000888888</nProt></resEvento>";
}

struct Arquivo {
    std::string name, bytes;
};

struct Caso {
    std::string what;
    std::vector<Arquivo> arquivos;  // "nota.xml" is the document
    bool dialogo = false;           // chosen in the dialog instead of searched
    // The file named in the message with tpEvento and cStat; none: imported.
    std::optional<std::vector<std::string>> cancelada;
    std::string mascara = {};  // appended to the searched folder
    // Files that cannot be read, and the one named as possibly the
    // cancellation (empty: none).
    std::set<std::string> sem_leitura = {};
    std::string ilegivel = {};
    bool sem_indice = false;  // the folder's index turned off
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
        {"cancellation padded past what is parsed: its bytes are looked at",
         {{"nota.xml", doc}, {"z.xml", evento(t, "110111", "135") + "<!--" + std::string(17u << 20, ' ') + "-->"}},
         false,
         importada,
         {},
         {},
         "z.xml"},
        {"file past what is parsed, the key and no cancellation code",
         {{"nota.xml", doc}, {"z.xml", evento(t, "110110", "135") + "<!--" + std::string(17u << 20, ' ') + "-->"}},
         false,
         importada},
        {"file past what is parsed, the key where two of its pieces meet",
         {{"nota.xml", doc}, {"z.xml", chave_entre_pedacos(t.chave)}},
         false,
         importada,
         {},
         {},
         "z.xml"},
        {"event with prefixed names",
         {{"nota.xml", doc}, {"z.xml", evento(t, "110111", "135", {}, "e:")}},
         false,
         std::vector<std::string>{"z.xml", "110111", "135"}},
        {"dialog way, event beside the chosen file",
         {{"nota.xml", doc}, {"evento.xml", evento(t, "110111", "135")}},
         true,
         std::vector<std::string>{"evento.xml", "110111", "135"}},
        {"dialog way, nothing beside the chosen file", {{"nota.xml", doc}}, true, importada},
        {"damaged substitution cancellation, cut inside its key",
         {{"a.xml",
           [&] {
               const std::string ev = com_id(t, evento(t, "110112", "135"), "110112");
               return ev.substr(0, ev.find("<" + t.chave_tag + ">") + t.chave_tag.size() + 2 + 20);
           }()},
          {"nota.xml", doc}},
         false,
         importada,
         {},
         {},
         "a.xml",
         true},
        {"answer of another key appended to the document",
         {{"nota.xml", com_respostas(t, resposta(t, "", outra_chave, "110111", "135"))}},
         false,
         importada},
        {"cancellation whose answer leaves out its tpEvento",
         {{"nota.xml", doc}, {"z.xml", sem_tipo_na_resposta(evento(t, "110111", "135"))}},
         false,
         std::vector<std::string>{"z.xml", "110111", "135"}},
        {"answers in a namespace of another kind",
         {{"nota.xml", doc},
          {"z.xml", "<retEnvEvento xmlns=\"urn:outro\">" +
                        sem_declaracao(t, ret_env_evento(t, false, resposta(t, "", t.chave, "110111", "135")), true) +
                        "</retEnvEvento>"}},
         false,
         importada},
        {"event file inside a reply: its answer belongs to its request",
         {{"nota.xml", doc},
          {"z.xml", ret_cons_sit(t, true,
                                 [&] {
                                     // A correction letter whose answer says cancellation.
                                     std::string ev = sem_declaracao(t, evento(t, "110110", "135"), false);
                                     const std::size_t at = ev.rfind("<tpEvento>110110");
                                     return ev.replace(at + 10, 6, "110111");
                                 }())}},
         false,
         importada},
        {"rejected cancellation in a reply",
         {{"nota.xml", doc}, {"z.xml", ret_env_evento(t, true, resposta(t, "", t.chave, "110111", "573"))}},
         false,
         importada},
        {"cancellation from the test environment in a reply",
         {{"nota.xml", doc}, {"z.xml", ret_env_evento(t, true, resposta(t, "", t.chave, "110111", "135", "2"))}},
         false,
         importada},
    };
}

// The replies of the authority that hold a cancellation, saved apart from
// the document: each refuses on both ways, in the type's namespace or in
// none; and the NF-e distribution's summary of one.
std::vector<Caso> casos_respostas(const Tipo& t) {
    const std::string doc = documento(t);
    std::vector<std::pair<std::string, std::string>> formas;
    for (const bool ns : {true, false}) {
        const std::string em = ns ? " in the fiscal namespace" : " without a namespace";
        const std::string resposta_ = resposta(t, "", t.chave, "110111", "135");
        const std::string proc = sem_declaracao(t, evento(t, "110111", "135"), ns);
        formas.emplace_back("retEnvEvento" + em, ret_env_evento(t, ns, resposta_));
        formas.emplace_back("retConsSit" + t.sigla + em, ret_cons_sit(t, ns, proc));
        formas.emplace_back("SOAP envelope around retEnvEvento" + em, soap(t, ns, ret_env_evento(t, ns, resposta_)));
        formas.emplace_back("SOAP envelope around retConsSit" + em, soap(t, ns, ret_cons_sit(t, ns, proc)));
        formas.emplace_back("bare " + t.resposta + em, resposta_avulsa(t, ns));
    }
    std::vector<Caso> out;
    for (const bool dialogo : {false, true})
        for (const auto& [forma, bytes] : formas)
            out.push_back({forma + (dialogo ? ", dialog way" : ", search way"),
                           {{"nota.xml", doc}, {"z.xml", bytes}},
                           dialogo,
                           std::vector<std::string>{"z.xml", "110111", "135"}});
    if (t.type != DocType::nfe) return out;
    for (const bool dialogo : {false, true}) {
        const std::string way = dialogo ? ", dialog way" : ", search way";
        out.push_back({"resEvento of 110112" + way,
                       {{"nota.xml", doc}, {"z.xml", res_evento(t, true, "110112", t.chave)}},
                       dialogo,
                       std::vector<std::string>{"z.xml", "110112", ""}});
        out.push_back({"resEvento without a namespace inside the distribution's answer" + way,
                       {{"nota.xml", doc},
                        {"z.xml", "<retDistDFeInt><loteDistDFeInt>" + res_evento(t, false, "110111", t.chave) +
                                      "</loteDistDFeInt></retDistDFeInt>"}},
                       dialogo,
                       std::vector<std::string>{"z.xml", "110111", ""}});
        // Beside a cancellation of another key, so that the file is parsed.
        out.push_back({"resEvento of a correction letter" + way,
                       {{"nota.xml", doc},
                        {"z.xml", "<retDistDFeInt>" + res_evento(t, true, "110110", t.chave) +
                                      res_evento(t, true, "110111", outra_chave) + "</retDistDFeInt>"}},
                       dialogo,
                       importada});
        out.push_back({"resEvento of another key" + way,
                       {{"nota.xml", doc}, {"z.xml", res_evento(t, true, "110111", outra_chave)}},
                       dialogo,
                       importada});
    }
    return out;
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
              const std::optional<std::string>& escolhido, const std::set<std::string>& sem_leitura, bool sem_indice) {
    TempDir out;
    Platform platform(out.str());
    if (sem_indice) platform.turn_index_off();
    platform.dialog_choice = escolhido;
    platform.sem_leitura = sem_leitura;
    RunResult r;
    r.result = run_import(document_type(type), platform, Regional::brazilian(), {chave, pasta, ""});
    r.boxes = platform.boxes;
    r.ini = read_bytes(r.result.arquivo_ini);
    return r;
}

void verifica(const Tipo& t, const std::vector<Caso>& tabela) {
    for (const Caso& c : tabela) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        for (const Arquivo& a : c.arquivos) dir.write(a.name, a.bytes);
        const RunResult r = c.dialogo ? run(t.type, "", "", dir.str() + "/nota.xml", c.sem_leitura, c.sem_indice)
                                      : run(t.type, t.chave, dir.str() + c.mascara, {}, c.sem_leitura, c.sem_indice);
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
        // An empty cStat: the distribution's summary of the event.
        const auto& [arquivo, tp, c_stat] = std::tie((*c.cancelada)[0], (*c.cancelada)[1], (*c.cancelada)[2]);
        const bool resumo = c_stat.empty();
        EXPECT_FALSE(r.completed());
        EXPECT_FALSE(r.ini.has_value());
        const std::string contem =
            resumo ? " Contém o Resumo do Evento de Cancelamento " + tp + " (Protocolo 135240000888888)."
                   : " Contém o Evento de Cancelamento " + tp + " (Situação " + c_stat + ").";
        EXPECT_EQ(r.boxes, std::vector<std::string>{"A " + t.sigla + " foi Cancelada: o Arquivo " + arquivo + contem +
                                                    "\r\n\nA Importação será Abortada."});
        const std::string evento =
            resumo ? "\"cStat\":null,\"nProt\":\"135240000888888\",\"dhRegEvento\":\"2024-06-12T09:00:00-03:00\""
                   : "\"cStat\":\"" + c_stat +
                         "\",\"nProt\":\"135240000999999\",\"dhRegEvento\":\"2024-06-11T10:00:00-03:00\"";
        EXPECT_TRUE(json.ends_with(",\"cancelamento\":{\"arquivo\":\"" + dir.str() + "/" + arquivo +
                                   "\",\"tpEvento\":\"" + tp + "\"," + evento +
                                   "},\"eventos\":null,\"autenticidade\":null,\"diagnostico\":null}"))
            << json;
    }
}

TEST(Cancelamento, NfeEventsBesideOrInsideTheDocument) { verifica(nfe(), casos(nfe())); }

TEST(Cancelamento, CteEventsBesideOrInsideTheDocument) { verifica(cte(), casos(cte())); }

TEST(Cancelamento, CteOsEventsBesideOrInsideTheDocument) { verifica(cteos(), casos(cteos())); }

TEST(Cancelamento, NfeRepliesOfTheAuthorityAndSummariesSavedApart) { verifica(nfe(), casos_respostas(nfe())); }

TEST(Cancelamento, CteRepliesOfTheAuthoritySavedApart) { verifica(cte(), casos_respostas(cte())); }

TEST(Cancelamento, CteOsRepliesOfTheAuthoritySavedApart) { verifica(cteos(), casos_respostas(cteos())); }

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
