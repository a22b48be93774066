#include "xml/canonical.hpp"

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include "xml/storage.hpp"

namespace idf::xml {

namespace {

// The canonical form's character references: text escapes "&", "<", ">"
// and CR; attribute values "&", "<", '"', TAB, LF and CR.
constexpr std::string_view text_specials = "&<>\r";
constexpr std::string_view attribute_specials = "&<\"\t\n\r";

// `text` with each of `specials` written as its reference; runs without one
// are copied whole.
void escape(std::string_view text, std::string_view specials, std::string& out) {
    for (;;) {
        const std::size_t at = text.find_first_of(specials);
        out.append(text.substr(0, at));
        if (at == std::string_view::npos) return;
        switch (text[at]) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\t':
                out += "&#x9;";
                break;
            case '\n':
                out += "&#xA;";
                break;
            default:
                out += "&#xD;";
        }
        text.remove_prefix(at + 1);
    }
}

std::string_view local_part(std::string_view name) {
    const std::size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::string_view prefix_part(std::string_view name) {
    const std::size_t colon = name.find(':');
    return colon == std::string_view::npos ? std::string_view() : name.substr(0, colon);
}

// The namespaces declared on the elements written so far, innermost last.
struct Binding {
    std::string_view prefix;  // empty: the default namespace
    std::string_view uri;
};

std::string_view bound_uri(const std::vector<Binding>& bindings, std::string_view prefix) {
    for (auto it = bindings.rbegin(); it != bindings.rend(); ++it)
        if (it->prefix == prefix) return it->uri;
    return {};
}

// The lists one start tag needs, kept from one element to the next.
struct Scratch {
    std::vector<AttributeView> attributes;
    std::vector<Binding> used;
    std::vector<Binding> declared;
    std::vector<const AttributeView*> sorted;
};

// Writes the start tag of an element named `name` with the attributes in
// `scratch`; the declarations it makes are added to `bindings`.
void start_tag(const Name& name, std::vector<Binding>& bindings, Scratch& scratch, std::string& out) {
    // Most elements: no attribute, and the namespace of the one above.
    if (scratch.attributes.empty() && bound_uri(bindings, name.prefix) == name.uri) {
        out += '<';
        out += name.qualified;
        out += '>';
        return;
    }

    // The namespaces the element and its attributes use.
    std::vector<Binding>& used = scratch.used;
    used.clear();
    used.push_back({name.prefix, name.uri});
    for (const AttributeView& attribute : scratch.attributes) {
        const std::string_view attribute_prefix = prefix_part(attribute.name);
        // The xml prefix is bound by definition and never declared.
        if (!attribute_prefix.empty() && attribute_prefix != "xml")
            used.push_back({attribute_prefix, attribute.namespace_uri});
    }
    std::vector<Binding>& declared = scratch.declared;
    declared.clear();
    for (const Binding& binding : used) {
        if (bound_uri(bindings, binding.prefix) == binding.uri) continue;
        if (std::any_of(declared.begin(), declared.end(),
                        [&](const Binding& made) { return made.prefix == binding.prefix; }))
            continue;
        declared.push_back(binding);
    }
    std::sort(declared.begin(), declared.end(), [](const Binding& a, const Binding& b) { return a.prefix < b.prefix; });

    std::vector<const AttributeView*>& sorted = scratch.sorted;
    sorted.clear();
    for (const AttributeView& attribute : scratch.attributes) sorted.push_back(&attribute);
    std::sort(sorted.begin(), sorted.end(), [](const AttributeView* a, const AttributeView* b) {
        if (a->namespace_uri != b->namespace_uri) return a->namespace_uri < b->namespace_uri;
        return local_part(a->name) < local_part(b->name);
    });

    out += '<';
    out += name.qualified;
    for (const Binding& binding : declared) {
        out += binding.prefix.empty() ? " xmlns" : " xmlns:";
        out += binding.prefix;
        out += "=\"";
        escape(binding.uri, attribute_specials, out);
        out += '"';
        bindings.push_back(binding);
    }
    for (const AttributeView* attribute : sorted) {
        out += ' ';
        out += attribute->name;
        out += "=\"";
        escape(attribute->value, attribute_specials, out);
        out += '"';
    }
    out += '>';
}

}  // namespace

// The walk goes over the node store directly: nodes are numbered in
// document order, the attributes stored in the order of their elements, so
// one cursor runs along the attributes as the walk runs along the
// elements: every element of the subtree is visited, each takes its own
// attributes, and the next element's come next. Nodes that lookups created after the parse (numbered from
// parsed_count on) are not the document's and are left out, with what they
// hold.
std::string canonical_xml(Node element) {
    if (element.type() != NodeType::element) throw XmlDocError("Node is not an element");
    Storage& store = *element.doc_->storage_;
    const std::uint32_t root = element.index_;
    std::string out;
    if (root >= store.parsed_count) return out;
    // About the size of the document's markup: one reservation instead of
    // a copy at every doubling.
    out.reserve(store.stored + std::size_t{24} * (store.parsed_count - root));
    std::vector<Binding> bindings;
    Scratch scratch;
    const std::vector<AttributeData>& attributes = store.attributes;
    auto cursor = std::lower_bound(attributes.begin(), attributes.end(), root,
                                   [](const AttributeData& a, std::uint32_t at) { return a.element < at; });
    // The elements open, each with the number of bindings before its own.
    std::vector<std::pair<std::uint32_t, std::size_t>> open;

    std::uint32_t node = root;
    for (;;) {
        const NodeData& data = store.node(node);
        bool entered = false;
        if (node < store.parsed_count) {
            switch (data.type()) {
                case NodeType::element: {
                    scratch.attributes.clear();
                    for (; cursor != attributes.end() && cursor->element == node; ++cursor)
                        scratch.attributes.push_back({{cursor->name, cursor->name_size},
                                                      {cursor->uri, cursor->uri_size},
                                                      {cursor->value, cursor->value_size}});
                    const std::size_t mark = bindings.size();
                    start_tag(store.name_of(data), bindings, scratch, out);
                    open.emplace_back(node, mark);
                    entered = true;
                    break;
                }
                case NodeType::text:
                case NodeType::cdata:
                    escape(data.text(), text_specials, out);
                    break;
                case NodeType::processing_instruction:
                    out += "<?";
                    out += store.name_of(data).qualified;
                    if (data.value_size != 0) {
                        out += ' ';
                        out += data.text();
                    }
                    out += "?>";
                    break;
                case NodeType::comment:
                    break;
            }
        }
        if (entered && data.first_child != 0) {
            node = data.first_child;
            continue;
        }
        if (!entered && node != root && data.next_sibling != 0) {
            node = data.next_sibling;
            continue;
        }
        // Close elements until one has a following sibling.
        for (;;) {
            if (open.empty()) return out;
            const auto [closed, mark] = open.back();
            open.pop_back();
            out += "</";
            out += store.name_of(store.node(closed)).qualified;
            out += '>';
            bindings.resize(mark);
            if (closed == root) return out;
            if (const std::uint32_t next = store.node(closed).next_sibling) {
                node = next;
                break;
            }
        }
    }
}

}  // namespace idf::xml
