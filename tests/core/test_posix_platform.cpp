// The Linux platform: directory listing, wildcard masks, name order, file
// reading, the exchange file's temporary files, and the exchange folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "core/core_support.hpp"
#include "platform/posix/posix_platform.hpp"
#include "xml/tree.hpp"

namespace idf {
namespace {

namespace fs = std::filesystem;

TEST(MaskMatches, WildcardsIgnoringLetterCase) {
    struct Case {
        const char* mask;
        const char* name;
        bool matches;
    };
    const Case cases[] = {
        {"*.xml", "a.xml", true},
        {"*.xml", "A.XML", true},
        {"*.xml", ".xml", true},
        {"*.xml", "a.xml.bak", false},
        {"*.xml", "a.xmlx", false},
        {"*.xml", "axml", false},
        {"*.xml", "a.b.xml", true},
        {"*.XML", "a.xml", true},
        {"nota?.xml", "nota1.xml", true},
        {"nota?.xml", "nota.xml", false},
        {"nota?.xml", "nota12.xml", false},
        {"*", "anything", true},
        {"*", "", true},
        {"", "", true},
        {"", "a", false},
        {"a*b*c", "aXXbYYc", true},
        {"a*b*c", "aXXbYY", false},
        {"**.xml", "a.xml", true},
        {"*a*", "bbb", false},
        {"?", "", false},
        {"*.xml", "Ç.xml", true},
        // The letters CP1252 has in both cases fold; "?" is one character.
        {"ção*.xml", "ÇÃO1.XML", true},
        {"ŠŒŽŸÞ.xml", "šœžÿþ.xml", true},
        {"×.xml", "÷.xml", false},
        {"?.xml", "é.xml", true},
        {"É?.xml", "é.xml", false},
    };
    for (const auto& c : cases) EXPECT_EQ(mask_matches(c.mask, c.name), c.matches) << c.mask << " / " << c.name;
}

TEST(NameLess, AscendingIgnoringLetterCase) {
    EXPECT_TRUE(name_less("a.xml", "B.XML"));
    EXPECT_FALSE(name_less("B.XML", "a.xml"));
    EXPECT_TRUE(name_less("nota.xml", "nota1.xml"));  // "." before "1"
    EXPECT_TRUE(name_less("nota10.xml", "nota9.xml"));
    EXPECT_TRUE(name_less("ab", "abc"));
    EXPECT_FALSE(name_less("abc", "ABC") && name_less("ABC", "abc"));  // a strict order
    EXPECT_FALSE(name_less("same", "same"));
    // Accented letters fold too; names equal but for case keep byte order.
    EXPECT_TRUE(name_less("éa.xml", "Éb.xml"));
    EXPECT_TRUE(name_less("Œa", "œb"));
    EXPECT_TRUE(name_less("ÿa", "Ÿb"));
    EXPECT_TRUE(name_less("É.xml", "é.xml"));
    EXPECT_FALSE(name_less("é.xml", "É.xml"));
    EXPECT_TRUE(name_less("z.xml", "×.xml"));  // × and ÷ are no letters
}

TEST(ListDirectory, PlainVisibleFilesMatchingTheMaskSorted) {
    test::TempDir dir;
    test::CurrentFolderGuard guard;
    for (const char* name : {"b.xml", "A.XML", "c.XmL", "_u.xml", "10.xml", "9.xml", ".oculto.xml", "d.txt"})
        dir.write(name, "<a/>");
    fs::create_directory(dir.path() / "pasta.xml");
    ASSERT_EQ(::mkfifo((dir.path() / "fifo.xml").c_str(), 0644), 0);
    fs::create_symlink(dir.path() / "b.xml", dir.path() / "link.xml");
    fs::create_symlink(dir.path() / "nowhere", dir.path() / "dangling.xml");

    PosixPlatform platform;
    const auto listing = platform.list_directory(dir.str());
    ASSERT_TRUE(listing);
    EXPECT_EQ(listing->folder, dir.str());
    // A link to a plain file is a plain file.
    EXPECT_EQ(listing->names,
              (std::vector<std::string>{"10.xml", "9.xml", "_u.xml", "A.XML", "b.xml", "c.XmL", "link.xml"}));
    EXPECT_EQ(fs::current_path(), dir.path());
}

TEST(ListDirectory, FolderForms) {
    test::TempDir dir;
    test::CurrentFolderGuard guard;
    fs::create_directory(dir.path() / "sub");
    dir.write("sub/x.xml", "");
    dir.write("sub/y.TXT", "");
    PosixPlatform platform;
    struct Case {
        std::string folder;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {dir.str() + "/sub", {"x.xml"}},
        {dir.str() + "/sub/", {"x.xml"}},
        {dir.str() + "/sub//", {"x.xml"}},
        {dir.str() + "/sub/*.txt", {"y.TXT"}},
        {dir.str() + "/sub/*", {"x.xml", "y.TXT"}},
        {dir.str() + "/sub/?.*", {"x.xml", "y.TXT"}},
        {dir.str() + "/sub/*.pdf", {}},
    };
    for (const auto& c : cases) {
        const auto listing = platform.list_directory(c.folder);
        ASSERT_TRUE(listing) << c.folder;
        EXPECT_EQ(listing->folder, dir.str() + "/sub") << c.folder;
        EXPECT_EQ(listing->names, c.names) << c.folder;
    }
    fs::current_path(dir.path());
    EXPECT_EQ(platform.list_directory("sub")->folder, dir.str() + "/sub");
    fs::current_path(dir.path() / "sub");
    EXPECT_EQ(platform.list_directory("")->folder, dir.str() + "/sub");
    EXPECT_EQ(platform.list_directory("*.txt")->names, std::vector<std::string>{"y.TXT"});
    EXPECT_EQ(platform.list_directory("/")->folder, "/");
}

TEST(ListDirectory, MissingFolderIsNotListedAndTheCurrentFolderStays) {
    test::TempDir dir;
    test::CurrentFolderGuard guard;
    const std::string file = dir.write("f.xml", "");
    fs::current_path(dir.path());
    PosixPlatform platform;
    EXPECT_FALSE(platform.list_directory(dir.str() + "/missing"));
    EXPECT_FALSE(platform.list_directory(file));
    EXPECT_FALSE(platform.list_directory(dir.str() + "/missing/*.xml"));
    EXPECT_EQ(fs::current_path(), dir.path());
}

TEST(ReadFile, ReadsPlainFilesOnlyAndTellsWhyNot) {
    test::TempDir dir;
    PosixPlatform platform;
    const std::string bytes("a\0b\r\n\xff", 6);
    // A FIFO with nobody writing must not block the search.
    const std::string fifo = dir.str() + "/fifo.xml";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    // Larger than the XML layer parses: told by its size, never read.
    const std::string large = dir.write("large.xml", "");
    fs::resize_file(large, xml::Document::max_file_size + 1);
    const std::string loop = dir.str() + "/loop.xml";
    fs::create_symlink("loop.xml", loop);
    struct Case {
        std::string path;
        ReadStatus status;
        std::string bytes;
    };
    const Case cases[] = {
        {dir.str(), ReadStatus::absent, ""},
        {dir.str() + "/missing.xml", ReadStatus::absent, ""},
        {fifo, ReadStatus::absent, ""},
        {large, ReadStatus::too_large, ""},
        {loop, ReadStatus::unreadable, ""},
        {dir.write("f.xml", bytes), ReadStatus::read, bytes},
        {dir.write("empty.xml", ""), ReadStatus::read, ""},
    };
    for (const Case& c : cases) {
        const FileBytes file = platform.read_file(c.path);
        EXPECT_EQ(file.status, c.status) << c.path;
        EXPECT_EQ(file.bytes, c.bytes) << c.path;
    }
    // Once per file: another name of a file read is not read again.
    fs::create_hard_link(dir.path() / "f.xml", dir.path() / "g.xml");
    FileIdentities read;
    EXPECT_EQ(*platform.read_file_once(dir.str() + "/f.xml", read), bytes);
    EXPECT_EQ(platform.read_file_once(dir.str() + "/g.xml", read).status, ReadStatus::read_before);
}

TEST(PathsShown, EveryNameBecomesUtf8AndUtf8StaysAsItIs) {
    PosixPlatform platform;
    const std::pair<std::string, std::string> cases[] = {
        {"a\xe7\xe3o.xml", "ação.xml"},                // Latin-1 bytes, a Windows archive unpacked here
        {"nota\xff.xml", "notaÿ.xml"},                 // not UTF-8
        {"nota\xc0\xae.xml", "nota\u00c0\u00ae.xml"},  // an overlong "." is no UTF-8 either
        {"nota.xml", "nota.xml"},
        {"ação €‰ ł \U0001F600.xml", "ação €‰ ł \U0001F600.xml"},
        {"nota\nx.xml", "nota\nx.xml"},
    };
    for (const auto& [name, shown] : cases) EXPECT_EQ(platform.path_to_utf8(name), shown) << name;
}

// The folder's entries other than `except`.
std::vector<std::string> others(const test::TempDir& dir, const std::string& except = "") {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        if (entry.path().filename() != except) names.push_back(entry.path().filename().string());
    return names;
}

TEST(OutputFiles, TheNameHoldsTheOldFileUntilCommitThenTheNewOneAndNoTemporary) {
    test::TempDir dir;
    PosixPlatform platform;
    const std::string path = dir.write("out.ini", "old content that is longer");
    EXPECT_FALSE(platform.create_file(dir.str() + "/missing/out.ini"));
    {
        auto dropped = platform.create_file(path);
        ASSERT_TRUE(dropped);
        EXPECT_TRUE(dropped->write("never committed"));
    }
    EXPECT_EQ(test::read_bytes(path), "old content that is longer");
    EXPECT_EQ(others(dir, "out.ini"), std::vector<std::string>{});

    auto file = platform.create_file(path);
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->write("new"));
    const auto temporaries = others(dir, "out.ini");
    ASSERT_EQ(temporaries.size(), 1u);
    EXPECT_TRUE(temporaries[0].starts_with(".out.ini." + std::to_string(::getpid()) + ".")) << temporaries[0];
    EXPECT_EQ(test::read_bytes(path), "old content that is longer");
    EXPECT_TRUE(file->commit());
    EXPECT_FALSE(file->commit());
    EXPECT_EQ(test::read_bytes(path), "new");
    EXPECT_EQ(others(dir, "out.ini"), std::vector<std::string>{});
    EXPECT_TRUE(platform.delete_file(path));
    EXPECT_EQ(platform.entry_kind(path), EntryKind::none);
    EXPECT_FALSE(platform.delete_file(path));
}

TEST(OutputFiles, LeftoversOfDeadWritersAreRemovedThoseOfLiveOnesKept) {
    // A process id that is certainly not running: a child already reaped.
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ASSERT_GT(child, 0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    const std::string dead = std::to_string(child);
    const std::string alive = std::to_string(::getpid());

    struct Case {
        std::string name;
        bool locked;  // held by a live writer
        bool old;     // last written long ago
        bool removed;
    };
    const Case cases[] = {
        {".out.ini." + dead + ".0123456789abcdef.tmp", false, false, true},
        {".out.ini." + dead + ".0123456789abcdee.tmp", true, true, false},
        {".out.ini." + alive + ".0123456789abcdef.tmp", false, false, false},
        {".out.ini." + alive + ".0123456789abcdee.tmp", false, true, true},
        {".out.ini." + alive + ".0123456789abcded.tmp", true, true, false},
        // Not of this form: never touched.
        {".out.ini." + dead + ".tmp", false, true, false},
        {"out.ini." + dead + ".0123456789abcdef.tmp", false, true, false},
        {".other.ini." + dead + ".0123456789abcdef.tmp", false, true, false},
        {".out.ini." + dead + ".my-backup-copy!!.tmp", false, true, false},  // a user's copy, 16 characters
        {".out.ini." + dead + ".0123456789ABCDEF.tmp", false, true, false},
        {".out.ini.0" + dead + ".0123456789abcdef.tmp", false, true, false},
        {".out.ini." + dead + ".0123456789abcdef.tmp.tmp", false, true, false},
    };
    test::TempDir dir;
    std::vector<int> locks;
    for (const Case& c : cases) {
        const std::string path = dir.write(c.name, "leftover");
        if (c.old) fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::minutes(10));
        if (c.locked) {
            locks.push_back(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
            ASSERT_EQ(::flock(locks.back(), LOCK_EX | LOCK_NB), 0);
        }
    }
    PosixPlatform platform;
    auto file = platform.create_file(dir.str() + "/out.ini");
    ASSERT_TRUE(file);
    for (const Case& c : cases) EXPECT_EQ(fs::exists(dir.path() / c.name), !c.removed) << c.name;
    for (const int fd : locks) ::close(fd);
}

TEST(ExchangeFolder, IsTheFolderOfTheRunningExecutable) {
    PosixPlatform platform;
    const fs::path exe = fs::read_symlink("/proc/self/exe");
    EXPECT_EQ(platform.exchange_folder(), exe.parent_path().string());
    // Whatever the current folder.
    test::TempDir dir;
    test::CurrentFolderGuard guard;
    fs::current_path(dir.path());
    EXPECT_EQ(platform.exchange_folder(), exe.parent_path().string());
    EXPECT_EQ(platform.join_path("/pasta", "Integracao_Docs_Fiscal.ini"), "/pasta/Integracao_Docs_Fiscal.ini");
}

TEST(HostToAnsi, ArgumentsInUtf8BecomeCp1252) {
    PosixPlatform platform;
    EXPECT_EQ(platform.host_to_ansi("Ação €"), "A\xe7\xe3o \x80");
    EXPECT_EQ(platform.host_to_ansi("中"), "?");
    EXPECT_EQ(platform.host_to_ansi(""), "");
}

}  // namespace
}  // namespace idf
