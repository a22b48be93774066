#include "xml/entity_guard.hpp"

#include <map>
#include <set>
#include <vector>

#include "xml/builder.hpp"

namespace idf::xml {

namespace {

using Size = unsigned long long;
constexpr Size saturated = 1ULL << 60;

Size add(Size a, Size b) { return a + b >= saturated ? saturated : a + b; }
Size mul(Size a, Size b) { return (b != 0 && a > saturated / b) ? saturated : a * b; }

// The markup of the document as single-byte text: UTF-16 documents keep
// their ASCII characters and every other unit becomes 'x', which is all the
// markup needs.
std::string skeleton(std::string_view bytes) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    bool utf16 = false, big_endian = false;
    std::size_t start = 0;
    if (bytes.size() >= 2 && b(0) == 0xFF && b(1) == 0xFE) {
        utf16 = true;
        start = 2;
    } else if (bytes.size() >= 2 && b(0) == 0xFE && b(1) == 0xFF) {
        utf16 = big_endian = true;
        start = 2;
    } else if (bytes.size() >= 2 && b(0) == '<' && b(1) == 0) {
        utf16 = true;
    } else if (bytes.size() >= 2 && b(0) == 0 && b(1) == '<') {
        utf16 = big_endian = true;
    }
    if (!utf16) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() / 2);
    for (std::size_t i = start; i + 1 < bytes.size(); i += 2) {
        const unsigned unit = big_endian ? (b(i) << 8 | b(i + 1)) : (b(i + 1) << 8 | b(i));
        out += unit < 0x80 ? static_cast<char>(unit) : 'x';
    }
    return out;
}

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool is_name_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == ':' ||
           c == '-' || c == '.' || static_cast<unsigned char>(c) >= 0x80;
}

// The entity references of a piece of text, in order; character references
// and the five predefined entities are left out (each stands for one
// character).
std::vector<std::string> references(std::string_view text) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') continue;
        std::size_t j = i + 1;
        if (j < text.size() && text[j] == '#') continue;
        while (j < text.size() && is_name_char(text[j])) ++j;
        if (j >= text.size() || text[j] != ';' || j == i + 1) continue;
        std::string name(text.substr(i + 1, j - i - 1));
        if (name != "lt" && name != "gt" && name != "amp" && name != "apos" && name != "quot")
            out.push_back(std::move(name));
        i = j;
    }
    return out;
}

class Entities {
public:
    std::map<std::string, std::string, std::less<>> literal;  // internal general entities
    std::set<std::string, std::less<>> parameter;             // parameter entities (any kind)

    // Characters one reference to `name` expands to; nullopt for a loop.
    std::optional<Size> expansion(const std::string& name) {
        if (auto it = done_.find(name); it != done_.end()) return it->second;
        const auto lit = literal.find(name);
        if (lit == literal.end()) return Size{0};  // external or undeclared: nothing is loaded
        if (!active_.insert(name).second) return std::nullopt;
        Size total = lit->second.size();
        for (const std::string& ref : references(lit->second)) {
            const auto part = expansion(ref);
            if (!part) return std::nullopt;
            total = add(total, *part);
        }
        active_.erase(name);
        done_[name] = total;
        return total;
    }

private:
    std::map<std::string, Size, std::less<>> done_;
    std::set<std::string, std::less<>> active_;
};

int line_of(std::string_view text, std::size_t pos) {
    int line = 1;
    for (std::size_t i = 0; i < pos && i < text.size(); ++i)
        if (text[i] == '\n') ++line;
    return line;
}

// Reads a quoted literal at pos; returns its content and moves pos past it.
std::optional<std::string_view> quoted(std::string_view s, std::size_t& pos) {
    if (pos >= s.size() || (s[pos] != '"' && s[pos] != '\'')) return std::nullopt;
    const std::size_t end = s.find(s[pos], pos + 1);
    if (end == std::string_view::npos) return std::nullopt;
    std::string_view content = s.substr(pos + 1, end - pos - 1);
    pos = end + 1;
    return content;
}

void skip_space(std::string_view s, std::size_t& pos) {
    while (pos < s.size() && is_space(s[pos])) ++pos;
}

std::string name_at(std::string_view s, std::size_t& pos) {
    const std::size_t start = pos;
    while (pos < s.size() && is_name_char(s[pos])) ++pos;
    return std::string(s.substr(start, pos - start));
}

}  // namespace

std::size_t entity_expansion_limit(std::size_t document_size) { return 1000000 + 10 * document_size; }

const std::size_t max_attribute_defaults = limits::max_attribute_defaults;

std::optional<EntityProblem> check_entity_expansion(std::string_view bytes) {
    const std::string text = skeleton(bytes);
    // The document type declaration can only stand in the prolog, among
    // blanks, comments and processing instructions; the same characters
    // later on (inside a CDATA section, say) declare nothing.
    std::size_t doctype = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    for (;;) {
        skip_space(text, doctype);
        if (text.compare(doctype, 4, "<!--") == 0) {
            const std::size_t end = text.find("-->", doctype + 4);
            if (end == std::string::npos) return std::nullopt;
            doctype = end + 3;
        } else if (text.compare(doctype, 2, "<?") == 0) {
            const std::size_t end = text.find("?>", doctype + 2);
            if (end == std::string::npos) return std::nullopt;
            doctype = end + 2;
        } else {
            break;
        }
    }
    if (text.compare(doctype, 9, "<!DOCTYPE") != 0) return std::nullopt;
    const int line = line_of(text, doctype);

    // The internal subset: from "[" to the "]" that closes it, skipping
    // quoted literals and comments.
    std::size_t pos = doctype + 9;
    std::size_t open = std::string::npos;
    while (pos < text.size() && text[pos] != '>') {
        if (text[pos] == '"' || text[pos] == '\'') {
            if (!quoted(text, pos)) return std::nullopt;
            continue;
        }
        if (text[pos] == '[') {
            open = pos;
            break;
        }
        ++pos;
    }
    if (open == std::string::npos) return std::nullopt;  // an external DTD is never loaded

    Entities entities;
    // Attribute defaults are applied to every element that lacks the
    // attribute, so their references are weighed by the element count.
    std::vector<std::string> default_references;
    std::size_t defaults = 0;
    pos = open + 1;
    std::size_t close = std::string::npos;
    while (pos < text.size()) {
        const char c = text[pos];
        if (c == ']') {
            close = pos;
            break;
        }
        if (text.compare(pos, 4, "<!--") == 0) {
            const std::size_t end = text.find("-->", pos + 4);
            if (end == std::string::npos) return std::nullopt;
            pos = end + 3;
            continue;
        }
        if (text.compare(pos, 2, "<?") == 0) {
            const std::size_t end = text.find("?>", pos + 2);
            if (end == std::string::npos) return std::nullopt;
            pos = end + 2;
            continue;
        }
        if (c == '%') {
            return EntityProblem{"Parameter entity references are not allowed in the internal DTD subset.", line};
        }
        if (text.compare(pos, 8, "<!ENTITY") == 0) {
            pos += 8;
            skip_space(text, pos);
            bool is_parameter = false;
            if (pos < text.size() && text[pos] == '%') {
                is_parameter = true;
                ++pos;
                skip_space(text, pos);
            }
            const std::string name = name_at(text, pos);
            skip_space(text, pos);
            if (const auto value = quoted(text, pos)) {
                if (is_parameter)
                    entities.parameter.insert(name);
                else if (!entities.literal.count(name))  // the first declaration binds
                    entities.literal.emplace(name, std::string(*value));
            } else if (is_parameter) {
                entities.parameter.insert(name);
            }
            // External entities (SYSTEM / PUBLIC) are never fetched: they
            // expand to nothing here.
        } else if (text.compare(pos, 9, "<!ATTLIST") == 0) {
            pos += 9;
            while (pos < text.size() && text[pos] != '>') {
                if (text[pos] == '"' || text[pos] == '\'') {
                    const auto value = quoted(text, pos);
                    if (!value) return std::nullopt;
                    // Each default is added to every element it applies to.
                    if (++defaults > max_attribute_defaults)
                        return EntityProblem{"The document declares too many attribute defaults.", line};
                    for (auto& ref : references(*value)) default_references.push_back(std::move(ref));
                    continue;
                }
                ++pos;
            }
            continue;
        }
        // Any other declaration: move to its end, over quoted literals.
        if (text[pos] == '<') {
            ++pos;
            while (pos < text.size() && text[pos] != '>') {
                if (text[pos] == '"' || text[pos] == '\'') {
                    if (!quoted(text, pos)) return std::nullopt;
                    continue;
                }
                ++pos;
            }
        }
        ++pos;
    }
    if (close == std::string::npos) return std::nullopt;  // malformed: the parser reports it

    const std::string_view body = std::string_view(text).substr(close);
    Size total = 0;
    for (const std::string& ref : references(body)) {
        const auto n = entities.expansion(ref);
        if (!n) return EntityProblem{"The entity '" + ref + "' refers to itself.", line};
        total = add(total, *n);
    }
    Size elements = 0;
    for (char c : body)
        if (c == '<') ++elements;
    for (const std::string& ref : default_references) {
        const auto n = entities.expansion(ref);
        if (!n) return EntityProblem{"The entity '" + ref + "' refers to itself.", line};
        total = add(total, mul(*n, elements));
    }
    if (total > entity_expansion_limit(bytes.size()))
        return EntityProblem{"The entities of the document expand beyond the allowed size.", line};
    return std::nullopt;
}

}  // namespace idf::xml
