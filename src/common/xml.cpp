#include "common/xml.hpp"

#include "common/text.hpp"

namespace idf::xml {

struct NodeData {
    NodeType type = NodeType::element;
    std::string qualified_name;
    std::string local_name;
    std::string prefix;
    std::string namespace_uri;
    std::u16string value;
    NodeData* parent = nullptr;
    std::size_t index = 0;  // position in the parent's child list
    std::vector<NodeData*> children;
};

namespace {

const std::string text_name = "#text";
const std::string cdata_name = "#cdata-section";
const std::string comment_name = "#comment";

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

bool matches(const NodeData& child, std::string_view default_namespace, std::string_view name) {
    if (!default_namespace.empty() && !equal_ignoring_case(child.namespace_uri, default_namespace)) return false;
    return child.qualified_name == name || child.local_name == name;
}

NodeData* find(NodeData* parent, std::string_view name) {
    for (NodeData* child : parent->children)
        if (matches(*child, parent->namespace_uri, name)) return child;
    return nullptr;
}

bool is_white_space(std::u16string_view s) {
    for (const char16_t c : s)
        if (c != u' ' && c != u'\t' && c != u'\r' && c != u'\n') return false;
    return true;
}

}  // namespace

std::string source_line(std::string_view text, int line) {
    if (line < 1) return {};
    std::size_t pos = 0;
    for (int k = 1; k < line; ++k) {
        pos = text.find('\n', pos);
        if (pos == std::string_view::npos) return {};
        ++pos;
    }
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view piece = text.substr(pos, end - pos);
    if (!piece.empty() && piece.back() == '\r') piece.remove_suffix(1);
    // Decoding also replaces malformed sequences, so the message stays UTF-8.
    std::u16string wide = utf8_to_utf16(piece);
    std::size_t cut = std::min<std::size_t>(wide.size(), 40);
    // Never split a surrogate pair.
    if (cut == 40 && cut < wide.size() && wide[cut - 1] >= 0xD800 && wide[cut - 1] <= 0xDBFF) --cut;
    return utf16_to_utf8(std::u16string_view(wide).substr(0, cut));
}

ParseError::ParseError(std::string reason_, int line_, std::string source_text_)
    : std::runtime_error(reason_ + "\r\nLine: " + std::to_string(line_) + "\r\n" + source_text_),
      reason(std::move(reason_)),
      line(line_),
      source_text(std::move(source_text_)) {}

NodeType Node::type() const { return data_->type; }
const std::string& Node::local_name() const { return data_->local_name; }
const std::string& Node::namespace_uri() const { return data_->namespace_uri; }

NodeList child_nodes(Node node) { return NodeList(node); }

Node find_child(NodeList list, std::string_view name) {
    Node parent = list.parent_;
    NodeData* found = find(parent.data_, name);
    return found ? Node(parent.doc_, found) : Node();
}

Node child_by_name(NodeList list, std::string_view name) {
    Node parent = list.parent_;
    if (NodeData* found = find(parent.data_, name)) return Node(parent.doc_, found);
    NodeData& created = parent.doc_->new_node();
    created.type = NodeType::element;
    created.prefix = parent.data_->prefix;
    created.local_name = std::string(name);
    created.qualified_name = created.prefix.empty() ? created.local_name : created.prefix + ":" + created.local_name;
    created.namespace_uri = parent.data_->namespace_uri;
    created.parent = parent.data_;
    created.index = parent.data_->children.size();
    parent.data_->children.push_back(&created);
    return Node(parent.doc_, &created);
}

Node first_child(NodeList list) {
    Node parent = list.parent_;
    return parent.data_->children.empty() ? Node() : Node(parent.doc_, parent.data_->children.front());
}

const std::string& node_name(Node node) { return node.data_->qualified_name; }

std::u16string node_text(Node node) {
    NodeData& data = *node.data_;
    if (data.type != NodeType::element) return data.value;
    if (data.children.empty()) {
        NodeData& empty = node.doc_->new_node();
        empty.type = NodeType::text;
        empty.qualified_name = text_name;
        empty.local_name = text_name;
        empty.parent = &data;
        empty.index = 0;
        data.children.push_back(&empty);
        return {};
    }
    if (data.children.size() == 1 &&
        (data.children[0]->type == NodeType::text || data.children[0]->type == NodeType::cdata))
        return data.children[0]->value;
    throw XmlDocError("Element does not contain a single text node");
}

Node next_sibling(Node node) {
    NodeData* parent = node.data_->parent;
    if (!parent || node.data_->index + 1 >= parent->children.size()) return {};
    return Node(node.doc_, parent->children[node.data_->index + 1]);
}

TreeBuilder::TreeBuilder(Document& doc) : doc_(doc), current_(doc.root_) {}

NodeData& TreeBuilder::add(NodeType type) {
    NodeData& node = doc_.new_node();
    node.type = type;
    node.parent = current_;
    node.index = current_->children.size();
    current_->children.push_back(&node);
    return node;
}

void TreeBuilder::start_element(std::string qualified_name, std::string local_name, std::string prefix,
                                std::string namespace_uri) {
    NodeData& node = add(NodeType::element);
    node.qualified_name = std::move(qualified_name);
    node.local_name = std::move(local_name);
    node.prefix = std::move(prefix);
    node.namespace_uri = std::move(namespace_uri);
    current_ = &node;
}

void TreeBuilder::end_element() {
    if (current_->parent) current_ = current_->parent;
}

void TreeBuilder::text(std::u16string value) {
    // Adjacent pieces of character data form one text node.
    if (!current_->children.empty() && current_->children.back()->type == NodeType::text) {
        current_->children.back()->value += value;
        return;
    }
    NodeData& node = add(NodeType::text);
    node.qualified_name = text_name;
    node.local_name = text_name;
    node.value = std::move(value);
}

void TreeBuilder::cdata(std::u16string value) {
    NodeData& node = add(NodeType::cdata);
    node.qualified_name = cdata_name;
    node.local_name = cdata_name;
    node.value = std::move(value);
}

void TreeBuilder::comment(std::u16string value) {
    NodeData& node = add(NodeType::comment);
    node.qualified_name = comment_name;
    node.local_name = comment_name;
    node.value = std::move(value);
}

void TreeBuilder::processing_instruction(std::string target, std::u16string data) {
    NodeData& node = add(NodeType::processing_instruction);
    node.local_name = target;
    node.qualified_name = std::move(target);
    node.value = std::move(data);
}

Document::Document() = default;
Document::~Document() = default;

NodeData& Document::new_node() { return arena_.emplace_back(); }

void Document::clear() {
    arena_.clear();
    root_ = nullptr;
}

namespace {

// White space between elements is not kept: text nodes made only of blanks
// are removed once the tree is complete (a blank piece may still join a
// neighbouring entity's text while the tree is built).
void drop_white_space(NodeData& node) {
    auto& kids = node.children;
    std::size_t out = 0;
    for (NodeData* child : kids) {
        if (child->type == NodeType::text && is_white_space(child->value)) continue;
        if (child->type == NodeType::element) drop_white_space(*child);
        child->index = out;
        kids[out++] = child;
    }
    kids.resize(out);
}

}  // namespace

void Document::load(std::string_view bytes, const std::string& file_name) {
    clear();
    file_name_ = file_name;
    NodeData& root = new_node();
    root_ = &root;
    try {
        TreeBuilder builder(*this);
        parse_xml(bytes, builder);
    } catch (ParseError& error) {
        clear();
        if (error.source_text.empty() && error.line > 0)
            throw ParseError(error.reason, error.line, source_line(bytes, error.line));
        throw;
    } catch (...) {
        clear();
        throw;
    }
    drop_white_space(root);
}

Node Document::document_element() {
    if (!root_) throw XmlDocError("No active document");
    for (auto it = root_->children.rbegin(); it != root_->children.rend(); ++it)
        if ((*it)->type == NodeType::element) return Node(this, *it);
    throw XmlDocError("No active document");
}

}  // namespace idf::xml
