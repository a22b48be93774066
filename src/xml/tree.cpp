#include "xml/tree.hpp"

#include <algorithm>
#include <deque>
#include <unordered_map>

#include "values/text.hpp"
#include "xml/builder.hpp"

namespace idf::xml {

// One node of the tree, 24 bytes: a document of a megabyte holds some
// hundred thousand of them. Links are numbers in the document's node store
// (0, the document itself, is never a child or a sibling, so it means
// "none"); names are numbers in its name table; values are UTF-8 kept in
// its text blocks.
struct NodeData {
    std::uint32_t kind = 0;  // NodeType in the low 3 bits, the name's number above
    std::uint32_t first_child = 0;
    std::uint32_t next_sibling = 0;
    std::uint32_t value_size = 0;
    const char* value = nullptr;  // text, CDATA, comment, processing instruction data

    NodeType type() const { return static_cast<NodeType>(kind & 7u); }
    std::uint32_t name() const { return kind >> 3; }
    std::string_view text() const { return {value, value_size}; }
};

// One attribute: the element it belongs to, its name as written, the
// namespace of its prefix and its value (UTF-8), kept in the document's
// text blocks. The attributes of the document are stored in the order of
// their elements.
struct AttributeData {
    std::uint32_t element = 0;
    std::uint32_t name_size = 0;
    std::uint32_t value_size = 0;
    std::uint32_t uri_size = 0;
    const char* name = nullptr;
    const char* value = nullptr;
    const char* uri = nullptr;
};

namespace {

struct Name {
    std::string qualified;
    std::string local;
    std::string prefix;
    std::string uri;
    std::uint32_t namespace_fold = 0;  // number of the lower-cased URI; 0 for none
};

// Fixed names of the nodes without one of their own.
constexpr std::uint32_t text_name = 0;
constexpr std::uint32_t cdata_name = 1;
constexpr std::uint32_t comment_name = 2;
constexpr std::uint32_t document_name = 3;

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool is_white_space(std::string_view s) {
    for (const char c : s)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
    return true;
}

}  // namespace

// The nodes, names and texts of one loaded document. Nodes live in chunks
// and texts in blocks that never move, so references stay valid while the
// document grows (the lookups add nodes to it).
struct Storage {
    static constexpr unsigned chunk_bits = 12;
    static constexpr std::uint32_t chunk_mask = (1u << chunk_bits) - 1;
    static constexpr std::size_t block_size = 64 * 1024;

    Storage() {
        for (const char* fixed : {"#text", "#cdata-section", "#comment", "#document"}) {
            Name& name = names.emplace_back();
            name.qualified = fixed;
            name.local = fixed;
        }
        new_node(NodeType::element, document_name, {});
    }

    NodeData& node(std::uint32_t number) { return chunks[number >> chunk_bits][number & chunk_mask]; }

    std::uint32_t new_node(NodeType type, std::uint32_t name, std::string_view value) {
        if ((count & chunk_mask) == 0) chunks.push_back(std::make_unique<NodeData[]>(std::size_t{1} << chunk_bits));
        const std::uint32_t number = count++;
        NodeData& data = node(number);
        data.kind = (name << 3) | static_cast<std::uint32_t>(type);
        data.value = store(value);
        data.value_size = static_cast<std::uint32_t>(value.size());
        return number;
    }

    const char* store(std::string_view text) {
        if (text.empty()) return nullptr;
        char* at = nullptr;
        if (text.size() > block_size / 4) {
            at = blocks.emplace_back(std::make_unique<char[]>(text.size())).get();
        } else {
            if (text.size() > room) {
                free_space = blocks.emplace_back(std::make_unique<char[]>(block_size)).get();
                room = block_size;
            }
            at = free_space;
            free_space += text.size();
            room -= text.size();
        }
        std::copy(text.begin(), text.end(), at);
        stored += text.size();
        return at;
    }

    // The number of an element name; `key` is scratch space.
    std::uint32_t element_name(std::string_view local, std::string_view prefix, std::string_view uri,
                               std::string& key) {
        key.assign(uri);
        key += '\1';
        key += prefix;
        key += '\1';
        key += local;
        if (const auto it = name_numbers.find(key); it != name_numbers.end()) return it->second;
        Name& name = names.emplace_back();
        name.local = local;
        name.prefix = prefix;
        name.uri = uri;
        name.qualified.reserve(prefix.size() + 1 + local.size());
        if (!prefix.empty()) name.qualified.append(prefix).append(1, ':');
        name.qualified.append(local);
        name.namespace_fold = namespace_number(uri);
        const auto number = static_cast<std::uint32_t>(names.size() - 1);
        name_numbers.emplace(key, number);
        return number;
    }

    // Processing instructions are named by their target, outside any
    // namespace.
    std::uint32_t target_name(std::string_view target, std::string& key) {
        key.clear();
        key += '\2';
        key += target;
        if (const auto it = name_numbers.find(key); it != name_numbers.end()) return it->second;
        Name& name = names.emplace_back();
        name.local = target;
        name.qualified = target;
        const auto number = static_cast<std::uint32_t>(names.size() - 1);
        name_numbers.emplace(key, number);
        return number;
    }

    // Namespace URIs compare without regard to letter case: equal URIs
    // get the same number.
    std::uint32_t namespace_number(std::string_view uri) {
        if (uri.empty()) return 0;
        std::string folded(uri);
        for (char& c : folded) c = lower(c);
        const auto it = namespaces.try_emplace(std::move(folded), static_cast<std::uint32_t>(namespaces.size() + 1));
        return it.first->second;
    }

    const Name& name_of(const NodeData& data) const { return names[data.name()]; }

    // The first child of `parent` matching `name`, starting after the child
    // `after` (0: from the first); 0 when none, with the last child in
    // `last`.
    std::uint32_t find(std::uint32_t parent, std::string_view name, std::uint32_t* last = nullptr,
                       std::uint32_t after = 0) {
        const std::uint32_t fold = name_of(node(parent)).namespace_fold;
        std::uint32_t previous = after;
        for (std::uint32_t child = after ? node(after).next_sibling : node(parent).first_child; child != 0;
             child = node(child).next_sibling) {
            const Name& candidate = name_of(node(child));
            if ((fold == 0 || candidate.namespace_fold == fold) &&
                (candidate.qualified == name || candidate.local == name))
                return child;
            previous = child;
        }
        if (last) *last = previous;
        return 0;
    }

    std::vector<std::unique_ptr<NodeData[]>> chunks;
    std::uint32_t count = 0;
    // The nodes read from the file come first; lookups add theirs after.
    std::uint32_t parsed_count = 0;
    std::vector<AttributeData> attributes;
    // What a parse has built: each attribute counts as a node against
    // max_nodes.
    std::size_t parsed_nodes() const { return count + attributes.size(); }
    std::vector<std::unique_ptr<char[]>> blocks;
    char* free_space = nullptr;
    std::size_t room = 0;
    std::size_t stored = 0;
    std::deque<Name> names;  // references to names stay valid
    std::unordered_map<std::string, std::uint32_t> name_numbers;
    std::unordered_map<std::string, std::uint32_t> namespaces;
    // Bounds of the tree a parse may build; lookups add nodes within
    // max_nodes too.
    std::size_t max_nodes = 0;
    std::size_t max_text = 0;
    std::size_t max_names = 0;
};

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
    data();
    const std::vector<AttributeData>& attributes = storage().attributes;
    auto at = std::lower_bound(attributes.begin(), attributes.end(), index_,
                               [](const AttributeData& a, std::uint32_t element) { return a.element < element; });
    std::vector<AttributeView> out;
    for (; at != attributes.end() && at->element == index_; ++at)
        out.push_back({{at->name, at->name_size}, {at->uri, at->uri_size}, {at->value, at->value_size}});
    return out;
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
