// The course of one import: creating the exchange file, the abort path,
// finishing with the end-of-run report, and failures while writing.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "core/core_support.hpp"

namespace idf {
namespace {

using test::StageForm;

const std::string any_document = test::nfe_with_key("35180834128745000152550010000474281920007498");

void write_two_sections(StageForm& form) {
    form.write_line("[IDENTIFICACAO]");
    form.write_value("Numero_Nota_Fiscal=", "47428");
    form.write_empty_line();
    form.write_line("[DIRETORIO]");
    form.write_value("Diretorio_Arquivo_XML=", form.document_path());
}

TEST(Import, CompletedImportLeavesTheWholeFileInTheExchangeFolder) {
    test::TempDir dir;
    test::TestPlatform platform(dir.str());
    platform.dialog_choice = dir.write("doc.xml", any_document);
    StageForm form(platform, Regional::brazilian());
    form.stages = write_two_sections;
    const ImportResult result = form.run();
    EXPECT_EQ(result.outcome, Outcome::completed);
    EXPECT_EQ(result.arquivo_ini, dir.str() + "/Integracao_Docs_Fiscal.ini");
    EXPECT_EQ(test::read_bytes(result.arquivo_ini),
              "[IDENTIFICACAO]\r\nNumero_Nota_Fiscal=47428\r\n\r\n[DIRETORIO]\r\n"
              "Diretorio_Arquivo_XML=" +
                  dir.str() + "/doc.xml\r\n");
    EXPECT_TRUE(platform.boxes.empty());
    EXPECT_EQ(form.stages_run, 1);
}

TEST(Import, AnImportReplacesThePreviousExchangeFile) {
    test::TempDir dir;
    test::TestPlatform platform(dir.str());
    platform.dialog_choice = dir.write("doc.xml", any_document);
    const std::string ini = dir.write("Integracao_Docs_Fiscal.ini", "[OLD]\r\nFrom_The_Last_Import=1\r\n");
    StageForm form(platform, Regional::brazilian());
    form.stages = [](StageForm& f) { f.write_line("[NEW]"); };
    EXPECT_EQ(form.run().outcome, Outcome::completed);
    EXPECT_EQ(test::read_bytes(ini), "[NEW]\r\n");
}

struct AbortCase {
    const char* name;
    std::string modo;
    std::function<void(StageForm&)> stages;
    // The boxes expected: exact texts, or the prefix of the only box.
    std::vector<std::string> boxes;
    bool prefix_only = false;
};

TEST(Import, TheAbortPathLeavesNoFileNotEvenAnOldOne) {
    const std::string abort_message = "Tag <nNF> Não Encontrada no Arquivo XML.\r\n\nA Importação será Abortada.";
    const AbortCase cases[] = {
        {"message", "", [&](StageForm& f) { f.abort(abort_message); }, {abort_message}},
        {"message in silent mode", "Sim", [&](StageForm& f) { f.abort(abort_message); }, {abort_message}},
        {"no message", "", [](StageForm& f) { f.abort(); }, {}},
        {"after lines and problems",
         "",
         [&](StageForm& f) {
             write_two_sections(f);
             f.add_problem("- Data da Emissão da Nota Fiscal no Arquivo XML.");
             f.abort(abort_message);
         },
         {abort_message}},
        {"unexpected error",
         "Sim",
         [](StageForm&) { throw std::runtime_error("boom"); },
         {std::string(msg::erro_inesperado) + "boom" + std::string(msg::abortada)}},
        {"error of an unknown type", "", [](StageForm&) { throw 42; }, {}},
        {"lookup under a node that was not found",
         "",
         [](StageForm& f) {
             const xml::Node missing = f.document_element().find("ausente");
             missing.child("filho");
         },
         {std::string(msg::erro_inesperado) + "Empty node reference" + std::string(msg::abortada)}},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        test::TestPlatform platform(dir.str());
        platform.dialog_choice = dir.write("doc.xml", any_document);
        const std::string ini = dir.write("Integracao_Docs_Fiscal.ini", "[OLD]\r\n");
        StageForm form(platform, Regional::brazilian());
        form.modo_silencioso = c.modo;
        form.stages = c.stages;
        const ImportResult result = form.run();
        EXPECT_EQ(result.outcome, Outcome::aborted) << c.name;
        EXPECT_FALSE(std::filesystem::exists(ini)) << c.name;
        EXPECT_EQ(platform.boxes, c.boxes) << c.name;
    }
}

// The test platform with a box that fails, as a user interface may.
class FailingBoxPlatform : public test::TestPlatform {
public:
    using TestPlatform::TestPlatform;
    void mensagem_atencao(std::string_view text) override {
        TestPlatform::mensagem_atencao(text);
        throw std::runtime_error("no display");
    }
};

TEST(Import, AFailingBoxStillLeavesNoFile) {
    test::TempDir dir;
    FailingBoxPlatform platform(dir.str());
    platform.dialog_choice = dir.write("doc.xml", any_document);
    StageForm form(platform, Regional::brazilian());
    form.stages = [](StageForm& f) { f.abort("Mensagem"); };
    const ImportResult result = form.run();
    EXPECT_EQ(result.outcome, Outcome::aborted);
    EXPECT_FALSE(std::filesystem::exists(result.arquivo_ini));
}

TEST(Import, CreationFailureShowsItsMessageAndGoesNoFurther) {
    for (const std::string modo : {"", "Sim"}) {
        test::TempDir dir;
        test::TestPlatform platform((dir.path() / "missing").string());
        platform.dialog_choice = dir.write("doc.xml", any_document);
        StageForm form(platform, Regional::brazilian());
        form.modo_silencioso = modo;
        const ImportResult result = form.run();
        EXPECT_EQ(result.outcome, Outcome::aborted);
        EXPECT_EQ(platform.boxes, std::vector<std::string>{std::string(msg::erro_criar_arquivo)});
        EXPECT_EQ(platform.dialog_calls, 0);
        EXPECT_EQ(form.stages_run, 0);
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing"));
    }
}

TEST(Import, CreationFailureDeletesNothing) {
    // A folder stands where the exchange file should be: it is left alone.
    test::TempDir dir;
    std::filesystem::create_directory(dir.path() / "Integracao_Docs_Fiscal.ini");
    dir.write("Integracao_Docs_Fiscal.ini/keep.txt", "keep");
    test::TestPlatform platform(dir.str());
    platform.dialog_choice = dir.write("doc.xml", any_document);
    StageForm form(platform, Regional::brazilian());
    EXPECT_EQ(form.run().outcome, Outcome::aborted);
    EXPECT_EQ(platform.boxes, std::vector<std::string>{std::string(msg::erro_criar_arquivo)});
    EXPECT_EQ(test::read_bytes((dir.path() / "Integracao_Docs_Fiscal.ini" / "keep.txt").string()), "keep");
}

// An exchange file that reaches the disk only in part: the write or the
// commit fails, as on a full disk.
class BrokenFile : public OutputFile {
public:
    BrokenFile(std::unique_ptr<OutputFile> real, bool fail_write, bool fail_close)
        : real_(std::move(real)), fail_write_(fail_write), fail_close_(fail_close) {}
    EntryKind existing() override { return real_->existing(); }
    bool remove_existing() override { return real_->remove_existing(); }
    bool write(std::string_view bytes) override {
        if (!fail_write_) return real_->write(bytes);
        real_->write(bytes.substr(0, bytes.size() / 2));
        return false;
    }
    bool commit() override { return !fail_close_ && real_->commit(); }

private:
    std::unique_ptr<OutputFile> real_;
    bool fail_write_;
    bool fail_close_;
};

class FullDiskPlatform : public test::TestPlatform {
public:
    FullDiskPlatform(std::string dir, bool fail_write, bool fail_close)
        : TestPlatform(std::move(dir)), fail_write_(fail_write), fail_close_(fail_close) {}
    std::unique_ptr<OutputFile> create_file(const std::string& path) override {
        auto real = TestPlatform::create_file(path);
        if (!real) return nullptr;
        return std::make_unique<BrokenFile>(std::move(real), fail_write_, fail_close_);
    }

private:
    bool fail_write_;
    bool fail_close_;
};

TEST(Import, WriteOrCloseFailureAbortsWithTheWriteMessageAndNoFile) {
    struct Case {
        const char* name;
        bool fail_write;
        bool fail_close;
    };
    for (const Case c : {Case{"write", true, false}, Case{"close", false, true}, Case{"both", true, true}}) {
        test::TempDir dir;
        FullDiskPlatform platform(dir.str(), c.fail_write, c.fail_close);
        platform.dialog_choice = dir.write("doc.xml", any_document);
        StageForm form(platform, Regional::brazilian());
        form.stages = [](StageForm& f) {
            write_two_sections(f);
            f.add_problem("- Fone do Fornecedor no Arquivo XML.");
        };
        const ImportResult result = form.run();
        EXPECT_EQ(result.outcome, Outcome::aborted) << c.name;
        EXPECT_FALSE(std::filesystem::exists(result.arquivo_ini)) << c.name;
        // The write message only: no problem report after a failed file.
        EXPECT_EQ(platform.boxes, std::vector<std::string>{std::string(msg::erro_gravar_arquivo)}) << c.name;
    }
}

// Records, at each box, whether the exchange file is there and what it holds.
class SnapshotPlatform : public test::TestPlatform {
public:
    using TestPlatform::TestPlatform;
    void mensagem_atencao(std::string_view text) override {
        TestPlatform::mensagem_atencao(text);
        file_at_box = test::read_bytes(exchange_dir + "/Integracao_Docs_Fiscal.ini");
    }
    std::optional<std::string> file_at_box;
};

TEST(Import, TheReportIsShownAfterTheFileIsCompleteUnlessSilent) {
    struct Case {
        std::string modo;
        bool report;
    };
    const Case cases[] = {
        {"", true},     {"Sim", false}, {"sim", true}, {"SIM", true},  {" Sim", true},
        {"Sim ", true}, {"Não", true},  {"S", true},   {"Simm", true},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        SnapshotPlatform platform(dir.str());
        platform.dialog_choice = dir.write("doc.xml", any_document);
        StageForm form(platform, Regional::brazilian());
        form.modo_silencioso = c.modo;
        form.stages = [](StageForm& f) {
            f.write_line("[IDENTIFICACAO]");
            f.add_problem("- Data da Emissão da Nota Fiscal no Arquivo XML.");
            f.write_value("Data_Emissao=", "");
            f.add_problem("- Fone do Fornecedor no Arquivo XML.");
        };
        const ImportResult result = form.run();
        const std::string problems =
            "- Data da Emissão da Nota Fiscal no Arquivo XML.\r\n- Fone do Fornecedor no Arquivo XML.\r\n";
        EXPECT_EQ(result.outcome, Outcome::completed) << c.modo;
        EXPECT_EQ(result.lista_problemas, problems) << c.modo;
        const std::string content = "[IDENTIFICACAO]\r\nData_Emissao=\r\n";
        EXPECT_EQ(test::read_bytes(result.arquivo_ini), content) << c.modo;
        if (c.report) {
            ASSERT_EQ(platform.boxes.size(), 1u) << '"' << c.modo << '"';
            EXPECT_EQ(platform.boxes[0], "O Sistema Encontrou Problemas ao Importar os Dados do:\r\r" + problems);
            EXPECT_EQ(platform.file_at_box, content);
        } else {
            EXPECT_TRUE(platform.boxes.empty()) << c.modo;
        }
    }
}

TEST(Import, NoReportWithoutProblems) {
    const auto run = test::run_stages_on(any_document, [](StageForm& f) { f.write_line("[IDENTIFICACAO]"); });
    EXPECT_TRUE(run.completed());
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(run.result.lista_problemas, "");
}

TEST(Import, SuccessiveImportsShareNothing) {
    test::TempDir dir;
    test::TestPlatform platform(dir.str());
    platform.dialog_choice = dir.write("doc.xml", any_document);
    {
        StageForm first(platform, Regional::brazilian());
        first.stages = [](StageForm& f) {
            f.write_line("[FIRST]");
            f.add_problem("- A no Arquivo XML.");
        };
        EXPECT_EQ(first.run().outcome, Outcome::completed);
    }
    EXPECT_EQ(platform.boxes.size(), 1u);
    StageForm second(platform, Regional::brazilian());
    second.stages = [](StageForm& f) { f.write_line("[SECOND]"); };
    const ImportResult result = second.run();
    EXPECT_EQ(result.lista_problemas, "");
    EXPECT_EQ(platform.boxes.size(), 1u);
    EXPECT_EQ(test::read_bytes(result.arquivo_ini), "[SECOND]\r\n");
}

TEST(Import, StagesReadTheDocumentFromItsElement) {
    const auto run = test::run_stages_on(any_document, [](StageForm& f) {
        xml::Node prot = f.document_element().find("protNFe");
        if (!prot) f.abort("no protocol");
        f.write_line("[OK]");
    });
    EXPECT_TRUE(run.completed());
    EXPECT_EQ(run.ini, "[OK]\r\n");
}

}  // namespace
}  // namespace idf
