// Text helpers shared by both imports.
//
// Three encodings meet here:
//  - DOM text: UTF-16, as the XML layer delivers it (std::u16string);
//  - ANSI: single-byte text in the system code page (CP1252 on the systems
//    served); every value stored or written to the exchange file is ANSI;
//  - UTF-8: the library's own messages, kept in the source as UTF-8 and
//    converted where they are shown.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace idf {

std::u16string utf8_to_utf16(std::string_view utf8);
std::string utf16_to_utf8(std::u16string_view utf16);
// The same for a text that may be missing (none stays none).
std::optional<std::string> optional_utf8(const std::optional<std::u16string>& utf16);

// True when nothing is left after removing leading and trailing characters
// with codes 0 to 32.
// ASCII digits, and ASCII digits and letters, whatever the locale.
constexpr bool is_ascii_digit(unsigned char c) { return c >= '0' && c <= '9'; }
constexpr bool is_ascii_alnum(unsigned char c) {
    return is_ascii_digit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool is_blank(std::string_view text);
bool is_blank(std::u16string_view text);

// Removes leading and trailing characters with codes 0 to 32.
std::string_view trim(std::string_view text);
std::u16string_view trim(std::u16string_view text);

// Left-pads with "0" up to width; never cuts.
std::string preenche_zeros(std::string_view text, int width);

// Exchanges "." and "," in one pass.
std::string troca_separador(std::string_view text);

// Keeps the characters "0" to "9".
std::string somente_numeros(std::string_view text);

// Turns a-z into A-Z; every other byte, accented letters included, stays.
std::string ascii_upper(std::string_view text);

// Letter case as the Windows code page 1252 knows it: the capitals that
// CP1252 holds with their small letter (A-Z, À-Þ but ×, Š, Œ, Ž, Ÿ) become
// that small letter; every other character stays.
char32_t fold_case_cp1252(char32_t c);

// Orders UTF-8 file names ascending, comparing their characters with the
// letter case folded as above; names equal but for case keep byte order.
bool less_ignoring_case(std::string_view a, std::string_view b);

// Matches a UTF-8 file name against a mask of "*" (any characters) and "?"
// (one character), with the letter case folded as above.
bool matches_ignoring_case(std::string_view mask, std::string_view name);

// The first n UTF-16 code units of the text.
std::u16string_view first_units(std::u16string_view text, std::size_t n);

// CP1252 <-> Unicode, used by the ANSI conversion on systems without a
// code page service of their own. Characters CP1252 cannot hold become '?'.
std::string utf16_to_cp1252(std::u16string_view text);
std::string utf8_to_cp1252(std::string_view text);
std::string cp1252_to_utf8(std::string_view text);

}  // namespace idf
