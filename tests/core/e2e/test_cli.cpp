// The command-line tool: arguments, exit status, messages and the JSON
// report.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "common/messages.hpp"
#include "core/e2e/e2e_support.hpp"

namespace idf::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::ordered_json;

ProcessResult cli(const std::vector<std::string>& args, const std::string& cwd) {
    return run_process(IDF_CLI_PATH, args, cwd);
}

// Checks that stdout is exactly one JSON object with the documented
// members, in order, and returns it.
ordered_json json_report(const ProcessResult& run) {
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(run.out.ends_with("\n"));
    const ordered_json report = ordered_json::parse(run.out);  // throws on anything but one JSON value
    EXPECT_TRUE(report.is_object());
    std::vector<std::string> members;
    for (const auto& item : report.items()) members.push_back(item.key());
    EXPECT_EQ(members, (std::vector<std::string>{"resultado", "arquivo", "mensagens", "problemas", "protocolo",
                                                 "cancelamento", "eventos", "autenticidade", "diagnostico"}));
    EXPECT_TRUE(report["cancelamento"].is_null() || report["cancelamento"].is_object());
    EXPECT_TRUE(report["eventos"].is_null() || report["eventos"].is_array());
    EXPECT_TRUE(report["diagnostico"].is_null() || report["diagnostico"].is_object());
    EXPECT_TRUE(report["resultado"].is_string());
    EXPECT_TRUE(report["arquivo"].is_string() || report["arquivo"].is_null());
    EXPECT_TRUE(report["mensagens"].is_array());
    EXPECT_TRUE(report["problemas"].is_string());
    std::vector<std::string> protocol;
    for (const auto& item : report["protocolo"].items()) {
        protocol.push_back(item.key());
        EXPECT_TRUE(item.value().is_string() || item.value().is_null()) << item.key();
    }
    EXPECT_EQ(protocol, (std::vector<std::string>{"nProt", "cStat", "xMotivo", "tpAmb"}));
    return report;
}

// A box's text as the terminal shows it: line breaks as line feeds.
// Built by appending (GCC 12 at -O3 warns about std::string::replace here).
std::string on_terminal(std::string_view text) {
    std::string out;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '\r') {
            out += text[at];
            continue;
        }
        out += '\n';
        if (at + 1 < text.size() && text[at + 1] == '\n') ++at;
    }
    return out;
}

struct Folders {
    TempDir xml;   // the downloaded XML files
    TempDir out;   // --saida
    TempDir work;  // the current folder of the tool
    Folders() { copy_document(xml, nfe_document, "nota.xml"); }
    std::string ini() const { return out.str() + "/Integracao_Docs_Fiscal.ini"; }
};

TEST(Cli, HelpAndVersionExitWithZero) {
    TempDir work;
    const auto help = cli({"--help"}, work.str());
    EXPECT_EQ(help.exit_code, 0);
    for (const char* option : {"--chave", "--pasta", "--arquivo", "--silencioso", "--saida", "--json"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    const auto version = cli({"--version"}, work.str());
    EXPECT_EQ(version.exit_code, 0);
    EXPECT_NE(version.out.find(IDF_VERSION), std::string::npos) << version.out;
}

TEST(Cli, UsageErrorsExitWithTwoAndImportNothing) {
    Folders f;
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"nfe"},
        {"cte", "--json"},
        {"xml", "--chave", nfe_key, "--pasta", f.xml.str()},
        {"NFE", "--chave", nfe_key, "--pasta", f.xml.str()},
        {"nfe", "--pasta", f.xml.str()},  // a folder without a key
        {"nfe", "--chave"},
        {"nfe", "--chave", ""},  // a blank key without --arquivo
        {"nfe", "--chave", "   ", "--pasta", f.xml.str()},
        {"nfe", "--chave", nfe_key, "--desconhecida"},
        {"nfe", "cte", "--chave", nfe_key},
    };
    for (const auto& args : cases) {
        std::vector<std::string> with_output = args;
        with_output.insert(with_output.end(), {"--saida", f.out.str()});
        const auto run = cli(with_output, f.work.str());
        EXPECT_EQ(run.exit_code, 2) << testing::PrintToString(args) << run.err;
        EXPECT_FALSE(fs::exists(f.ini()));
    }
}

TEST(Cli, SearchWayCompletesWithExitZeroAndTheFileInSaida) {
    Folders f;
    const auto run =
        cli({"nfe", "--chave", nfe_key, "--pasta", f.xml.str(), "--saida", f.out.str(), "--json"}, f.work.str());
    EXPECT_EQ(run.exit_code, 0);
    const auto report = json_report(run);
    EXPECT_EQ(report["resultado"], "concluida");
    EXPECT_EQ(report["arquivo"], f.ini());
    EXPECT_EQ(report["mensagens"], ordered_json::array());
    EXPECT_EQ(report["problemas"], "");
    const auto ini = read_bytes(f.ini());
    ASSERT_TRUE(ini);
    EXPECT_TRUE(ini->starts_with("[IDENTIFICACAO]\r\n"));
    EXPECT_TRUE(ini->ends_with("\r\n"));
    EXPECT_NE(ini->find("Diretorio_Arquivo_XML=" + f.xml.str() + "/nota.xml\r\n"), std::string::npos);
    // Every line ends in CR LF.
    for (std::size_t i = 0; i < ini->size(); ++i)
        if ((*ini)[i] == '\n') {
            ASSERT_TRUE(i > 0 && (*ini)[i - 1] == '\r') << "bare LF at " << i;
        }
    EXPECT_FALSE(fs::exists(f.work.str() + "/Integracao_Docs_Fiscal.ini"));
    EXPECT_FALSE(fs::exists(f.xml.str() + "/Integracao_Docs_Fiscal.ini"));
}

TEST(Cli, ExchangeFileDefaultsToTheFolderCurrentWhenTheToolStarts) {
    Folders f;
    // A relative --pasta: the search moves into it, the file does not.
    fs::create_directory(f.work.path() / "xml");
    copy_document(f.work, nfe_document, "xml/nota.xml");
    const auto run = cli({"nfe", "--chave", nfe_key, "--pasta", "xml"}, f.work.str());
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(fs::exists(f.work.path() / "Integracao_Docs_Fiscal.ini"));
    EXPECT_FALSE(fs::exists(f.work.path() / "xml" / "Integracao_Docs_Fiscal.ini"));
}

TEST(Cli, DialogWayImportsTheChosenFile) {
    Folders f;
    copy_document(f.work, nfe_document, "escolhido.xml");
    // A relative file name is taken from the current folder.
    const auto run = cli({"nfe", "--arquivo", "escolhido.xml", "--saida", f.out.str(), "--json"}, f.work.str());
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(json_report(run)["resultado"], "concluida");
    const auto ini = read_bytes(f.ini());
    ASSERT_TRUE(ini);
    EXPECT_NE(ini->find("Diretorio_Arquivo_XML=" + f.work.str() + "/escolhido.xml\r\n"), std::string::npos);
}

TEST(Cli, NotFoundIsTheAbortPathWithExitOne) {
    Folders f;
    f.out.write("Integracao_Docs_Fiscal.ini", "[OLD]\r\n");
    const std::string other_key = "35180834128745000152550010000474281920007498";
    const auto run =
        cli({"nfe", "--chave", other_key, "--pasta", f.xml.str(), "--saida", f.out.str(), "--json"}, f.work.str());
    EXPECT_EQ(run.exit_code, 1);
    const auto report = json_report(run);
    EXPECT_EQ(report["resultado"], "abortada");
    EXPECT_TRUE(report["arquivo"].is_null());
    EXPECT_EQ(report["mensagens"], ordered_json::array({std::string(msg::nfe_nao_localizada)}));
    EXPECT_EQ(report["problemas"], "");
    EXPECT_FALSE(fs::exists(f.ini()));

    // The CT-e import has its own message; the NF-e key never matches it.
    const auto cte =
        cli({"cte", "--chave", nfe_key, "--pasta", f.xml.str(), "--saida", f.out.str(), "--json"}, f.work.str());
    EXPECT_EQ(cte.exit_code, 1);
    EXPECT_EQ(json_report(cte)["mensagens"], ordered_json::array({std::string(msg::cte_nao_localizado)}));
}

TEST(Cli, NotFoundTellsWhatTheSearchSaw) {
    // Keys with a right check digit (the samples' are not).
    const std::string valid_nfe = "35240812345678000199550010000012341000000018";
    const std::string valid_cte = "35240612345678000190570010000001231000001235";
    const std::string alphanumeric = "35250812ABC345DE0135550010000000011234567893";
    Folders f;
    TempDir pasta;  // without the sample NF-e
    // The sample NF-e without its protocol, the summary of another one, and
    // files that cannot be parsed: one holds the wanted key, one does not.
    std::string sem_protocolo = read_bytes(nfe_document).value();
    const std::size_t prot = sem_protocolo.find("<protNFe");
    ASSERT_NE(prot, std::string::npos);
    sem_protocolo.erase(prot, sem_protocolo.find("</protNFe>") + 10 - prot);
    const std::string sem_prot = pasta.write("sem-protocolo.xml", sem_protocolo);
    const std::string resumo =
        pasta.write("resumo.xml", "<resNFe xmlns=\"http://www.portalfiscal.inf.br/nfe\" versao=\"1.01\"><chNFe> " +
                                      valid_nfe + " </chNFe><cSitNFe>1</cSitNFe></resNFe>");
    const std::string ruim = pasta.write("ruim.xml", "<nfeProc><protNFe><infProt><chNFe>" + alphanumeric);
    pasta.write("ruim-outra.xml", "<nfeProc><protNFe>");

    const std::string lines_resumo =
        std::string(msg::o_arquivo) + resumo + std::string(msg::achado_resumo) + std::string(msg::nfe_so_resumo) + "\n";
    const std::string line_invalida = std::string(msg::chave_invalida) + "\n";
    struct Case {
        std::string chave;
        std::string diagnostico;  // JSON; null when found
        std::string lines;        // after the not-found message
        std::string tipo = "nfe";
    };
    const Case cases[] = {
        {"ZZZ",
         R"({"chave_valida": false, "modelo": null, "tipo_esperado": false, "espacos_na_chave": false, "resumos": [],
                    "sem_protocolo": [], "ilegiveis": []})",
         line_invalida},
        {std::string(nfe_key, 43) + '9',
         R"({"chave_valida": false, "modelo": "55", "tipo_esperado": true, "espacos_na_chave": false, "resumos": [], "sem_protocolo": [],
             "ilegiveis": []})",
         line_invalida},
        {valid_cte,
         R"({"chave_valida": true, "modelo": "57", "tipo_esperado": false, "espacos_na_chave": false, "resumos": [], "sem_protocolo": [],
             "ilegiveis": []})",
         std::string(msg::chave_do_modelo) + "57" + std::string(msg::outro_modelo) + "55 e 65).\n"},
        {valid_nfe,
         R"({"chave_valida": true, "modelo": "55", "tipo_esperado": true, "espacos_na_chave": false, "resumos": [")" +
             resumo + R"("], "sem_protocolo": [], "ilegiveis": []})",
         lines_resumo},
        {nfe_key,
         R"({"chave_valida": false, "modelo": "55", "tipo_esperado": true, "espacos_na_chave": false, "resumos": [], "sem_protocolo": [")" +
             sem_prot + R"("], "ilegiveis": []})",
         line_invalida + std::string(msg::o_arquivo) + sem_prot + std::string(msg::achado_sem_protocolo) + "\n"},
        {alphanumeric,
         R"({"chave_valida": true, "modelo": "55", "tipo_esperado": true, "espacos_na_chave": false, "resumos": [], "sem_protocolo": [],
             "ilegiveis": [")" +
             ruim + R"("]})",
         std::string(msg::o_arquivo) + ruim + std::string(msg::achado_ilegivel) + "\n"},
        // A fixed-width field of the host: compared untrimmed, never found;
        // the other checks see the key without the blanks.
        {"\t35240812345678000199550010000099991000000017   ",
         R"({"chave_valida": true, "modelo": "55", "tipo_esperado": true, "espacos_na_chave": true, "resumos": [],
             "sem_protocolo": [], "ilegiveis": []})",
         std::string(msg::chave_com_espacos) + "\n"},
        {"35240812345678000199550010000099991000000017",
         R"({"chave_valida": true, "modelo": "55", "tipo_esperado": true, "espacos_na_chave": false, "resumos": [], "sem_protocolo": [],
             "ilegiveis": []})",
         ""},
        // The second model of each import: an NFC-e, a CT-e OS.
        {"35240812345678000199650010000012341000000010",
         R"({"chave_valida": true, "modelo": "65", "tipo_esperado": true, "espacos_na_chave": false, "resumos": [], "sem_protocolo": [],
             "ilegiveis": []})",
         ""},
        {"35240612345678000190670010000001231000001238",
         R"({"chave_valida": true, "modelo": "67", "tipo_esperado": true, "espacos_na_chave": false, "resumos": [], "sem_protocolo": [],
             "ilegiveis": []})",
         "", "cte"},
    };
    for (const auto& c : cases) {
        const std::string nao_localizado(c.tipo == "nfe" ? msg::nfe_nao_localizada : msg::cte_nao_localizado);
        const std::vector<std::string> args{c.tipo, "--chave", c.chave, "--pasta", pasta.str(), "--saida", f.out.str()};
        const auto run = cli(args, f.work.str());
        EXPECT_EQ(run.exit_code, 1) << c.chave;
        EXPECT_EQ(run.err, on_terminal(nao_localizado) + "\n" + c.lines) << c.chave;
        std::vector<std::string> with_json = args;
        with_json.push_back("--json");
        const auto report = json_report(cli(with_json, f.work.str()));
        EXPECT_EQ(report["mensagens"], ordered_json::array({nao_localizado})) << c.chave;
        EXPECT_EQ(report["diagnostico"], ordered_json::parse(c.diagnostico)) << c.chave;
    }

    // Found: no diagnosis, whatever else the folder holds.
    copy_document(pasta, nfe_document, "nota.xml");
    const auto found = json_report(
        cli({"nfe", "--chave", nfe_key, "--pasta", pasta.str(), "--saida", f.out.str(), "--json"}, f.work.str()));
    EXPECT_EQ(found["resultado"], "concluida");
    EXPECT_TRUE(found["diagnostico"].is_null());
}

TEST(Cli, ProtocolTextsAreReportedAsReadWhetherTheImportCompletesOrNot) {
    Folders f;
    const auto completed = json_report(
        cli({"nfe", "--chave", nfe_key, "--pasta", f.xml.str(), "--saida", f.out.str(), "--json"}, f.work.str()));
    EXPECT_EQ(completed["protocolo"], ordered_json::parse(R"({"nProt": "135240000123456", "cStat": "100",
                                      "xMotivo": "Autorizado o uso da NF-e", "tpAmb": "1"})"));

    // Stopped before the protocol was read: every member is null.
    const auto not_found = json_report(
        cli({"nfe", "--chave", "0", "--pasta", f.xml.str(), "--saida", f.out.str(), "--json"}, f.work.str()));
    for (const char* member : {"nProt", "cStat", "xMotivo", "tpAmb"})
        EXPECT_TRUE(not_found["protocolo"][member].is_null()) << member;

    // A refused protocol: texts untrimmed, a missing element null.
    const std::string denied = f.work.write("denegada.xml", R"(<nfeProc><protNFe><infProt>
<nProt>135000000000001</nProt><cStat> 110 </cStat><xMotivo>Uso Denegado</xMotivo></infProt></protNFe></nfeProc>)");
    const auto run = cli({"nfe", "--arquivo", denied, "--saida", f.out.str(), "--json"}, f.work.str());
    EXPECT_EQ(run.exit_code, 1);
    const auto refused = json_report(run);
    EXPECT_EQ(refused["resultado"], "abortada");
    EXPECT_EQ(refused["protocolo"], ordered_json::parse(R"({"nProt": "135000000000001", "cStat": " 110 ",
                                                             "xMotivo": "Uso Denegado", "tpAmb": null})"));
    EXPECT_EQ(refused["mensagens"], ordered_json::array({"Arquivo XML Inválido. O Protocolo não Autoriza o Uso da NFe "
                                                         "(Situação 110 - Uso Denegado).\r\n\nA Importação será "
                                                         "Abortada."}));
}

TEST(Cli, WithoutJsonTheBoxesGoToStandardErrorInUtf8) {
    Folders f;
    const auto run = cli({"nfe", "--chave", "0", "--pasta", f.xml.str(), "--saida", f.out.str()}, f.work.str());
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find(on_terminal(std::string(msg::nfe_nao_localizada))), std::string::npos) << run.err;
}

TEST(Cli, MessagesOnTheTerminalArePlainText) {
    // A parse error quotes the start of the line it stopped on: here one
    // that clears the screen, sets the window title and rings the bell.
    Folders f;
    const std::string quoted =
        "<x>\x1b[2J\x1b]0;t\x07\xc2\x9b"
        "1m";
    const std::string file = f.work.write("cores.xml", "<nfeProc>\r\n" + quoted + "\r\n</nfeProc>\r\n");

    const auto plain = cli({"nfe", "--arquivo", file, "--saida", f.out.str()}, f.work.str());
    EXPECT_EQ(plain.exit_code, 1);
    EXPECT_EQ(plain.err.find_first_of("\x1b\x07\r"), std::string::npos) << plain.err;
    EXPECT_EQ(plain.err.find("\xc2\x9b"), std::string::npos) << plain.err;
    EXPECT_NE(plain.err.find("\nLine: 2\n<x>\\x1b[2J\\x1b]0;t\\x07\\u009b1m\n\nA Importação será Abortada.\n"),
              std::string::npos)
        << plain.err;

    // The JSON report keeps the text as it is.
    const auto json = cli({"nfe", "--arquivo", file, "--saida", f.out.str(), "--json"}, f.work.str());
    const std::string message = json_report(json)["mensagens"].at(0);
    EXPECT_NE(message.find("\r\nLine: 2\r\n" + quoted), std::string::npos) << message;
}

TEST(Cli, SilentModeHidesTheNotFoundMessage) {
    Folders f;
    for (const bool json : {false, true}) {
        std::vector<std::string> args{"nfe",       "--chave", "0",         "--pasta",
                                      f.xml.str(), "--saida", f.out.str(), "--silencioso"};
        if (json) args.push_back("--json");
        const auto run = cli(args, f.work.str());
        EXPECT_EQ(run.exit_code, 1);
        EXPECT_EQ(run.err, "");
        if (json) {
            EXPECT_EQ(json_report(run)["mensagens"], ordered_json::array());
        }
        EXPECT_FALSE(fs::exists(f.ini()));
    }
}

TEST(Cli, ProblemsAreReportedAfterTheFileIsCompleted) {
    // The authorised NF-e without its emission date: one problem line.
    Folders f;
    std::string xml = read_bytes(nfe_document).value();
    const std::size_t start = xml.find("<dhEmi>");
    const std::size_t end = xml.find("</dhEmi>");
    ASSERT_NE(start, std::string::npos);
    xml.erase(start, end + 8 - start);
    const std::string file = f.work.write("sem-data.xml", xml);
    // Without its date the document is no longer the one the protocol's
    // digest names: a second line.
    const std::string problems =
        "- Data da Emissão da Nota Fiscal no Arquivo XML.\r\n"
        "- Conteúdo Diferente do Autorizado pela SEFAZ no Arquivo XML.\r\n";

    const auto shown = cli({"nfe", "--arquivo", file, "--saida", f.out.str(), "--json"}, f.work.str());
    EXPECT_EQ(shown.exit_code, 0);
    const auto report = json_report(shown);
    EXPECT_EQ(report["resultado"], "concluida");
    EXPECT_EQ(report["problemas"], problems);
    EXPECT_EQ(report["mensagens"],
              ordered_json::array({"O Sistema Encontrou Problemas ao Importar os Dados do:\r\r" + problems}));
    const auto ini = read_bytes(f.ini());
    ASSERT_TRUE(ini);
    EXPECT_NE(ini->find("\r\nData_Emissao=\r\n"), std::string::npos);

    const auto silent = cli({"nfe", "--arquivo", file, "--saida", f.out.str(), "--json", "--silencioso"}, f.work.str());
    EXPECT_EQ(silent.exit_code, 0);
    const auto quiet = json_report(silent);
    EXPECT_EQ(quiet["mensagens"], ordered_json::array());
    EXPECT_EQ(quiet["problemas"], problems);
    EXPECT_TRUE(fs::exists(f.ini()));

    // Without --json the report box goes to standard error.
    const auto plain = cli({"nfe", "--arquivo", file, "--saida", f.out.str()}, f.work.str());
    EXPECT_EQ(plain.exit_code, 0);
    EXPECT_EQ(plain.out, "");
    EXPECT_NE(plain.err.find(on_terminal("O Sistema Encontrou Problemas ao Importar os Dados do:\r\r" + problems)),
              std::string::npos);
}

TEST(Cli, FilesThatCannotBeImportedExitWithOne) {
    Folders f;
    const std::string bad = f.work.write("ruim.xml", "<nfeProc>\n<protNFe>\n</nfeProc>\n");
    struct Case {
        std::vector<std::string> args;
        std::string first_message_start;
    };
    const Case cases[] = {
        {{"nfe", "--arquivo", bad}, "Arquivo XML Inválido. "},
        {{"nfe", "--arquivo", f.work.str() + "/sumiu.xml"}, "Arquivo XML Inválido. "},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--saida", f.out.str(), "--json"});
        const auto run = cli(args, f.work.str());
        EXPECT_EQ(run.exit_code, 1) << testing::PrintToString(c.args);
        const auto report = json_report(run);
        EXPECT_EQ(report["resultado"], "abortada");
        if (c.first_message_start.empty()) {
            EXPECT_EQ(report["mensagens"], ordered_json::array());
        } else {
            ASSERT_EQ(report["mensagens"].size(), 1u);
            const std::string message = report["mensagens"][0];
            EXPECT_TRUE(message.starts_with(c.first_message_start)) << message;
            EXPECT_TRUE(message.ends_with("\r\n\nA Importação será Abortada.")) << message;
        }
        EXPECT_FALSE(fs::exists(f.ini()));
    }
}

TEST(Cli, ExchangeFolderThatCannotTakeTheFileGivesTheCreationMessage) {
    Folders f;
    const auto run = cli({"nfe", "--chave", nfe_key, "--pasta", f.xml.str(), "--saida", f.out.str() + "/nao-existe",
                          "--json", "--silencioso"},
                         f.work.str());
    EXPECT_EQ(run.exit_code, 1);
    const auto report = json_report(run);
    EXPECT_EQ(report["mensagens"], ordered_json::array({std::string(msg::erro_criar_arquivo)}));
    EXPECT_TRUE(report["arquivo"].is_null());
}

TEST(Cli, CteImportReplacesTheNfeFile) {
    Folders f;
    copy_document(f.xml, cte_document, "conhecimento.xml");
    ASSERT_EQ(cli({"nfe", "--chave", nfe_key, "--pasta", f.xml.str(), "--saida", f.out.str()}, f.work.str()).exit_code,
              0);
    const auto nfe_file = read_bytes(f.ini());
    ASSERT_EQ(cli({"cte", "--chave", cte_key, "--pasta", f.xml.str(), "--saida", f.out.str()}, f.work.str()).exit_code,
              0);
    const auto cte_file = read_bytes(f.ini());
    ASSERT_TRUE(nfe_file && cte_file);
    EXPECT_NE(*nfe_file, *cte_file);
    EXPECT_NE(cte_file->find("conhecimento.xml"), std::string::npos);
    EXPECT_EQ(cte_file->find("nota.xml"), std::string::npos);
}

}  // namespace
}  // namespace idf::test
