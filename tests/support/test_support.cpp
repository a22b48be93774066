#include "support/test_support.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
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

}  // namespace idf::test
