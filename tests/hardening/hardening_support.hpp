// Helpers of the hardening tests: searches that report which file they
// settled on, the same choice made by parsing every file in full, minimal
// documents, and runs in a child process watched for hangs and memory.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/test_support.hpp"

namespace idf::test {

inline constexpr std::string_view key_a = "35180834128745000152550010000476861118934859";
inline constexpr std::string_view key_b = "35180834128745000152550010000474281920007498";

// The test platform, also recording every file the import reads.
class RecordingPlatform : public TestPlatform {
public:
    using TestPlatform::TestPlatform;
    FileBytes read_file(const std::string& path) override {
        reads.push_back(path);
        return TestPlatform::read_file(path);
    }
    FileBytes read_file_once(const std::string& path, FileIdentities& read) override {
        reads.push_back(path);
        return TestPlatform::read_file_once(path, read);
    }
    std::vector<std::string> reads;
};

// What a search by key ended with.
struct SearchRun {
    ImportResult result;
    std::vector<std::string> boxes;
    std::vector<std::string> reads;
    bool exchange_file_exists = false;
    // The name (without folder) of the file the search settled on; empty
    // for the not-found outcome.
    std::string chosen;
};

SearchRun search(DocType type, std::string_view key, const std::string& folder);

// The file that a search parsing every listed file in full, in name order,
// would settle on: the name, or empty when none carries the key.
std::string chosen_by_full_parse(DocType type, std::string_view key, const std::string& folder);

// A minimal authorised document whose key element holds `key_markup` as
// written (escapes, CDATA and all), after `head` (declaration, DTD).
std::string nfe_doc(std::string_view key_markup, std::string_view head = R"(<?xml version="1.0" encoding="UTF-8"?>)");
std::string cte_doc(std::string_view key_markup, std::string_view head = R"(<?xml version="1.0" encoding="UTF-8"?>)");

// Text re-encoded: UTF-16 little or big endian, Latin-1 (from UTF-8), and
// EBCDIC (code page 037, ASCII letters, digits and XML punctuation only).
std::string to_utf16le(std::string_view utf8);
std::string to_utf16be(std::string_view utf8);
std::string to_latin1(std::string_view utf8);
std::string to_ebcdic037(std::string_view ascii);

// Runs `body` in a child process. The outcome holds its exit code (-1 when
// it was killed or crashed), whether it ended within `limit` (killed
// otherwise) and its peak resident memory.
struct ChildOutcome {
    bool ended_in_time = false;
    int exit_code = -1;
    long peak_rss_kb = 0;
};
ChildOutcome run_in_child(const std::function<int()>& body, std::chrono::seconds limit);

// The authorised NF-e kept in the repository, used as the file to be found
// (its key is sample_nfe_key).
std::string sample_nfe();

}  // namespace idf::test
