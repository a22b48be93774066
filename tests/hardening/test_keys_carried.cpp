// What the quick check records of a file for the index of a folder: every
// key the file can carry, or that it must always be read.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "hardening_support.hpp"
#include "search/key_precheck.hpp"

namespace idf {
namespace {

std::optional<std::vector<std::string>> carried(const std::string& bytes) {
    std::vector<std::string> keys;
    if (!keys_carried(bytes, [&](std::string_view key) {
            keys.emplace_back(key);
            return true;
        }))
        return std::nullopt;
    return keys;
}

struct Case {
    const char* what;
    std::string bytes;
    std::optional<std::vector<std::string>> keys;  // nullopt: always read
};

std::vector<Case> cases() {
    const std::string K(test::key_a);
    const std::string B(test::key_b);
    using Keys = std::optional<std::vector<std::string>>;
    // A cancellation of K cut inside its key element (a broken download):
    // the key stands whole only in the event's Id attribute.
    const std::string cut = R"(<?xml version="1.0" encoding="UTF-8"?><procEventoNFe><evento><infEvento Id="ID110111)" +
                            K + R"(01"><chNFe>)" + K.substr(0, 20);
    return {
        {"a reference to a digit", test::nfe_doc(K.substr(0, 43) + "&#" + std::to_string(int{K[43]}) + ";"),
         std::nullopt},
        {"a hexadecimal reference to a letter", test::nfe_doc(K) + "<a>&#x41;</a>", std::nullopt},
        {"a reference cut short", test::nfe_doc(K) + "<a>&#227</a>", std::nullopt},
        {"a reference with more digits than any character needs", test::nfe_doc(K) + "<a>&#000000227;</a>",
         std::nullopt},
        // A reference to any other character ends a run, as its "&" does.
        {"an accent and a line break by reference", test::nfe_doc(K) + "<x>N&#xE3;o&#13;" + B + "</x>", Keys{{K, B}}},
        {"a document type declaration", "<!DOCTYPE nfeProc>" + test::nfe_doc(K).substr(38), std::nullopt},
        {"a CDATA section left open", test::nfe_doc(K) + "<![CDATA[" + B, std::nullopt},
        {"plain", test::nfe_doc(K), Keys{{K}}},
        {"split between text and CDATA", test::nfe_doc(K.substr(0, 20) + "<![CDATA[" + K.substr(20) + "]]>"),
         Keys{{K}}},
        {"split by a comment and a processing instruction",
         test::nfe_doc(K.substr(0, 10) + "<!-- x -->" + K.substr(10, 10) + "<?pi?>" + K.substr(20)), Keys{{K}}},
        {"in an Id attribute, and in the QR code's query string",
         test::nfe_doc(B) + "<infNFe Id=\"NFe" + K + "\"/><qrCode><![CDATA[?p=" + K + "|2&x=1]]></qrCode>",
         Keys{{B, K, K}}},
        {"two keys in one run of base64, apart by a small letter",
         test::nfe_doc(B) + "<X509Certificate>MIIb+" + K + "x" + B + "AZ/9q</X509Certificate>", Keys{{B, K, B}}},
        {"inside a longer run, or in a comment", test::nfe_doc(B + "0") + "<!-- " + K + " -->",
         Keys{{B, B.substr(1) + "0", K}}},
        {"a cancellation cut inside its key, the key whole in the Id only", cut,
         Keys{{"110111" + K.substr(0, 38), "10111" + K.substr(0, 39), "0111" + K.substr(0, 40), "111" + K.substr(0, 41),
               "11" + K.substr(0, 42), '1' + K.substr(0, 43), K, K.substr(1) + "0", K.substr(2) + "01"}}},
    };
}

TEST(KeysCarried, ListsEveryWayAKeyCanBeWrittenAndReadsTheRest) {
    for (const Case& c : cases()) EXPECT_EQ(carried(c.bytes), c.keys) << c.what;
}

// The index passes over a file for a key only when the quick check would:
// every key in the shape of an access key that the check lets a file
// through for is named (or the file is always read).
TEST(KeysCarried, NamesEveryKeyTheQuickCheckLetsThrough) {
    for (const Case& c : cases()) {
        const auto keys = carried(c.bytes);
        if (!keys) continue;
        std::vector<std::string> tried{std::string(test::key_a), std::string(test::key_b)};
        for (std::size_t at = 0; at + access_key_length <= c.bytes.size(); ++at) {
            if (looks_like_access_key(std::string_view(c.bytes).substr(at, access_key_length)))
                tried.push_back(c.bytes.substr(at, access_key_length));
        }
        for (const std::string& key : tried) {
            if (KeyPrecheck(key).may_carry_key(c.bytes)) {
                EXPECT_NE(std::find(keys->begin(), keys->end(), key), keys->end()) << c.what << ": " << key;
            }
        }
    }
}

TEST(KeysCarried, TheShapeOfAnAccessKey) {
    const std::string K(test::key_a);
    const std::pair<std::string, bool> rows[] = {
        {K.substr(1), false},                                       // 43 characters
        {K + "1", false},                                           // 45
        {"3518A8" + K.substr(6), false},                            // a letter before the CNPJ
        {K.substr(0, 6) + "ABCDEFGHIJKLMN" + K.substr(20), true},   // the CNPJ of letters
        {K.substr(0, 6) + "abcdefghijklmn" + K.substr(20), false},  // in small letters
        {K.substr(0, 20) + "5A" + K.substr(22), false},             // a letter in the model
        {K, true},
    };
    for (const auto& [text, shape] : rows) EXPECT_EQ(looks_like_access_key(text), shape) << text;
}

}  // namespace
}  // namespace idf
