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

// The element of a row: each name of the path "a/b" in turn, from the one
// before, with Node::child (so it is never none).
xml::Node element(xml::Node parent, std::string_view path) {
    for (;;) {
        const std::size_t slash = path.find('/');
        parent = parent.child(path.substr(0, slash));
        if (slash == std::string_view::npos) return parent;
        path.remove_prefix(slash + 1);
    }
}

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

namespace {

// Steps 1 and 2 on the text that `text()` gives (it may raise a DataError
// as the element's text does).
template <class Text>
std::string read_text(Import& import, const Text& text, const Transform& transform, bool* failed) {
    if (failed) *failed = false;
    try {
        const std::u16string value = text();
        if (is_blank(value))
            return transform.amount ? formatted_zero(import.regional()) : std::string(transform.blank_value);
        return transform.apply(import, text(), transform.n);
    } catch (const DataError&) {
        if (failed) *failed = true;
        return transform.amount ? formatted_zero(import.regional()) : std::string();
    }
}

// Steps 1 to 3 on the text that `text()` gives.
template <class Text>
std::string read_text_field(Import& import, const Text& text, const Field& field) {
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

// Step 4.
void write_read_value(Import& import, const Field& field, const std::string& value, std::string_view suffix) {
    if (field.kind == Kind::optional && value.empty()) return;
    if (suffix.empty()) return import.write_value(field.key, value);
    // The key without its "=", the suffix, then the "=".
    std::string key(field.key.substr(0, field.key.size() - 1));
    key += suffix;
    key += '=';
    import.write_value(key, value);
}

// The text of the row's element, looked up once.
class ElementText {
public:
    ElementText(xml::Node parent, std::string_view child) : parent_(parent), child_(child) {}
    std::u16string operator()() const {
        if (!node_) node_ = element(parent_, child_);
        return node_.text();
    }

private:
    xml::Node parent_;
    std::string_view child_;
    mutable xml::Node node_;
};

}  // namespace

std::string read_value(Import& import, xml::Node parent, std::string_view child, const Transform& transform,
                       bool* failed) {
    return read_text(import, ElementText(parent, child), transform, failed);
}

std::string read_field(Import& import, xml::Node parent, const Field& field) {
    return read_text_field(import, ElementText(parent, field.child), field);
}

void write_field(Import& import, xml::Node parent, const Field& field, std::string_view suffix) {
    write_read_value(import, field, read_field(import, parent, field), suffix);
}

void write_record_fields(Import& import, const RecordText& text_of, std::span<const Field> fields,
                         std::string_view suffix) {
    for (const Field& field : fields)
        write_read_value(import, field,
                         read_text_field(
                             import, [&] { return text_of(field.child); }, field),
                         suffix);
}

void write_fields(Import& import, xml::Node parent, std::span<const Field> fields, std::string_view suffix) {
    for (const Field& field : fields) write_field(import, parent, field, suffix);
}

void write_group(Import& import, xml::Node parent, std::string_view group, std::span<const Field> fields,
                 std::string_view suffix) {
    if (const xml::Node node = parent.find(group)) write_fields(import, node, fields, suffix);
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

}  // namespace idf
