// The index of searched folders against versions that only look the same:
// a link retargeted between the listing and the read, a folder swapped for
// one written in the same second, a file changed twice within one tick of
// its file system's clock, a file naming more keys than an entry holds.
// On the memory platform, where every version is set by hand, each case is
// exact: a second search must refuse the cancellation the first one did not
// see, or saw, exactly as a search reading every file.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "hardening/hardening_support.hpp"
#include "nfe/uimporta_arquivo_xml_nfe.hpp"
#include "platform/memory_platform.hpp"

namespace idf {
namespace {

const std::string K(test::sample_nfe_key);
const std::string outra = K.substr(0, 43) + (K.back() == '9' ? "8" : "9");  // same length, another key
constexpr std::int64_t second = 1'000'000'000;
constexpr std::int64_t written = 1'700'000'000 * second;  // when the folder's files were written

// A registered cancellation of `key`, after `before` (a comment, say).
std::string cancelamento(const std::string& key, const std::string& before = {}) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + before +
           "<procEventoNFe xmlns=\"http://www.portalfiscal.inf.br/nfe\" versao=\"1.00\"><evento versao=\"1.00\">"
           "<infEvento><tpAmb>1</tpAmb><chNFe>" +
           key +
           "</chNFe><tpEvento>110111</tpEvento></infEvento></evento><retEvento versao=\"1.00\"><infEvento>"
           "<tpAmb>1</tpAmb><cStat>135</cStat><chNFe>" +
           key +
           "</chNFe><tpEvento>110111</tpEvento><dhRegEvento>2024-06-11T10:00:00-03:00</dhRegEvento>"
           "<nProt>135240000999999</nProt></infEvento></retEvento></procEventoNFe>";
}

// A comment naming `count` distinct other keys in the shape of an access key.
std::string many_keys(std::size_t count) {
    std::string comment = "<!--";
    for (std::size_t n = 0; n < count; ++n) {
        const std::string serial = std::to_string(1'000'000'000 + n);
        comment += ' ' + K.substr(0, 34) + serial;
    }
    return comment + " -->";
}

FileVersion version_of(const std::string& bytes, std::uint64_t inode, std::uint64_t device = 7,
                       std::int64_t at = written) {
    return {bytes.size(), at, at, inode, device};
}

struct Folder {
    MemoryPlatform platform;
    std::string evento = "/pasta/a-evento.xml";
    Folder() {
        platform.cache_dir = "/cache";
        const std::string nota = test::sample_nfe();
        platform.add_file("/pasta/b-nota.xml", nota);
        platform.versions["/pasta/b-nota.xml"] = version_of(nota, 1);
    }
    void put(const std::string& bytes, const FileVersion& version) {
        platform.files[evento] = bytes;
        platform.versions[evento] = version;
    }
    ImportResult search() {
        platform.reads.clear();
        platform.boxes.clear();
        platform.files.erase("/host/Integracao_Docs_Fiscal.ini");
        return run_import(nfe::document, platform, Regional::brazilian(), {K, "/pasta", "Sim"});
    }
};

TEST(FolderIndexVersions, ASecondSearchRefusesWhatReadingEveryFileRefuses) {
    struct Case {
        const char* what;
        std::function<void(Folder&)> first;   // the folder of the first search
        std::function<void(Folder&)> second;  // what changed before the second
        bool first_cancelled = false;
    };
    const std::string harmless = cancelamento(outra);
    const std::string ours = cancelamento(K);
    ASSERT_EQ(harmless.size(), ours.size());
    const Case cases[] = {
        {"a link retargeted to a harmless file between the listing and the read, and back",
         [&](Folder& f) {
             f.put(harmless, version_of(ours, 20));
             f.platform.opened_versions[f.evento] = version_of(harmless, 21);
         },
         [&](Folder& f) {
             f.platform.opened_versions.clear();
             f.put(ours, version_of(ours, 20));
         }},
        {"a folder swapped for one written in the same second (another inode)",
         [&](Folder& f) { f.put(harmless, version_of(harmless, 20)); },
         [&](Folder& f) { f.put(ours, version_of(ours, 30)); }},
        {"a folder swapped for one on another device", [&](Folder& f) { f.put(harmless, version_of(harmless, 20)); },
         [&](Folder& f) { f.put(ours, version_of(ours, 20, 8)); }},
        {"a file written again within one tick of the clock, the index made 1.5 s later",
         [&](Folder& f) {
             f.put(harmless, version_of(harmless, 20));
             f.platform.clock = written + 3 * second / 2;
         },
         [&](Folder& f) { f.put(ours, version_of(ours, 20)); }},
        {"a file naming more than 65,535 other keys before ours",
         [&](Folder& f) {
             const std::string bytes = cancelamento(K, many_keys(65'536));
             f.put(bytes, version_of(bytes, 20));
         },
         [](Folder&) {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Folder f;
        f.platform.clock = written + 60 * second;
        c.first(f);
        const ImportResult first = f.search();
        EXPECT_EQ(first.cancelamento.has_value(), c.first_cancelled);
        ASSERT_FALSE(f.platform.files.empty());
        f.platform.clock = written + 120 * second;
        c.second(f);
        const ImportResult second_search = f.search();
        EXPECT_EQ(second_search.outcome, Outcome::aborted);
        ASSERT_TRUE(second_search.cancelamento.has_value());
        EXPECT_EQ(second_search.cancelamento->arquivo, f.evento);
    }
}

// What the cases above stand on: an unchanged file, listed with its
// recorded version and written well before the index, is passed over
// unread; the same file written within 2 s of the index is read again.
TEST(FolderIndexVersions, AnUnchangedFileIsPassedOverOnlyWhenItsVersionIsTrusted) {
    struct Case {
        const char* what;
        std::int64_t index_made;  // after the file was written
        bool read_again;
    };
    const Case cases[] = {
        {"written 1.5 s before the index", 3 * second / 2, true},
        {"written 2 s before the index", 2 * second, true},
        {"written a minute before the index", 60 * second, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Folder f;
        const std::string harmless = cancelamento(outra);
        f.put(harmless, version_of(harmless, 20));
        f.platform.clock = written + c.index_made;
        ASSERT_EQ(f.search().outcome, Outcome::completed);
        f.platform.clock = written + 120 * second;
        ASSERT_EQ(f.search().outcome, Outcome::completed);
        EXPECT_EQ(std::count(f.platform.reads.begin(), f.platform.reads.end(), f.evento) > 0, c.read_again);
    }
}

}  // namespace
}  // namespace idf
