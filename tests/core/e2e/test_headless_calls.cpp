// The calls for hosts without a desktop (idf_importa_nfe, idf_importa_cte,
// idf_ultimo_resultado), through the shared library from a C host: the
// same file and the same result object as the command-line tool, the
// current folder never changed, the return codes and the result's copy
// protocol, one last result per thread, and processes that never see each
// other's file.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>

#include "core/e2e/e2e_support.hpp"

namespace idf::test {
namespace {

namespace fs = std::filesystem;

const std::string ini_name = "Integracao_Docs_Fiscal.ini";

// The host copied into a folder of its own; its current folder is another.
struct Host {
    TempDir home;
    TempDir work;
    TempDir xml;
    TempDir out;
    std::string exe = home.str() + "/host";
    Host() {
        fs::copy_file(IDF_HEADLESS_HOST_PATH, exe);
        fs::permissions(exe, fs::perms::owner_all);
    }
    // An NF-e and a CT-e in the folder of downloaded files.
    void add_documents() const {
        copy_document(xml, nfe_document, "nota.xml");
        copy_document(xml, cte_document, "conhecimento.xml");
    }
    std::string ini() const { return out.str() + "/" + ini_name; }
    ProcessResult run(const std::vector<std::string>& args) const { return run_process(exe, args, work.str()); }
    // One headless call: its return code (first line of the output) and the
    // result object.
    ProcessResult call(const std::string& type, const std::string& chave, const std::string& pasta,
                       const std::string& xml_file, const std::string& saida) const {
        return run({"call", type, chave, pasta, xml_file, saida});
    }
    bool nothing_beside_the_executable() const { return !fs::exists(home.path() / ini_name); }
};

std::string code_of(const ProcessResult& r) { return r.out.substr(0, r.out.find('\n')); }
std::string object_of(const ProcessResult& r) {
    const std::size_t nl = r.out.find('\n');
    return nl == std::string::npos ? std::string() : r.out.substr(nl + 1);
}

TEST(HeadlessCalls, InvalidArgumentsReturnTwoAndTouchNothing) {
    Host host;
    const std::string old = host.out.write(ini_name, "[OLD]\r\n");
    struct Case {
        std::string chave, arquivo_xml, saida;
    };
    const Case cases[] = {
        {nfe_key, "", "(null)"},   {nfe_key, "", ""}, {nfe_key, "", " \t "},
        {"(null)", "(null)", old}, {"", "", old},     {"   ", " ", old},
    };
    for (const auto& c : cases) {
        for (const char* type : {"nfe", "cte"}) {
            const auto r = host.call(type, c.chave, host.xml.str(), c.arquivo_xml, c.saida);
            EXPECT_EQ(r.exit_code, 0) << "the current folder changed";
            // No result for this thread afterwards.
            EXPECT_EQ(r.out, "2\n") << type << " " << c.chave << "|" << c.arquivo_xml << "|" << c.saida;
            EXPECT_EQ(read_bytes(old), "[OLD]\r\n");
        }
    }
    EXPECT_TRUE(host.nothing_beside_the_executable());
}

TEST(HeadlessCalls, ImportsThatDoNotCompleteReturnOneAndLeaveNoFile) {
    Host host;
    host.add_documents();
    const std::string bad = host.work.write("ruim.xml", "<nfeProc>\n<protNFe>\n</nfeProc>\n");
    struct Case {
        const char* type;
        std::string chave, pasta, arquivo_xml;
    };
    const Case cases[] = {
        {"nfe", std::string(nfe_key) + "9", host.xml.str(), ""},      // not found
        {"cte", nfe_key, host.xml.str(), "(null)"},                   // an NF-e key is no CT-e key
        {"nfe", nfe_key, host.xml.str() + "/nao-existe", ""},         // no such folder
        {"nfe", "", "", bad},                                         // not well-formed
        {"cte", "(null)", "(null)", host.work.str() + "/sumiu.xml"},  // no such file
        {"cte", "", "", host.xml.str() + "/nota.xml"},                // an NF-e is no CT-e
    };
    for (const auto& c : cases) {
        host.out.write(ini_name, "[OLD]\r\n");
        const auto r = host.call(c.type, c.chave, c.pasta, c.arquivo_xml, host.ini());
        EXPECT_EQ(r.exit_code, 0) << "the current folder changed";
        EXPECT_EQ(code_of(r), "1") << c.type << " " << c.chave << " " << c.pasta << " " << c.arquivo_xml;
        EXPECT_NE(object_of(r).find("\"resultado\":\"abortada\""), std::string::npos) << object_of(r);
        EXPECT_FALSE(fs::exists(host.ini())) << c.arquivo_xml;
    }
    EXPECT_TRUE(host.nothing_beside_the_executable());
}

TEST(HeadlessCalls, FileAndResultEqualTheToolsForTheSameImport) {
    Host host;
    host.add_documents();
    copy_document(host.work, nfe_document, "escolhida.xml");
    // The NF-e without its emission date: completed, with a problem report.
    std::string xml = read_bytes(nfe_document).value();
    xml.erase(xml.find("<dhEmi>"), xml.find("</dhEmi>") + 8 - xml.find("<dhEmi>"));
    const std::string no_date = host.work.write("sem-data.xml", xml);
    struct Case {
        std::string type, chave, pasta, arquivo;  // arquivo: --arquivo, relative to the current folder
        std::string code;
    };
    const Case cases[] = {
        {"nfe", nfe_key, host.xml.str(), "", "0"},
        {"cte", cte_key, host.xml.str(), "", "0"},
        {"nfe", nfe_key, "../" + host.xml.path().filename().string(), "", "0"},  // a relative folder
        {"nfe", "", "", "escolhida.xml", "0"},
        {"nfe", "", "", no_date, "0"},
        {"cte", std::string(cte_key) + "1", host.xml.str(), "", "1"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{c.type, "--saida", host.out.str(), "--json"};
        if (c.chave.empty())
            args.insert(args.end(), {"--arquivo", c.arquivo});
        else
            args.insert(args.end(), {"--chave", c.chave, "--pasta", c.pasta});
        const auto tool = run_process(IDF_CLI_PATH, args, host.work.str());
        const auto tool_file = read_bytes(host.ini());
        fs::remove(host.ini());

        const auto r = host.call(c.type, c.chave, c.pasta, c.arquivo, host.ini());
        const std::string label = c.type + " " + c.chave + c.arquivo;
        EXPECT_EQ(r.exit_code, 0) << label << ": the current folder changed";
        EXPECT_EQ(code_of(r), c.code) << label;
        EXPECT_EQ(object_of(r) + "\n", tool.out) << label;
        EXPECT_EQ(read_bytes(host.ini()), tool_file) << label;
        fs::remove(host.ini());
    }
    EXPECT_TRUE(host.nothing_beside_the_executable());
}

TEST(HeadlessCalls, NotFoundResultTellsWhatTheSearchSaw) {
    // Only the summary of the CT-e is in the folder.
    Host host;
    const std::string resumo =
        host.xml.write("resumo.xml", "<resCTe><chCTe>" + std::string(cte_key) + "</chCTe></resCTe>");
    const auto r = host.call("cte", cte_key, host.xml.str(), "", host.ini());
    EXPECT_EQ(code_of(r), "1");
    const auto object = nlohmann::ordered_json::parse(object_of(r));
    EXPECT_EQ(object["mensagens"], nlohmann::ordered_json::array({"O Sistema Não Conseguiu Localizar o Arquivo XML na "
                                                                  "Pasta Temporária.\r\n\nA Importação será "
                                                                  "Abortada."}));
    EXPECT_EQ(object["diagnostico"],
              nlohmann::ordered_json::parse(R"({"chave_valida": false, "modelo": "57",
        "tipo_esperado": true, "espacos_na_chave": false, "resumos": [")" +
                                            resumo + R"("], "sem_protocolo": [], "ilegiveis": []})"));
}

TEST(HeadlessCalls, CurrentFolderNeverChangesDuringALongSearch) {
    // Files that carry the key outside their protocol are parsed in full,
    // one after the other, before the wanted one, whose name sorts last.
    Host host;
    host.add_documents();
    TempDir many;
    const std::string padding = "<obs>" + std::string(20000, 'x') + "</obs>";
    for (int i = 0; i < 300; ++i)
        many.write(std::string("a").append(std::to_string(1000 + i)).append(".xml"),
                   "<nfeProc><protNFe><infProt><chNFe>0</chNFe><xMotivo>" + std::string(nfe_key) +
                       "</xMotivo></infProt></protNFe>" + padding + "</nfeProc>");
    copy_document(many, nfe_document, "z.xml");
    const auto r = host.call("nfe", nfe_key, many.str(), "", host.ini());
    EXPECT_EQ(r.exit_code, 0) << "the current folder changed during the call";
    EXPECT_EQ(code_of(r), "0");
    // The second thread did look during the call.
    EXPECT_TRUE(r.err.starts_with("reads during the call: ") && !r.err.starts_with("reads during the call: 0\n"))
        << r.err;
    // The same watch sees the classic call move into the folder.
    EXPECT_EQ(host.run({"classic", "nfe", nfe_key, many.str()}).exit_code, 4);
}

TEST(HeadlessCalls, ResultCopyProtocol) {
    Host host;
    const auto r = host.run({"buffer", "nfe", std::string(nfe_key) + "9", host.xml.str(), "", host.ini()});
    ASSERT_EQ(r.exit_code, 0);
    std::istringstream lines(r.out);
    std::string fresh, null_buffer, one_short, exact, object;
    std::getline(lines, fresh);
    std::getline(lines, null_buffer);
    std::getline(lines, one_short);
    std::getline(lines, exact);
    std::getline(lines, object, '\0');
    const std::string size = std::to_string(object.size() + 1);
    EXPECT_EQ(fresh, "2 0 0");                   // no call yet: no result, an empty buffer
    EXPECT_EQ(null_buffer, "1 " + size + " -");  // the size it needs, NUL included
    EXPECT_EQ(one_short, "1 " + size + " 0");    // nothing copied, the buffer empty
    EXPECT_EQ(exact, "0 " + size + " " + size);  // copied with its NUL, nothing beyond
    EXPECT_TRUE(object.starts_with("{\"resultado\":\"abortada\"")) << object;
}

TEST(HeadlessCalls, AnInvalidCallForgetsTheThreadsEarlierResult) {
    // In this process, one call after the other on one thread, so that the
    // invalid call has an earlier result to forget.
    void* library = ::dlopen(IDF_SO_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << ::dlerror();
    using Call = int (*)(const char*, const char*, const char*, const char*);
    const auto last_result = reinterpret_cast<int (*)(char*, int*)>(::dlsym(library, "idf_ultimo_resultado"));
    const auto nfe = reinterpret_cast<Call>(::dlsym(library, "idf_importa_nfe"));
    ASSERT_TRUE(last_result && nfe);
    TempDir out;
    const std::string ini = out.str() + "/" + ini_name;
    for (const char* invalid : {"idf_importa_nfe", "idf_importa_cte"}) {
        const auto call = reinterpret_cast<Call>(::dlsym(library, invalid));
        ASSERT_NE(call, nullptr) << invalid;
        ASSERT_EQ(nfe(nullptr, nullptr, nfe_document.c_str(), ini.c_str()), 0);
        int size = 0;
        ASSERT_EQ(last_result(nullptr, &size), 1) << "the valid call left no result";
        EXPECT_EQ(call(nfe_key, nullptr, nullptr, ""), 2) << invalid;
        char buffer[8] = "xxxxxxx";
        size = static_cast<int>(sizeof buffer);
        EXPECT_EQ(last_result(buffer, &size), 2) << invalid;
        EXPECT_EQ(size, 0) << invalid;
        EXPECT_EQ(buffer[0], '\0') << invalid;
    }
}

TEST(HeadlessCalls, EachThreadKeepsItsOwnLastResult) {
    Host host;
    host.add_documents();
    TempDir out2;
    const std::string ini2 = out2.str() + "/" + ini_name;
    const auto r =
        host.run({"threads", "nfe", nfe_key, host.xml.str(), host.ini(), "cte", cte_key, host.xml.str(), ini2});
    ASSERT_EQ(r.exit_code, 0);
    std::istringstream lines(r.out);
    std::string first, second;
    std::getline(lines, first);
    std::getline(lines, second);
    EXPECT_NE(first.find("\"arquivo\":\"" + host.ini() + "\""), std::string::npos) << first;
    EXPECT_NE(second.find("\"arquivo\":\"" + ini2 + "\""), std::string::npos) << second;
    EXPECT_TRUE(read_bytes(host.ini()).value_or("").find("nota.xml") != std::string::npos);
    EXPECT_TRUE(read_bytes(ini2).value_or("").find("conhecimento.xml") != std::string::npos);
}

TEST(HeadlessCalls, TwoProcessesNeverSeeEachOthersFile) {
    // Two host processes of one installation import different documents
    // at the same time, each to its own output path, again and again.
    Host host;
    host.add_documents();
    constexpr int runs = 300;
    struct Side {
        const char* type;
        const char* key;
        std::string out;
        std::string expected;
        ProcessResult result;
    };
    TempDir a, b, expected;
    Side sides[2] = {{"nfe", nfe_key, a.str() + "/" + ini_name, expected.str() + "/nfe.ini", {}},
                     {"cte", cte_key, b.str() + "/" + ini_name, expected.str() + "/cte.ini", {}}};
    for (Side& s : sides) {
        ASSERT_EQ(code_of(host.call(s.type, s.key, host.xml.str(), "", s.out)), "0");
        fs::rename(s.out, s.expected);
    }
    std::thread other([&] {
        sides[1].result =
            host.run({"loop", std::to_string(runs), "cte", cte_key, host.xml.str(), sides[1].out, sides[1].expected});
    });
    sides[0].result =
        host.run({"loop", std::to_string(runs), "nfe", nfe_key, host.xml.str(), sides[0].out, sides[0].expected});
    other.join();
    for (const Side& s : sides) {
        EXPECT_EQ(s.result.out, "runs 300 completed 300 mismatches 0\n") << s.type;
        RecordProperty(std::string(s.type) + "_result", s.result.out);
    }
    EXPECT_TRUE(host.nothing_beside_the_executable());
}

}  // namespace
}  // namespace idf::test
