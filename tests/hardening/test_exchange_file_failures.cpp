// The exchange file when things go wrong: it cannot be created, the disk
// fills up while it is written, or the import does not complete. The host
// must then find no file (and never an old one) and the user exactly one
// message.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/messages.hpp"
#include "cte/uimporta_arquivo_xml_cte.hpp"
#include "hardening/hardening_support.hpp"
#include "nfe/uimporta_arquivo_xml_nfe.hpp"
#include "platform/memory_platform.hpp"

namespace idf {
namespace {

namespace fs = std::filesystem;
using test::DocType;

const std::string K(test::sample_nfe_key);
const std::string create_failed(msg::erro_criar_arquivo);
const std::string write_failed(msg::erro_gravar_arquivo);

TEST(ExchangeFile, CannotBeCreatedGivesTheCreationMessageAndNothingElse) {
    struct Case {
        const char* what;
        std::function<std::string(const test::TempDir&)> exchange_dir;
    };
    const Case cases[] = {
        {"folder does not exist", [](const test::TempDir& d) { return d.str() + "/nao-existe"; }},
        {"folder is a file", [](const test::TempDir& d) { return d.write("arquivo", "x"); }},
        {"exchange path is a folder",
         [](const test::TempDir& d) {
             fs::create_directory(d.path() / "Integracao_Docs_Fiscal.ini");
             return d.str();
         }},
    };
    for (const Case& c : cases) {
        for (const char* modo : {"", "Sim"}) {
            SCOPED_TRACE(std::string(c.what) + ", modo_silencioso \"" + modo + "\"");
            test::TempDir host;
            test::TempDir folder;
            folder.write("nota.xml", test::sample_nfe());
            test::RecordingPlatform platform(c.exchange_dir(host));
            const ImportResult result =
                run_import(nfe::document, platform, Regional::brazilian(), {K, folder.str(), modo});
            EXPECT_EQ(result.outcome, Outcome::aborted);
            EXPECT_EQ(platform.boxes, std::vector<std::string>{create_failed});
            EXPECT_TRUE(platform.reads.empty()) << "the import went on after the creation failed";
        }
    }
    // Nothing is deleted: the folder in the exchange file's place stays.
    test::TempDir host;
    fs::create_directory(host.path() / "Integracao_Docs_Fiscal.ini");
    test::TestPlatform platform(host.str());
    run_import(cte::document, platform, Regional::brazilian(), {K, host.str(), ""});
    EXPECT_TRUE(fs::is_directory(host.path() / "Integracao_Docs_Fiscal.ini"));
    EXPECT_EQ(platform.boxes, std::vector<std::string>{create_failed});
}

// A tmpfs of a few kilobytes, mounted for one test; unmounted at the end.
class SmallDisk {
public:
    explicit SmallDisk(const std::string& where) : where_(where) {
        mounted_ = ::mount("tmpfs", where.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=8k,mode=0700") == 0;
        error_ = errno;
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(where_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    int error() const { return error_; }

private:
    std::string where_;
    bool mounted_ = false;
    int error_ = 0;
};

TEST(ExchangeFile, DiskFullWhileWritingGivesTheWriteMessageAndLeavesNoFile) {
    test::TempDir root;
    const std::string disk = root.str() + "/disco";
    fs::create_directory(disk);
    const SmallDisk small(disk);
    if (!small.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(small.error());

    // An old, small exchange file fits; the new one (a 40-item invoice)
    // does not.
    std::string invoice = test::sample_nfe();
    const std::size_t first = invoice.find("<det ");
    const std::size_t end = invoice.find("</det>") + 6;
    const std::string item = invoice.substr(first, end - first);
    std::string items;
    for (int i = 1; i <= 40; ++i) {
        std::string numbered = item;
        numbered.replace(numbered.find("nItem=\"1\""), 9, "nItem=\"" + std::to_string(i) + "\"");
        items += numbered;
    }
    invoice.replace(first, invoice.rfind("</det>") + 6 - first, items);
    test::TempDir folder;
    folder.write("nota.xml", invoice);
    test::TestPlatform platform(disk);
    std::ofstream(disk + "/Integracao_Docs_Fiscal.ini") << "[IDENTIFICACAO]\r\nantigo=1\r\n";
    const ImportResult result = run_import(nfe::document, platform, Regional::brazilian(), {K, folder.str(), ""});
    EXPECT_EQ(result.outcome, Outcome::aborted);
    EXPECT_EQ(platform.boxes, std::vector<std::string>{write_failed});
    EXPECT_FALSE(fs::exists(disk + "/Integracao_Docs_Fiscal.ini"));
    EXPECT_TRUE(fs::is_empty(disk));
}

TEST(ExchangeFile, WriteOrCloseFailureGivesTheWriteMessageAndLeavesNoFile) {
    struct Case {
        const char* what;
        std::optional<std::size_t> capacity;
        bool fail_close;
    };
    const Case cases[] = {
        {"nothing written", 0, false},
        {"cut after some lines", 100, false},
        {"one byte short", std::nullopt, false},  // filled in below
        {"close fails", std::nullopt, true},
    };
    // The size of the complete file, to fail one byte before its end.
    std::size_t full = 0;
    {
        MemoryPlatform platform;
        platform.add_file("/pasta/nota.xml", test::sample_nfe());
        ASSERT_EQ(run_import(nfe::document, platform, Regional::brazilian(), {K, "/pasta", ""}).outcome,
                  Outcome::completed);
        full = platform.exchange_file()->size();
        ASSERT_GT(full, 1000u);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryPlatform platform;
        platform.add_file("/pasta/nota.xml", test::sample_nfe());
        platform.add_file("/host/Integracao_Docs_Fiscal.ini", "antigo");
        platform.write_capacity = c.capacity;
        if (std::string_view(c.what) == "one byte short") platform.write_capacity = full - 1;
        platform.fail_close = c.fail_close;
        const ImportResult result = run_import(nfe::document, platform, Regional::brazilian(), {K, "/pasta", "Sim"});
        EXPECT_EQ(result.outcome, Outcome::aborted);
        EXPECT_EQ(platform.boxes, std::vector<std::string>{write_failed});
        EXPECT_FALSE(platform.exchange_file());
    }
}

TEST(ExchangeFile, OldFileIsGoneAfterEveryImportThatDoesNotComplete) {
    const std::string old_file = "[IDENTIFICACAO]\r\nChave_Acesso=antiga\r\n";
    struct Case {
        const char* what;
        DocType type;
        std::string key;
        std::vector<std::pair<std::string, std::string>> files;  // in the search folder
        std::optional<std::string> dialog;                       // chosen file's bytes, for a blank key
    };
    const std::vector<Case> cases = {
        {"not found", DocType::nfe, K, {{"outra.xml", test::nfe_doc(std::string(test::key_b))}}, std::nullopt},
        {"not found, CT-e", DocType::cte, K, {{"nota.xml", test::sample_nfe()}}, std::nullopt},
        {"empty folder", DocType::nfe, K, {}, std::nullopt},
        {"dialog cancelled", DocType::nfe, "", {}, std::nullopt},
        {"invalid file chosen", DocType::nfe, "", {}, std::string("<nfeProc>")},
        {"document without protocol", DocType::nfe, "", {}, std::string("<nfeProc><NFe/></nfeProc>")},
        {"CT-e without protocol", DocType::cte, "", {}, std::string("<cteProc><CTe/></cteProc>")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir host;
        test::TempDir folder;
        for (const auto& [name, bytes] : c.files) folder.write(name, bytes);
        const std::string ini = host.write("Integracao_Docs_Fiscal.ini", old_file);
        test::TestPlatform platform(host.str());
        if (c.dialog) platform.dialog_choice = folder.write("escolhido.xml", *c.dialog);
        const ImportResult result =
            run_import(test::document_type(c.type), platform, Regional::brazilian(), {c.key, folder.str(), ""});
        EXPECT_EQ(result.outcome, Outcome::aborted);
        EXPECT_FALSE(fs::exists(ini));
    }
    // And the creation failure of the in-memory platform: the old file was
    // deleted before the new one could not be made.
    MemoryPlatform platform;
    platform.add_file("/host/Integracao_Docs_Fiscal.ini", old_file);
    platform.fail_create = true;
    run_import(nfe::document, platform, Regional::brazilian(), {K, "/pasta", ""});
    EXPECT_FALSE(platform.exchange_file());
    EXPECT_EQ(platform.boxes, std::vector<std::string>{create_failed});
}

TEST(ExchangeFile, BoxesThatThrowStillLeaveNoFile) {
    // A host whose message box fails: the import still ends on its abort
    // path, quietly, and no file is left.
    for (const bool found : {false, true}) {
        MemoryPlatform platform;
        platform.throwing_boxes = true;
        platform.add_file("/host/Integracao_Docs_Fiscal.ini", "antigo");
        platform.add_file("/pasta/nota.xml", found ? std::string("<nfeProc><protNFe><infProt><chNFe>" + K +
                                                                 "</chNFe></infProt></protNFe></nfeProc>")
                                                   : test::nfe_doc(std::string(test::key_b)));
        const ImportResult result = run_import(nfe::document, platform, Regional::brazilian(), {K, "/pasta", ""});
        EXPECT_EQ(result.outcome, Outcome::aborted);
        EXPECT_FALSE(platform.exchange_file());
    }
}

}  // namespace
}  // namespace idf
