// Two threads calling the exported functions of the shared library at once
// must not mix their imports: the library runs one import at a time.
//
// The exchange file goes to the folder of the running program, so the
// calls run in a copy of this test program placed in a temporary folder
// (the test ConcurrencyHost below, skipped in an ordinary run).
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "common/messages.hpp"
#include "hardening/hardening_support.hpp"

namespace idf {
namespace {

namespace fs = std::filesystem;

using ImportFunction = void (*)(const char*, const char*, const char*);

constexpr const char* host_variable = "IDF_CONCURRENCY_HOST";
constexpr int calls_per_thread = 60;

const std::string nfe_key(test::sample_nfe_key);
const char* const cte_key = test::sample_cte_key.data();

// Standard error, where the library's boxes go on Linux, caught in a file.
class CapturedStderr {
public:
    explicit CapturedStderr(const std::string& path) : path_(path), saved_(::dup(2)) {
        std::fflush(stderr);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, 2);
        ::close(fd);
    }
    ~CapturedStderr() { restore(); }
    std::string text() {
        restore();
        return test::read_bytes(path_).value_or("");
    }

private:
    void restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        ::dup2(saved_, 2);
        ::close(saved_);
        saved_ = -1;
    }
    std::string path_;
    int saved_;
};

// The life of the exchange file as the file system saw it: "c" its
// temporary file created, "w" the temporary file renamed onto the exchange
// file's name or deleted. Each import creates one temporary file and ends
// it one way or the other, so in imports that never overlap two creations
// always have an end between them.
class ExchangeFileWatch {
public:
    explicit ExchangeFileWatch(const std::string& folder) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (fd_ >= 0) ::inotify_add_watch(fd_, folder.c_str(), IN_CREATE | IN_MOVED_TO | IN_DELETE);
    }
    ~ExchangeFileWatch() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool watching() const { return fd_ >= 0; }
    // The events so far, in order; "!" when some were lost.
    std::string events() {
        std::string out;
        alignas(inotify_event) char buffer[64 * 1024];
        for (;;) {
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n <= 0) break;
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->mask & IN_Q_OVERFLOW) out += '!';
                const std::string_view name = event->len > 0 ? event->name : "";
                const bool temporary = name.starts_with(".Integracao_Docs_Fiscal.ini.") && name.ends_with(".tmp");
                if (temporary && (event->mask & IN_CREATE)) out += 'c';
                if (temporary && (event->mask & IN_DELETE)) out += 'w';
                if (name == "Integracao_Docs_Fiscal.ini" && (event->mask & IN_MOVED_TO)) out += 'w';
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return out;
    }

private:
    int fd_;
};

std::size_t count(std::string_view text, std::string_view piece) {
    std::size_t n = 0;
    for (std::size_t pos = text.find(piece); pos != std::string_view::npos; pos = text.find(piece, pos + 1)) ++n;
    return n;
}

TEST(ConcurrencyHost, TwoThreadsManyCallsInThisProcess) {
    if (!std::getenv(host_variable)) GTEST_SKIP() << "runs inside Concurrency.TwoThreadsCallingTheExportedFunctions";
    void* library = ::dlopen(IDF_SO_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << ::dlerror();
    const auto nfe = reinterpret_cast<ImportFunction>(::dlsym(library, "importa_arquivo_xml_nfe"));
    const auto cte = reinterpret_cast<ImportFunction>(::dlsym(library, "importa_arquivo_xml_cte"));
    ASSERT_TRUE(nfe && cte);

    // Each thread searches its own folder, among other documents: the
    // search changes the process's current folder, which a second search
    // running at the same time would pull from under the first.
    test::TempDir nfe_folder;
    test::TempDir cte_folder;
    nfe_folder.write("z-nota.xml", test::sample_nfe());
    cte_folder.write("z-conhecimento.xml", *test::read_bytes(test::sample_cte_path()));
    for (int i = 0; i < 20; ++i) {
        // Appended, not prepended to a temporary: GCC 12 at -O3 warns about the latter.
        const std::string name = std::string("a").append(std::to_string(i)).append(".xml");
        nfe_folder.write(name, test::nfe_doc(std::string(test::key_b)));
        cte_folder.write(name, test::cte_doc(std::string(test::key_b)));
    }
    const std::string ini = fs::path(fs::read_symlink("/proc/self/exe")).parent_path() / "Integracao_Docs_Fiscal.ini";

    // One call of each, alone: the exchange file and the boxes it gives.
    test::TempDir scratch;
    std::string nfe_boxes, cte_boxes, nfe_ini, cte_ini;
    {
        CapturedStderr captured(scratch.str() + "/nfe.txt");
        nfe(nfe_key.c_str(), nfe_folder.str().c_str(), "");
        nfe_boxes = captured.text();
        nfe_ini = test::read_bytes(ini).value_or("");
    }
    {
        CapturedStderr captured(scratch.str() + "/cte.txt");
        cte(cte_key, cte_folder.str().c_str(), "");
        cte_boxes = captured.text();
        cte_ini = test::read_bytes(ini).value_or("");
    }
    ASSERT_FALSE(nfe_ini.empty());
    ASSERT_FALSE(cte_ini.empty());

    // Then many calls from two threads at once.
    ExchangeFileWatch watch(fs::path(ini).parent_path().string());
    ASSERT_TRUE(watch.watching());
    std::string boxes;
    {
        CapturedStderr captured(scratch.str() + "/both.txt");
        std::thread first([&] {
            for (int i = 0; i < calls_per_thread; ++i) nfe(nfe_key.c_str(), nfe_folder.str().c_str(), "");
        });
        std::thread second([&] {
            for (int i = 0; i < calls_per_thread; ++i) cte(cte_key, cte_folder.str().c_str(), "");
        });
        first.join();
        second.join();
        boxes = captured.text();
    }
    // No import began while another was under way.
    const std::string events = watch.events();
    EXPECT_EQ(events.find('!'), std::string::npos);
    EXPECT_EQ(count(events, "c"), 2u * calls_per_thread);
    bool open = false;
    for (const char event : events) {
        if (event == 'c') {
            EXPECT_FALSE(open) << "an import created the exchange file while another was writing it: " << events;
            if (open) break;
            open = true;
        } else if (event == 'w') {
            open = false;
        }
    }
    // Every call found its document and showed what it shows alone, and
    // nothing else.
    EXPECT_EQ(count(boxes, msg::nfe_nao_localizada), 0u);
    EXPECT_EQ(count(boxes, msg::cte_nao_localizado), 0u);
    EXPECT_EQ(boxes.size(), calls_per_thread * (nfe_boxes.size() + cte_boxes.size()));
    // The file left is the whole work of one of the calls.
    const std::string last = test::read_bytes(ini).value_or("");
    EXPECT_TRUE(last == nfe_ini || last == cte_ini);
    ::dlclose(library);
}

TEST(Concurrency, TwoThreadsCallingTheExportedFunctions) {
    test::TempDir place;
    const fs::path copy = place.path() / "host";
    fs::copy_file(fs::read_symlink("/proc/self/exe"), copy);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv(host_variable, "1", 1);
        ::execl(copy.c_str(), copy.c_str(), "--gtest_filter=ConcurrencyHost.*", "--gtest_brief=1",
                static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    ASSERT_GT(pid, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace idf
