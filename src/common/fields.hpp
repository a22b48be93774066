// The rows of the exchange file and the one engine that runs them.
//
// Every section, item block, instalment and optional tag is a table of
// Fields run by write_fields(). For each row:
//  1. presence test: the text of the row's element (looked up with
//     Node::child, one name of the path after the other, and read with
//     Node::text); a blank text gives the empty value (the zero amount for
//     an amount) and skips step 2. A row with alternative paths (a layout
//     that moved an element) tries them in order and reads the first whose
//     text is not blank;
//  2. guarded read: the text is read again, untrimmed, and transformed;
//     an error of the data (a DataError) makes the value empty (the zero
//     amount), and for kind on_failure adds the row's problem line; any
//     other error (out of memory) goes on to the import's abort path;
//  3. check by kind: mandatory aborts with the row's message when the value
//     is blank, when_empty adds the problem line when it is blank, optional
//     leaves the line out when the value is empty;
//  4. the key and the value are written; a table run with a suffix writes
//     it before the key's "=" (the item number: "Quantidade_12=").
// An error of the presence test (an element that holds more than text)
// counts as a failed read of that row.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/import.hpp"
#include "xml/tree.hpp"

namespace idf {

enum class Kind { mandatory, when_empty, on_failure, never, optional };

// A key's transformation: from the element's DOM text to the ANSI value.
// It may throw a DataError; the guarded read absorbs that.
struct Transform {
    using Fn = std::string (*)(const Import&, std::u16string_view text, int n);
    Fn apply;
    int n = 0;
    // An amount: blank and failed reads give the zero amount.
    bool amount = false;
    // The telephone mask: a text without exactly ten digits gives the empty
    // value, with no problem line whatever the kind.
    bool ten_digits_test = false;
    // Value for a blank or missing child (when not an amount).
    std::string_view blank_value = {};
};

namespace transform {
// The text as read.
extern const Transform as_read;
// The first n UTF-16 characters.
Transform first(int n);
// The first n characters, letters a-z in upper case.
Transform upper_first(int n);
// Letters a-z in upper case.
extern const Transform upper;
// A signed 32-bit integer, written back in plain decimal.
extern const Transform as_integer;
// Postal code: ab.cde-fgh from the characters as read.
extern const Transform cep_mask;
// Telephone: (0dd)nnnn-mmmm, for exactly ten digits.
extern const Transform phone_mask;
// The date conversion.
extern const Transform date;
// An amount with 2 decimals.
extern const Transform amount;
// A number with n decimals; a text that is not a number as read.
Transform number(int decimals);
// The access key in 11 groups of 4 characters separated by blanks.
extern const Transform access_key;
// As read, with "ISENTO" for a missing or blank child.
extern const Transform isento_when_blank;
}  // namespace transform

struct Field {
    std::string_view key;  // "Razao_Social=" (written before the value)
    // The element under the parent: "vBC", a path "gDif/pDif", or paths
    // tried in order, "gCredPresOper/cCredPres|gIBSCBS/gIBSCredPres/cCredPres"
    // (the newer layout first). An empty path is the parent itself.
    std::string_view child;
    Transform transform;
    Kind kind;
    // The problem line ("- ... no Arquivo XML."), or for a mandatory key
    // the message of the abort path.
    std::string_view problem = {};
};

// Steps 1 and 2 only: the transformed value, or the value for a blank
// child; `failed` tells whether the guarded read (or the presence test)
// failed. Throws only what is not a DataError.
std::string read_value(Import& import, xml::Node parent, std::string_view child, const Transform& transform,
                       bool* failed = nullptr);

// Steps 1 to 3: the value of one key, with its problem line or abort.
std::string read_field(Import& import, xml::Node parent, const Field& field);

// Steps 1 to 4 for one row, then for each row of a table. The suffix, as
// "_12", goes between the key and its "=".
void write_field(Import& import, xml::Node parent, const Field& field, std::string_view suffix = {});
void write_fields(Import& import, xml::Node parent, std::span<const Field> fields, std::string_view suffix = {});

// The same steps for the rows of a record read before: the text of a row
// is what `text_of` gives for the row's child (the name of one of the
// record's texts; an absent text reads as the empty text).
using RecordText = std::function<std::u16string(std::string_view child)>;
void write_record_fields(Import& import, const RecordText& text_of, std::span<const Field> fields,
                         std::string_view suffix = {});

// The same for the rows of an optional group: the child `group` of
// `parent`, found with Node::find. An absent group writes nothing and adds
// nothing to the document; nor does a present one: its rows look their
// elements up with Node::find, a missing one reading as the empty text.
void write_group(Import& import, xml::Node parent, std::string_view group, std::span<const Field> fields,
                 std::string_view suffix = {});

// A repeated element: one line per element of the row's path (its last
// name looked for in turn among the children of the element the names
// before it lead to, found with Node::find: nothing is created), each read
// by steps 1 to 3. A line written takes the suffix "_k", k counting the
// lines written from 1; an optional row passes over a blank element without
// a number.
void write_each(Import& import, xml::Node parent, const Field& field);

// The identifying number rule: steps 1 and 2 with no transformation and no
// problem line; the caller aborts when the final value is blank.
std::string read_identifying_number(Import& import, xml::Node parent, std::string_view child);

// Finds a path of elements with Node::find from `from`; none when any step
// is missing.
xml::Node find_path(xml::Node from, std::initializer_list<std::string_view> names);

// A table of rows and the element its paths start from, named from the
// document's root element ("NFe/infNFe/det/imposto/IBSCBS"): what an import
// reads, listed.
struct Table {
    std::string_view from;
    std::span<const Field> fields;
};

// Every element path the rows of the tables read, from the root element
// ("NFe/infNFe/ide/dEmi"); each alternative path of a row on its own.
std::vector<std::string> paths_read(std::span<const Table> tables);

// The same from <element>/<info> of the loaded document (CTe/infCte, or
// CTeOS/infCte for a CT-e OS): find_in_document(import, {"emit"}).
xml::Node find_in_document(Import& import, std::initializer_list<std::string_view> names);

// The group a section is written from, as a row: its element is the row's
// child ("toma", a path "toma/enderToma"), found with Node::find from
// <element>/<info> of the loaded document. When it is missing, the row's
// kind says what follows: mandatory aborts with the row's message,
// when_empty adds its problem line (the section is left out), any other
// kind adds nothing; none is returned. The key and the transformation are
// not used.
xml::Node find_section_group(Import& import, const Field& group);

}  // namespace idf
