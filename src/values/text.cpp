#include "values/text.hpp"

#include <array>
#include <type_traits>

namespace idf {

namespace {

// Decodes one UTF-8 sequence at text[i]; returns U+FFFD for a malformed one
// and advances i past what was consumed.
char32_t decode_utf8(std::string_view text, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(text[i++]);
    if (b0 < 0x80) return b0;
    int extra = 0;
    char32_t cp = 0;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1;
        cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2;
        cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3;
        cp = b0 & 0x07;
    } else {
        return 0xFFFD;
    }
    for (int k = 0; k < extra; ++k) {
        if (i >= text.size()) return 0xFFFD;
        const auto b = static_cast<unsigned char>(text[i]);
        if ((b & 0xC0) != 0x80) return 0xFFFD;
        cp = (cp << 6) | (b & 0x3F);
        ++i;
    }
    static constexpr std::array<char32_t, 4> minimum{0, 0x80, 0x800, 0x10000};
    if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0xFFFD;
    return cp;
}

void append_utf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The code points of CP1252 bytes 0x80 to 0x9F; 0 marks an unassigned byte.
constexpr std::array<char16_t, 32> cp1252_high{0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                               0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                               0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                               0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char cp1252_byte(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
    // The five bytes CP1252 leaves unassigned stand for the C1 controls of
    // the same value, as the Windows conversion maps them.
    if (cp >= 0x80 && cp <= 0x9F && cp1252_high[cp - 0x80] == 0) return static_cast<char>(cp);
    if (cp < 0x0152 || cp > 0x2122) return '?';  // outside the range of cp1252_high
    for (std::size_t k = 0; k < cp1252_high.size(); ++k)
        if (cp1252_high[k] != 0 && cp1252_high[k] == cp) return static_cast<char>(0x80 + k);
    return '?';
}

// Decodes one UTF-16 character at text[i], a surrogate pair joined; returns
// U+FFFD for a lone surrogate and advances i past what was consumed.
char32_t decode_utf16(std::u16string_view text, std::size_t& i) {
    const char32_t unit = text[i++];
    if (unit >= 0xD800 && unit <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 && text[i] <= 0xDFFF)
        return 0x10000 + ((unit - 0xD800) << 10) + (text[i++] - 0xDC00);
    if (unit >= 0xD800 && unit <= 0xDFFF) return 0xFFFD;
    return unit;
}

// Characters 0 to 32 are blanks, in every encoding the system reads.
template <class Char>
bool is_blank_unit(Char c) {
    return static_cast<std::make_unsigned_t<Char>>(c) <= 32;
}

template <class View>
bool all_blank(View text) {
    for (const auto c : text)
        if (!is_blank_unit(c)) return false;
    return true;
}

template <class View>
View trimmed(View text) {
    while (!text.empty() && is_blank_unit(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_blank_unit(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

std::u16string utf8_to_utf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const char32_t cp = decode_utf8(utf8, i);
        if (cp >= 0x10000) {
            const char32_t v = cp - 0x10000;
            out += static_cast<char16_t>(0xD800 + (v >> 10));
            out += static_cast<char16_t>(0xDC00 + (v & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string utf16_to_utf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    std::size_t i = 0;
    while (i < utf16.size()) append_utf8(out, decode_utf16(utf16, i));
    return out;
}

bool is_blank(std::string_view text) { return all_blank(text); }

bool is_blank(std::u16string_view text) { return all_blank(text); }

std::string_view trim(std::string_view text) { return trimmed(text); }

std::u16string_view trim(std::u16string_view text) { return trimmed(text); }

std::optional<std::string> optional_utf8(const std::optional<std::u16string>& utf16) {
    if (!utf16) return std::nullopt;
    return utf16_to_utf8(*utf16);
}

std::string preenche_zeros(std::string_view text, int width) {
    std::string out(text);
    if (width > 0 && out.size() < static_cast<std::size_t>(width))
        out.insert(0, static_cast<std::size_t>(width) - out.size(), '0');
    return out;
}

std::string troca_separador(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c == '.')
            c = ',';
        else if (c == ',')
            c = '.';
    }
    return out;
}

std::string somente_numeros(std::string_view text) {
    std::string out;
    for (const char c : text)
        if (c >= '0' && c <= '9') out += c;
    return out;
}

std::string ascii_upper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

char32_t fold_case_cp1252(char32_t c) {
    if ((c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
    switch (c) {
        case 0x0160:  // Š
        case 0x0152:  // Œ
        case 0x017D:  // Ž
            return c + 1;
        case 0x0178:  // Ÿ
            return 0xFF;
        default:
            return c;
    }
}

namespace {

std::u32string folded(std::string_view utf8) {
    std::u32string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) out += fold_case_cp1252(decode_utf8(utf8, i));
    return out;
}

}  // namespace

bool less_ignoring_case(std::string_view a, std::string_view b) {
    // The folded texts compared as they are decoded: a search sorts
    // thousands of names, most of them told apart in a few characters.
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const char32_t ca = fold_case_cp1252(decode_utf8(a, i));
        const char32_t cb = fold_case_cp1252(decode_utf8(b, j));
        if (ca != cb) return ca < cb;
    }
    if (i < a.size() || j < b.size()) return i >= a.size();  // a prefix sorts first
    return a < b;                                            // names that differ only in case keep a fixed order
}

bool matches_ignoring_case(std::string_view mask_utf8, std::string_view name_utf8) {
    const std::u32string mask = folded(mask_utf8);
    const std::u32string name = folded(name_utf8);
    // Iterative wildcard match with backtracking to the last "*".
    std::size_t m = 0, n = 0, star = std::u32string::npos, resume = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == U'?' || mask[m] == name[n])) {
            ++m;
            ++n;
        } else if (m < mask.size() && mask[m] == U'*') {
            star = m++;
            resume = n;
        } else if (star != std::u32string::npos) {
            m = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == U'*') ++m;
    return m == mask.size();
}

std::u16string_view first_units(std::u16string_view text, std::size_t n) {
    return text.substr(0, std::min(n, text.size()));
}

std::string utf16_to_cp1252(std::u16string_view text) {
    // A surrogate pair is one character, and CP1252 holds none of them.
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) out += cp1252_byte(decode_utf16(text, i));
    return out;
}

std::string utf8_to_cp1252(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) out += cp1252_byte(decode_utf8(text, i));
    return out;
}

std::string cp1252_to_utf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        char32_t cp = b;
        if (b >= 0x80 && b <= 0x9F) cp = cp1252_high[b - 0x80] ? cp1252_high[b - 0x80] : b;
        append_utf8(out, cp);
    }
    return out;
}

}  // namespace idf
