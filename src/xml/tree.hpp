// The XML tree, as the readers see it.
//
// The imports read their documents through this small layer only. The
// platform's parser turns a file into the tree below (see builder.hpp for
// the parsers' side); every lookup rule the readers rely on lives here, the
// same on every platform:
//  - child(name) never fails: a missing child is created empty as the
//    parent's last child, so its text reads as "";
//  - find(name) reports absence and changes nothing;
//  - text() reads a text-only element and raises on any other content;
//  - names match by qualified or local name, within the parent's namespace;
//  - attribute(name) reads an element's attribute by its name as written;
//  - attributes() lists them with their namespaces, for the canonical
//    form of a signed element (canonical.hpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "values/data_error.hpp"

namespace idf::xml {

// "Element does not contain a single text node" and the like.
struct XmlDocError : DataError {
    using DataError::DataError;
};

// The document outgrew its bounds while it was being read, through the
// elements that lookups create. Not a fault of one value: it ends the
// import.
struct LimitError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A file that cannot be read or parsed. The message is formatted as
// reason, CR LF, "Line: " number, CR LF, the first 40 characters of the
// source line the parser stopped on. All texts are UTF-8.
struct ParseError : DataError {
    ParseError(std::string reason, int line, std::string source_text);
    std::string reason;
    int line;
    std::string source_text;
};

enum class NodeType { element, text, cdata, comment, processing_instruction };

struct NodeData;
struct Storage;
class Document;

// One attribute of an element as the parser gave it (UTF-8 views into the
// loaded document, valid while it stays loaded). Namespace declarations are
// not attributes.
struct AttributeView {
    std::string_view name;           // as written: "Id", "xsi:type"
    std::string_view namespace_uri;  // empty for an attribute without a prefix
    std::string_view value;          // normalised and with its references resolved
};

// A reference to one node of the loaded document; empty means "none".
// Every member but the tests for emptiness raises XmlDocError on the empty
// reference, so that a lookup on a node that was not found fails like any
// other read instead of bringing the host process down.
class Node {
public:
    Node() = default;
    explicit operator bool() const { return doc_ != nullptr; }
    bool operator==(const Node&) const = default;

    NodeType type() const;
    // Qualified name: "prefix:local" when written with a prefix.
    const std::string& name() const;
    const std::string& local_name() const;
    const std::string& namespace_uri() const;
    // The prefix of the qualified name; empty when written without one.
    const std::string& prefix() const;
    // Text of a text-only element (see the file comment); the value of any
    // other node. An element without children gets an empty text node.
    std::u16string text() const;
    // The text of an element read through what splits it: its text and
    // CDATA children joined, comments and processing instructions left
    // out; "" for an element without them. Raises XmlDocError when the
    // element holds an element. Never changes the document.
    std::u16string joined_text() const;
    // The value of this element's attribute named `name` (as written, with
    // its prefix if any), or none.
    std::optional<std::u16string> attribute(std::string_view name) const;
    // Every attribute of this element, in the order written; none for other
    // nodes.
    std::vector<AttributeView> attributes() const;
    // The same into `out` (emptied first), which keeps its memory for the
    // next element.
    void attributes(std::vector<AttributeView>& out) const;
    // Whether the node was read from the file, not created by a lookup
    // (child(), or text() on an element without content).
    bool from_file() const;
    // The value of a text, CDATA, comment or processing-instruction node as
    // stored (UTF-8); empty for an element. Never changes the document.
    std::string_view utf8_value() const;

    // The first child matching `name`; when none matches, an element is
    // created empty as the last child, with this node's prefix and
    // namespace. Never returns none.
    Node child(std::string_view name) const;
    // The first child matching `name`, or none. Never changes the document.
    Node find(std::string_view name) const;
    // The same among the children that follow `after`, a child of this
    // node (none: among all children), to visit every match in turn.
    Node find(std::string_view name, Node after) const;
    // The first child of whatever type, or none.
    Node first_child() const;
    // The next node in the parent's child list, of whatever type, or none.
    Node next_sibling() const;

private:
    friend class Document;
    // Walks the storage directly (canonical.hpp).
    friend std::string canonical_xml(Node element);
    Node(Document* doc, std::uint32_t index) : doc_(doc), index_(index) {}
    Node at(std::uint32_t index) const { return index ? Node(doc_, index) : Node(); }
    NodeData& data() const;
    Storage& storage() const;
    Document* doc_ = nullptr;
    std::uint32_t index_ = 0;  // in the document's node store
};

class Document {
public:
    Document();
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // Discards any loaded document, records `file_name` and parses the
    // bytes of that file. Raises ParseError; after a failure no document is
    // loaded.
    void load(std::string_view bytes, const std::string& file_name);
    // Discards any loaded document.
    void clear();
    const std::string& file_name() const { return file_name_; }
    bool loaded() const { return storage_ != nullptr; }
    // The last element among the document's top-level nodes. Raises
    // XmlDocError "No active document" when nothing is loaded.
    Node document_element();

    // The largest file parsed: far above any authorised document (their
    // messages are limited to a few hundred kilobytes), far below what would
    // strain the host's memory.
    static constexpr std::size_t max_file_size = 16u << 20;

private:
    friend class Node;
    friend class TreeBuilder;
    friend std::string canonical_xml(Node element);
    std::unique_ptr<Storage> storage_;
    std::string file_name_;
};

}  // namespace idf::xml
