#include "xml/tree.hpp"

#include <algorithm>
#include <deque>
#include <unordered_map>

#include "values/text.hpp"
#include "xml/builder.hpp"
#include "xml/storage.hpp"

namespace idf::xml {

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
    : DataError(reason_ + "\r\nLine: " + std::to_string(line_) + "\r\n" + source_text_),
      reason(std::move(reason_)),
      line(line_),
      source_text(std::move(source_text_)) {}

NodeData& Node::data() const {
    if (!doc_ || !doc_->storage_ || index_ >= doc_->storage_->count) throw XmlDocError("Empty node reference");
    return doc_->storage_->node(index_);
}

// Valid once data() has checked the reference.
Storage& Node::storage() const { return *doc_->storage_; }

NodeType Node::type() const { return data().type(); }

const std::string& Node::name() const {
    const NodeData& node = data();
    return storage().name_of(node).qualified;
}

const std::string& Node::local_name() const {
    const NodeData& node = data();
    return storage().name_of(node).local;
}

const std::string& Node::namespace_uri() const {
    const NodeData& node = data();
    return storage().name_of(node).uri;
}

const std::string& Node::prefix() const {
    const NodeData& node = data();
    return storage().name_of(node).prefix;
}

std::string_view Node::utf8_value() const { return data().text(); }

bool Node::from_file() const {
    data();
    return index_ < storage().parsed_count;
}

std::vector<AttributeView> Node::attributes() const {
    std::vector<AttributeView> out;
    attributes(out);
    return out;
}

void Node::attributes(std::vector<AttributeView>& out) const {
    data();
    out.clear();
    const std::vector<AttributeData>& attributes = storage().attributes;
    auto at = std::lower_bound(attributes.begin(), attributes.end(), index_,
                               [](const AttributeData& a, std::uint32_t element) { return a.element < element; });
    for (; at != attributes.end() && at->element == index_; ++at)
        out.push_back({{at->name, at->name_size}, {at->uri, at->uri_size}, {at->value, at->value_size}});
}

Node Node::find(std::string_view name) const {
    data();
    return at(storage().find(index_, name));
}

Node Node::find(std::string_view name, Node after) const {
    data();
    if (!after) return find(name);
    if (after.doc_ != doc_) throw XmlDocError("Node of another document");
    after.data();
    return at(storage().find(index_, name, nullptr, after.index_));
}

Node Node::child(std::string_view name) const {
    data();
    Storage& store = storage();
    std::uint32_t last = 0;
    if (const std::uint32_t found = store.find(index_, name, &last)) return Node(doc_, found);
    if (store.count >= store.max_nodes) throw LimitError("The document grew beyond its bounds.");
    // The new element takes the parent's prefix and namespace.
    const Name& parent_name = store.name_of(store.node(index_));
    std::string key;
    const std::uint32_t name_number = store.element_name(name, parent_name.prefix, parent_name.uri, key);
    const std::uint32_t created = store.new_node(NodeType::element, name_number, {});
    if (last)
        store.node(last).next_sibling = created;
    else
        store.node(index_).first_child = created;
    return Node(doc_, created);
}

Node Node::first_child() const { return at(data().first_child); }

Node Node::next_sibling() const { return at(data().next_sibling); }

std::optional<std::u16string> Node::attribute(std::string_view name) const {
    data();
    const std::vector<AttributeData>& attributes = storage().attributes;
    auto at = std::lower_bound(attributes.begin(), attributes.end(), index_,
                               [](const AttributeData& a, std::uint32_t element) { return a.element < element; });
    for (; at != attributes.end() && at->element == index_; ++at)
        if (std::string_view(at->name, at->name_size) == name)
            return utf8_to_utf16(std::string_view(at->value, at->value_size));
    return std::nullopt;
}

std::u16string Node::text() const {
    NodeData& node = data();
    Storage& store = storage();
    if (node.type() != NodeType::element) return utf8_to_utf16(node.text());
    if (node.first_child == 0) {
        if (store.count >= store.max_nodes) throw LimitError("The document grew beyond its bounds.");
        node.first_child = store.new_node(NodeType::text, text_name, {});
        return {};
    }
    const NodeData& only = store.node(node.first_child);
    if (only.next_sibling == 0 && (only.type() == NodeType::text || only.type() == NodeType::cdata))
        return utf8_to_utf16(only.text());
    throw XmlDocError("Element does not contain a single text node");
}

std::u16string Node::joined_text() const {
    const NodeData& node = data();
    if (node.type() != NodeType::element) return utf8_to_utf16(node.text());
    Storage& store = storage();
    std::string joined;
    for (std::uint32_t child = node.first_child; child != 0; child = store.node(child).next_sibling) {
        const NodeData& piece = store.node(child);
        switch (piece.type()) {
            case NodeType::text:
            case NodeType::cdata:
                joined += piece.text();
                break;
            case NodeType::element:
                throw XmlDocError("Element does not contain a single text node");
            case NodeType::comment:
            case NodeType::processing_instruction:
                break;
        }
    }
    return utf8_to_utf16(joined);
}
namespace {

// A parse leaves room for a few lookups, so that reading a parsed
// document's protocol (the search) never runs into the bound.
constexpr std::size_t lookup_room = 64;

}  // namespace

TreeBuilder::TreeBuilder(Document& doc) : doc_(doc) { open_.push_back({0, 0}); }

std::uint32_t TreeBuilder::add(NodeType type, std::uint32_t name, std::string_view value) {
    Storage& storage = *doc_.storage_;
    if (storage.parsed_nodes() + lookup_room >= storage.max_nodes ||
        value.size() > storage.max_text - std::min(storage.stored, storage.max_text))
        throw ParseError("The document is too large.", 0, "");
    const std::uint32_t created = storage.new_node(type, name, value);
    Open& parent = open_.back();
    if (parent.last_child)
        storage.node(parent.last_child).next_sibling = created;
    else
        storage.node(parent.node).first_child = created;
    parent.last_child = created;
    return created;
}

void TreeBuilder::flush_text() {
    if (pending_text_.empty()) return;
    // White space between elements is not kept.
    if (!is_white_space(pending_text_)) add(NodeType::text, text_name, pending_text_);
    pending_text_.clear();
}

void TreeBuilder::start_element_utf8(std::string_view local_name, std::string_view prefix,
                                     std::string_view namespace_uri) {
    flush_text();
    Storage& storage = *doc_.storage_;
    const std::uint32_t name = storage.element_name(local_name, prefix, namespace_uri, key_);
    if (storage.names.size() > storage.max_names) throw ParseError("The document has too many distinct names.", 0, "");
    open_.push_back({add(NodeType::element, name, {}), 0});
}

void TreeBuilder::start_element(std::string, std::string local_name, std::string prefix, std::string namespace_uri) {
    start_element_utf8(local_name, prefix, namespace_uri);
}

void TreeBuilder::attribute_utf8(std::string_view qualified_name, std::string_view value,
                                 std::string_view namespace_uri) {
    Storage& storage = *doc_.storage_;
    if (open_.size() < 2) return;
    const std::size_t size = qualified_name.size() + value.size() + namespace_uri.size();
    if (storage.parsed_nodes() + lookup_room >= storage.max_nodes ||
        size > storage.max_text - std::min(storage.stored, storage.max_text))
        throw ParseError("The document is too large.", 0, "");
    AttributeData& attribute = storage.attributes.emplace_back();
    attribute.element = open_.back().node;
    attribute.name = storage.store(qualified_name);
    attribute.name_size = static_cast<std::uint32_t>(qualified_name.size());
    attribute.value = storage.store(value);
    attribute.value_size = static_cast<std::uint32_t>(value.size());
    attribute.uri = storage.store(namespace_uri);
    attribute.uri_size = static_cast<std::uint32_t>(namespace_uri.size());
}

void TreeBuilder::attribute(std::string qualified_name, std::u16string value, std::string namespace_uri) {
    attribute_utf8(qualified_name, utf16_to_utf8(value), namespace_uri);
}

void TreeBuilder::end_element() {
    flush_text();
    if (open_.size() > 1) open_.pop_back();
}

void TreeBuilder::text_utf8(std::string_view value) {
    // Adjacent pieces of character data (entities, chunks of the parser's
    // input) form one text node.
    const Storage& storage = *doc_.storage_;
    if (pending_text_.size() + value.size() > storage.max_text - std::min(storage.stored, storage.max_text))
        throw ParseError("The document is too large.", 0, "");
    pending_text_ += value;
}

void TreeBuilder::cdata_utf8(std::string_view value) {
    flush_text();
    add(NodeType::cdata, cdata_name, value);
}

void TreeBuilder::comment_utf8(std::string_view value) {
    flush_text();
    add(NodeType::comment, comment_name, value);
}

void TreeBuilder::processing_instruction_utf8(std::string_view target, std::string_view data) {
    flush_text();
    Storage& storage = *doc_.storage_;
    const std::uint32_t name = storage.target_name(target, key_);
    if (storage.names.size() > storage.max_names) throw ParseError("The document has too many distinct names.", 0, "");
    add(NodeType::processing_instruction, name, data);
}

void TreeBuilder::text(std::u16string value) { text_utf8(utf16_to_utf8(value)); }
void TreeBuilder::cdata(std::u16string value) { cdata_utf8(utf16_to_utf8(value)); }
void TreeBuilder::comment(std::u16string value) { comment_utf8(utf16_to_utf8(value)); }
void TreeBuilder::processing_instruction(std::string target, std::u16string data) {
    processing_instruction_utf8(target, utf16_to_utf8(data));
}

void TreeBuilder::finish() { flush_text(); }

Document::Document() = default;
Document::~Document() = default;

void Document::clear() { storage_.reset(); }

void Document::load(std::string_view bytes, const std::string& file_name) {
    clear();
    file_name_ = file_name;
    if (bytes.size() > max_file_size) throw ParseError("The file is too large.", 0, "");
    storage_ = std::make_unique<Storage>();
    // Without entities every node takes at least two bytes of the file;
    // entity expansion is bounded by the parser, and here once more.
    storage_->max_nodes = limits::max_nodes(bytes.size());
    storage_->max_text = bytes.size() * 2 + (std::size_t{1} << 20);
    storage_->max_names = limits::max_names(bytes.size());
    try {
        TreeBuilder builder(*this);
        parse_xml(bytes, builder);
        builder.finish();
        storage_->parsed_count = storage_->count;
    } catch (ParseError& error) {
        clear();
        if (error.source_text.empty() && error.line > 0)
            throw ParseError(error.reason, error.line, source_line(bytes, error.line));
        throw;
    } catch (...) {
        clear();
        throw;
    }
}

Node Document::document_element() {
    if (!storage_) throw XmlDocError("No active document");
    std::uint32_t element = 0;
    for (std::uint32_t child = storage_->node(0).first_child; child != 0; child = storage_->node(child).next_sibling)
        if (storage_->node(child).type() == NodeType::element) element = child;
    if (element == 0) throw XmlDocError("No active document");
    return Node(this, element);
}

}  // namespace idf::xml
