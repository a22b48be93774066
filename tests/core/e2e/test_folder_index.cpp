// The per-user index of searched folders, through the tool: a second
// search after a change in the folder finds what a search reading every
// file finds, and nothing is ever written in the searched folder.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <thread>

#include "e2e_support.hpp"

namespace idf::test {
namespace {

namespace fs = std::filesystem;

// A registered cancellation of `key`.
std::string cancelamento(const std::string& key) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><procEventoNFe xmlns=\"http://www.portalfiscal.inf.br/nfe\" "
           "versao=\"1.00\"><evento versao=\"1.00\"><infEvento><tpAmb>1</tpAmb><chNFe>" +
           key +
           "</chNFe><tpEvento>110111</tpEvento></infEvento></evento><retEvento versao=\"1.00\"><infEvento>"
           "<tpAmb>1</tpAmb><cStat>135</cStat><chNFe>" +
           key +
           "</chNFe><tpEvento>110111</tpEvento><dhRegEvento>2024-06-11T10:00:00-03:00</dhRegEvento>"
           "<nProt>135240000999999</nProt></infEvento></retEvento></procEventoNFe>";
}

// A cancellation of `key` cut 20 characters into its key element, as a
// broken download leaves it: the key stands whole only in the event's Id.
std::string cancelamento_cortado(const std::string& key, const std::string& tipo) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><procEventoNFe xmlns=\"http://www.portalfiscal.inf.br/nfe\" "
           "versao=\"1.00\"><evento versao=\"1.00\"><infEvento Id=\"ID" +
           tipo + key + "01\"><tpAmb>1</tpAmb><chNFe>" + key.substr(0, 20);
}

void write_bytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::set<std::string> names_in(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

struct Row {
    TempDir xml, out, cache;
    std::string cache_home = cache.str();
    std::string path(const std::string& name) const { return xml.str() + "/" + name; }
    std::string index() const {
        std::error_code none;
        for (const auto& entry : fs::directory_iterator(cache.str() + "/integracao-docs-fiscal", none))
            return entry.path().string();
        return {};
    }
    ProcessResult search() const {
        ::setenv("XDG_CACHE_HOME", cache_home.c_str(), 1);
        ProcessResult run = run_process(
            IDF_CLI_PATH,
            {"nfe", "--chave", nfe_key, "--pasta", xml.str(), "--saida", out.str(), "--json", "--silencioso"},
            out.str());
        ::unsetenv("XDG_CACHE_HOME");
        return run;
    }
};

TEST(FolderIndex, ASecondSearchFindsWhatReadingEveryFileFinds) {
    const std::string outra = std::string(nfe_key).substr(0, 43) + "9";  // same length, another key
    const auto hour_ago = fs::file_time_type::clock::now() - std::chrono::hours(1);
    const auto rewrite_keeping_time = [](const std::string& path, const std::string& bytes) {
        const auto time = fs::last_write_time(path);
        write_bytes(path, bytes);
        fs::last_write_time(path, time);
    };
    struct Case {
        const char* what;
        std::function<void(Row&)> change;  // after the first search
        bool cancelled;
        std::function<void(Row&)> before = {};   // right before the first search
        bool unreadable = false;                 // refused for a file that may be the cancellation
        bool indexed = true;                     // an index is kept
        std::function<void(Row&)> prepare = {};  // when the folder is made, before its files are dated
    };
    const auto shared_cache = [](Row& r) {
        fs::create_directory(r.cache.str() + "/integracao-docs-fiscal");
        fs::permissions(r.cache.str() + "/integracao-docs-fiscal", fs::perms::all);
    };
    const Case cases[] = {
        {"a file rewritten with the same size and time (another key, then this one)",
         [&](Row& r) { rewrite_keeping_time(r.path("a-evento.xml"), cancelamento(nfe_key)); }, true},
        {"a file written again within the index's own second",
         [&](Row& r) { rewrite_keeping_time(r.path("a-evento.xml"), cancelamento(nfe_key)); }, true,
         [&](Row& r) { write_bytes(r.path("a-evento.xml"), cancelamento(outra)); }},
        {"a cancellation added after the index was made",
         [&](Row& r) { r.xml.write("c-evento.xml", cancelamento(nfe_key)); }, true},
        {"a file renamed onto an indexed name, with its size and time",
         [&](Row& r) {
             const std::string moved = r.xml.write("novo.tmp", cancelamento(nfe_key));
             fs::last_write_time(moved, fs::last_write_time(r.path("a-evento.xml")));
             fs::rename(moved, r.path("a-evento.xml"));
         },
         true},
        {"a file deleted", [&](Row& r) { fs::remove(r.path("a-evento.xml")); }, false},
        {"a damaged index",
         [&](Row& r) {
             std::string bytes = read_bytes(r.index()).value();
             bytes[bytes.size() / 2] ^= 0x20;
             write_bytes(r.index(), bytes);
             r.xml.write("c-evento.xml", cancelamento(nfe_key));
         },
         true},
        {"a truncated index",
         [&](Row& r) {
             const std::string bytes = read_bytes(r.index()).value();
             write_bytes(r.index(), bytes.substr(0, bytes.size() - 3));
             r.xml.write("c-evento.xml", cancelamento(nfe_key));
         },
         true},
        {"a cache folder that cannot be made", [&](Row& r) { r.xml.write("c-evento.xml", cancelamento(nfe_key)); },
         true, [&](Row& r) { r.cache_home = r.cache.write("arquivo", "x"); }},
        {"a damaged cancellation, cut inside its key",
         [&](Row& r) { r.xml.write("c-evento.xml", cancelamento_cortado(nfe_key, "110111")); },
         false,
         {},
         true},
        {"a damaged cancellation by substitution",
         [&](Row& r) { r.xml.write("c-evento.xml", cancelamento_cortado(nfe_key, "110112")); },
         false,
         {},
         true},
        {"a cache folder others may write",
         [&](Row& r) { rewrite_keeping_time(r.path("a-evento.xml"), cancelamento(nfe_key)); }, true, shared_cache,
         false, false},
        {"a cache folder that is a link", [&](Row& r) { r.xml.write("c-evento.xml", cancelamento(nfe_key)); }, true,
         [&](Row& r) {
             fs::create_directory(r.cache.str() + "/alvo");
             fs::create_directory_symlink(r.cache.str() + "/alvo", r.cache.str() + "/integracao-docs-fiscal");
         },
         false, false},
        {"a document whose key is written with character references, unchanged",
         [](Row&) {},
         false,
         {},
         false,
         true,
         [&](Row& r) {
             // "&#51;" is the key's first digit, 3, wherever the key stands.
             std::string bytes = read_bytes(r.path("b-nota.xml")).value();
             for (auto at = bytes.find(nfe_key); at != std::string::npos; at = bytes.find(nfe_key, at))
                 bytes.replace(at, 1, "&#51;");
             write_bytes(r.path("b-nota.xml"), bytes);
         }},
    };
    std::vector<std::unique_ptr<Row>> rows;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        Row& r = *rows.emplace_back(std::make_unique<Row>());
        copy_document(r.xml, nfe_document, "b-nota.xml");
        r.xml.write("a-evento.xml", cancelamento(outra));
        if (cases[i].prepare) cases[i].prepare(r);
        for (const auto& entry : fs::directory_iterator(r.xml.str())) fs::last_write_time(entry.path(), hour_ago);
    }
    // Every file older than the index by more than a tick of any clock.
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        Row& r = *rows[i];
        SCOPED_TRACE(c.what);
        if (c.before) c.before(r);
        const std::set<std::string> listed = names_in(r.xml.str());
        const ProcessResult first = r.search();
        ASSERT_EQ(first.exit_code, 0) << first.out << first.err;
        EXPECT_EQ(names_in(r.xml.str()), listed);
        EXPECT_EQ(r.cache_home == r.cache.str() && c.indexed, !r.index().empty());
        c.change(r);
        const std::set<std::string> changed = names_in(r.xml.str());
        const ProcessResult second = r.search();
        EXPECT_EQ(second.exit_code, c.cancelled || c.unreadable ? 1 : 0) << second.out << second.err;
        EXPECT_EQ(second.out.find("que Pode Conter o Evento de Cancelamento") != std::string::npos, c.unreadable)
            << second.out;
        EXPECT_EQ(second.out.find("\"cancelamento\":null") == std::string::npos, c.cancelled) << second.out;
        EXPECT_EQ(names_in(r.xml.str()), changed);
    }
}

}  // namespace
}  // namespace idf::test
