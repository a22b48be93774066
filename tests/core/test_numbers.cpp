// The numeric formatting rule and integer normalisation.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/core_support.hpp"
#include "values/numbers.hpp"

namespace idf {
namespace {

struct NumberCase {
    std::string text;
    int decimals;
    std::string brazil;  // result with the decimal comma; "!" when it raises
};

std::string format_or_raise(const std::string& text, int decimals, const Regional& regional) {
    try {
        return formata_numero(text, decimals, regional);
    } catch (const ConversionError&) {
        return "!";
    }
}

TEST(FormataNumero, RoundsTheDecimalNumberAsWritten) {
    const NumberCase cases[] = {
        {"1234.5", 2, "1234,50"},
        {"10", 2, "10,00"},
        {"0.005", 2, "0,01"},
        {"1.00005", 4, "1,0001"},
        {"0.1", 4, "0,1000"},
        {"-1.5", 2, "-1,50"},
        {"1.005", 2, "1,01"},  // 1.005 has no exact binary form
        {"2.675", 2, "2,68"},
        {"1.015", 2, "1,02"},
        {"0.125", 2, "0,13"},  // a half goes away from zero
        {"-0.125", 2, "-0,13"},
        {"0.124999", 2, "0,12"},
        {"9.995", 2, "10,00"},  // carry into the integer part
        {"-9.995", 2, "-10,00"},
        {"999.9999999", 4, "1000,0000"},
        {"-0.001", 2, "0,00"},  // rounds to zero: no sign
        {"-0", 2, "0,00"},
        {"0", 2, "0,00"},
        {"000", 2, "0,00"},
        {"007.50", 2, "7,50"},
        {"+5", 2, "5,00"},
        {"  12  ", 2, "12,00"},  // spaces around are accepted
        {"1e3", 2, "1000,00"},
        {"1E-2", 2, "0,01"},
        {"1.5E2", 2, "150,00"},
        {"25e-1", 0, "3"},  // no decimals: no separator
        {"12345678.9", 3, "12345678,900"},
        // 18 significant digits are carried, the 19th rounds them.
        {"1.234567890123456789", 18, "1,234567890123456790"},
        {"0.4999999999999999999", 0, "1"},
        {"1234567890123456789", 2, "1234567890123456790,00"},
    };
    // The decimal point setting reads the same text and only writes the
    // separator differently.
    const Regional brazil = Regional::brazilian();
    const Regional point = test::point_month_first();
    for (const auto& c : cases) {
        EXPECT_EQ(format_or_raise(c.text, c.decimals, brazil), c.brazil) << c.text << " / " << c.decimals;
        std::string with_point = c.brazil;
        std::replace(with_point.begin(), with_point.end(), ',', '.');
        EXPECT_EQ(format_or_raise(c.text, c.decimals, point), with_point) << c.text << " / " << c.decimals;
    }
}

TEST(FormataNumero, RaisesOnTextsThatAreNotNumbers) {
    const std::string bad[] = {
        "",     " ",       "abc", "1,5",  // a comma is never the decimal separator
        "12.",  ".5",      "-",   "+",   "1.2.3", "1 000", "0x10", "1e",       "1e+", "\t12",    "12\t",
        "12\n", "1,234.5", "--1", "1-",  "1.5x",  "e5",    "١٢",   "Infinity", "NaN", "1e99999",
    };
    for (const Regional& regional : {Regional::brazilian(), test::point_month_first()}) {
        for (const auto& text : bad) {
            EXPECT_THROW(formata_numero(text, 2, regional), ConversionError)
                << '"' << text << "\" with " << regional.decimal_separator;
        }
    }
}

TEST(FormataNumero, FormattedZeroFollowsTheSetting) {
    EXPECT_EQ(formatted_zero(Regional::brazilian()), "0,00");
    EXPECT_EQ(formatted_zero(test::point_month_first()), "0.00");
}

TEST(FormataNumero, VeryLongAndTinyNumbersStayExact) {
    const std::string long_digits = "0." + std::string(300, '0') + "5";
    EXPECT_EQ(formata_numero(long_digits, 2, Regional::brazilian()), "0,00");
    EXPECT_EQ(formata_numero("1e-400", 2, Regional::brazilian()), "0,00");
    EXPECT_EQ(formata_numero("5e-3", 2, Regional::brazilian()), "0,01");
    const std::string big = formata_numero("1e30", 2, Regional::brazilian());
    EXPECT_EQ(big, "1" + std::string(30, '0') + ",00");
}

TEST(NormalizaInteiro, ReadsSigned32BitDecimalIntegers) {
    struct Case {
        std::string text;
        std::string result;  // "!" when it raises
    };
    const Case cases[] = {
        {"0042", "42"},
        {"+7", "7"},
        {"   42", "42"},
        {"-0", "0"},
        {"-15", "-15"},
        {"2147483647", "2147483647"},
        {"-2147483648", "-2147483648"},
        {"2147483648", "!"},
        {"-2147483649", "!"},
        {"99999999999999999999999", "!"},
        {"42 ", "!"},  // nothing may follow the digits
        {"4x2", "!"},
        {"", "!"},
        {" ", "!"},
        {"+", "!"},
        {"0x10", "!"},  // decimal only
        {"$10", "!"},
        {"\t5", "!"},  // only spaces may lead
        {"1.0", "!"},
        {"--1", "!"},
    };
    for (const auto& c : cases) {
        std::string got;
        try {
            got = normaliza_inteiro(c.text);
        } catch (const ConversionError&) {
            got = "!";
        }
        EXPECT_EQ(got, c.result) << '"' << c.text << '"';
    }
}

}  // namespace
}  // namespace idf
