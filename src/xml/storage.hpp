// The storage of a loaded document, shared by the tree (tree.cpp) and the
// canonical writer (canonical.cpp), which walks it directly. Nothing else
// includes it: readers use tree.hpp.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "xml/tree.hpp"

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

struct Name {
    std::string qualified;
    std::string local;
    std::string prefix;
    std::string uri;
    std::uint32_t namespace_fold = 0;  // number of the lower-cased URI; 0 for none
};

// Fixed names of the nodes without one of their own.
inline constexpr std::uint32_t text_name = 0;
inline constexpr std::uint32_t cdata_name = 1;
inline constexpr std::uint32_t comment_name = 2;
inline constexpr std::uint32_t document_name = 3;

inline char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline bool is_white_space(std::string_view s) {
    for (const char c : s)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
    return true;
}

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

}  // namespace idf::xml
