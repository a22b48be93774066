#include "xml/canonical.hpp"

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

namespace idf::xml {

namespace {

void escape_text(std::string_view text, std::string& out) {
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '\r':
                out += "&#xD;";
                break;
            default:
                out += c;
        }
    }
}

void escape_attribute(std::string_view value, std::string& out) {
    for (const char c : value) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
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
            case '\r':
                out += "&#xD;";
                break;
            default:
                out += c;
        }
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

// Writes the start tag of `element`; the declarations it makes are added
// to `bindings`.
void start_tag(const Node& element, std::vector<Binding>& bindings, std::string& out) {
    const std::vector<AttributeView> attributes = element.attributes();

    // The namespaces the element and its attributes use.
    std::vector<Binding> used;
    used.push_back({element.prefix(), element.namespace_uri()});
    for (const AttributeView& attribute : attributes) {
        const std::string_view prefix = prefix_part(attribute.name);
        // The xml prefix is bound by definition and never declared.
        if (!prefix.empty() && prefix != "xml") used.push_back({prefix, attribute.namespace_uri});
    }
    std::vector<Binding> declared;
    for (const Binding& binding : used) {
        if (bound_uri(bindings, binding.prefix) == binding.uri) continue;
        if (std::any_of(declared.begin(), declared.end(),
                        [&](const Binding& made) { return made.prefix == binding.prefix; }))
            continue;
        declared.push_back(binding);
    }
    std::sort(declared.begin(), declared.end(), [](const Binding& a, const Binding& b) { return a.prefix < b.prefix; });

    std::vector<const AttributeView*> sorted;
    sorted.reserve(attributes.size());
    for (const AttributeView& attribute : attributes) sorted.push_back(&attribute);
    std::sort(sorted.begin(), sorted.end(), [](const AttributeView* a, const AttributeView* b) {
        if (a->namespace_uri != b->namespace_uri) return a->namespace_uri < b->namespace_uri;
        return local_part(a->name) < local_part(b->name);
    });

    out += '<';
    out += element.name();
    for (const Binding& binding : declared) {
        out += binding.prefix.empty() ? " xmlns" : " xmlns:";
        out += binding.prefix;
        out += "=\"";
        escape_attribute(binding.uri, out);
        out += '"';
        bindings.push_back(binding);
    }
    for (const AttributeView* attribute : sorted) {
        out += ' ';
        out += attribute->name;
        out += "=\"";
        escape_attribute(attribute->value, out);
        out += '"';
    }
    out += '>';
}

void end_tag(const Node& element, std::string& out) {
    out += "</";
    out += element.name();
    out += '>';
}

// A node of the content, but an element (written by the walk).
void leaf(const Node& node, std::string& out) {
    switch (node.type()) {
        case NodeType::text:
        case NodeType::cdata:
            escape_text(node.utf8_value(), out);
            break;
        case NodeType::processing_instruction:
            out += "<?";
            out += node.name();
            if (!node.utf8_value().empty()) {
                out += ' ';
                out += node.utf8_value();
            }
            out += "?>";
            break;
        case NodeType::comment:
        case NodeType::element:
            break;
    }
}

}  // namespace

std::string canonical_xml(Node element) {
    if (element.type() != NodeType::element) throw XmlDocError("Node is not an element");
    std::string out;
    std::vector<Binding> bindings;
    // The elements open, each with the number of bindings before its own.
    std::vector<std::pair<Node, std::size_t>> open;

    Node node = element;
    for (;;) {
        // Nodes that lookups created after the parse are not the document's.
        bool entered = false;
        if (node.from_file()) {
            if (node.type() == NodeType::element) {
                const std::size_t mark = bindings.size();
                start_tag(node, bindings, out);
                open.emplace_back(node, mark);
                entered = true;
            } else {
                leaf(node, out);
            }
        }
        if (entered) {
            if (const Node child = open.back().first.first_child()) {
                node = child;
                continue;
            }
        } else if (node != element) {
            if (const Node next = node.next_sibling()) {
                node = next;
                continue;
            }
        }
        // Close elements until one has a following sibling.
        for (;;) {
            if (open.empty()) return out;
            const auto [closed, mark] = open.back();
            open.pop_back();
            end_tag(closed, out);
            bindings.resize(mark);
            if (closed == element) return out;
            if (const Node next = closed.next_sibling()) {
                node = next;
                break;
            }
        }
    }
}

}  // namespace idf::xml
