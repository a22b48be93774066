// The exchange file under adversity: a process killed at any moment, a
// write cut short, a name that cannot be deleted, and links planted or
// raced onto its name. Whatever happens, the name holds the old file, the
// new complete file or nothing, and no other file is ever written.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/messages.hpp"
#include "hardening/hardening_support.hpp"
#include "nfe/uimporta_arquivo_xml_nfe.hpp"

namespace idf {
namespace {

namespace fs = std::filesystem;

const std::string K(test::sample_nfe_key);
const std::string ini_name = "Integracao_Docs_Fiscal.ini";
const std::string old_file = "[IDENTIFICACAO]\r\nChave_Acesso=antiga\r\n";

struct ImportRun {
    Outcome outcome;
    std::vector<std::string> boxes;
};

ImportRun import_nfe(const std::string& host, const std::string& folder) {
    test::TestPlatform platform(host);
    const ImportResult result = run_import(nfe::document, platform, Regional::brazilian(), {K, folder, "Sim"});
    return {result.outcome, platform.boxes};
}

// A search folder where the document is found after `decoys` other files,
// and the exchange file that a complete import of it writes.
struct Scene {
    test::TempDir folder;
    std::string expected;
    bool ready = false;
    explicit Scene(int decoys) {
        const auto document = test::read_bytes(test::sample_nfe_path());
        if (!document) return;
        for (int i = 0; i < decoys; ++i)
            folder.write(std::string("a").append(std::to_string(i)).append(".xml"),
                         test::nfe_doc(std::string(test::key_b)));
        folder.write("z.xml", *document);
        test::TempDir host;
        import_nfe(host.str(), folder.str());
        expected = test::read_bytes(host.str() + "/" + ini_name).value_or("");
        ready = !expected.empty();
    }
};

#define ASSERT_SCENE_READY(scene) \
    if (!(scene).ready) FAIL() << "the sample document did not import"

// The folder's entries other than the exchange file.
std::vector<std::string> leftovers(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().filename() != ini_name) names.push_back(entry.path().filename().string());
    return names;
}

TEST(AtomicExchangeFile, AProcessKilledAnywhereLeavesTheOldFileTheNewOneOrNothing) {
    Scene scene(200);
    ASSERT_SCENE_READY(scene);
    test::TempDir host;
    const std::string ini = host.str() + "/" + ini_name;
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> delay_us(0, 40'000);
    for (int round = 0; round < 40; ++round) {
        host.write(ini_name, old_file);
        const pid_t child = ::fork();
        if (child == 0) {
            for (;;) import_nfe(host.str(), scene.folder.str());
        }
        ASSERT_GT(child, 0);
        ::usleep(static_cast<useconds_t>(delay_us(random)));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const auto found = test::read_bytes(ini);
        EXPECT_TRUE(!found || *found == old_file || *found == scene.expected)
            << "round " << round << ": " << found->size() << " bytes";
    }
    // The next call removes what the killed ones left behind.
    EXPECT_EQ(import_nfe(host.str(), scene.folder.str()).outcome, Outcome::completed);
    EXPECT_EQ(test::read_bytes(ini), scene.expected);
    EXPECT_EQ(leftovers(host.str()), std::vector<std::string>{});
}

TEST(AtomicExchangeFile, AWriteCutShortByTheFileSizeLimitLeavesNoFile) {
    Scene scene(0);
    ASSERT_SCENE_READY(scene);
    // SIGXFSZ ignored, the write fails: the abort path. SIGXFSZ as it is by
    // default, the process dies in the middle of the write.
    for (const bool dies : {false, true}) {
        for (const rlim_t limit : {rlim_t{0}, rlim_t{100}, rlim_t{scene.expected.size() - 1}}) {
            SCOPED_TRACE(std::to_string(limit) + (dies ? " bytes, killed" : " bytes"));
            test::TempDir host;
            host.write(ini_name, old_file);
            const auto child = test::run_in_child(
                [&] {
                    std::signal(SIGXFSZ, dies ? SIG_DFL : SIG_IGN);
                    const rlimit size{limit, limit};
                    if (::setrlimit(RLIMIT_FSIZE, &size) != 0) return 2;
                    const ImportRun run = import_nfe(host.str(), scene.folder.str());
                    return run.outcome == Outcome::aborted &&
                                   run.boxes == std::vector<std::string>{std::string(msg::erro_gravar_arquivo)}
                               ? 0
                               : 1;
                },
                std::chrono::seconds(60));
            EXPECT_EQ(child.exit_code, dies ? -1 : 0);
            EXPECT_FALSE(fs::exists(host.str() + "/" + ini_name));
            if (dies) {
                // What the dead process left is removed by the next call.
                test::TempDir empty;
                import_nfe(host.str(), empty.str());
            }
            EXPECT_EQ(leftovers(host.str()), std::vector<std::string>{});
        }
    }
}

TEST(AtomicExchangeFile, LinksAtTheNameOrAtTemporaryNamesAreNeverFollowed) {
    Scene scene(0);
    ASSERT_SCENE_READY(scene);
    const std::string pid = std::to_string(::getpid());
    const std::vector<std::string> temporary_names = {
        "." + ini_name + "." + pid + ".0000000000000000.tmp",
        "." + ini_name + ".1.0000000000000000.tmp",
        "." + ini_name + ".999999999.ffffffffffffffff.tmp",
        ini_name + ".tmp",
        ini_name + "~",
    };
    struct Case {
        const char* what;
        std::function<int(const std::string& host, const std::string& target)> plant;
    };
    const Case cases[] = {
        {"hard link", [](auto& host, auto& target) { return ::link(target.c_str(), (host + "/" + ini_name).c_str()); }},
        {"symbolic link",
         [](auto& host, auto& target) { return ::symlink(target.c_str(), (host + "/" + ini_name).c_str()); }},
        {"dangling symbolic link",
         [](auto& host, auto& target) {
             return ::symlink((target + ".novo").c_str(), (host + "/" + ini_name).c_str());
         }},
        {"symbolic links at temporary names",
         [&](auto& host, auto& target) {
             int failed = 0;
             for (const auto& name : temporary_names) failed |= ::symlink(target.c_str(), (host + "/" + name).c_str());
             return failed;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir host;
        test::TempDir elsewhere;
        const std::string target = elsewhere.write("alvo.txt", "intacto");
        ASSERT_EQ(c.plant(host.str(), target), 0);
        EXPECT_EQ(import_nfe(host.str(), scene.folder.str()).outcome, Outcome::completed);
        EXPECT_EQ(test::read_bytes(target), "intacto");
        EXPECT_FALSE(fs::exists(target + ".novo"));
        const std::string ini = host.str() + "/" + ini_name;
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(ini)));
        EXPECT_EQ(test::read_bytes(ini), scene.expected);
    }
}

TEST(AtomicExchangeFile, ANameThatCannotBeDeletedIsTheCreationFailureAndNothingIsWritten) {
    Scene scene(0);
    ASSERT_SCENE_READY(scene);
    // Another file mounted on the name: it cannot be deleted, though it
    // could be written through.
    test::TempDir host;
    test::TempDir elsewhere;
    const std::string other = elsewhere.write("outro.txt", "intacto");
    const std::string ini = host.write(ini_name, "");
    if (::mount(other.c_str(), ini.c_str(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "cannot bind-mount here: " << std::strerror(errno);
    const ImportRun run = import_nfe(host.str(), scene.folder.str());
    ::umount2(ini.c_str(), MNT_DETACH);
    EXPECT_EQ(run.outcome, Outcome::aborted);
    EXPECT_EQ(run.boxes, std::vector<std::string>{std::string(msg::erro_criar_arquivo)});
    EXPECT_EQ(test::read_bytes(other), "intacto");
    EXPECT_EQ(leftovers(host.str()), std::vector<std::string>{});
}

TEST(AtomicExchangeFile, ASymlinkRacedOntoTheNameNeverRedirectsTheWrite) {
    Scene scene(0);
    ASSERT_SCENE_READY(scene);
    test::TempDir host;
    test::TempDir elsewhere;
    const std::string target = elsewhere.write("alvo.txt", "intacto");
    const std::string ini = host.str() + "/" + ini_name;
    std::atomic<bool> stop{false};
    std::thread racer([&] {
        while (!stop.load(std::memory_order_relaxed)) ::symlink(target.c_str(), ini.c_str());
    });
    int completed = 0;
    for (int i = 0; i < 200 && test::read_bytes(target) == "intacto"; ++i)
        completed += import_nfe(host.str(), scene.folder.str()).outcome == Outcome::completed;
    stop = true;
    racer.join();
    EXPECT_EQ(test::read_bytes(target), "intacto");
    EXPECT_GT(completed, 0);
}

// A platform whose search, at its first file, renames the exchange file's
// folder and puts a link to another folder in its place.
class SwappingPlatform : public test::TestPlatform {
public:
    SwappingPlatform(std::string host, std::function<void()> swap)
        : TestPlatform(std::move(host)), swap_(std::move(swap)) {}
    FileBytes read_file_once(const std::string& path, FileIdentities& read) override {
        if (swap_) std::exchange(swap_, nullptr)();
        return TestPlatform::read_file_once(path, read);
    }

private:
    std::function<void()> swap_;
};

TEST(AtomicExchangeFile, AFolderSwappedForALinkDuringTheSearchChangesNothingOutsideIt) {
    Scene scene(0);
    ASSERT_SCENE_READY(scene);
    test::TempDir base;
    test::TempDir elsewhere;
    const std::string host = base.str() + "/saida";
    const std::string moved = base.str() + "/saida-movida";
    fs::create_directory(host);
    std::ofstream(host + "/" + ini_name) << old_file;
    elsewhere.write(ini_name, old_file);
    SwappingPlatform platform(host, [&] {
        fs::rename(host, moved);
        fs::create_directory_symlink(elsewhere.path(), host);
    });
    const ImportResult result = run_import(nfe::document, platform, Regional::brazilian(), {K, scene.folder.str(), ""});
    // The host would read another folder's file at the path: not written.
    EXPECT_EQ(result.outcome, Outcome::aborted);
    EXPECT_EQ(platform.boxes, std::vector<std::string>{std::string(msg::erro_gravar_arquivo)});
    EXPECT_EQ(test::read_bytes(elsewhere.str() + "/" + ini_name), old_file);
    EXPECT_EQ(leftovers(elsewhere.str()), std::vector<std::string>{});
    EXPECT_TRUE(fs::is_empty(moved));
}

}  // namespace
}  // namespace idf
