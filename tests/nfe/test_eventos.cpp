// The events of the document found beside it or appended to it, listed in
// [EVENTOS] after the last section of today's file, and in the JSON report.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/result_json.hpp"
#include "search/eventos.hpp"
#include "support/test_support.hpp"

namespace idf::test {
namespace {

struct Tipo {
    DocType type;
    std::string chave, proc, evento_proc, evento, resposta, chave_tag, ns;
};

const Tipo nfe{DocType::nfe, std::string(sample_nfe_key),         "nfeProc", "procEventoNFe", "evento", "retEvento",
               "chNFe",      "http://www.portalfiscal.inf.br/nfe"};
const Tipo cte{
    DocType::cte, std::string(sample_cte_key),         "cteProc", "procEventoCTe", "eventoCTe", "retEventoCTe",
    "chCTe",      "http://www.portalfiscal.inf.br/cte"};

// One event; the detail is what stands inside detEvento.
struct Ev {
    Ev(std::string tp_, std::string n_prot_, std::string dh_reg_, std::string detalhe_, std::string c_stat_ = "135",
       std::string seq_ = "1")
        : tp(std::move(tp_)),
          n_prot(std::move(n_prot_)),
          dh_reg(std::move(dh_reg_)),
          detalhe(std::move(detalhe_)),
          c_stat(std::move(c_stat_)),
          seq(std::move(seq_)) {}
    std::string tp, n_prot;
    std::string dh_reg;  // empty: none
    std::string detalhe, c_stat, seq;
    std::string tp_amb = "1";
    std::string chave;  // empty: the document's
};

std::string tag(const std::string& name, const std::string& text) {
    return "<" + name + ">" + text + "</" + name + ">";
}

std::string resposta(const Tipo& t, const Ev& e) {
    return "<" + t.resposta + " versao=\"1.00\"><infEvento>" + tag("tpAmb", e.tp_amb) + tag("cStat", e.c_stat) +
           tag(t.chave_tag, e.chave.empty() ? t.chave : e.chave) + tag("tpEvento", e.tp) +
           tag("xEvento", "Registrado " + e.tp) + tag("nSeqEvento", e.seq) +
           (e.dh_reg.empty() ? "" : tag("dhRegEvento", e.dh_reg)) + tag("nProt", e.n_prot) + "</infEvento></" +
           t.resposta + ">";
}

std::string arquivo(const Tipo& t, const Ev& e) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><" + t.evento_proc + " xmlns=\"" + t.ns + "\" versao=\"1.00\"><" +
           t.evento + " versao=\"1.00\"><infEvento>" + tag("tpAmb", e.tp_amb) +
           tag(t.chave_tag, e.chave.empty() ? t.chave : e.chave) + tag("dhEvento", "2024-06-12T08:00:00-03:00") +
           tag("tpEvento", e.tp) + tag("nSeqEvento", e.seq) + "<detEvento versao=\"1.00\">" + e.detalhe +
           "</detEvento></infEvento></" + t.evento + ">" + resposta(t, e) + "</" + t.evento_proc + ">";
}

std::string documento(const Tipo& t) {
    return read_bytes(t.type == DocType::nfe ? sample_nfe_path() : sample_cte_path()).value_or("");
}

// The document with answers appended after its protocol.
std::string com_respostas(const Tipo& t, const std::vector<Ev>& eventos) {
    std::string doc = documento(t);
    std::string anexo;
    for (const Ev& e : eventos) anexo += resposta(t, e);
    return doc.insert(doc.rfind("</" + t.proc + ">"), anexo);
}

// The lines of event i: each key gets "_i".
std::vector<std::string> ev(int i, const std::vector<std::pair<std::string, std::string>>& linhas) {
    std::vector<std::string> out;
    for (const auto& [key, value] : linhas) out.push_back(key + "_" + std::to_string(i) + "=" + value);
    return out;
}

std::vector<std::string> secao(const std::vector<std::vector<std::string>>& eventos) {
    std::vector<std::string> out{"", "[EVENTOS]"};
    for (const auto& linhas : eventos) out.insert(out.end(), linhas.begin(), linhas.end());
    out.push_back("[QUANTIDADE_EVENTOS]");
    out.push_back("Eventos=" + std::to_string(eventos.size()));
    return out;
}

struct Caso {
    const char* what;
    const Tipo& tipo;
    std::vector<std::pair<std::string, std::string>> arquivos;  // "nota.xml" is the document
    std::vector<std::string> secao;                             // the lines after today's file; none: no section
};

const std::string cce = "<descEvento>Carta de Correcao</descEvento><xCorrecao>CFOP correto 5102</xCorrecao>";

// The lines of correction letter i of the table below.
std::vector<std::string> linhas_cce(int i, const std::string& seq, const std::string& registro,
                                    const std::string& n_prot, const std::string& nome) {
    return ev(i, {{"Tipo_Evento", "110110"},
                  {"Descricao_Evento", "Carta de Correcao"},
                  {"Sequencia_Evento", seq},
                  {"Data_Evento", "12/06/2024"},
                  {"Data_Registro_Evento", registro},
                  {"Protocolo_Evento", n_prot},
                  {"Situacao_Evento", "135"},
                  {"Correcao_Evento", "CFOP correto 5102"},
                  {"Arquivo_Evento", nome}});
}

std::vector<Caso> casos() {
    const std::string doc_nfe = documento(nfe), doc_cte = documento(cte);
    const Ev cce1{"110110", "135240000000001", "2024-06-13T10:00:00-03:00", cce};
    const Ev cce2{"110110", "135240000000002", "2024-06-11T10:00:00-03:00", cce, "135", "02"};
    const Ev reforma{"112110", "135240000000003", "2024-06-12T10:00:00-03:00", "<descEvento>Informacao</descEvento>"};
    const Ev desacordo{"610110", "135240000000004", "2024-06-12T10:00:00-03:00",
                       "<evPrestDesacordo><descEvento>Prestacao do Servico em Desacordo</descEvento>"
                       "<xObs>Carga nao recebida</xObs></evPrestDesacordo>"};
    Ev rejeitada = cce1, outra_chave = cce1, outro_ambiente = cce1;
    rejeitada.c_stat = "573";
    outra_chave.chave = "35240698765432000110550010000099991000099990";
    outro_ambiente.tp_amb = "2";
    const Ev manifestacao{"210240", "135240000000005", "",
                          "<descEvento>Operacao nao Realizada</descEvento><xJust></xJust>"
                          "<xJustMotivo>Mercadoria devolvida</xJustMotivo>",
                          "136"};
    const std::vector<std::string> linhas_manifestacao_1 = ev(1, {{"Tipo_Evento", "210240"},
                                                                  {"Descricao_Evento", "Operacao nao Realizada"},
                                                                  {"Sequencia_Evento", "1"},
                                                                  {"Data_Evento", "12/06/2024"},
                                                                  {"Protocolo_Evento", "135240000000005"},
                                                                  {"Situacao_Evento", "136"},
                                                                  {"Justificativa_Evento", "Mercadoria devolvida"},
                                                                  {"Arquivo_Evento", "m.xml"}});
    std::vector<std::string> linhas_manifestacao_2 = linhas_manifestacao_1;
    for (std::string& linha : linhas_manifestacao_2) linha.replace(linha.find("_1="), 3, "_2=");
    return {
        {"a rejected correction letter", nfe, {{"nota.xml", doc_nfe}, {"z.xml", arquivo(nfe, rejeitada)}}, {}},
        {"a correction letter inside the authority's reply, read for the cancellation check only",
         nfe,
         {{"nota.xml", doc_nfe},
          {"z.xml", "<retConsSitNFe xmlns=\"" + nfe.ns + "\"><cStat>100</cStat>" +
                        arquivo(nfe, cce1).substr(arquivo(nfe, cce1).find("?>") + 2) + "</retConsSitNFe>"}},
         {}},
        {"a CT-e delivery receipt cancelled by 110181",
         cte,
         {{"nota.xml", doc_cte},
          {"a.xml", arquivo(cte, {"110180", "135240000000010", "2024-06-12T10:00:00-03:00",
                                  "<evCECTe><descEvento>Comprovante de Entrega do CT-e</descEvento>"
                                  "<nProt>135240000000001</nProt></evCECTe>"})},
          {"b.xml", arquivo(cte, {"110181", "135240000000011", "2024-06-13T10:00:00-03:00",
                                  "<evCancCECTe><descEvento>Cancelamento do Comprovante de Entrega do CT-e</descEvento>"
                                  "<nProt>135240000000001</nProt><nProtCE>135240000000010</nProtCE></evCancCECTe>"})}},
         {}},
        {"a failed delivery cancelled by 110193",
         nfe,
         {{"nota.xml", doc_nfe},
          {"a.xml", arquivo(nfe, {"110192", "135240000000012", "2024-06-12T10:00:00-03:00",
                                  "<descEvento>Insucesso na Entrega da NF-e</descEvento>"})},
          {"b.xml", arquivo(nfe, {"110193", "135240000000013", "2024-06-13T10:00:00-03:00",
                                  "<descEvento>Cancelamento Insucesso na Entrega da NF-e</descEvento>"
                                  "<nProtEvento>135240000000012</nProtEvento>"})}},
         {}},
        {"an undated manifestation after a dated correction letter",
         nfe,
         {{"m.xml", arquivo(nfe, manifestacao)}, {"nota.xml", doc_nfe}, {"z.xml", arquivo(nfe, cce1)}},
         secao({linhas_cce(1, "1", "13/06/2024", "135240000000001", "z.xml"), linhas_manifestacao_2})},
        {"a correction letter of another key", nfe, {{"nota.xml", doc_nfe}, {"z.xml", arquivo(nfe, outra_chave)}}, {}},
        {"a correction letter of another environment",
         nfe,
         {{"nota.xml", doc_nfe}, {"z.xml", arquivo(nfe, outro_ambiente)}},
         {}},
        {"disagreement cancelled by 610111",
         cte,
         {{"nota.xml", doc_cte},
          {"a.xml", arquivo(cte, desacordo)},
          {"b.xml", arquivo(cte, {"610111", "135240000000009", "2024-06-13T10:00:00-03:00",
                                  "<evCancPrestDesacordo><descEvento>Cancelamento</descEvento>"
                                  "<nProtEvPrestDes> 135240000000004 </nProtEvPrestDes></evCancPrestDesacordo>"})}},
         {}},
        {"two correction letters and a copy of the first, in order of registration",
         nfe,
         {{"a-cce1.xml", arquivo(nfe, cce1)},
          {"b-copia.xml", arquivo(nfe, cce1)},
          {"c-cce2.xml", arquivo(nfe, cce2)},
          {"nota.xml", doc_nfe}},
         secao({linhas_cce(1, "2", "11/06/2024", "135240000000002", "c-cce2.xml"),
                linhas_cce(2, "1", "13/06/2024", "135240000000001", "a-cce1.xml")})},
        {"a manifestation with its justification, without registration date",
         nfe,
         {{"nota.xml", doc_nfe}, {"m.xml", arquivo(nfe, manifestacao)}},
         secao({linhas_manifestacao_1})},
        {"a reform event cancelled by 110001 before it, a correction letter kept",
         nfe,
         {{"a.xml", arquivo(nfe, {"110001", "135240000000008", "2024-06-14T10:00:00-03:00",
                                  "<descEvento>Cancelamento de Evento</descEvento>"
                                  "<nProtEvento>135240000000003</nProtEvento>"})},
          {"b.xml", arquivo(nfe, reforma)},
          {"c.xml", arquivo(nfe, cce2)},
          {"nota.xml", doc_nfe}},
         secao({linhas_cce(1, "2", "11/06/2024", "135240000000002", "c.xml")})},
        {"answers inside the document, one of them also in an event file",
         nfe,
         {{"nota.xml", com_respostas(nfe, {cce1, reforma})}, {"z.xml", arquivo(nfe, cce1)}},
         secao({ev(1, {{"Tipo_Evento", "112110"},
                       {"Descricao_Evento", "Registrado 112110"},
                       {"Sequencia_Evento", "1"},
                       {"Data_Registro_Evento", "12/06/2024"},
                       {"Protocolo_Evento", "135240000000003"},
                       {"Situacao_Evento", "135"},
                       {"Arquivo_Evento", "nota.xml"}}),
                linhas_cce(2, "1", "13/06/2024", "135240000000001", "z.xml")})},
        {"a CT-e correction letter with two corrections",
         cte,
         {{"nota.xml", doc_cte},
          {"cce.xml",
           arquivo(cte, {"110110", "135240000000006", "2024-06-12T10:00:00-03:00",
                         "<evCCeCTe><descEvento>Carta de Correcao</descEvento>"
                         "<infCorrecao><grupoAlterado>ide</grupoAlterado><campoAlterado>CFOP</campoAlterado>"
                         "<valorAlterado>5353</valorAlterado></infCorrecao>"
                         "<infCorrecao><grupoAlterado>infNF</grupoAlterado><campoAlterado>nDoc</campoAlterado>"
                         "<valorAlterado>123</valorAlterado><nroItemAlterado>2</nroItemAlterado>"
                         "</infCorrecao><xCondUso>Condicoes</xCondUso></evCCeCTe>"})}},
         [] {
             std::vector<std::string> linhas = ev(1, {{"Tipo_Evento", "110110"},
                                                      {"Descricao_Evento", "Carta de Correcao"},
                                                      {"Sequencia_Evento", "1"},
                                                      {"Data_Evento", "12/06/2024"},
                                                      {"Data_Registro_Evento", "12/06/2024"},
                                                      {"Protocolo_Evento", "135240000000006"},
                                                      {"Situacao_Evento", "135"}});
             linhas.insert(linhas.end(),
                           {"Grupo_Correcao_1_1=ide", "Campo_Correcao_1_1=CFOP", "Valor_Correcao_1_1=5353",
                            "Grupo_Correcao_1_2=infNF", "Campo_Correcao_1_2=nDoc", "Valor_Correcao_1_2=123",
                            "Item_Correcao_1_2=2", "Arquivo_Evento_1=cce.xml"});
             return secao({linhas});
         }()},
    };
}

TEST(Eventos, ListedAfterTheLastSectionOfTheDocument) {
    for (const Caso& c : casos()) {
        SCOPED_TRACE(c.what);
        TempDir sozinho, dir;
        sozinho.write("nota.xml", documento(c.tipo));
        const RunResult hoje = run_search(c.tipo.type, c.tipo.chave, sozinho.str());
        ASSERT_TRUE(hoje.completed());
        for (const auto& [name, bytes] : c.arquivos) dir.write(name, bytes);
        const RunResult r = run_search(c.tipo.type, c.tipo.chave, dir.str());
        ASSERT_TRUE(r.completed()) << testing::PrintToString(r.boxes);
        // Today's file, its folder line naming this folder, then the
        // section, then the authenticity that ends every file.
        std::string hoje_aqui = *hoje.ini;
        hoje_aqui.replace(hoje_aqui.find(sozinho.str()), sozinho.str().size(), dir.str());
        std::vector<std::string> esperadas = split_lines(hoje_aqui);
        const auto autenticidade = esperadas.begin() + static_cast<std::ptrdiff_t>(hoje.document_lines().size());
        esperadas.insert(autenticidade, c.secao.begin(), c.secao.end());
        EXPECT_EQ(r.lines(), esperadas);
        const std::string json = result_json(r.result, r.boxes);
        ASSERT_NE(r.result.eventos, nullptr);
        if (c.secao.empty()) {
            EXPECT_NE(json.find(",\"eventos\":[],\"autenticidade\":{"), std::string::npos) << json;
        } else {
            const std::string& primeiro = r.result.eventos->front().nome;
            EXPECT_NE(json.find(",\"eventos\":[{\"arquivo\":\"" + dir.str() + "/" + primeiro + "\",\"tpEvento\":\""),
                      std::string::npos)
                << json;
        }
    }
}

}  // namespace
}  // namespace idf::test

namespace idf::test {
namespace {

// The sample NF-e with a real correction letter beside it (the letter's key
// made the sample's): the whole exchange file, checked by hand; only the
// folder line depends on where the folder lies.
TEST(Eventos, GoldenFileWithARealCorrectionLetter) {
    IDF_REQUIRE_CORPUS();
    const TempDir dir;
    std::string carta = read_bytes(corpus_path("nfe/spedda-procevento-cce.xml")).value();
    for (std::size_t at; (at = carta.find("53181011028793000173550010000066701204276800")) != std::string::npos;)
        carta.replace(at, 44, sample_nfe_key);
    dir.write("110110-carta.xml", carta);
    const std::string xml = dir.write("nota.xml", read_bytes(sample_nfe_path()).value());
    const RunResult r = run_search(DocType::nfe, sample_nfe_key, dir.str(), "Sim");
    ASSERT_TRUE(r.completed()) << testing::PrintToString(r.boxes);
    ASSERT_TRUE(r.ini.has_value());
    expect_golden("nfe/golden/nfe-exemplo-carta-correcao.ini", *r.ini, xml);
}

}  // namespace
}  // namespace idf::test
