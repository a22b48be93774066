// XML document access.
//
// The imports read their documents through this small layer only. The
// platform's parser turns a file into the tree below; every lookup rule the
// readers rely on lives here, the same on every platform:
//  - child_by_name never fails: a missing child is created empty as the
//    parent's last child, so its text reads as "";
//  - find_child reports absence and changes nothing;
//  - node_text reads a text-only element and raises on any other content;
//  - names match by qualified or local name, within the parent's namespace.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/data_error.hpp"

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
class NodeList;
class Node;
Node child_by_name(NodeList list, std::string_view name);
Node find_child(NodeList list, std::string_view name);
Node first_child(NodeList list);

// A reference to one node of the loaded document; empty means "none".
class Node {
public:
    Node() = default;
    explicit operator bool() const { return doc_ != nullptr; }
    bool operator==(const Node&) const = default;

    NodeType type() const;
    const std::string& local_name() const;
    const std::string& namespace_uri() const;

private:
    friend class Document;
    friend class NodeList;
    friend Node next_sibling(Node);
    friend const std::string& node_name(Node);
    friend std::u16string node_text(Node);
    friend Node child_by_name(NodeList, std::string_view);
    friend Node find_child(NodeList, std::string_view);
    friend Node first_child(NodeList);
    Node(Document* doc, std::uint32_t index) : doc_(doc), index_(index) {}
    // The node's data; raises XmlDocError for the empty reference, so that
    // a lookup on a node that was not found fails like any other read
    // instead of bringing the host process down.
    NodeData& data() const;
    Document* doc_ = nullptr;
    std::uint32_t index_ = 0;  // in the document's node store
};

// The ordered children of one node, of every node type. Its default
// namespace URI is the parent's.
class NodeList {
public:
    explicit NodeList(Node parent) : parent_(parent) {}
    Node parent() const { return parent_; }

private:
    friend Node child_by_name(NodeList, std::string_view);
    friend Node find_child(NodeList, std::string_view);
    friend Node first_child(NodeList);
    Node parent_;
};

NodeList child_nodes(Node node);
// The first child matching the name; created empty, as the last child,
// when none matches. Never returns none.
Node child_by_name(NodeList list, std::string_view name);
// The first child matching the name, or none. Never changes the document.
Node find_child(NodeList list, std::string_view name);
// The first child of whatever type, or none.
Node first_child(NodeList list);
// Qualified name: "prefix:local" when written with a prefix.
const std::string& node_name(Node node);
// Text of a text-only element (see the class comment); raises XmlDocError.
std::u16string node_text(Node node);
// The next node in the parent's child list, of whatever type, or none.
Node next_sibling(Node node);

// Builds a tree; used by the parser backends. Adjacent pieces of character
// data form one text node; a text node made only of blanks (space, tab,
// CR, LF) is not kept. Raises ParseError when the tree outgrows the limits
// set by Document::load.
class TreeBuilder {
public:
    explicit TreeBuilder(Document& doc);
    void start_element(std::string qualified_name, std::string local_name, std::string prefix,
                       std::string namespace_uri);
    void end_element();
    void text(std::u16string value);
    void cdata(std::u16string value);
    void comment(std::u16string value);
    void processing_instruction(std::string target, std::u16string data);

    // The same for parsers that deliver UTF-8.
    void start_element_utf8(std::string_view local_name, std::string_view prefix, std::string_view namespace_uri);
    void text_utf8(std::string_view value);
    void cdata_utf8(std::string_view value);
    void comment_utf8(std::string_view value);
    void processing_instruction_utf8(std::string_view target, std::string_view data);

    // Stores the pending text; called once the parser is done.
    void finish();

private:
    struct Open {
        std::uint32_t node;
        std::uint32_t last_child;  // 0 for none
    };
    void flush_text();
    std::uint32_t add(NodeType type, std::uint32_t name, std::string_view value);
    Document& doc_;
    std::vector<Open> open_;
    std::string pending_text_;
    std::string key_;  // reused while looking names up
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

    // Bounds that keep the work on any file linear in its size; a document
    // beyond them is refused as unparsable. Fiscal documents stay far below:
    // a few hundred distinct names, a handful of attributes per element.
    // Nodes, counting those the lookups create: one per four bytes of the
    // file plus a floor (a whole import of a fiscal document makes fewer
    // than one per ten).
    static std::size_t max_nodes(std::size_t file_size) { return file_size / 4 + (std::size_t{1} << 18); }
    // Distinct names (elements, attributes, prefixes, namespaces): a floor
    // plus one per 32 bytes, never more than 16,384.
    static std::size_t max_names(std::size_t file_size) { return std::min<std::size_t>(16384, 1024 + file_size / 32); }
    // Attributes on one element, namespace declarations in scope.
    static constexpr std::size_t max_attributes = 256;
    // Attribute declarations with a default value (each default is added
    // to every element it applies to).
    static constexpr std::size_t max_attribute_defaults = 64;
    // References to entities that hold markup, each parsed on its own.
    static std::size_t max_entity_parses(std::size_t file_size) { return 4096 + file_size / 64; }

private:
    friend class Node;
    friend class TreeBuilder;
    friend Node child_by_name(NodeList, std::string_view);
    friend Node find_child(NodeList, std::string_view);
    friend Node first_child(NodeList);
    friend Node next_sibling(Node);
    friend const std::string& node_name(Node);
    friend std::u16string node_text(Node);
    std::unique_ptr<Storage> storage_;
    std::string file_name_;
};

// The given 1-based line of a document's text (UTF-8, lines ending in LF
// or CR LF), cut to its first 40 characters (UTF-16 code units); malformed
// UTF-8 becomes U+FFFD. Empty when the text has fewer lines.
std::string source_line(std::string_view utf8_text, int line);

// Implemented by the platform's parser: parses the bytes of one XML file
// into the builder, honouring the encoding the file declares, resolving
// character references and internal entities, never loading external
// entities or DTDs, without validation, dropping white-space-only text.
// Raises ParseError.
void parse_xml(std::string_view bytes, TreeBuilder& builder);

}  // namespace idf::xml
