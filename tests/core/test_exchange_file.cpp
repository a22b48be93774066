// The exchange file: line syntax, creation, closing and discarding.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/exchange_file.hpp"
#include "core/core_support.hpp"

namespace idf {
namespace {

struct FileFixture {
    test::TempDir dir;
    PosixPlatform platform;
    std::string path = (dir.path() / "Integracao_Docs_Fiscal.ini").string();
};

TEST(ExchangeFile, LinesEndInCrLfAndReachTheDiskWhenClosed) {
    FileFixture f;
    ExchangeFile file(f.platform, f.path);
    ASSERT_TRUE(file.create());
    file.write_line("[IDENTIFICACAO]");
    file.write_value("Serie_Nota_Fiscal=", "1");
    file.write_empty_line();
    file.write_value("Vazio=", "");
    // The name holds nothing before the file is closed.
    EXPECT_EQ(test::read_bytes(f.path), std::nullopt);
    ASSERT_TRUE(file.close());
    EXPECT_EQ(test::read_bytes(f.path), "[IDENTIFICACAO]\r\nSerie_Nota_Fiscal=1\r\n\r\nVazio=\r\n");
}

TEST(ExchangeFile, LineBreaksInsideAValueBecomeOneSpaceEach) {
    struct Case {
        std::string value;
        std::string written;
    };
    const Case cases[] = {
        {"a\r\nb", "a b"},
        {"a\nb", "a b"},
        {"a\rb", "a b"},
        {"a\n\nb", "a  b"},
        {"a\r\n\r\nb", "a  b"},
        {"a\n\rb", "a  b"},  // LF then CR are two breaks
        {"\r\nlead", " lead"},
        {"trail\n", "trail "},
        {"[SECAO]\nChave=1", "[SECAO] Chave=1"},
        {"tab\tstays", "tab\tstays"},
    };
    FileFixture f;
    ExchangeFile file(f.platform, f.path);
    ASSERT_TRUE(file.create());
    std::string expected;
    for (const auto& c : cases) {
        file.write_value("K=", c.value);
        expected += "K=" + c.written + "\r\n";
    }
    ASSERT_TRUE(file.close());
    EXPECT_EQ(test::read_bytes(f.path), expected);
}

TEST(ExchangeFile, BytesAreWrittenAsGiven) {
    FileFixture f;
    ExchangeFile file(f.platform, f.path);
    ASSERT_TRUE(file.create());
    file.write_value("Razao_Social=", "A\xe7\xe3o \x80 \xff");
    ASSERT_TRUE(file.close());
    EXPECT_EQ(test::read_bytes(f.path), "Razao_Social=A\xe7\xe3o \x80 \xff\r\n");
}

TEST(ExchangeFile, CreateReplacesAnOldFile) {
    FileFixture f;
    f.dir.write("Integracao_Docs_Fiscal.ini", "[OLD]\r\nOld=1\r\n" + std::string(5000, 'x'));
    ExchangeFile file(f.platform, f.path);
    ASSERT_TRUE(file.create());
    EXPECT_EQ(test::read_bytes(f.path), std::nullopt);
    file.write_line("[NEW]");
    ASSERT_TRUE(file.close());
    EXPECT_EQ(test::read_bytes(f.path), "[NEW]\r\n");
}

TEST(ExchangeFile, CreateFailsWhereNoFileCanBeMade) {
    FileFixture f;
    ExchangeFile missing_folder(f.platform, (f.dir.path() / "no-such-folder" / "x.ini").string());
    EXPECT_FALSE(missing_folder.create());
    EXPECT_FALSE(missing_folder.close());

    // A folder in the file's place cannot be deleted as a file nor replaced.
    std::filesystem::create_directory(f.path);
    ExchangeFile blocked(f.platform, f.path);
    EXPECT_FALSE(blocked.create());
    EXPECT_TRUE(std::filesystem::is_directory(f.path));
}

TEST(ExchangeFile, DiscardDeletesTheFileAndWhatWasWritten) {
    FileFixture f;
    ExchangeFile file(f.platform, f.path);
    ASSERT_TRUE(file.create());
    file.write_line("[IDENTIFICACAO]");
    file.discard();
    EXPECT_FALSE(std::filesystem::exists(f.path));
    EXPECT_EQ(file.content(), "");
    // Discarding twice, or a file never created, is harmless.
    file.discard();
    ExchangeFile never(f.platform, (f.dir.path() / "never.ini").string());
    never.discard();
}

}  // namespace
}  // namespace idf
