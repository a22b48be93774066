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

#include <deque>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace idf::xml {

// "Element does not contain a single text node" and the like.
struct XmlDocError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A file that cannot be read or parsed. The message is formatted as
// reason, CR LF, "Line: " number, CR LF, the first 40 characters of the
// source line the parser stopped on. All texts are UTF-8.
struct ParseError : std::runtime_error {
    ParseError(std::string reason, int line, std::string source_text);
    std::string reason;
    int line;
    std::string source_text;
};

enum class NodeType { element, text, cdata, comment, processing_instruction };

struct NodeData;
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
    explicit operator bool() const { return data_ != nullptr; }
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
    Node(Document* doc, NodeData* data) : doc_(doc), data_(data) {}
    Document* doc_ = nullptr;
    NodeData* data_ = nullptr;
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

// Builds a tree; used by the parser backends.
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

private:
    NodeData& add(NodeType type);
    Document& doc_;
    NodeData* current_;
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
    bool loaded() const { return root_ != nullptr; }
    // The last element among the document's top-level nodes. Raises
    // XmlDocError "No active document" when nothing is loaded.
    Node document_element();

private:
    friend class TreeBuilder;
    friend Node child_by_name(NodeList, std::string_view);
    friend std::u16string node_text(Node);
    NodeData& new_node();
    std::deque<NodeData> arena_;
    NodeData* root_ = nullptr;
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
