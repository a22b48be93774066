// The shared library called from C host programs: the exchange file lands
// beside the host executable, whatever the current folder, and nowhere
// when that folder cannot be determined.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/messages.hpp"
#include "core/e2e/e2e_support.hpp"

namespace idf::test {
namespace {

namespace fs = std::filesystem;

// A host program copied into a folder of its own, as a business program
// installed somewhere; its current folder is another one.
struct Host {
    TempDir home;
    TempDir work;
    TempDir xml;
    std::string exe;
    explicit Host(const char* built = IDF_C_HOST_PATH) {
        exe = home.str() + "/host";
        fs::copy_file(built, exe);
        fs::permissions(exe, fs::perms::owner_all);
        copy_document(xml, nfe_document, "nota.xml");
        copy_document(xml, cte_document, "conhecimento.xml");
    }
    std::string ini() const { return home.str() + "/Integracao_Docs_Fiscal.ini"; }
    ProcessResult call(const std::vector<std::string>& args) const { return run_process(exe, args, work.str()); }
};

TEST(SharedLibrary, ExchangeFileLandsBesideTheHostExecutable) {
    for (const char* built : {IDF_C_HOST_PATH, IDF_C_HOST_DLOPEN_PATH}) {
        Host host(built);
        const auto run = host.call({"nfe", nfe_key, host.xml.str(), ""});
        EXPECT_EQ(run.exit_code, 0) << built << run.err;
        EXPECT_EQ(run.err, "") << built;
        const auto ini = read_bytes(host.ini());
        ASSERT_TRUE(ini) << built;
        EXPECT_TRUE(ini->starts_with("[IDENTIFICACAO]\r\n")) << built;
        EXPECT_NE(ini->find("Diretorio_Arquivo_XML=" + host.xml.str() + "/nota.xml\r\n"), std::string::npos);
        EXPECT_FALSE(fs::exists(host.work.path() / "Integracao_Docs_Fiscal.ini"));
        EXPECT_FALSE(fs::exists(host.xml.path() / "Integracao_Docs_Fiscal.ini"));
    }
}

TEST(SharedLibrary, NotFoundShowsTheMessageAndLeavesNoFile) {
    Host host;
    const std::string old = host.home.write("Integracao_Docs_Fiscal.ini", "[OLD]\r\n");
    const auto run = host.call({"cte", nfe_key, host.xml.str(), ""});
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_NE(run.err.find(std::string(msg::cte_nao_localizado)), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(old));

    // Silent: nothing shown, still no file. Any other spelling is not silent.
    const auto silent = host.call({"nfe", "0", host.xml.str(), "Sim"});
    EXPECT_EQ(silent.err, "");
    EXPECT_FALSE(fs::exists(host.ini()));
    const auto lower = host.call({"nfe", "0", host.xml.str(), "sim"});
    EXPECT_NE(lower.err.find(std::string(msg::nfe_nao_localizada)), std::string::npos);
}

TEST(SharedLibrary, NullArgumentsTakeTheDialogWayWhichCancelsHere) {
    Host host;
    host.home.write("Integracao_Docs_Fiscal.ini", "[OLD]\r\n");
    const auto run = host.call({"nfe", "(null)", "(null)", "(null)", "cte", "(null)", "(null)", "(null)"});
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_FALSE(fs::exists(host.ini()));
}

TEST(SharedLibrary, SuccessiveCallsOfBothTypesAreIndependent) {
    Host host;
    // NF-e, then CT-e: the CT-e file replaces the NF-e file; then an NF-e
    // call that finds nothing leaves no file at all.
    const auto both = host.call({"nfe", nfe_key, host.xml.str(), "", "cte", cte_key, host.xml.str(), ""});
    EXPECT_EQ(both.exit_code, 0) << both.err;
    const auto ini = read_bytes(host.ini());
    ASSERT_TRUE(ini);
    EXPECT_NE(ini->find("conhecimento.xml"), std::string::npos);
    EXPECT_EQ(ini->find("nota.xml"), std::string::npos);

    const auto three = host.call({"cte", cte_key, host.xml.str(), "", "nfe", "0", host.xml.str(), "Sim"});
    EXPECT_EQ(three.exit_code, 0);
    EXPECT_FALSE(fs::exists(host.ini()));
}

TEST(SharedLibrary, ArgumentsAreOnlyRead) {
    // The host exits with 3 when its argument strings changed.
    Host host;
    EXPECT_EQ(host.call({"nfe", nfe_key, host.xml.str() + "/", "Sim"}).exit_code, 0);
    EXPECT_EQ(host.call({"cte", " ", "", ""}).exit_code, 0);
    EXPECT_EQ(host.call({"nfe", "Ação", "/nao/existe", "qualquer"}).exit_code, 0);
}

// A chain of folders whose full path is longer than PATH_MAX, built and
// removed through descriptors, as no path can name its end.
class DeepFolder {
public:
    explicit DeepFolder(const std::string& base) {
        fds_.push_back(::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        for (std::size_t length = base.size(); length <= PATH_MAX + 200; length += level_.size() + 1) {
            if (::mkdirat(fds_.back(), level_.c_str(), 0700) != 0) break;
            fds_.push_back(::openat(fds_.back(), level_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (fds_.back() < 0) break;
        }
    }
    ~DeepFolder() {
        for (std::size_t i = fds_.size() - 1; i > 0; --i) {
            for (const char* name : {"host", "Integracao_Docs_Fiscal.ini"}) ::unlinkat(fds_[i], name, 0);
            ::close(fds_[i]);
            ::unlinkat(fds_[i - 1], level_.c_str(), AT_REMOVEDIR);
        }
        ::close(fds_[0]);
    }
    DeepFolder(const DeepFolder&) = delete;
    DeepFolder& operator=(const DeepFolder&) = delete;
    bool built() const { return fds_.size() > PATH_MAX / level_.size() + 1 && fds_.back() >= 0; }
    int fd() const { return fds_.back(); }

private:
    std::string level_ = std::string(200, 'p');
    std::vector<int> fds_;
};

TEST(SharedLibrary, AHostWhoseFolderCannotBeDeterminedGetsTheCreationFailureAndNoFileAnywhere) {
    // The host executable lies deeper than PATH_MAX, so /proc/self/exe
    // cannot be read; it is started through a descriptor, from another
    // current folder. Two calls, so that the second starts in the search
    // folder the first one may have entered.
    TempDir base;
    TempDir work;
    TempDir xml;
    TempDir capture;
    copy_document(xml, nfe_document, "nota.xml");
    DeepFolder deep(base.str());
    ASSERT_TRUE(deep.built());
    const auto exe = read_bytes(IDF_C_HOST_PATH);
    ASSERT_TRUE(exe);
    const int out = ::openat(deep.fd(), "host", O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0700);
    ASSERT_GE(out, 0);
    ASSERT_EQ(::write(out, exe->data(), exe->size()), static_cast<ssize_t>(exe->size()));
    ::close(out);
    const int program = ::openat(deep.fd(), "host", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(program, 0);

    const std::string err = capture.str() + "/err";
    std::vector<std::string> args = {"host", "nfe", nfe_key, xml.str(), "", "nfe", nfe_key, xml.str(), ""};
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::dup2(fd, 2) < 0 || ::chdir(work.str().c_str()) != 0) ::_exit(127);
        ::fexecve(program, argv.data(), environ);
        ::_exit(126);
    }
    ::close(program);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::string box(msg::erro_criar_arquivo);
    // A sanitizer build adds lines of its own ("==pid==WARNING: ...") about
    // the same unreadable executable name.
    std::istringstream printed(read_bytes(err).value_or(""));
    std::string boxes, line;
    while (std::getline(printed, line))
        if (!line.starts_with("==")) boxes += line + "\n";
    EXPECT_EQ(boxes, box + "\n" + box + "\n");
    EXPECT_NE(::faccessat(deep.fd(), "Integracao_Docs_Fiscal.ini", F_OK, AT_SYMLINK_NOFOLLOW), 0);
    EXPECT_FALSE(fs::exists(work.path() / "Integracao_Docs_Fiscal.ini"));
    EXPECT_FALSE(fs::exists(xml.path() / "Integracao_Docs_Fiscal.ini"));
}

TEST(SharedLibrary, ExportsExactlyTheImportFunctions) {
    TempDir dir;
    const std::string listing = dir.str() + "/symbols";
    const std::string command = "nm -D --defined-only '" + std::string(IDF_SO_PATH) + "' > '" + listing + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::istringstream lines(read_bytes(listing).value_or(""));
    std::set<std::string> functions;
    std::string address, type, name;
    while (lines >> address >> type >> name)
        if (type == "T" || type == "W" || type == "i") functions.insert(name);
    EXPECT_EQ(functions, (std::set<std::string>{"importa_arquivo_xml_cte", "importa_arquivo_xml_nfe", "idf_importa_cte",
                                                "idf_importa_nfe", "idf_ultimo_resultado"}));
}

}  // namespace
}  // namespace idf::test
