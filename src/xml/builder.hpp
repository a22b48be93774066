// The XML tree, as the parser backends see it: the builder they feed, the
// bounds they keep and the one function each backend implements. Readers
// use tree.hpp only.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "xml/tree.hpp"

namespace idf::xml {

// Bounds that keep the work on any file linear in its size; a document
// beyond them is refused as unparsable. Fiscal documents stay far below: a
// few hundred distinct names, a handful of attributes per element. The
// file itself is bounded by Document::max_file_size.
namespace limits {

// Nodes, counting those the lookups create: one per four bytes of the file
// plus a floor (a whole import of a fiscal document makes fewer than one
// per ten).
inline std::size_t max_nodes(std::size_t file_size) { return file_size / 4 + (std::size_t{1} << 18); }
// Distinct names (elements, attributes, prefixes, namespaces): a floor plus
// one per 32 bytes, never more than 16,384.
inline std::size_t max_names(std::size_t file_size) { return std::min<std::size_t>(16384, 1024 + file_size / 32); }
// Attributes on one element, namespace declarations in scope.
inline constexpr std::size_t max_attributes = 256;
// Attribute declarations with a default value (each default is added to
// every element it applies to).
inline constexpr std::size_t max_attribute_defaults = 64;
// References to entities that hold markup, each parsed on its own.
inline std::size_t max_entity_parses(std::size_t file_size) { return 4096 + file_size / 64; }

}  // namespace limits

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
    // An attribute of the element started last, before its content, with
    // the namespace its prefix stands for (empty without a prefix).
    void attribute(std::string qualified_name, std::u16string value, std::string namespace_uri = {});
    void text(std::u16string value);
    void cdata(std::u16string value);
    void comment(std::u16string value);
    void processing_instruction(std::string target, std::u16string data);

    // The same for parsers that deliver UTF-8.
    void start_element_utf8(std::string_view local_name, std::string_view prefix, std::string_view namespace_uri);
    void attribute_utf8(std::string_view qualified_name, std::string_view value, std::string_view namespace_uri = {});
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
