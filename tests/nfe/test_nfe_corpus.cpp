// Real NF-e documents of the corpus: every one imports completely or ends
// cleanly on the abort path with the right message; three of them are
// compared byte for byte with exchange files checked by hand.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "nfe/uimporta_arquivo_xml_nfe.hpp"
#include "nfe_fixture.hpp"

namespace idf::test::nfe {
namespace {

const std::string sem_protocolo =
    "Arquivo XML Inválido. O Sistema não Conseguiu Ler o Nº do Protocolo da Autorização da NFe.\r\n\n"
    "A Importação será Abortada.";
const std::string sem_dest =
    "O Sistema não Conseguiu Ler a TAG do Destinatário no Arquivo XML.\r\n\nA Importação será Abortada.";
const std::string sem_cnpj_dest =
    "O Sistema não Conseguiu Ler o CNPJ do Destinatário no Arquivo XML.\r\n\nA Importação será Abortada.";

// Documents whose protocol carries a status other than authorised use.
const std::map<std::string, std::string> recusadas = {
    {"nfephp-nfe310-cancelada-cstat101.xml", "101 - Cancelamento de NF-e homologado"},
    {"nfephp-nfe310-prot-cstat135.xml", "135 - Evento registrado e vinculado a NF-e"},
    {"wmix-nfe310-notaprocessada-fake.xml", "OK - jsoaosk"},
};

// Documents cancelled by a cancellation (110111, status 135) appended to a
// file of their folder: to themselves, or to another copy of the key.
// The two copies of one NFC-e key, spedda-nfce400-offline-tpemis9.xml and
// spedda-nfce400-cstat150.xml, are not among them: their protocols are of
// the test environment (tpAmb 2) and the cancellation appended to the first
// is of production (tpAmb 1), which does not cancel them.
const std::map<std::string, std::string> canceladas = {
    {"spedda-nfe400-cancelada-retevento.xml", "spedda-nfe400-cancelada-retevento.xml"},
};

std::string recusada(const std::string& situacao) {
    return "Arquivo XML Inválido. O Protocolo não Autoriza o Uso da NFe (Situação " + situacao +
           ").\r\n\nA Importação será Abortada.";
}

// One import of a corpus file chosen in the open dialog.
RunResult import_file(const std::string& path, std::string_view modo = "Sim") {
    return run_file(DocType::nfe, path, modo);
}

// What the manifest says of each NF-e file.
struct Manifest {
    bool protocol = false;  // has_protocol
    std::string features;   // notable_features
    std::string c_stat;     // the protocol's status, when the features name it
    int items = 0;
    int dups = 0;
};

// The number after "name=" in the features, 0 when absent.
int feature_count(const std::string& features, const std::string& name) {
    const auto at = features.find(name + "=");
    return at == std::string::npos ? 0 : std::atoi(features.c_str() + at + name.size() + 1);
}

std::map<std::string, Manifest> read_manifest() {
    std::map<std::string, Manifest> out;
    std::ifstream in(corpus_path("MANIFEST.tsv"));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.starts_with("nfe/")) continue;
        std::vector<std::string> columns;
        for (std::size_t from = 0, tab = 0; tab != std::string::npos; from = tab + 1) {
            tab = line.find('\t', from);
            columns.push_back(line.substr(from, tab == std::string::npos ? tab : tab - from));
        }
        Manifest m;
        m.protocol = columns.at(7) == "yes";
        m.features = columns.at(9);
        m.items = feature_count(m.features, "items");
        m.dups = feature_count(m.features, "dup");
        for (std::size_t from = 0; from < m.features.size();) {
            const std::size_t end = std::min(m.features.find("; ", from), m.features.size());
            if (m.features.compare(from, 6, "cStat=") == 0) m.c_stat = m.features.substr(from + 6, end - from - 6);
            from = end + 2;
        }
        out[columns.at(0).substr(4)] = m;
    }
    return out;
}

// The abort message a document must end with, or "" when it must import.
std::string expected_abort(const std::string& name, const Manifest& m) {
    // The placeholder's protocol has no nProt.
    if (!m.protocol || name == "spednfe-procnfe-allgroups-placeholder.xml") return sem_protocolo;
    if (const auto r = recusadas.find(name); r != recusadas.end()) return recusada(r->second);
    if (const auto c = canceladas.find(name); c != canceladas.end())
        return "A NFe foi Cancelada: o Arquivo " + c->second +
               " Contém o Evento de Cancelamento 110111 (Situação 135).\r\n\nA Importação será Abortada.";
    // Every other status in the corpus authorises use.
    EXPECT_TRUE(m.c_stat.empty() || m.c_stat == "100" || m.c_stat == "150") << m.c_stat;
    if (m.features.find("no-dest") != std::string::npos) return sem_dest;
    // A recipient without CNPJ: a person, or a foreign buyer.
    if (m.features.find("CPF recipient") != std::string::npos || m.features.find("idEstrangeiro") != std::string::npos)
        return sem_cnpj_dest;
    return {};
}

TEST(NfeCorpus, EveryDocumentImportsOrAbortsCleanly) {
    IDF_REQUIRE_CORPUS();
    // Carriers without address, city or state.
    const std::map<std::string, std::string> problems = {
        {"nfephp-nfe200-43-1410-866051.xml",
         "- Endereço da Transportadora no Arquivo XML.\r\n- Cidade da Transportadora no Arquivo XML.\r\n"
         "- Estado da Transportadora no Arquivo XML.\r\n"},
        {"pytrustnfe-nfe310-sn102.xml",
         "- Cidade da Transportadora no Arquivo XML.\r\n- Estado da Transportadora no Arquivo XML.\r\n"},
        {"spednfe-nfe310-protocoled.xml",
         "- Endereço da Transportadora no Arquivo XML.\r\n- Cidade da Transportadora no Arquivo XML.\r\n"
         "- Estado da Transportadora no Arquivo XML.\r\n"},
    };
    const auto manifest = read_manifest();

    int completed = 0;
    int aborted = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus_path("nfe"))) {
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        const auto m = manifest.find(name);
        ASSERT_NE(m, manifest.end());
        const RunResult r = import_file(entry.path().string());

        if (const std::string message = expected_abort(name, m->second); !message.empty()) {
            ++aborted;
            EXPECT_EQ(r.result.outcome, Outcome::aborted);
            EXPECT_FALSE(r.ini.has_value());
            EXPECT_EQ(r.boxes, std::vector<std::string>{message});
            continue;
        }
        ++completed;
        ASSERT_EQ(r.result.outcome, Outcome::completed) << testing::PrintToString(r.boxes);
        ASSERT_TRUE(r.ini.has_value());
        EXPECT_TRUE(r.boxes.empty());  // silent mode
        const auto found = problems.find(name);
        EXPECT_EQ(without_authenticity_problems(r.result.lista_problemas),
                  found == problems.end() ? "" : found->second);

        const Lines lines = r.document_lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.front(), "[IDENTIFICACAO]");
        EXPECT_EQ(lines.back(), "Itens=" + std::to_string(m->second.items));
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [](const std::string& l) { return l.starts_with("Numero_Duplicata_"); }),
                  m->second.dups);
        EXPECT_NE(std::find(lines.begin(), lines.end(), "Diretorio_Arquivo_XML=" + entry.path().string()), lines.end());
    }
    EXPECT_EQ(completed, 32);
    EXPECT_EQ(aborted, 41);
}

TEST(NfeCorpus, FiftyItemDocumentPutsItemFiftyInTheSecondSection) {
    IDF_REQUIRE_CORPUS();
    const RunResult r = import_file(corpus_path("nfe/brdanfe-nfe310-50itens-crlf.xml"));
    ASSERT_EQ(r.result.outcome, Outcome::completed);
    const Lines lines = split_lines(*r.ini);
    const auto second = std::find(lines.begin(), lines.end(), "[PRODUTOS_2]");
    ASSERT_NE(second, lines.end());
    EXPECT_EQ(*(second - 1), "");
    EXPECT_EQ(*(second - 2), "");
    EXPECT_TRUE((second + 1)->starts_with("Produto_50=")) << *(second + 1);
    EXPECT_EQ(std::find(lines.begin(), lines.end(), "[PRODUTOS_3]"), lines.end());
}

// The exchange files of three documents, read against the documents line
// by line; only the folder line depends on where the corpus lies. The
// three were edited after they were signed: their only problem lines are
// the authenticity's.
TEST(NfeCorpus, GoldenExchangeFiles) {
    IDF_REQUIRE_CORPUS();
    const std::string conteudo = "- Conteúdo Diferente do Autorizado pela SEFAZ no Arquivo XML.\r\n";
    const std::string assinatura = "- Assinatura Digital Inválida no Arquivo XML.\r\n";
    const std::string certificado = "- Certificado Digital de Outro Emitente no Arquivo XML.\r\n";
    const struct {
        const char* name;
        std::string problemas;
    } casos[] = {
        {"nfelib-nfe400-reforma-tributaria", conteudo + assinatura + certificado},
        {"nfelib-nfe400-26-1808-1687", conteudo + assinatura + certificado},
        {"spedda-nfce400-cstat150", conteudo + assinatura},
    };
    for (const auto& [name, problemas] : casos) {
        SCOPED_TRACE(name);
        // Alone in a folder: beside it in the corpus, a copy of the NFC-e
        // with the same key carries its cancellation.
        const TempDir folder;
        const auto bytes = read_bytes(corpus_path(std::string("nfe/") + name + ".xml"));
        ASSERT_TRUE(bytes.has_value());
        const std::string xml = folder.write(std::string(name) + ".xml", *bytes);
        const RunResult r = import_file(xml, "");
        ASSERT_EQ(r.result.outcome, Outcome::completed);
        EXPECT_EQ(r.result.lista_problemas, problemas);
        ASSERT_TRUE(r.ini.has_value());
        expect_golden(std::string("nfe/golden/") + name + ".ini", *r.ini, xml);
    }
}

// A processed-looking note whose protocol status is "OK" is no authorised
// document: nothing is written.
TEST(NfeCorpus, FakeProcessedNoteIsRefusedOnItsStatus) {
    IDF_REQUIRE_CORPUS();
    const RunResult r = import_file(corpus_path("nfe/wmix-nfe310-notaprocessada-fake.xml"), "");
    EXPECT_EQ(r.result.outcome, Outcome::aborted);
    EXPECT_FALSE(r.ini.has_value());
    EXPECT_EQ(r.boxes, std::vector<std::string>{recusada("OK - jsoaosk")});
    EXPECT_EQ(r.result.protocolo.cStat, "OK");
}

TEST(NfeCorpus, SearchWayFindsTheDocumentByItsKey) {
    IDF_REQUIRE_CORPUS();
    TempDir dir;
    for (const char* name : {"nfelib-nfe400-26-1808-1687.xml", "nfelib-nfe400-reforma-tributaria.xml"})
        dir.write(name, read_bytes(corpus_path(std::string("nfe/") + name)).value());
    const RunResult r = run_search(DocType::nfe, "15231207933914000154550010006643501427015088", dir.str());
    ASSERT_TRUE(r.completed());
    EXPECT_EQ(r.lines().at(1), "Chave_Acesso=1523 1207 9339 1400 0154 5500 1000 6643 5014 2701 5088");
    const Lines lines = r.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "Diretorio_Arquivo_XML=" + dir.str() + "/nfelib-nfe400-reforma-tributaria.xml"),
              lines.end());
}

}  // namespace
}  // namespace idf::test::nfe
