// The temporary file names of the exchange file, read back as every
// platform reads them when it removes the leftovers of dead writers.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/temp_name.hpp"

namespace idf {
namespace {

TEST(TemporaryName, OnlyTheWritersOwnNamesAreReadBack) {
    const std::string ini = "Integracao_Docs_Fiscal.ini";
    const std::string prefix = "." + ini + ".";
    struct Case {
        std::string name;
        std::optional<std::uint32_t> pid;
    };
    const Case cases[] = {
        // Look-alikes: never taken for a temporary file.
        {prefix + ".0123456789abcdef.tmp", std::nullopt},             // no process id
        {prefix + "12345678901.0123456789abcdef.tmp", std::nullopt},  // 11 digits
        {prefix + "4294967296.0123456789abcdef.tmp", std::nullopt},   // beyond 32 bits
        {prefix + "-1.0123456789abcdef.tmp", std::nullopt},
        {prefix + "+1.0123456789abcdef.tmp", std::nullopt},
        {prefix + "1 .0123456789abcdef.tmp", std::nullopt},
        {prefix + "1.0123456789abcde.tmp", std::nullopt},    // 15 digits
        {prefix + "1.0123456789abcdef0.tmp", std::nullopt},  // 17 digits
        {prefix + "1.0123456789abcdeg.tmp", std::nullopt},   // not hexadecimal
        {prefix + "1.0123456.89abcdef.tmp", std::nullopt},
        {prefix + "1.0123456789abcdef.TMP", std::nullopt},
        {prefix + "1.0123456789abcdef.tmp.bak", std::nullopt},
        {prefix + "1.0123456789abcdef", std::nullopt},
        {prefix + "tmp", std::nullopt},  // shorter than prefix + ".tmp"
        {prefix + ".tmp", std::nullopt},
        {"." + ini + ".tmp", std::nullopt},
        {ini + ".1.0123456789abcdef.tmp", std::nullopt},                       // not hidden
        {".integracao_docs_fiscal.ini.1.0123456789abcdef.tmp", std::nullopt},  // another file's, by case
        {".Outro.ini.1.0123456789abcdef.tmp", std::nullopt},
        {"", std::nullopt},
        // The writers' names.
        {prefix + "1.0123456789abcdef.tmp", 1u},
        {prefix + "0.0000000000000000.tmp", 0u},
        {prefix + "007.ffffffffffffffff.tmp", 7u},
        {prefix + "4294967295.FFFFFFFFFFFFFFFF.tmp", 4294967295u},
        {temporary_name(ini, 123456, 0xabcdefULL), 123456u},
        {temporary_name(ini, 4294967295u, ~0ULL), 4294967295u},
    };
    for (const Case& c : cases) EXPECT_EQ(temporary_name_pid(c.name, ini), c.pid) << c.name;
    EXPECT_EQ(temporary_name(ini, 42, 0xabcULL), prefix + "42.0000000000000abc.tmp");
}

}  // namespace
}  // namespace idf
