// Allocation failures: the N-th allocation of a whole import fails once,
// for every N. Each run must either complete with exactly the file of the
// run without failure, or end on the abort path with no file at all, the
// unexpected-error message and no descriptor left open. A failure taken for
// a value that could not be read (an empty date, a dropped line) shows up
// as a completed file that differs.
//
// Both operator new and the XML parser's allocator are counted. This
// program has a test of its own: it replaces the global operator new.
#include <gtest/gtest.h>
#include <libxml/xmlmemory.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "common/messages.hpp"
#include "cte/cte_fixture.hpp"
#include "nfe/nfe_fixture.hpp"
#include "platform/memory_platform.hpp"

namespace {

// While armed, allocations are counted and the one numbered fail_at fails.
struct FailurePlan {
    bool armed = false;
    long count = 0;
    long fail_at = 0;  // 0: none fails
    bool fired = false;
} plan;

bool this_one_fails() {
    if (!plan.armed) return false;
    if (++plan.count != plan.fail_at) return false;
    plan.fired = true;
    return true;
}

void* allocate(std::size_t size) noexcept {
    if (this_one_fails()) return nullptr;
    return std::malloc(size ? size : 1);
}

void* allocate(std::size_t size, std::align_val_t align) noexcept {
    if (this_one_fails()) return nullptr;
    void* p = nullptr;
    const std::size_t alignment = std::max(static_cast<std::size_t>(align), sizeof(void*));
    return ::posix_memalign(&p, alignment, size ? size : 1) == 0 ? p : nullptr;
}

// The XML parser's own allocations count and fail the same way.
void* parser_malloc(std::size_t size) { return allocate(size); }
void* parser_realloc(void* p, std::size_t size) {
    if (this_one_fails()) return nullptr;
    return std::realloc(p, size ? size : 1);
}
char* parser_strdup(const char* text) {
    const std::size_t size = std::strlen(text) + 1;
    auto* copy = static_cast<char*>(allocate(size));
    if (copy) std::memcpy(copy, text, size);
    return copy;
}
// Before the parser's first use.
[[maybe_unused]] const int parser_allocator = xmlMemSetup(std::free, parser_malloc, parser_realloc, parser_strdup);

}  // namespace

// Under the leak checker: libxml2 2.9 loses the input buffer it has just
// made when a later allocation of xmlCreateIOParserCtxt fails (its own
// failure path, fixed in later releases).
extern "C" const char* __lsan_default_suppressions() { return "leak:xmlAllocParserInputBuffer\n"; }

namespace {

template <typename... Align>
void* allocate_or_throw(std::size_t size, Align... align) {
    if (void* p = allocate(size, align...)) return p;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return allocate_or_throw(size); }
void* operator new[](std::size_t size) { return allocate_or_throw(size); }
void* operator new(std::size_t size, std::align_val_t align) { return allocate_or_throw(size, align); }
void* operator new[](std::size_t size, std::align_val_t align) { return allocate_or_throw(size, align); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new(std::size_t size, std::align_val_t align, const std::nothrow_t&) noexcept {
    return allocate(size, align);
}
void* operator new[](std::size_t size, std::align_val_t align, const std::nothrow_t&) noexcept {
    return allocate(size, align);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }

namespace idf {
namespace {

namespace fs = std::filesystem;

// One search: the files of the folder and the key looked for.
struct Scenario {
    test::DocType type;
    std::string key;
    std::vector<std::pair<std::string, std::string>> files;
};

// The folder holds, before the document, a file cut short that carries the
// key (parsed, refused) and one whose key is outside any protocol (parsed,
// passed over).
Scenario search_for(test::DocType type, std::string_view key, const std::string& document) {
    const std::string k(key);
    return {type,
            k,
            {{"a.xml", "<proc><prot><infProt><chNFe>" + k + "</chNFe><chCTe>" + k},
             {"b.xml", "<proc><infNFe Id=\"NFe" + k + "\"/><infCte Id=\"CTe" + k + "\"/></proc>"},
             {"c.xml", document}}};
}

// Every section of the NF-e, with a problem line for the report (a date
// that does not exist).
Scenario nfe_search() {
    test::nfe::NFe nfe;
    nfe.ide =
        "<ide><serie>1</serie><nNF>123</nNF><dhEmi>2023-02-30T10:20:30-03:00</dhEmi>"
        "<NFref><refNFe>35230512345678000190550010000000411000000411</refNFe></NFref></ide>";
    nfe.dest =
        "<dest><CNPJ>98765432000110</CNPJ><xNome>Cliente</xNome><enderDest><xLgr>Rua B</xLgr><CEP>01001000</CEP>"
        "<fone>1132851000</fone></enderDest></dest>";
    nfe.det =
        test::nfe::det(1,
                       "<cProd>001</cProd><xProd>Parafuso</xProd><CFOP>5102</CFOP><uCom>CX</uCom>"
                       "<qCom>10.0000</qCom><vUnCom>1.5</vUnCom><vProd>15.00</vProd>",
                       "<imposto><ICMS><ICMS10><CST>10</CST><vBC>14.50</vBC><pICMS>18.00</pICMS>"
                       "<vICMS>2.61</vICMS><vICMSST>1.00</vICMSST></ICMS10></ICMS>"
                       "<IPI><IPITrib><CST>50</CST><vBC>14.50</vBC><pIPI>5</pIPI><vIPI>0.73</vIPI></IPITrib></IPI>"
                       "<PIS><PISAliq><CST>01</CST><vPIS>0.24</vPIS></PISAliq></PIS></imposto>") +
        test::nfe::det(2, "<cProd>002</cProd><qCom>3</qCom>",
                       "<imposto><ICMS><ICMSSN900><CSOSN>900</CSOSN><pICMS>12.00</pICMS></ICMSSN900></ICMS>"
                       "</imposto>");
    nfe.transp =
        "<transp><modFrete>1</modFrete><transporta><CNPJ>11222333000181</CNPJ><xNome>Rapida</xNome>"
        "</transporta><vol><qVol>2</qVol></vol></transp>";
    nfe.cobr = "<cobr><dup><nDup>001</nDup><dVenc>2023-06-10</dVenc><vDup>8.20</vDup></dup></cobr>";
    nfe.inf_adic = "<infAdic><infCpl>Pedido 77.\nManh&#xE3;.</infCpl></infAdic>";
    return search_for(test::DocType::nfe, test::nfe::chave, nfe.xml());
}

// Every section of the CT-e, with the transported invoices.
Scenario cte_search() {
    test::cte::CTe cte;
    cte.v_prest = "<vPrest><vTPrest>abc</vTPrest><vRec>100.00</vRec></vPrest>";
    cte.inf_cte_norm =
        "<infCTeNorm><infDoc><infNFe><chave>35240611111111000111550010000001011000001011</chave></infNFe>"
        "<infNFe><chave>35240611111111000111550010000001021000001022</chave></infNFe></infDoc></infCTeNorm>";
    return search_for(test::DocType::cte, test::cte::chave, cte.xml());
}

struct Run {
    bool escaped = false;  // an exception left the import function
    ImportResult result;
    std::vector<std::string> boxes;
    std::optional<std::string> ini;
    std::vector<std::string> exchange_folder;  // names left in it
    long open_fds_before = 0;
    long open_fds_after = 0;
    long allocations = 0;
    bool failed = false;
};

long open_fds() {
    long n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

// Runs the import with allocation `fail_at` failing (0: none).
void armed_import(const Scenario& s, Platform& platform, const std::string& folder, long fail_at, Run& run) {
    const Regional regional = Regional::brazilian();
    plan = {true, 0, fail_at, false};
    try {
        run.result = run_import(test::document_type(s.type), platform, regional, {s.key, folder, ""});
    } catch (...) {
        run.escaped = true;
    }
    run.allocations = plan.count;
    run.failed = plan.fired;
    plan = {};
}

Run run_in_memory(const Scenario& s, long fail_at) {
    MemoryPlatform platform;
    for (const auto& [name, bytes] : s.files) platform.add_file("/xml/" + name, bytes);
    Run run;
    armed_import(s, platform, "/xml", fail_at, run);
    run.boxes = platform.boxes;
    run.ini = platform.exchange_file();
    for (const auto& [path, bytes] : platform.files)
        if (path.starts_with(platform.exchange_dir + "/")) run.exchange_folder.push_back(path);
    return run;
}

// The real file system: the documents in <dir>/xml, the exchange file in
// <dir>/host.
class OnDisk {
public:
    explicit OnDisk(const Scenario& s) : scenario_(s) {
        fs::create_directory(dir_.path() / "xml");
        fs::create_directory(dir_.path() / "host");
        for (const auto& [name, bytes] : s.files) dir_.write("xml/" + name, bytes);
    }
    Run run(long fail_at) {
        const fs::path host = dir_.path() / "host";
        for (const auto& entry : fs::directory_iterator(host)) fs::remove(entry.path());
        // Each run makes the index of the folder anew: the same allocations.
        fs::remove_all(dir_.path() / "cache");
        ::setenv("XDG_CACHE_HOME", (dir_.path() / "cache").c_str(), 1);
        test::TestPlatform platform(host.string());
        const std::string folder = (dir_.path() / "xml").string();
        Run run;
        run.open_fds_before = open_fds();
        armed_import(scenario_, platform, folder, fail_at, run);
        run.open_fds_after = open_fds();
        ::unsetenv("XDG_CACHE_HOME");
        run.boxes = platform.boxes;
        run.ini = test::read_bytes((host / exchange_file_name).string());
        for (const auto& entry : fs::directory_iterator(host)) run.exchange_folder.push_back(entry.path().string());
        return run;
    }

private:
    const Scenario& scenario_;
    test::TempDir dir_;
};

// What is wrong with a run whose allocation failed, against the run
// without failure; empty when nothing is.
std::string fault(const Run& run, const Run& clean) {
    if (!run.failed) return "the allocation did not fail";
    if (run.open_fds_after != run.open_fds_before) return "a descriptor was left open";
    if (run.escaped) {
        // Only before the import begins (copying the arguments).
        if (!run.boxes.empty() || !run.exchange_folder.empty()) return "an exception left a call that had begun";
        return {};
    }
    if (run.result.outcome == Outcome::completed) {
        if (run.ini != clean.ini) return "completed with another file";
        if (run.boxes != clean.boxes || run.result.lista_problemas != clean.result.lista_problemas)
            return "completed with another report";
        if (run.exchange_folder.size() != 1) return "completed with other files beside the exchange file";
        return {};
    }
    if (!run.exchange_folder.empty()) return "aborted and left a file";
    const std::string unexpected =
        std::string(msg::erro_inesperado) + std::bad_alloc().what() + std::string(msg::abortada);
    if (run.boxes != std::vector<std::string>{unexpected} &&
        run.boxes != std::vector<std::string>{std::string(msg::erro_criar_arquivo)})
        return "aborted without the unexpected-error message";
    return {};
}

template <typename RunOnce>
void every_allocation_fails_once(RunOnce run_once) {
    run_once(0);  // once-only allocations (static tables) are made here
    const Run clean = run_once(0);
    ASSERT_EQ(clean.result.outcome, Outcome::completed);
    ASSERT_TRUE(clean.ini.has_value());
    ASSERT_EQ(clean.boxes.size(), 1u);  // the problem report
    ASSERT_GT(clean.allocations, 100);
    for (long n = 1; n <= clean.allocations; ++n) {
        const std::string problem = fault(run_once(n), clean);
        ASSERT_EQ(problem, "") << "allocation " << n << " of " << clean.allocations;
    }
}

TEST(AllocationFailure, NfeImportInMemoryCompletesExactlyOrLeavesNothing) {
    const Scenario s = nfe_search();
    every_allocation_fails_once([&](long n) { return run_in_memory(s, n); });
}

TEST(AllocationFailure, CteImportInMemoryCompletesExactlyOrLeavesNothing) {
    const Scenario s = cte_search();
    every_allocation_fails_once([&](long n) { return run_in_memory(s, n); });
}

TEST(AllocationFailure, NfeImportOnDiskCompletesExactlyOrLeavesNothing) {
    const Scenario s = nfe_search();
    OnDisk disk(s);
    every_allocation_fails_once([&](long n) { return disk.run(n); });
}

TEST(AllocationFailure, CteImportOnDiskCompletesExactlyOrLeavesNothing) {
    const Scenario s = cte_search();
    OnDisk disk(s);
    every_allocation_fails_once([&](long n) { return disk.run(n); });
}

}  // namespace
}  // namespace idf
