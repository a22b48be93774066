#include "values/numbers.hpp"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "values/text.hpp"

namespace idf {

namespace {

// A decimal number as written: value = digits * 10^exponent, digits without
// leading zeros ("" for zero).
struct Decimal {
    bool negative = false;
    std::string digits;
    long long exponent = 0;
};

// Extended precision carries 18 significant decimal digits into formatting.
constexpr std::size_t significant_digits = 18;
// Beyond this the value does not fit the floating-point type at all.
constexpr long long max_decimal_exponent = 4932;

Decimal parse_decimal(std::string_view text, char separator) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    auto fail = [&]() -> Decimal {
        throw ConversionError("'" + std::string(text) + "' is not a valid floating point value");
    };
    while (i < n && text[i] == ' ') ++i;
    Decimal d;
    if (i < n && (text[i] == '+' || text[i] == '-')) d.negative = text[i++] == '-';
    std::string mantissa;
    long long fraction_digits = 0;
    const std::size_t int_start = i;
    while (i < n && is_ascii_digit(text[i])) mantissa += text[i++];
    if (i == int_start) return fail();
    if (i < n && text[i] == separator) {
        ++i;
        const std::size_t frac_start = i;
        while (i < n && is_ascii_digit(text[i])) {
            mantissa += text[i++];
            ++fraction_digits;
        }
        if (i == frac_start) return fail();
    }
    long long exp = 0;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool exp_negative = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) exp_negative = text[i++] == '-';
        const std::size_t exp_start = i;
        while (i < n && is_ascii_digit(text[i])) {
            if (exp < 1'000'000) exp = exp * 10 + (text[i] - '0');
            ++i;
        }
        if (i == exp_start) return fail();
        if (exp_negative) exp = -exp;
    }
    while (i < n && text[i] == ' ') ++i;
    if (i != n) return fail();

    const std::size_t first = mantissa.find_first_not_of('0');
    if (first == std::string::npos) {
        d.digits.clear();
        d.exponent = 0;
        return d;
    }
    mantissa.erase(0, first);
    d.exponent = exp - fraction_digits;
    // Trailing zeros carry no value.
    while (!mantissa.empty() && mantissa.back() == '0') {
        mantissa.pop_back();
        ++d.exponent;
    }
    d.digits = std::move(mantissa);
    if (static_cast<long long>(d.digits.size()) + d.exponent - 1 > max_decimal_exponent) return fail();
    return d;
}

// Rounds d to keep only digits at positions >= 10^min_exponent, halves away
// from zero.
void round_at(Decimal& d, long long min_exponent) {
    if (d.digits.empty() || d.exponent >= min_exponent) return;
    const long long drop = min_exponent - d.exponent;
    if (drop > static_cast<long long>(d.digits.size())) {
        d.digits.clear();
        d.exponent = 0;
        return;
    }
    const std::size_t keep = d.digits.size() - static_cast<std::size_t>(drop);
    const bool round_up = d.digits[keep] >= '5';
    d.digits.resize(keep);
    d.exponent = min_exponent;
    if (round_up) {
        std::size_t k = d.digits.size();
        while (k > 0 && d.digits[k - 1] == '9') d.digits[--k] = '0';
        if (k == 0)
            d.digits.insert(d.digits.begin(), '1');
        else
            ++d.digits[k - 1];
    }
    while (!d.digits.empty() && d.digits.back() == '0') {
        d.digits.pop_back();
        ++d.exponent;
    }
    if (d.digits.empty()) d.exponent = 0;
}

}  // namespace

std::string formata_numero(std::string_view text, int decimals, const Regional& regional) {
    // The XML's numbers have a decimal point whatever the system's setting.
    Decimal d = parse_decimal(text, '.');
    if (!d.digits.empty()) {
        const long long magnitude = static_cast<long long>(d.digits.size()) + d.exponent;  // digits before the point
        round_at(d, magnitude - static_cast<long long>(significant_digits));
        round_at(d, -decimals);
    }
    // Write integer part, separator, exactly `decimals` decimals.
    std::string int_part;
    std::string frac_part(static_cast<std::size_t>(decimals), '0');
    if (!d.digits.empty()) {
        const long long len = static_cast<long long>(d.digits.size());
        const long long point = len + d.exponent;  // index in digits where the point stands
        if (point > 0) {
            for (long long k = 0; k < point; ++k) int_part += k < len ? d.digits[static_cast<std::size_t>(k)] : '0';
        }
        for (long long k = std::max<long long>(point, 0); k < len; ++k) {
            const long long pos = k - point;  // 0-based decimal position
            if (pos < decimals) frac_part[static_cast<std::size_t>(pos)] = d.digits[static_cast<std::size_t>(k)];
        }
    }
    if (int_part.empty()) int_part.push_back('0');  // not = "0": GCC 12 -O3 warns falsely (-Wrestrict)
    std::string out;
    if (d.negative && !d.digits.empty()) out += '-';
    out += int_part;
    if (decimals > 0) {
        out += regional.decimal_separator;
        out += frac_part;
    }
    return out;
}

std::string formatted_zero(const Regional& regional) { return formata_numero("0", 2, regional); }

int parse_int32(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t start = i;
    std::int64_t value = 0;
    while (i < text.size() && is_ascii_digit(text[i])) {
        value = value * 10 + (text[i] - '0');
        if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1)
            throw ConversionError("'" + std::string(text) + "' is not a valid integer value");
        ++i;
    }
    if (i == start || i != text.size())
        throw ConversionError("'" + std::string(text) + "' is not a valid integer value");
    if (negative) value = -value;
    if (value > std::numeric_limits<std::int32_t>::max() || value < std::numeric_limits<std::int32_t>::min())
        throw ConversionError("'" + std::string(text) + "' is not a valid integer value");
    return static_cast<int>(value);
}

std::string normaliza_inteiro(std::string_view text) { return std::to_string(parse_int32(text)); }

}  // namespace idf
