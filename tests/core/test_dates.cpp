// The date conversion under the Brazilian and other regional settings.
#include <gtest/gtest.h>

#include <string>

#include "core/core_support.hpp"
#include "values/dates.hpp"
#include "values/text.hpp"

namespace idf {
namespace {

std::string convert_or_raise(const std::string& text, const Regional& regional) {
    try {
        return converte_data(utf8_to_utf16(text), regional);
    } catch (const ConversionError&) {
        return "!";
    }
}

struct DateCase {
    std::string xml;
    std::string brazil;       // dd/MM/yyyy with "/"; "!" when it raises
    std::string month_first;  // MM/dd/yyyy with "/"
};

TEST(ConverteData, TakesYearMonthDayFromFixedPositions) {
    const DateCase cases[] = {
        {"2023-05-10T10:20:30-03:00", "10/05/2023", "10/05/2023"},
        {"2023-05-10", "10/05/2023", "10/05/2023"},
        {"2023-05-10T23:59:59-02:00", "10/05/2023", "10/05/2023"},  // the time zone does not shift the date
        {"2023-12-31T23:59:59+14:00", "31/12/2023", "!"},           // month-first: day 31 read as a month
        {"2023-05-20", "20/05/2023", "!"},
        {"2023-01-12", "12/01/2023", "12/01/2023"},
        {"2024-02-29", "29/02/2024", "!"},
        {"2000-02-29", "29/02/2000", "!"},
        {"2023-02-30", "!", "!"},
        {"2023-02-29", "!", "!"},
        {"1900-02-29", "!", "!"},
        {"2023-13-01", "!", "01/13/2023"},  // month-first: 13 is the day
        {"2023-00-10", "!", "!"},
        {"2023-05-00", "!", "!"},
        {"2023-05-1", "01/05/2023", "01/05/2023"},  // the characters that exist
        {"2023-05", "!", "!"},
        {"", "!", "!"},
        {"abcd-ef-gh", "!", "!"},
        {"2023/05/10", "10/05/2023", "10/05/2023"},  // separators are not looked at
        {"10/05/2023", "!", "!"},                    // not year first
        {"2023-05-1x", "!", "!"},
        {"0001-01-01", "01/01/0001", "01/01/0001"},
        {"9999-12-31", "31/12/9999", "!"},
        {"0000-01-01", "!", "!"},
        // The built text is read as it stands: blanks only after the year,
        // and a year of one or two digits is that year.
        {"23  -05-10", "10/05/0023", "10/05/0023"},
        {"2023-05- 9", "!", "!"},
        {"2024-3 -15", "!", "!"},
        {"  99-12-31", "!", "!"},
        {"2-05-10", "!", "!"},
        // Positions count UTF-16 units: U+1F600 takes two, so the day is
        // its second half and a digit.
        {"2023-05\U0001F60010", "!", "!"},
        {"2023-05-10\U0001F600", "10/05/2023", "10/05/2023"},
    };
    const Regional brazil = Regional::brazilian();
    const Regional month_first = test::point_month_first();
    for (const auto& c : cases) {
        EXPECT_EQ(convert_or_raise(c.xml, brazil), c.brazil) << c.xml;
        EXPECT_EQ(convert_or_raise(c.xml, month_first), c.month_first) << c.xml;
    }
}

TEST(ConverteData, FollowsTheShortDateFormatAndSeparator) {
    // Month first without leading zeros: day 10 is read as the month.
    EXPECT_EQ(converte_data(u"2023-05-10", Regional{',', "M/d/yyyy", '/'}), "10/5/2023");
    EXPECT_EQ(converte_data(u"2023-05-03", Regional{',', "d/M/yyyy", '/'}), "3/5/2023");
    EXPECT_EQ(converte_data(u"2023-05-03", Regional{',', "dd/MM/yy", '/'}), "03/05/23");
    // Another separator: the built day/month/year text never converts.
    for (const Regional& other : {Regional{',', "dd.MM.yyyy", '.'}, Regional{',', "dd-MM-yyyy", '-'}}) {
        EXPECT_THROW(converte_data(u"2023-05-10", other), ConversionError) << other.short_date_format;
    }
}

TEST(ShortDate, ReadsThreeNumbersWithOnlyBlanksAfterThem) {
    const Regional brazil = Regional::brazilian();
    for (const std::u16string_view bad : {u" 5/6/2023", u"5 /6/2023", u"5/ 6/2023", u"5/6 /2023", u"5/6/ 2023",
                                          u"5/6/2023x", u"5/6/2023 x", u"5/6", u"5-6-2023", u"5/6/12345", u"5/6/0"}) {
        EXPECT_THROW(read_short_date(bad, brazil), ConversionError) << utf16_to_utf8(bad);
    }
    const Date d = read_short_date(u"5/6/2023  ", brazil);
    EXPECT_EQ(d.day, 5);
    EXPECT_EQ(d.month, 6);
    EXPECT_EQ(d.year, 2023);
    // No century window: the result depends on the text alone.
    EXPECT_EQ(read_short_date(u"1/1/23", brazil).year, 23);
    EXPECT_EQ(read_short_date(u"1/1/9", brazil).year, 9);
    EXPECT_EQ(read_short_date(u"29/2/4", brazil).year, 4);
    EXPECT_THROW(read_short_date(u"29/2/1", brazil), ConversionError);
}

TEST(ShortDate, WritesTheFormatPattern) {
    const Date date{2023, 5, 7};
    EXPECT_EQ(write_short_date(date, Regional::brazilian()), "07/05/2023");
    EXPECT_EQ(write_short_date(date, Regional{',', "MM/dd/yyyy", '/'}), "05/07/2023");
    EXPECT_EQ(write_short_date(date, Regional{',', "d/M/yy", '/'}), "7/5/23");
    EXPECT_EQ(write_short_date(date, Regional{',', "yyyy-MM-dd", '-'}), "2023-05-07");
    // "/" in the pattern stands for the date separator.
    EXPECT_EQ(write_short_date(date, Regional{',', "dd/MM/yyyy", '.'}), "07.05.2023");
    EXPECT_EQ(write_short_date(Date{33, 1, 2}, Regional::brazilian()), "02/01/0033");
}

}  // namespace
}  // namespace idf
