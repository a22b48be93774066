#include "values/dates.hpp"

#include <algorithm>

#include "values/text.hpp"

namespace idf {

namespace {

// Up to four digits, right at pos.
bool scan_number(std::u16string_view s, std::size_t& pos, int& number) {
    std::size_t i = pos;
    int n = 0;
    while (i < s.size() && i - pos < 4 && s[i] >= u'0' && s[i] <= u'9') {
        n = n * 10 + (s[i] - u'0');
        ++i;
    }
    if (i == pos) return false;
    number = n;
    pos = i;
    return true;
}

bool scan_char(std::u16string_view s, std::size_t& pos, char16_t c) {
    if (pos < s.size() && s[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

bool is_leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int days_in_month(int y, int m) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && is_leap(y) ? 29 : days[m - 1];
}

std::string padded(int v, std::size_t width) {
    std::string s = std::to_string(v);
    return s.size() < width ? std::string(width - s.size(), '0') + s : s;
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The UTF-16 units from 1-based position `from` to `to`, as far as they
// exist.
std::u16string_view units(std::u16string_view s, std::size_t from, std::size_t to) {
    if (from > s.size()) return {};
    return s.substr(from - 1, std::min(to, s.size()) - (from - 1));
}

}  // namespace

Date read_day_month_year(std::u16string_view text) {
    const auto fail = [&]() -> Date { throw ConversionError("'" + utf16_to_utf8(text) + "' is not a valid date"); };
    std::size_t pos = 0;
    Date date;
    if (!scan_number(text, pos, date.day) || !scan_char(text, pos, u'/') || !scan_number(text, pos, date.month) ||
        !scan_char(text, pos, u'/') || !scan_number(text, pos, date.year))
        return fail();
    while (pos < text.size() && text[pos] == u' ') ++pos;
    if (pos != text.size()) return fail();
    // A year of one or two digits is that year: the result depends on the
    // text alone, never on today's date.
    if (date.year < 1 || date.month < 1 || date.month > 12 || date.day < 1 ||
        date.day > days_in_month(date.year, date.month))
        return fail();
    return date;
}

std::string write_short_date(const Date& date, const Regional& regional) {
    const std::string& f = regional.short_date_format;
    const auto fail = [&]() -> std::string {
        throw ConversionError("the short date format '" + f + "' does not write dates with numbers only");
    };
    std::string out;
    std::size_t i = 0;
    while (i < f.size()) {
        const char c = lower(f[i]);
        if (c == 'd' || c == 'm' || c == 'y') {
            std::size_t run = 0;
            while (i + run < f.size() && lower(f[i + run]) == c) ++run;
            i += run;
            if (c != 'y' && run > 2) return fail();  // day or month names
            if (c == 'd')
                out += padded(date.day, run);
            else if (c == 'm')
                out += padded(date.month, run);
            else if (run == 1)
                out += std::to_string(date.year % 10);
            else if (run == 2)
                out += padded(date.year % 100, 2);
            else
                out += padded(date.year, 4);
        } else if (c == 'g') {
            return fail();  // the era
        } else if (c == '\'' && i + 1 < f.size() && f[i + 1] == '\'') {
            out += '\'';  // two quotes in a row write one
            i += 2;
        } else if (c == '\'') {
            // Quoted text as it stands, up to the closing quote.
            ++i;
            while (i < f.size()) {
                if (f[i] != '\'') {
                    out += f[i++];
                } else if (i + 1 < f.size() && f[i + 1] == '\'') {
                    out += '\'';
                    i += 2;
                } else {
                    ++i;
                    break;
                }
            }
        } else {
            out += f[i++];
        }
    }
    return out;
}

std::string converte_data(std::u16string_view xml_text, const Regional& regional) {
    std::u16string built;
    built += units(xml_text, 9, 10);
    built += u'/';
    built += units(xml_text, 6, 7);
    built += u'/';
    built += units(xml_text, 1, 4);
    return write_short_date(read_day_month_year(built), regional);
}

}  // namespace idf
