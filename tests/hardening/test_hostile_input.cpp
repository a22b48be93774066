// Hostile and broken input: each case ends cleanly (the file is passed over,
// the not-found outcome, or the abort path with its message) without a
// crash, a hang, a memory blow-up or a file read outside the folder.
//
// The searches run in a child process watched for time and peak memory; in
// each, a bad file sorts before an authorised NF-e, which must still be
// found.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "common/messages.hpp"
#include "hardening/hardening_support.hpp"
#include "nfe/uimporta_arquivo_xml_nfe.hpp"
#include "values/text.hpp"
#include "xml/tree.hpp"

namespace idf {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::DocType;

// Generous bounds: a bomb that got through would take far more.
constexpr long peak_memory_limit_kb = 768 * 1024;
constexpr auto time_limit = 180s;

const std::string K(test::sample_nfe_key);

// Runs the search in a child; the child's exit code says whether the real
// NF-e ("z.xml") was chosen.
void expect_real_file_found(const test::TempDir& dir) {
    dir.write("z.xml", test::sample_nfe());
    const test::ChildOutcome outcome = test::run_in_child(
        [&] {
            const test::SearchRun run = test::search(DocType::nfe, K, dir.str());
            return run.chosen == "z.xml" ? 0 : 1;
        },
        time_limit);
    EXPECT_TRUE(outcome.ended_in_time) << "the search hung";
    EXPECT_EQ(outcome.exit_code, 0) << "the real file was not chosen";
    EXPECT_LT(outcome.peak_rss_kb, peak_memory_limit_kb);
}

// The file chosen through the open dialog: the abort path with a message,
// and no exchange file.
void expect_dialog_abort(const std::string& bytes) {
    const test::ChildOutcome outcome = test::run_in_child(
        [&] {
            const test::RunResult run = test::run_xml(DocType::nfe, bytes);
            return !run.completed() && !run.ini && run.boxes.size() == 1 ? 0 : 1;
        },
        time_limit);
    EXPECT_TRUE(outcome.ended_in_time) << "the import hung";
    EXPECT_EQ(outcome.exit_code, 0) << "no clean abort";
    EXPECT_LT(outcome.peak_rss_kb, peak_memory_limit_kb);
}

std::string billion_laughs() {
    std::string dtd = "<!DOCTYPE nfeProc [<!ENTITY l0 \"ha\">";
    for (int i = 1; i <= 12; ++i) {
        dtd += "<!ENTITY l" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k) dtd += "&l" + std::to_string(i - 1) + ";";
        dtd += "\">";
    }
    dtd += "]>";
    return test::nfe_doc("&l12;", "<?xml version=\"1.0\"?>" + dtd);
}

std::string quadratic_blowup() {
    const std::string big(100000, 'a');
    std::string refs;
    for (int i = 0; i < 100000; ++i) refs += "&a;";
    return test::nfe_doc(refs, "<?xml version=\"1.0\"?><!DOCTYPE nfeProc [<!ENTITY a \"" + big + "\">]>");
}

TEST(HostileInput, EntityExpansionBombsArePassedOver) {
    for (const auto& [what, bytes] :
         {std::pair{"billion laughs", billion_laughs()}, std::pair{"quadratic blow-up", quadratic_blowup()}}) {
        SCOPED_TRACE(what);
        test::TempDir dir;
        dir.write("a.xml", bytes);
        expect_real_file_found(dir);
        expect_dialog_abort(bytes);
    }
}

TEST(HostileInput, ExternalEntitiesAreNeverLoaded) {
    // The outside file holds the wanted key: had any reference been
    // resolved, a.xml would match.
    test::TempDir outside;
    const std::string secret = outside.write("segredo.txt", K);
    const std::string secret_dtd = outside.write("segredo.dtd", "<!ENTITY k \"" + K + "\">");
    const std::string secret_xml = outside.write("segredo.xml", "<chNFe>" + K + "</chNFe>");
    const std::string decl = "<?xml version=\"1.0\"?>";
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"general entity, absolute path",
         test::nfe_doc("&k;", decl + "<!DOCTYPE nfeProc [<!ENTITY k SYSTEM \"" + secret + "\">]>")},
        {"general entity, file URL",
         test::nfe_doc("&k;", decl + "<!DOCTYPE nfeProc [<!ENTITY k SYSTEM \"file://" + secret + "\">]>")},
        {"general entity, relative path",
         test::nfe_doc("&k;", decl + "<!DOCTYPE nfeProc [<!ENTITY k SYSTEM \"segredo.txt\">]>")},
        {"parameter entity",
         test::nfe_doc("&k;", decl + "<!DOCTYPE nfeProc [<!ENTITY % p SYSTEM \"" + secret_dtd + "\"> %p;]>")},
        {"external DTD", test::nfe_doc("&k;", decl + "<!DOCTYPE nfeProc SYSTEM \"" + secret_dtd + "\">")},
        {"public identifier",
         test::nfe_doc("&k;", decl + "<!DOCTYPE nfeProc PUBLIC \"-//x//y\" \"" + secret_dtd + "\">")},
        {"XInclude",
         "<nfeProc xmlns=\"http://www.portalfiscal.inf.br/nfe\" "
         "xmlns:xi=\"http://www.w3.org/2001/XInclude\"><protNFe><infProt><xi:include href=\"" +
             secret_xml + "\"/></infProt></protNFe></nfeProc>"},
        {"system file", test::nfe_doc("&k;", decl + "<!DOCTYPE nfeProc [<!ENTITY k SYSTEM \"/etc/passwd\">]>")},
    };
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        test::TempDir dir;
        dir.write("segredo.txt", K);  // for the relative reference
        dir.write("a.xml", bytes);
        const test::SearchRun run = test::search(DocType::nfe, K, dir.str());
        EXPECT_EQ(run.chosen, "");
        EXPECT_EQ(run.boxes, std::vector<std::string>{std::string(msg::nfe_nao_localizada)});
        EXPECT_FALSE(run.exchange_file_exists);
    }
}

TEST(HostileInput, NetworkReferencesAreNeverFetched) {
    // A listening socket that no one may connect to.
    const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    ASSERT_GE(server, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(server, 16), 0);
    socklen_t length = sizeof address;
    ASSERT_EQ(::getsockname(server, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string base = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";
    const std::string decl = "<?xml version=\"1.0\"?>";

    test::TempDir dir;
    dir.write("a.xml", test::nfe_doc("&k;", decl + "<!DOCTYPE nfeProc [<!ENTITY k SYSTEM \"" + base + "k\">]>"));
    dir.write("b.xml", test::nfe_doc("&k;", decl + "<!DOCTYPE nfeProc [<!ENTITY % p SYSTEM \"" + base + "p\"> %p;]>"));
    dir.write("c.xml", test::nfe_doc("&k;", decl + "<!DOCTYPE nfeProc SYSTEM \"" + base + "d.dtd\">"));
    dir.write("d.xml",
              "<nfeProc xmlns:xi=\"http://www.w3.org/2001/XInclude\"><xi:include href=\"" + base + "x\"/></nfeProc>");
    dir.write("e.xml", test::nfe_doc("&k;", decl + "<!DOCTYPE nfeProc [<!ENTITY k SYSTEM \"ftp://127.0.0.1:" +
                                                std::to_string(ntohs(address.sin_port)) + "/k\">]>"));
    const test::SearchRun run = test::search(DocType::nfe, K, dir.str());
    EXPECT_EQ(run.chosen, "");
    for (const char* name : {"a.xml", "b.xml", "c.xml", "d.xml", "e.xml"})
        test::run_xml(DocType::nfe, *test::read_bytes(dir.str() + "/" + name));

    const int client = ::accept(server, nullptr, nullptr);
    EXPECT_LT(client, 0) << "a connection was made";
    EXPECT_TRUE(errno == EAGAIN || errno == EWOULDBLOCK);
    if (client >= 0) ::close(client);
    ::close(server);
}

TEST(HostileInput, DeepNestingIsPassedOver) {
    std::string deep = "<?xml version=\"1.0\"?>";
    for (int i = 0; i < 100000; ++i) deep += "<a>";
    deep += K;
    for (int i = 0; i < 100000; ++i) deep += "</a>";
    test::TempDir dir;
    dir.write("a.xml", deep);
    expect_real_file_found(dir);
    expect_dialog_abort(deep);
}

TEST(HostileInput, HundredMegabyteFile) {
    // Millions of small elements with the key in the protocol: far above
    // any authorised document, it is refused as too large without being
    // parsed (or even read) in full, and the real file after it is found.
    constexpr std::size_t size = 100u << 20;
    std::string big = "<?xml version=\"1.0\"?><nfeProc><protNFe><infProt><chNFe>" + K + "</chNFe></infProt></protNFe>";
    big.reserve(size + 100);
    while (big.size() < size) big += "<i>1</i><j/>";
    big += "</nfeProc>";
    test::TempDir dir;
    dir.write("a.xml", big);
    big.clear();
    big.shrink_to_fit();
    expect_real_file_found(dir);
    // Chosen in the open dialog, it ends on the abort path with the reason.
    const test::ChildOutcome outcome = test::run_in_child(
        [&] {
            test::TempDir host;
            test::TestPlatform platform(host.str());
            platform.dialog_choice = dir.str() + "/a.xml";
            const ImportResult result = run_import(nfe::document, platform, Regional::brazilian(), {"", "", ""});
            const bool clean = result.outcome == Outcome::aborted && !test::read_bytes(result.arquivo_ini) &&
                               platform.boxes.size() == 1 &&
                               platform.boxes[0].find("The file is too large.") != std::string::npos;
            return clean ? 0 : 1;
        },
        time_limit);
    EXPECT_TRUE(outcome.ended_in_time);
    EXPECT_EQ(outcome.exit_code, 0);
    EXPECT_LT(outcome.peak_rss_kb, peak_memory_limit_kb);
}

TEST(HostileInput, LargestFileParsedStaysWithinBoundedMemory) {
    // Just under the size limit, made of small nodes (denser than any fiscal
    // document), with the key: it is parsed in full and imported, in bounded
    // memory.
    std::string big = "<?xml version=\"1.0\"?><nfeProc><protNFe><infProt><chNFe>" + K + "</chNFe></infProt></protNFe>";
    while (big.size() < xml::Document::max_file_size - 64) big += "<i>1234567</i>";
    big += "</nfeProc>";
    test::TempDir dir;
    dir.write("a.xml", big);
    dir.write("z.xml", test::sample_nfe());
    const test::ChildOutcome outcome = test::run_in_child(
        [&] { return test::search(DocType::nfe, K, dir.str()).chosen == "a.xml" ? 0 : 1; }, time_limit);
    EXPECT_TRUE(outcome.ended_in_time);
    EXPECT_EQ(outcome.exit_code, 0);
    EXPECT_LT(outcome.peak_rss_kb, peak_memory_limit_kb);
}

TEST(HostileInput, HugeSparseFileIsNotReadInFull) {
    // Four gigabytes of nothing, taking no disk: passed over without
    // reading it all into memory.
    test::TempDir dir;
    { std::ofstream(dir.path() / "a.xml") << "<?xml version=\"1.0\"?><nfeProc>"; }
    fs::resize_file(dir.path() / "a.xml", std::uintmax_t{4} << 30);
    expect_real_file_found(dir);
}

// The work a file may cost grows with its size only. Each input below once
// cost minutes or hundreds of megabytes (a quadratic check, a table that
// stops growing, an entity parsed anew at each reference, nodes created
// by lookups without a bound); now it is refused early or imported, in a
// child limited to ten times the allowed CPU time and watched for memory:
// at most 20 times the file, over a fixed floor, and a hard limit of the
// address space ten times that.
struct Budget {
    double cpu_seconds;
    std::size_t memory;
};

// CPU seconds per byte of a whole import of a large authorised NF-e (its items
// cloned): the unit of the time bound.
double reference_cpu_per_byte() {
    static const double per_byte = [] {
        const std::string real = test::sample_nfe();
        const std::size_t first = real.find("<det ");
        const std::size_t last = real.rfind("</det>") + 6;
        std::string big = real.substr(0, first);
        while (big.size() < (1u << 20)) big += real.substr(first, last - first);
        big += real.substr(last);
        const std::clock_t start = std::clock();
        for (int i = 0; i < 3; ++i) test::run_xml(DocType::nfe, big);
        return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC / 3 / static_cast<double>(big.size());
    }();
    return per_byte;
}

// Allowed: ten times the reference's time per byte (at least half a
// second), twenty times the file's size in memory over a floor.
Budget budget_for(std::size_t size) {
    constexpr std::size_t floor = 48u << 20;
    return {std::max(0.5, 10 * reference_cpu_per_byte() * static_cast<double>(size)), 20 * size + floor};
}

[[maybe_unused]] long status_kb(const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with(field)) return std::stol(line.substr(std::string_view(field).size()));
    return 0;
}

// Runs `body` in a child limited to ten times the budget's CPU time and
// address space: exit code 0 when the body succeeded within the memory
// budget, 2 when it took more memory, -1 when it was killed.
test::ChildOutcome run_within(const Budget& budget, const std::function<int()>& body) {
    return test::run_in_child(
        [&] {
            const auto cpu = static_cast<rlim_t>(budget.cpu_seconds * 10) + 1;
            const rlimit cpu_limit{cpu, cpu};
            ::setrlimit(RLIMIT_CPU, &cpu_limit);
#if !defined(__SANITIZE_ADDRESS__)
            const rlim_t space = static_cast<rlim_t>(status_kb("VmSize:")) * 1024 + 10 * budget.memory;
            const rlimit space_limit{space, space};
            ::setrlimit(RLIMIT_AS, &space_limit);
#endif
#if defined(__SANITIZE_ADDRESS__)
            // The sanitizer's shadow memory and quarantine are no cost of the
            // file: only time and the outcome are checked.
            return body();
#else
            // The peak resident size starts afresh at the current size.
            { std::ofstream("/proc/self/clear_refs") << "5"; }
            const long start_kb = status_kb("VmRSS:");
            const int code = body();
            const long grown = status_kb("VmHWM:") - start_kb;
            return code != 0 ? code : grown * 1024 > static_cast<long>(budget.memory) ? 2 : 0;
#endif
        },
        std::chrono::seconds(static_cast<long>(budget.cpu_seconds * 30) + 60));
}

std::string attributes_on_one_element(int count) {
    std::string out = "<?xml version=\"1.0\"?><nfeProc><protNFe";
    for (int i = 0; i < count; ++i) out += " a" + std::to_string(i) + "=\"1\"";
    return out + "/></nfeProc>";
}

std::string namespaces_on_one_element(int count) {
    std::string out = "<?xml version=\"1.0\"?><nfeProc";
    for (int i = 0; i < count; ++i) out += " xmlns:p" + std::to_string(i) + "=\"u\"";
    return out + "/>";
}

std::string distinct_names(int count) {
    std::string out = "<?xml version=\"1.0\"?><nfeProc>";
    for (int i = 0; i < count; ++i) out += "<n" + std::to_string(i) + "/>";
    return out + "</nfeProc>";
}

// The authorised NF-e, with another key, and `count` items that hold a product
// and nothing else: every field of every item is looked up.
std::string tiny_items(int count) {
    std::string real = test::sample_nfe();
    for (std::size_t at = real.find(K); at != std::string::npos; at = real.find(K, at))
        real.replace(at, K.size(), test::key_b);
    const std::size_t first = real.find("<det ");
    const std::size_t last = real.rfind("</det>") + 6;
    std::string out = real.substr(0, first);
    for (int i = 1; i <= count; ++i) out += "<det nItem=\"" + std::to_string(i) + "\"><prod><c/></prod></det>";
    return out + real.substr(last);
}

std::string with_doctype(std::string_view declarations, std::string_view element, std::string_view content, int count) {
    // Built by appending: GCC 12 at -O3 warns about "<" + std::string.
    std::string out = "<?xml version=\"1.0\"?><!DOCTYPE nfeProc [";
    out += declarations;
    out += "]><nfeProc>";
    out.reserve(out.size() + (element.size() + content.size() + 5) * static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        out += '<';
        out += element;
        out += '>';
        out += content;
        out += "</";
        out += element;
        out += '>';
    }
    return out + "</nfeProc>";
}

std::string attribute_defaults(int count) {
    std::string list = "<!ATTLIST x";
    for (int i = 0; i < count; ++i) list += " d" + std::to_string(i) + " CDATA \"v\"";
    return with_doctype(list + ">", "x", "", count);
}

TEST(HostileInput, EveryFileCostsTimeAndMemoryInProportionToItsSize) {
    const std::vector<std::pair<const char*, std::function<std::string()>>> cases = {
        {"160,000 attributes on one element", [] { return attributes_on_one_element(160000); }},
        {"100,000 namespaces declared on one element", [] { return namespaces_on_one_element(100000); }},
        {"1,500,000 distinct element names", [] { return distinct_names(1500000); }},
        {"350,000 items without fields", [] { return tiny_items(350000); }},
        {"2,000 attribute defaults on 2,000 elements", [] { return attribute_defaults(2000); }},
        {"an entity of references to another, referred to 400,000 times",
         [] {
             return with_doctype("<!ENTITY b \"y\"><!ENTITY a \"&b;&b;&b;&b;&b;&b;&b;&b;\">", "x", "&a;&a;&a;&a;",
                                 100000);
         }},
        {"an entity holding an element, referred to 150,000 times",
         [] { return with_doctype("<!ENTITY a \"<b>x</b>\">", "x", "&a;", 150000); }},
        {"a 1,000-character entity referred to 400,000 times",
         [] { return with_doctype("<!ENTITY a \"" + std::string(1000, 'x') + "\">", "x", "&a;&a;&a;&a;", 100000); }},
        {"50,000 entities, each referred to once",
         [] {
             std::string declarations, content;
             for (int i = 0; i < 50000; ++i) {
                 declarations += "<!ENTITY e" + std::to_string(i) + " \"x\">";
                 content += "&e" + std::to_string(i) + ";";
             }
             return with_doctype(declarations, "x", content, 1);
         }},
    };
    for (const auto& [what, make] : cases) {
        SCOPED_TRACE(what);
        test::TempDir dir;
        {
            const std::string bytes = make();
            ASSERT_LE(bytes.size(), xml::Document::max_file_size);
            dir.write("a.xml", bytes);
        }
        dir.write("z.xml", test::sample_nfe());
        const auto size = static_cast<std::size_t>(fs::file_size(dir.path() / "a.xml"));
        const Budget budget = budget_for(size);
        // Searched for, it is passed over and the real file after it found.
        test::ChildOutcome outcome =
            run_within(budget, [&] { return test::search(DocType::nfe, K, dir.str()).chosen == "z.xml" ? 0 : 1; });
        EXPECT_TRUE(outcome.ended_in_time) << "the search hung";
        EXPECT_EQ(outcome.exit_code, 0) << "search (1: wrong file, 2: memory, -1: killed)";
        // Chosen in the dialog, it ends on the abort path with a message.
        outcome = run_within(budget, [&] {
            test::TempDir host;
            test::TestPlatform platform(host.str());
            platform.dialog_choice = dir.str() + "/a.xml";
            const ImportResult result = run_import(nfe::document, platform, Regional::brazilian(), {"", "", ""});
            return result.outcome == Outcome::aborted && platform.boxes.size() == 1 &&
                           !test::read_bytes(result.arquivo_ini)
                       ? 0
                       : 1;
        });
        EXPECT_TRUE(outcome.ended_in_time) << "the import hung";
        EXPECT_EQ(outcome.exit_code, 0) << "dialog (1: no clean abort, 2: memory, -1: killed)";
    }
}

std::string truncated(std::size_t keep) { return test::sample_nfe().substr(0, keep); }

TEST(HostileInput, BrokenFilesArePassedOver) {
    const std::string real = test::sample_nfe();
    std::string invalid_utf8 = real;
    invalid_utf8.replace(invalid_utf8.find("Parafuso"), 3, "\xFF\xFE\xC3");
    std::string nul = real;
    nul.insert(nul.find("<ide>"), std::string("\0\0\0", 3));
    std::string nul_in_key = real;
    nul_in_key.insert(nul_in_key.find("</chNFe>") - 10, std::string(1, '\0'));
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"empty", ""},
        {"one byte", truncated(1)},
        {"truncated in the declaration", truncated(20)},
        {"truncated in the middle", truncated(real.size() / 2)},
        {"truncated before the last \">\"", truncated(real.rfind('>'))},
        {"truncated inside the key", real.substr(0, real.find("</chNFe>") - 5)},
        {"invalid UTF-8", invalid_utf8},
        {"NUL bytes", nul},
        {"a NUL byte inside the key", nul_in_key},
        {"random bytes", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16)},
    };
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        test::TempDir dir;
        dir.write("a.xml", bytes);
        dir.write("z.xml", real);
        EXPECT_EQ(test::search(DocType::nfe, K, dir.str()).chosen, "z.xml");
        const test::RunResult run = test::run_xml(DocType::nfe, bytes);
        EXPECT_FALSE(run.completed());
        EXPECT_FALSE(run.ini);
        ASSERT_EQ(run.boxes.size(), 1u);
        EXPECT_TRUE(run.boxes[0].ends_with(msg::abortada)) << run.boxes[0];
    }
}

TEST(HostileInput, Utf16WithoutByteOrderMarkEndsCleanly) {
    // The parser recognises UTF-16 from "<?" and reads the file; with
    // another key it is passed over, with the wanted key it is imported.
    const std::string decl = R"(<?xml version="1.0" encoding="UTF-16"?>)";
    test::TempDir dir;
    dir.write("a.xml", test::to_utf16le(test::nfe_doc(std::string(test::key_b), decl)));
    expect_real_file_found(dir);
    dir.write("b.xml", test::to_utf16le(test::nfe_doc(K, decl)));
    EXPECT_EQ(test::search(DocType::nfe, K, dir.str()).chosen, "b.xml");
}

TEST(HostileInput, SpecialFilesAreNotListed) {
    test::TempDir dir;
    fs::create_directory(dir.path() / "x.xml");
    fs::create_directory(dir.path() / "y.XML");
    ASSERT_EQ(::mkfifo((dir.path() / "a.xml").c_str(), 0644), 0);
    fs::create_symlink("loop.xml", dir.path() / "loop.xml");
    fs::create_symlink("ping.xml", dir.path() / "pong.xml");
    fs::create_symlink("pong.xml", dir.path() / "ping.xml");
    fs::create_symlink("/dev/zero", dir.path() / "b.xml");
    fs::create_symlink("nowhere.xml", dir.path() / "c.xml");
    // A FIFO that a reader would block on (nobody ever writes to it) and a
    // device without end: the search must not open either.
    expect_real_file_found(dir);
}

TEST(HostileInput, ChosenSpecialFilesEndOnTheAbortPath) {
    test::TempDir dir;
    ASSERT_EQ(::mkfifo((dir.path() / "fifo.xml").c_str(), 0644), 0);
    fs::create_symlink("loop.xml", dir.path() / "loop.xml");
    fs::create_directory(dir.path() / "pasta.xml");
    for (const char* name : {"fifo.xml", "loop.xml", "pasta.xml", "nada.xml"}) {
        SCOPED_TRACE(name);
        const std::string path = dir.str() + "/" + name;
        const test::ChildOutcome outcome = test::run_in_child(
            [&] {
                test::TempDir host;
                test::TestPlatform platform(host.str());
                platform.dialog_choice = path;
                const ImportResult result = run_import(nfe::document, platform, Regional::brazilian(), {"", "", ""});
                const bool clean = result.outcome == Outcome::aborted && platform.boxes.size() == 1 &&
                                   !test::read_bytes(result.arquivo_ini);
                return clean ? 0 : 1;
            },
            time_limit);
        EXPECT_TRUE(outcome.ended_in_time);
        EXPECT_EQ(outcome.exit_code, 0);
    }
}

TEST(HostileInput, KeyOfTenThousandCharacters) {
    const std::string long_key(10000, '7');
    test::TempDir dir;
    dir.write("a.xml", test::nfe_doc(std::string(9999, '7')));
    dir.write("b.xml", test::nfe_doc(long_key + "7"));
    dir.write("z.xml", test::sample_nfe());
    {
        const test::SearchRun run = test::search(DocType::nfe, long_key, dir.str());
        EXPECT_EQ(run.chosen, "");
        EXPECT_EQ(run.boxes, std::vector<std::string>{std::string(msg::nfe_nao_localizada)});
    }
    dir.write("c.xml", test::nfe_doc(long_key));
    EXPECT_EQ(test::search(DocType::nfe, long_key, dir.str()).chosen, "c.xml");
    EXPECT_EQ(test::search(DocType::cte, long_key, dir.str()).chosen, "");
}

TEST(HostileInput, PathsWithNonAsciiCharacters) {
    test::TempDir root;
    const fs::path folder = root.path() / "Pasta Temporária" / "Notas de Março ç";
    fs::create_directories(folder);
    const std::string real = test::sample_nfe();
    { std::ofstream(folder / "Nota São João.xml", std::ios::binary) << real; }
    const fs::path host = root.path() / "Saída do Sistema";
    fs::create_directories(host);

    test::RecordingPlatform platform(host.string());
    const ImportResult result = run_import(nfe::document, platform, Regional::brazilian(), {K, folder.string(), "Sim"});
    EXPECT_EQ(result.outcome, Outcome::completed);
    ASSERT_FALSE(platform.reads.empty());
    EXPECT_EQ(platform.reads.back(), (folder / "Nota São João.xml").string());
    const auto ini = test::read_bytes((host / "Integracao_Docs_Fiscal.ini").string());
    ASSERT_TRUE(ini);
    // The path reaches the exchange file in the ANSI code page.
    EXPECT_NE(ini->find("Diretorio_Arquivo_XML=" + utf8_to_cp1252((folder / "Nota São João.xml").string()) + "\r\n"),
              std::string::npos);
}

}  // namespace
}  // namespace idf
