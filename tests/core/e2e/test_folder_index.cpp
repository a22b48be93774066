// The per-user index of searched folders, through the tool: a second
// search after a change in the folder finds what a search reading every
// file finds, and nothing is ever written in the searched folder.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

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
    std::string folder = xml.str();  // the folder searched
    std::string path(const std::string& name) const { return folder + "/" + name; }
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
            {"nfe", "--chave", nfe_key, "--pasta", folder, "--saida", out.str(), "--json", "--silencioso"}, out.str());
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

// An ext4 made with 128-byte inodes, which keep whole seconds, over a loop
// device for the test's life: root only.
class WholeSeconds {
public:
    WholeSeconds() {
        if (::geteuid() != 0) return;
        fs::create_directory(mount_);
        const std::string make = "truncate -s 16M '" + image_ + "' && mkfs.ext4 -q -F -I 128 '" + image_ +
                                 "' 2>/dev/null && mount -o loop '" + image_ + "' '" + mount_ + "'";
        mounted_ = std::system(make.c_str()) == 0;
    }
    ~WholeSeconds() {
        if (mounted_) ::umount2(mount_.c_str(), MNT_DETACH);
    }
    WholeSeconds(const WholeSeconds&) = delete;
    WholeSeconds& operator=(const WholeSeconds&) = delete;
    bool mounted() const { return mounted_; }
    // A new folder on the disk.
    std::string folder(const std::string& name) const {
        fs::create_directory(mount_ + "/" + name);
        return mount_ + "/" + name;
    }

private:
    TempDir dir_;
    std::string image_ = dir_.str() + "/disco.img";
    std::string mount_ = dir_.str() + "/disco";
    bool mounted_ = false;
};

// The second of the file's last change (its ctime).
long changed_second(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_ctim.tv_sec) : -1;
}

// Sleeps to 20 ms past the start of the next second of the system clock.
void to_start_of_second() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto into = now - std::chrono::duration_cast<std::chrono::seconds>(now);
    std::this_thread::sleep_for(std::chrono::seconds(1) - into + std::chrono::milliseconds(20));
}

// Where a file's times are whole seconds, a file written twice in one
// second and a folder swapped for one written in the same second differ
// from what the index recorded only by a change within one tick of the
// clock, or by the files' inodes.
TEST(FolderIndex, OnAFileSystemOfWholeSecondsNothingWrittenInTheSameSecondIsPassedOver) {
    const WholeSeconds disk;
    if (!disk.mounted()) GTEST_SKIP() << "no ext4 over a loop device here (root only)";
    const std::string outra = std::string(nfe_key).substr(0, 43) + "9";
    struct Case {
        const char* what;
        // Makes the folder of the first search, then changes it for the
        // second; false when the change did not fall in the same second.
        std::function<bool(Row&, const std::function<void()>& first_search)> run;
    };
    const auto write_pair = [&](const std::string& folder, const std::string& key) {
        write_bytes(folder + "/b-nota.xml", read_bytes(nfe_document).value());
        write_bytes(folder + "/a-evento.xml", cancelamento(key));
    };
    const Case cases[] = {
        {"a file written again within the second the index was made",
         [&](Row& r, const std::function<void()>& first_search) {
             r.folder = disk.folder("uma");
             to_start_of_second();
             write_pair(r.folder, outra);
             const long written = changed_second(r.path("a-evento.xml"));
             first_search();
             const auto time = fs::last_write_time(r.path("a-evento.xml"));
             write_bytes(r.path("a-evento.xml"), cancelamento(nfe_key));
             fs::last_write_time(r.path("a-evento.xml"), time);
             return changed_second(r.path("a-evento.xml")) == written;
         }},
        {"a folder swapped for one written in the same second (only the inodes differ)",
         [&](Row& r, const std::function<void()>& first_search) {
             r.folder = disk.folder("pasta");
             const std::string other = disk.folder("outra");
             to_start_of_second();
             write_pair(r.folder, outra);
             write_pair(other, nfe_key);
             const auto time = fs::last_write_time(r.path("a-evento.xml")) - std::chrono::hours(1);
             for (const std::string& folder : {r.folder, other})
                 for (const char* name : {"/a-evento.xml", "/b-nota.xml"}) fs::last_write_time(folder + name, time);
             const bool same = changed_second(r.path("a-evento.xml")) == changed_second(other + "/a-evento.xml") &&
                               changed_second(r.path("b-nota.xml")) == changed_second(other + "/b-nota.xml");
             // Every file older than the index by more than the 2 s it
             // does not trust.
             std::this_thread::sleep_for(std::chrono::milliseconds(2300));
             first_search();
             fs::rename(r.folder, r.folder + ".antiga");
             fs::rename(other, r.folder);
             return same;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bool in_one_second = false;
        for (int attempt = 0; attempt < 5 && !in_one_second; ++attempt) {
            fs::remove_all(disk.folder("uma"));
            fs::remove_all(disk.folder("pasta"));
            fs::remove_all(disk.folder("pasta.antiga"));
            fs::remove_all(disk.folder("outra"));
            Row r;
            in_one_second = c.run(r, [&] {
                const ProcessResult first = r.search();
                ASSERT_EQ(first.exit_code, 0) << first.out << first.err;
                ASSERT_FALSE(r.index().empty());
            });
            if (!in_one_second) continue;
            const ProcessResult second = r.search();
            EXPECT_EQ(second.exit_code, 1) << second.out << second.err;
            EXPECT_EQ(second.out.find("\"cancelamento\":null"), std::string::npos) << second.out;
        }
        EXPECT_TRUE(in_one_second) << "the case never fell within one second";
    }
}

}  // namespace
}  // namespace idf::test
