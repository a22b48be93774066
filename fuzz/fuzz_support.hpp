// What the fuzz targets share: whole imports run on the in-memory platform,
// and the checks of what the host would find afterwards.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/import.hpp"
#include "cte/uimporta_arquivo_xml_cte.hpp"
#include "nfe/uimporta_arquivo_xml_nfe.hpp"
#include "platform/memory_platform.hpp"
#include "values/regional.hpp"

namespace idf::fuzz {

[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "FINDING: %s\n", what);
    std::abort();
}

inline ImportResult run(const DocumentType& type, Platform& platform, std::string_view chave, std::string_view pasta,
                        std::string_view modo) {
    static const Regional regional = Regional::brazilian();
    return run_import(type, platform, regional, {chave, pasta, modo});
}

// The host finds the exchange file after a completed import and never after
// one that did not complete.
inline void check_exchange_file(const MemoryPlatform& platform, const ImportResult& result) {
    const bool exists = platform.exchange_file().has_value();
    if (result.outcome == Outcome::completed && !exists) fail("completed import without an exchange file");
    if (result.outcome != Outcome::completed && exists) fail("exchange file left behind after an abort");
}

// The text between "<chNFe>" (or the CT-e's tag) and the next "<", as a
// quick guess at the key the bytes carry; a fixed key when there is none.
inline std::string guessed_key(std::string_view bytes, std::string_view tag) {
    const std::string open = "<" + std::string(tag) + ">";
    const std::size_t at = bytes.find(open);
    if (at != std::string_view::npos) {
        const std::size_t from = at + open.size();
        const std::size_t to = bytes.find('<', from);
        if (to != std::string_view::npos && to - from <= 200) return std::string(bytes.substr(from, to - from));
    }
    return "35180834128745000152550010000476861118934859";
}

// One whole import of the bytes through the open dialog, then a search for
// them in a folder that also holds a broken file and an empty one.
inline void import_both_ways(const DocumentType& type, std::string_view bytes) {
    {
        MemoryPlatform platform;
        platform.add_file("/docs/escolhido.xml", std::string(bytes));
        platform.dialog_choice = "/docs/escolhido.xml";
        const ImportResult result = run(type, platform, "", "", "");
        check_exchange_file(platform, result);
    }
    {
        MemoryPlatform platform;
        platform.add_file("/pasta/0-quebrado.xml", "<nfeProc><protNFe>");
        platform.add_file("/pasta/1-vazio.xml", "");
        platform.add_file("/pasta/2-doc.xml", std::string(bytes));
        const std::string key = guessed_key(bytes, type.names.key);
        const ImportResult result = run(type, platform, key, "/pasta", "Sim");
        check_exchange_file(platform, result);
    }
}

}  // namespace idf::fuzz
