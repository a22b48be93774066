#include "values/dates.hpp"

#include "values/text.hpp"

namespace idf {

namespace {

enum class DateOrder { dmy, mdy, ymd };

DateOrder date_order(std::string_view format) {
    for (const char c : format) {
        switch (c) {
            case 'd':
            case 'D':
                return DateOrder::dmy;
            case 'm':
            case 'M':
                return DateOrder::mdy;
            case 'y':
            case 'Y':
                return DateOrder::ymd;
            default:
                break;
        }
    }
    return DateOrder::dmy;
}

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

// The date separator as a UTF-16 unit (it is an ANSI character).
char16_t separator_unit(char separator) {
    const std::u16string unit = utf8_to_utf16(cp1252_to_utf8(std::string_view(&separator, 1)));
    return unit.empty() ? u'/' : unit.front();
}

bool is_leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int days_in_month(int y, int m) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && is_leap(y) ? 29 : days[m - 1];
}

std::string two_digits(int v) {
    std::string s = std::to_string(v);
    return s.size() < 2 ? "0" + s : s;
}

// The UTF-16 units from 1-based position `from` to `to`, as far as they
// exist.
std::u16string_view units(std::u16string_view s, std::size_t from, std::size_t to) {
    if (from > s.size()) return {};
    return s.substr(from - 1, std::min(to, s.size()) - (from - 1));
}

}  // namespace

Date read_short_date(std::u16string_view text, const Regional& regional) {
    const auto fail = [&]() -> Date { throw ConversionError("'" + utf16_to_utf8(text) + "' is not a valid date"); };
    const char16_t separator = separator_unit(regional.date_separator);
    std::size_t pos = 0;
    int n1 = 0, n2 = 0, n3 = 0;
    if (!scan_number(text, pos, n1) || !scan_char(text, pos, separator) || !scan_number(text, pos, n2) ||
        !scan_char(text, pos, separator) || !scan_number(text, pos, n3))
        return fail();
    while (pos < text.size() && text[pos] == u' ') ++pos;
    if (pos != text.size()) return fail();

    Date date;
    switch (date_order(regional.short_date_format)) {
        case DateOrder::dmy:
            date = {n3, n2, n1};
            break;
        case DateOrder::mdy:
            date = {n3, n1, n2};
            break;
        case DateOrder::ymd:
            date = {n1, n2, n3};
            break;
    }
    // A year of one or two digits is that year: the result depends on the
    // text alone, never on today's date.
    if (date.year < 1 || date.year > 9999 || date.month < 1 || date.month > 12 || date.day < 1 ||
        date.day > days_in_month(date.year, date.month))
        return fail();
    return date;
}

std::string write_short_date(const Date& date, const Regional& regional) {
    const std::string& f = regional.short_date_format;
    std::string out;
    std::size_t i = 0;
    while (i < f.size()) {
        const char c = f[i];
        const char lower = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (lower == 'd' || lower == 'm' || lower == 'y') {
            std::size_t run = 0;
            while (i + run < f.size() && (f[i + run] == lower || f[i + run] == lower - 'a' + 'A')) ++run;
            i += run;
            if (lower == 'd')
                out += run == 1 ? std::to_string(date.day) : two_digits(date.day);
            else if (lower == 'm')
                out += run == 1 ? std::to_string(date.month) : two_digits(date.month);
            else if (run <= 2)
                out += two_digits(date.year % 100);
            else {
                std::string y = std::to_string(date.year);
                out += std::string(y.size() < 4 ? 4 - y.size() : 0, '0') + y;
            }
        } else if (c == '/') {
            out += regional.date_separator;
            ++i;
        } else if (c == '\'' || c == '"') {
            const std::size_t end = f.find(c, i + 1);
            const std::size_t stop = end == std::string::npos ? f.size() : end;
            out += f.substr(i + 1, stop - i - 1);
            i = stop == f.size() ? stop : stop + 1;
        } else {
            out += c;
            ++i;
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
    return write_short_date(read_short_date(built, regional), regional);
}

}  // namespace idf
