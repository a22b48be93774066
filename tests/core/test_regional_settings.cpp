// Numbers and dates under the regional settings a Windows host may have: the
// XML is read the same way under every one, only the writing differs.
#include <gtest/gtest.h>

#include <string>

#include "values/dates.hpp"
#include "values/numbers.hpp"

namespace idf {
namespace {

constexpr const char* fails = "!";

std::string amount(const std::string& text, int decimals, const Regional& regional) {
    try {
        return formata_numero(text, decimals, regional);
    } catch (const ConversionError&) {
        return fails;
    }
}

std::string date(std::u16string_view text, const Regional& regional) {
    try {
        return converte_data(text, regional);
    } catch (const ConversionError&) {
        return fails;
    }
}

TEST(RegionalSettings, ReadTheXmlAlikeAndWriteInTheSetting) {
    const struct {
        const char* name;
        Regional regional;
        const char* amount;        // 1234.5, 2 decimals
        const char* four_places;   // 0.12345, 4 decimals
        const char* negative;      // -0.005, 2 decimals
        const char* day_up_to_12;  // 2024-06-10T10:00:00-03:00
        const char* day_above_12;  // 2024-07-25
    } settings[] = {
        {"Brazil", {',', "dd/MM/yyyy"}, "1234,50", "0,1235", "-0,01", "10/06/2024", "25/07/2024"},
        {"United States", {'.', "M/d/yyyy"}, "1234.50", "0.1235", "-0.01", "6/10/2024", "7/25/2024"},
        {"United Kingdom", {'.', "dd/MM/yyyy"}, "1234.50", "0.1235", "-0.01", "10/06/2024", "25/07/2024"},
        {"Germany", {',', "dd.MM.yyyy"}, "1234,50", "0,1235", "-0,01", "10.06.2024", "25.07.2024"},
        {"ISO", {'.', "yyyy-MM-dd"}, "1234.50", "0.1235", "-0.01", "2024-06-10", "2024-07-25"},
        {"two-digit year", {',', "d/M/yy"}, "1234,50", "0,1235", "-0,01", "10/6/24", "25/7/24"},
        {"month name", {'.', "dd-MMM-yyyy"}, "1234.50", "0.1235", "-0.01", fails, fails},
    };
    for (const auto& s : settings) {
        SCOPED_TRACE(s.name);
        // What cannot be read fails under every setting.
        EXPECT_EQ(amount("1,5", 2, s.regional), fails);
        EXPECT_EQ(amount("1.234,5", 2, s.regional), fails);
        EXPECT_EQ(date(u"2023-02-30", s.regional), fails);
        EXPECT_EQ(date(u"2023-13-01", s.regional), fails);
        EXPECT_EQ(amount("1234.5", 2, s.regional), s.amount);
        EXPECT_EQ(amount("0.12345", 4, s.regional), s.four_places);
        EXPECT_EQ(amount("-0.005", 2, s.regional), s.negative);
        EXPECT_EQ(date(u"2024-06-10T10:00:00-03:00", s.regional), s.day_up_to_12);
        EXPECT_EQ(date(u"2024-07-25", s.regional), s.day_above_12);
    }
}

}  // namespace
}  // namespace idf
