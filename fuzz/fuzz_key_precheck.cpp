// The search may pass over a file without parsing it only when the file
// cannot carry the key. This target parses arbitrary bytes in full, reads
// the key of each protocol the way the search does, and fails when the
// quick check would have passed over a file that carries it.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

#include "common/key_precheck.hpp"
#include "common/platform.hpp"
#include "common/text.hpp"
#include "common/xml.hpp"
#include "fuzz_support.hpp"

namespace {

std::string protocol_key(idf::xml::Document& doc, std::string_view protocol_name, std::string_view key_name) {
    using namespace idf::xml;
    const Node protocol = find_child(child_nodes(doc.document_element()), protocol_name);
    if (!protocol) return {};
    const Node inf_prot = find_child(child_nodes(protocol), "infProt");
    if (!inf_prot) return {};
    const Node key = child_by_name(child_nodes(inf_prot), key_name);
    if (idf::is_blank(node_text(key))) return {};
    return idf::to_ansi(node_text(key));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    idf::xml::Document doc;
    try {
        doc.load(bytes, "/pasta/doc.xml");
    } catch (const std::exception&) {
        return 0;  // a file that does not parse never matches
    }
    for (const auto& [protocol, key_name] : {std::pair{"protNFe", "chNFe"}, std::pair{"protCTe", "chCTe"}}) {
        std::string key;
        try {
            key = protocol_key(doc, protocol, key_name);
        } catch (const std::exception&) {
            continue;  // no key can be read: the file never matches
        }
        if (idf::is_blank(key)) continue;
        if (!idf::KeyPrecheck(key).may_carry_key(bytes))
            idf::fuzz::fail("the quick check passed over a file that carries the key");
    }
    return 0;
}
