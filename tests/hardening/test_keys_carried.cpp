// What the quick check records of a file for the index of a folder: every
// key the file can carry, or that it must always be read.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/key_precheck.hpp"
#include "hardening_support.hpp"

namespace idf {
namespace {

std::optional<std::vector<std::string>> carried(const std::string& bytes) {
    std::vector<std::string> keys;
    if (!keys_carried(bytes, [&](std::string_view key) { keys.emplace_back(key); })) return std::nullopt;
    return keys;
}

TEST(KeysCarried, ListsEveryWayAKeyCanBeWrittenAndReadsTheRest) {
    const std::string K(test::key_a);
    const std::string B(test::key_b);
    using Keys = std::optional<std::vector<std::string>>;
    struct Case {
        const char* what;
        std::string bytes;
        Keys keys;  // nullopt: always read
    };
    const Case cases[] = {
        {"a reference to a digit", test::nfe_doc(K.substr(0, 43) + "&#" + std::to_string(int{K[43]}) + ";"),
         std::nullopt},
        {"a hexadecimal reference to a letter", test::nfe_doc(K) + "<a>&#x41;</a>", std::nullopt},
        {"a reference cut short", test::nfe_doc(K) + "<a>&#227</a>", std::nullopt},
        {"a document type declaration", "<!DOCTYPE nfeProc>" + test::nfe_doc(K).substr(38), std::nullopt},
        {"a CDATA section left open", test::nfe_doc(K) + "<![CDATA[" + B, std::nullopt},
        {"plain", test::nfe_doc(K), Keys{{K}}},
        {"blanks and an accent by reference around it", test::nfe_doc("&#32;" + K + "&#227;") + "<x>N&#xE3;o</x>",
         Keys{{K}}},
        {"split between text and CDATA", test::nfe_doc(K.substr(0, 20) + "<![CDATA[" + K.substr(20) + "]]>"),
         Keys{{K}}},
        {"split by a comment and a processing instruction",
         test::nfe_doc(K.substr(0, 10) + "<!-- x -->" + K.substr(10, 10) + "<?pi?>" + K.substr(20)), Keys{{K}}},
        {"in an Id attribute, and in the QR code's query string",
         test::nfe_doc(B) + "<infNFe Id=\"NFe" + K + "\"/><qrCode><![CDATA[?p=" + K + "|2&x=1]]></qrCode>",
         Keys{{B, K, K}}},
        {"inside a longer run, or in a comment", test::nfe_doc(B + "0") + "<!-- " + K + " -->",
         Keys{std::vector<std::string>{}}},
    };
    for (const Case& c : cases) EXPECT_EQ(carried(c.bytes), c.keys) << c.what;
}

}  // namespace
}  // namespace idf
