// The search may pass over a file without parsing it only when the file
// cannot carry the key. This target parses arbitrary bytes in full and
// fails when the quick check would have passed over a file that carries a
// key. The check never looks at where an element stands, so the text of
// every element is a key the file carries as far as the check can tell:
// had that element been the protocol's key element, the file would match.
// Checking them all finds a fault as soon as any text of the input is
// written in a way the check overlooks.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <set>
#include <string>
#include <vector>

#include "common/key_precheck.hpp"
#include "common/platform.hpp"
#include "common/text.hpp"
#include "common/xml.hpp"
#include "fuzz_support.hpp"

namespace {

using namespace idf::xml;

// The texts of the elements that hold a single text or CDATA child.
void collect_texts(Node root, std::set<std::string>& texts) {
    std::vector<Node> pending{root};
    while (!pending.empty() && texts.size() < 200) {
        const Node node = pending.back();
        pending.pop_back();
        if (node.type() != NodeType::element) continue;
        const Node first = first_child(child_nodes(node));
        if (!first) continue;
        if (!next_sibling(first) && (first.type() == NodeType::text || first.type() == NodeType::cdata)) {
            const std::u16string text = node_text(node);
            if (!idf::is_blank(text)) texts.insert(idf::to_ansi(text));
            continue;
        }
        for (Node child = first; child; child = next_sibling(child)) pending.push_back(child);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Document doc;
    try {
        doc.load(bytes, "/pasta/doc.xml");
    } catch (const std::exception&) {
        return 0;  // a file that does not parse never matches
    }
    std::set<std::string> texts;
    collect_texts(doc.document_element(), texts);
    for (const std::string& key : texts)
        if (!idf::KeyPrecheck(key).may_carry_key(bytes))
            idf::fuzz::fail("the quick check passed over a file that carries the key");
    return 0;
}
