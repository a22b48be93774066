#include "support/test_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>

#include "values/text.hpp"

namespace idf::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "idf-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::write(std::string_view name, std::string_view bytes) const {
    const auto file = path_ / std::string(name);
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return file.string();
}

std::optional<std::string> read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string without_authenticity_problems(std::string lista) {
    for (const std::string_view line : {conteudo_diferente, assinatura_invalida, certificado_de_outro})
        if (const auto at = lista.find(line); at != std::string::npos) lista.erase(at, line.size());
    return lista;
}

void expect_golden(const std::string& relative, const std::string& produced, const std::string& path) {
    const std::string golden = std::string(IDF_TESTS_DIR) + "/" + relative;
    constexpr std::string_view marker = "{ARQUIVO_XML}";
    const char* update = std::getenv("IDF_UPDATE_GOLDEN");
    if (update && std::string_view(update) == "1") {
        std::string written = produced;
        for (std::size_t at = written.find(path); at != std::string::npos; at = written.find(path, at + marker.size()))
            written.replace(at, path.size(), marker);
        std::ofstream(golden, std::ios::binary) << written;
        std::cout << "golden file written: " << relative << "\n";
        return;
    }
    auto expected = read_bytes(golden);
    ASSERT_TRUE(expected.has_value()) << relative;
    for (std::size_t at = expected->find(marker); at != std::string::npos;
         at = expected->find(marker, at + path.size()))
        expected->replace(at, marker.size(), path);
    EXPECT_EQ(produced, *expected) << relative;
    if (produced != *expected) {  // the first differing line, for the reader
        const auto got = split_lines(produced);
        const auto want = split_lines(*expected);
        for (std::size_t i = 0; i < std::max(got.size(), want.size()); ++i) {
            const std::string a = i < got.size() ? got[i] : "(none)";
            const std::string b = i < want.size() ? want[i] : "(none)";
            if (a != b) {
                ADD_FAILURE() << relative << " line " << i + 1 << ":\n  got  " << a << "\n  want " << b;
                break;
            }
        }
    }
}

const char* corpus_dir() {
    const char* dir = std::getenv("IDF_CORPUS_DIR");
    return dir && *dir ? dir : nullptr;
}

std::string corpus_path(std::string_view relative) {
    const char* dir = corpus_dir();
    if (!dir) {
        ADD_FAILURE() << "a test reads the real documents without IDF_REQUIRE_CORPUS()";
        return "/nonexistent/IDF_CORPUS_DIR/" + std::string(relative);
    }
    return std::string(dir) + "/" + std::string(relative);
}

std::string sample_nfe_path() { return std::string(IDF_TESTS_DIR) + "/../samples/nfe-exemplo.xml"; }

std::string sample_cte_path() { return std::string(IDF_TESTS_DIR) + "/data/cte-exemplo.xml"; }

std::vector<std::string> split_lines(std::string_view cp1252) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < cp1252.size()) {
        const std::size_t end = cp1252.find("\r\n", pos);
        if (end == std::string_view::npos) {
            lines.push_back(cp1252_to_utf8(cp1252.substr(pos)));
            break;
        }
        lines.push_back(cp1252_to_utf8(cp1252.substr(pos, end - pos)));
        pos = end + 2;
    }
    return lines;
}

std::string RunResult::ini_utf8() const { return ini ? cp1252_to_utf8(*ini) : std::string(); }

std::vector<std::string> RunResult::lines() const { return ini ? split_lines(*ini) : std::vector<std::string>{}; }

std::vector<std::string> RunResult::document_lines() const {
    std::vector<std::string> all = lines();
    const auto header = std::find(all.rbegin(), all.rend(), "[AUTENTICIDADE]");
    if (header == all.rend() || std::next(header) == all.rend() || !std::next(header)->empty()) return all;
    // Up to the empty line before the header.
    all.erase(std::prev(std::next(header).base()), all.end());
    return all;
}

}  // namespace idf::test
