// In-process figures, without process start-up or disk: the search's quick
// check, parsing, a whole NF-e import at 99, 990 and 9,900 items, and the
// search of a whole folder held in memory. The data comes from
// bench/gen_data.py, in the folder named by IDF_BENCH_DATA.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "nfe/uimporta_arquivo_xml_nfe.hpp"
#include "platform/memory_platform.hpp"
#include "search/key_precheck.hpp"
#include "values/regional.hpp"
#include "xml/tree.hpp"

namespace {

namespace fs = std::filesystem;

fs::path data_dir() {
    const char* dir = std::getenv("IDF_BENCH_DATA");
    return dir ? fs::path(dir) : fs::path();
}

std::string read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string items_file(int items) {
    const std::string name = "items-" + std::to_string(items);
    return read(data_dir() / name / (name + ".xml"));
}

void ImportNfe(benchmark::State& state) {
    const int items = static_cast<int>(state.range(0));
    const std::string bytes = items_file(items);
    if (bytes.empty()) return state.SkipWithError("no data: set IDF_BENCH_DATA");
    const idf::Regional regional = idf::Regional::brazilian();
    for (auto _ : state) {
        idf::MemoryPlatform platform;
        platform.add_file("/notas/nota.xml", bytes);
        platform.dialog_choice = "/notas/nota.xml";
        const auto result = idf::run_import(idf::nfe::document, platform, regional, {"", "", "Sim"});
        if (result.outcome != idf::Outcome::completed) return state.SkipWithError("the import did not complete");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
    // Seconds per item ("12.3u" reads 12.3 microseconds).
    state.counters["per_item"] =
        benchmark::Counter(items, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(ImportNfe)->Arg(99)->Arg(990)->Arg(9900)->Unit(benchmark::kMillisecond);

void ParseNfe(benchmark::State& state) {
    const std::string bytes = items_file(static_cast<int>(state.range(0)));
    if (bytes.empty()) return state.SkipWithError("no data: set IDF_BENCH_DATA");
    for (auto _ : state) {
        idf::xml::Document doc;
        doc.load(bytes, "nota.xml");
        benchmark::DoNotOptimize(doc.document_element());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(ParseNfe)->Arg(990)->Unit(benchmark::kMillisecond);

// The folder's files, in name order, and the wanted key.
struct Folder {
    std::vector<std::pair<std::string, std::string>> files;
    std::string key;
};

const Folder& folder() {
    static const Folder loaded = [] {
        Folder f;
        std::vector<fs::path> paths;
        if (fs::is_directory(data_dir() / "folder"))
            for (const auto& entry : fs::directory_iterator(data_dir() / "folder")) paths.push_back(entry.path());
        std::sort(paths.begin(), paths.end());
        for (const auto& path : paths) f.files.emplace_back(path.filename().string(), read(path));
        f.key = read(data_dir() / "key.txt");
        while (!f.key.empty() && (f.key.back() == '\n' || f.key.back() == '\r')) f.key.pop_back();
        return f;
    }();
    return loaded;
}

void KeyPrecheck(benchmark::State& state) {
    const Folder& f = folder();
    if (f.files.empty()) return state.SkipWithError("no data: set IDF_BENCH_DATA");
    const idf::KeyPrecheck check(f.key);
    std::int64_t bytes = 0;
    for (auto _ : state) {
        for (const auto& [name, content] : f.files) {
            benchmark::DoNotOptimize(check.may_carry_key(content));
            bytes += static_cast<std::int64_t>(content.size());
        }
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(KeyPrecheck)->Unit(benchmark::kMillisecond);

void SearchFolderInMemory(benchmark::State& state) {
    const Folder& f = folder();
    if (f.files.empty()) return state.SkipWithError("no data: set IDF_BENCH_DATA");
    idf::MemoryPlatform platform;
    for (const auto& [name, content] : f.files) platform.add_file("/pasta/" + name, content);
    const idf::Regional regional = idf::Regional::brazilian();
    for (auto _ : state) {
        platform.reads.clear();
        const auto result = idf::run_import(idf::nfe::document, platform, regional, {f.key, "/pasta", "Sim"});
        if (result.outcome != idf::Outcome::completed) return state.SkipWithError("the search did not complete");
    }
    state.counters["files"] = static_cast<double>(f.files.size());
}
BENCHMARK(SearchFolderInMemory)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
