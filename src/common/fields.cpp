#include "common/fields.hpp"

#include "values/dates.hpp"
#include "values/numbers.hpp"
#include "values/text.hpp"

namespace idf {

namespace {

std::string ansi(std::u16string_view text) { return to_ansi(text); }

// The ANSI form of the UTF-16 units `from` to `to` (1-based, inclusive) of
// the DOM text, as far as they exist. Masks and layouts count positions in
// UTF-16 units, as the truncations do: a character outside the Basic
// Multilingual Plane takes two positions (and becomes one '?').
std::string piece(std::u16string_view s, std::size_t from, std::size_t to) {
    if (from > s.size()) return {};
    return ansi(s.substr(from - 1, std::min(to, s.size()) - (from - 1)));
}

std::string apply_as_read(const Import&, std::u16string_view text, int) { return ansi(text); }
std::string apply_first(const Import&, std::u16string_view text, int n) {
    return ansi(first_units(text, static_cast<std::size_t>(n)));
}
std::string apply_upper_first(const Import&, std::u16string_view text, int n) {
    return ascii_upper(ansi(first_units(text, static_cast<std::size_t>(n))));
}
std::string apply_upper(const Import&, std::u16string_view text, int) { return ascii_upper(ansi(text)); }
std::string apply_integer(const Import&, std::u16string_view text, int) { return normaliza_inteiro(ansi(text)); }
std::string apply_cep(const Import&, std::u16string_view s, int) {
    std::string out = piece(s, 1, 2);
    out += '.';
    out += piece(s, 3, 5);
    out += '-';
    out += piece(s, 6, 8);
    return out;
}
std::string apply_phone(const Import&, std::u16string_view s, int) {
    std::string out = "(0";
    out += piece(s, 1, 2);
    out += ')';
    out += piece(s, 3, 6);
    out += '-';
    out += piece(s, 7, 10);
    return out;
}
std::string apply_date(const Import& import, std::u16string_view text, int) {
    return converte_data(text, import.regional());
}
std::string apply_amount(const Import& import, std::u16string_view text, int) {
    return formata_numero(ansi(text), 2, import.regional());
}
std::string apply_number(const Import& import, std::u16string_view text, int n) {
    std::string raw = ansi(text);
    try {
        return formata_numero(raw, n, import.regional());
    } catch (const DataError&) {
        return raw;
    }
}
std::string apply_access_key(const Import&, std::u16string_view s, int) {
    std::string out;
    for (std::size_t group = 0; group < 11; ++group) {
        if (group > 0) out += ' ';
        out += piece(s, group * 4 + 1, group * 4 + 4);
    }
    return out;
}

// How a row looks its element up: with Node::child, which creates what is
// missing (the element is never none), or with Node::find, which creates
// nothing (none when a name is missing).
enum class Lookup { create, find };

// The element of one path "a/b": each name in turn, from the one before;
// "" is the parent itself.
xml::Node element_of_path(xml::Node parent, std::string_view path, Lookup lookup) {
    while (!path.empty() && parent) {
        const std::size_t slash = path.find('/');
        const std::string_view name = path.substr(0, slash);
        parent = lookup == Lookup::create ? parent.child(name) : parent.find(name);
        if (slash == std::string_view::npos) break;
        path.remove_prefix(slash + 1);
    }
    return parent;
}

// The text of an element; a missing one reads as the empty text.
std::u16string text_of(xml::Node node) { return node ? node.text() : std::u16string(); }

// The element of a row: of its paths "a/b|c/d", the first whose text is not
// blank, else the last. Reading a text may raise, as for any presence test.
xml::Node element(xml::Node parent, std::string_view paths, Lookup lookup) {
    for (;;) {
        const std::size_t bar = paths.find('|');
        const xml::Node node = element_of_path(parent, paths.substr(0, bar), lookup);
        if (bar == std::string_view::npos || !is_blank(text_of(node))) return node;
        paths.remove_prefix(bar + 1);
    }
}

// Steps 1 and 2 on the text that `text()` gives (it may raise a DataError
// as an element's text does).
template <class Text>
std::string read_text(Import& import, const Text& text, const Transform& transform, bool* failed) {
    if (failed) *failed = false;
    try {
        const std::u16string value = text();
        if (is_blank(value))
            return transform.amount ? formatted_zero(import.regional()) : std::string(transform.blank_value);
        return transform.apply(import, value, transform.n);
    } catch (const DataError&) {
        if (failed) *failed = true;
        return transform.amount ? formatted_zero(import.regional()) : std::string();
    }
}

// The text of a row's element, looked up once as `lookup` says.
class ElementText {
public:
    ElementText(xml::Node parent, std::string_view child, Lookup lookup)
        : parent_(parent), child_(child), lookup_(lookup) {}
    std::u16string operator()() const {
        if (!looked_up_) {
            node_ = element(parent_, child_, lookup_);
            looked_up_ = true;
        }
        return text_of(node_);
    }

private:
    xml::Node parent_;
    std::string_view child_;
    Lookup lookup_;
    mutable xml::Node node_;
    mutable bool looked_up_ = false;
};

}  // namespace

namespace transform {
const Transform as_read{apply_as_read};
Transform first(int n) { return {apply_first, n}; }
Transform upper_first(int n) { return {apply_upper_first, n}; }
const Transform upper{apply_upper};
const Transform as_integer{apply_integer};
const Transform cep_mask{apply_cep};
const Transform phone_mask{apply_phone, 0, false, true};
const Transform date{apply_date};
const Transform amount{apply_amount, 0, true};
Transform number(int decimals) { return {apply_number, decimals}; }
const Transform access_key{apply_access_key};
const Transform isento_when_blank{apply_as_read, 0, false, false, "ISENTO"};
}  // namespace transform

std::string read_value(Import& import, xml::Node parent, std::string_view child, const Transform& transform,
                       bool* failed) {
    return read_text(import, ElementText(parent, child, Lookup::create), transform, failed);
}

namespace {

// Steps 1 to 3 on the text that `text()` gives.
template <class Text>
std::string read_row(Import& import, const Text& text, const Field& field) {
    const Transform& t = field.transform;
    if (t.ten_digits_test) {
        // The digits test comes after the presence test: a blank telephone
        // is a blank value and goes on to the check by kind; one that is
        // not blank but has other than ten digits is empty, with no
        // problem line whatever the kind.
        bool unreadable = false;
        std::u16string value;
        try {
            value = text();
        } catch (const DataError&) {
            unreadable = true;
        }
        if (!unreadable && !is_blank(value) && somente_numeros(to_ansi(value)).size() != 10) return {};
    }
    bool failed = false;
    std::string value = read_text(import, text, t, &failed);
    if (failed && field.kind == Kind::on_failure) import.add_problem(field.problem);
    switch (field.kind) {
        case Kind::mandatory:
            if (is_blank(value)) import.abort(field.problem);
            break;
        case Kind::when_empty:
            if (is_blank(value)) import.add_problem(field.problem);
            break;
        case Kind::on_failure:
        case Kind::never:
        case Kind::optional:
            break;
    }
    return value;
}

std::string read_row(Import& import, xml::Node parent, const Field& field, Lookup lookup) {
    return read_row(import, ElementText(parent, field.child, lookup), field);
}

// Step 4; false when an optional row left its line out.
bool write_value(Import& import, const Field& field, const std::string& value, std::string_view suffix) {
    if (field.kind == Kind::optional && value.empty()) return false;
    if (suffix.empty()) {
        import.write_value(field.key, value);
        return true;
    }
    // The key without its "=", the suffix, then the "=".
    std::string key(field.key.substr(0, field.key.size() - 1));
    key += suffix;
    key += '=';
    import.write_value(key, value);
    return true;
}

// Steps 1 to 4; false when an optional row left its line out.
bool write_row(Import& import, xml::Node parent, const Field& field, std::string_view suffix, Lookup lookup) {
    return write_value(import, field, read_row(import, parent, field, lookup), suffix);
}

}  // namespace

std::string read_field(Import& import, xml::Node parent, const Field& field) {
    return read_row(import, parent, field, Lookup::create);
}

void write_field(Import& import, xml::Node parent, const Field& field, std::string_view suffix) {
    write_row(import, parent, field, suffix, Lookup::create);
}

void write_record_fields(Import& import, const RecordText& text_of, std::span<const Field> fields,
                         std::string_view suffix) {
    for (const Field& field : fields)
        write_value(import, field,
                    read_row(
                        import, [&] { return text_of(field.child); }, field),
                    suffix);
}

void write_fields(Import& import, xml::Node parent, std::span<const Field> fields, std::string_view suffix) {
    for (const Field& field : fields) write_field(import, parent, field, suffix);
}

void write_group(Import& import, xml::Node parent, std::string_view group, std::span<const Field> fields,
                 std::string_view suffix) {
    // Read without changing the document: the rows look their elements up
    // with Node::find, so that a group of many rows in every item does not
    // grow the document.
    if (const xml::Node node = parent.find(group))
        for (const Field& field : fields) write_row(import, node, field, suffix, Lookup::find);
}

void write_each(Import& import, xml::Node parent, const Field& field) {
    std::string_view names = field.child;
    const std::size_t slash = names.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? names : names.substr(slash + 1);
    xml::Node group = parent;
    if (slash != std::string_view::npos) {
        for (names = names.substr(0, slash); group;) {
            const std::size_t next = names.find('/');
            group = group.find(names.substr(0, next));
            if (next == std::string_view::npos) break;
            names.remove_prefix(next + 1);
        }
        if (!group) return;
    }
    // Each element is read as the parent itself of a row without a path.
    Field each = field;
    each.child = {};
    int number = 0;
    for (xml::Node node = group.find(name); node; node = group.find(name, node)) {
        std::string suffix(1, '_');
        suffix += std::to_string(number + 1);
        if (write_row(import, node, each, suffix, Lookup::find)) ++number;
    }
}

std::string read_identifying_number(Import& import, xml::Node parent, std::string_view child) {
    return read_value(import, parent, child, transform::as_read);
}

xml::Node find_path(xml::Node from, std::initializer_list<std::string_view> names) {
    xml::Node node = from;
    for (const std::string_view name : names) {
        if (!node) return {};
        node = node.find(name);
    }
    return node;
}

std::vector<std::string> paths_read(std::span<const Table> tables) {
    std::vector<std::string> paths;
    for (const Table& table : tables)
        for (const Field& field : table.fields)
            for (std::string_view rest = field.child;;) {
                const std::size_t bar = rest.find('|');
                std::string path(table.from);
                if (bar != 0 && !rest.empty()) {
                    path += '/';
                    path += rest.substr(0, bar);
                }
                paths.push_back(std::move(path));
                if (bar == std::string_view::npos) break;
                rest.remove_prefix(bar + 1);
            }
    return paths;
}

xml::Node find_in_document(Import& import, std::initializer_list<std::string_view> names) {
    xml::Node node = find_path(import.document_element(), {import.element(), import.document_type().names.info});
    for (const std::string_view name : names) {
        if (!node) return {};
        node = node.find(name);
    }
    return node;
}

xml::Node find_section_group(Import& import, const Field& group) {
    const xml::Node info = find_in_document(import, {});
    const xml::Node node = info ? element_of_path(info, group.child, Lookup::find) : xml::Node();
    if (node) return node;
    switch (group.kind) {
        case Kind::mandatory:
            import.abort(group.problem);
            break;
        case Kind::when_empty:
            import.add_problem(group.problem);
            break;
        case Kind::on_failure:
        case Kind::never:
        case Kind::optional:
            break;
    }
    return {};
}

}  // namespace idf
