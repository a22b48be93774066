// The temporary file names of the exchange file, read back as every
// platform reads them when it removes the leftovers of dead writers.
#include <gtest/gtest.h>

#include <algorithm>
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
        {prefix + "4242.my-backup-copy!!.tmp", std::nullopt},  // 16 characters, not digits
        {prefix + "0.0000000000000000.tmp", std::nullopt},     // no process 0
        {prefix + "007.ffffffffffffffff.tmp", std::nullopt},   // never written with zeros in front
        {prefix + "1.FFFFFFFFFFFFFFFF.tmp", std::nullopt},     // never written in capitals
        // The writers' names.
        {prefix + "1.0123456789abcdef.tmp", 1u},
        {prefix + "4294967295.ffffffffffffffff.tmp", 4294967295u},
        {temporary_name(ini, 123456, 0xabcdefULL), 123456u},
        {temporary_name(ini, 4294967295u, ~0ULL), 4294967295u},
    };
    for (const Case& c : cases) EXPECT_EQ(temporary_name_pid(c.name, ini), c.pid) << c.name;
    EXPECT_EQ(temporary_name(ini, 42, 0xabcULL), prefix + "42.0000000000000abc.tmp");
}

TEST(TemporaryName, FitsInAFolderWheneverTheFinalNameDoes) {
    for (const std::size_t length : {221u, 222u, 223u, 228u, 255u}) {
        const std::string final_name(length, 'n');
        const std::string name = temporary_name(final_name, 4294967295u, ~0ULL);
        EXPECT_LE(name.size(), std::max<std::size_t>(255, length)) << length;
        EXPECT_EQ(temporary_name_pid(name, final_name), 4294967295u) << length;
        // Another final name with the same first bytes reads it back too,
        // which only makes its leftovers candidates for the lock test.
        EXPECT_EQ(temporary_name_pid(name, final_name.substr(0, 222) + "x").has_value(), length >= 222) << length;
    }
}

}  // namespace
}  // namespace idf
