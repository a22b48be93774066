// The search may pass over a file without parsing it only when the file
// cannot carry the key. This target parses arbitrary bytes in full and
// fails when the quick check would have passed over a file that carries a
// key. The check never looks at where an element stands, so the text of
// every element is a key the file carries as far as the check can tell:
// had that element been the protocol's key element, the file would match.
// Checking them all finds a fault as soon as any text of the input is
// written in a way the check overlooks. An input whose first byte is 0x01
// to 0x06 is put behind one of a few prologs (a processing instruction or
// a comment holding what looks like other markup, a document type
// declaration with entities), so that ways of writing a text behind them
// are tried too.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "common/platform.hpp"
#include "fuzz_support.hpp"
#include "search/key_precheck.hpp"
#include "values/text.hpp"
#include "xml/tree.hpp"

namespace {

using namespace idf::xml;

// The texts of the elements that hold a single text or CDATA child.
void collect_texts(Node root, std::set<std::string>& texts) {
    std::vector<Node> pending{root};
    while (!pending.empty() && texts.size() < 200) {
        const Node node = pending.back();
        pending.pop_back();
        if (node.type() != NodeType::element) continue;
        const Node first = node.first_child();
        if (!first) continue;
        if (!first.next_sibling() && (first.type() == NodeType::text || first.type() == NodeType::cdata)) {
            const std::u16string text = node.text();
            if (idf::is_blank(text)) continue;
            // As the protocol compares it, and as an event compares it
            // (without blanks at either end).
            texts.insert(idf::to_ansi(text));
            texts.insert(std::string(idf::trim(idf::to_ansi(text))));
            continue;
        }
        for (Node child = first; child; child = child.next_sibling()) pending.push_back(child);
    }
}

}  // namespace

constexpr std::string_view prologs[] = {
    "<?xml version=\"1.0\"?><?pi <!-- ?><!DOCTYPE r [<!ENTITY a \"35\"><!ENTITY n \"&a;&#49;\">]><!-- -->",
    "<?xml version=\"1.0\"?><?pi <![CDATA[ ?><!DOCTYPE r [<!ENTITY a \"35\">]><!-- ]]> -->",
    "<?pi --> ?><?pi ]]> ?><?pi > ?><!DOCTYPE r [<!ENTITY a \"35\">]>",
    "<!-- <!DOCTYPE r [<!ENTITY a \"35\">]> -->",
    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>",
    "<?xml version=\"1.0\" encoding=\"windows-1252\"?><!DOCTYPE r [<!ATTLIST r a CDATA \"&#51;\">]>",
};

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string composed;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (!bytes.empty() && bytes[0] >= 1 && bytes[0] <= static_cast<char>(std::size(prologs))) {
        composed.assign(prologs[bytes[0] - 1]).append(bytes.substr(1));
        bytes = composed;
    }
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
