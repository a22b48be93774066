// A check made before a document reaches a DOM parser that expands internal
// entities without a bound of its own: it measures how far the entities the
// document declares in its internal DTD subset would expand, so that an
// entity-expansion bomb ("billion laughs") is refused before it is parsed.
// Plain C++ with no system headers, so that it is tested on every platform.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace idf::xml {

struct EntityProblem {
    std::string reason;
    int line = 0;  // 1-based line of the document type declaration
};

// Characters that entity references in the document may add, at most: one
// million plus ten times the size of the document.
std::size_t entity_expansion_limit(std::size_t document_size);

// Attribute declarations with a default value, at most: the XML layer's
// bound (limits::max_attribute_defaults).
extern const std::size_t max_attribute_defaults;

// nullopt when the document is harmless: it has no internal DTD subset, or
// its entities stay within entity_expansion_limit(). Refused: a total
// expansion above the limit, an entity that refers to itself, more than
// max_attribute_defaults attribute defaults, and parameter-entity
// references inside the internal subset (which could declare further
// entities). UTF-16 documents are examined as well.
std::optional<EntityProblem> check_entity_expansion(std::string_view bytes);

}  // namespace idf::xml
