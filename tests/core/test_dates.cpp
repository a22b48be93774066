// The date conversion: reading the XML's date, writing the short date.
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
    std::string brazil;  // dd/MM/yyyy; "!" when it raises
};

TEST(ConverteData, TakesYearMonthDayFromFixedPositions) {
    const DateCase cases[] = {
        {"2023-05-10T10:20:30-03:00", "10/05/2023"},
        {"2023-05-10", "10/05/2023"},
        {"2023-05-10T23:59:59-02:00", "10/05/2023"},  // the time zone does not shift the date
        {"2023-12-31T23:59:59+14:00", "31/12/2023"},
        {"2023-05-20", "20/05/2023"},
        {"2023-01-12", "12/01/2023"},
        {"2024-02-29", "29/02/2024"},
        {"2000-02-29", "29/02/2000"},
        {"2023-02-30", "!"},
        {"2023-02-29", "!"},
        {"1900-02-29", "!"},
        {"2023-13-01", "!"},
        {"2023-00-10", "!"},
        {"2023-05-00", "!"},
        {"2023-05-1", "01/05/2023"},  // the characters that exist
        {"2023-05", "!"},
        {"", "!"},
        {"abcd-ef-gh", "!"},
        {"2023/05/10", "10/05/2023"},  // separators are not looked at
        {"10/05/2023", "!"},           // not year first
        {"2023-05-1x", "!"},
        {"0001-01-01", "01/01/0001"},
        {"9999-12-31", "31/12/9999"},
        {"0000-01-01", "!"},
        // The built text is read as it stands: blanks only after the year,
        // and a year of one or two digits is that year.
        {"23  -05-10", "10/05/0023"},
        {"2023-05- 9", "!"},
        {"2024-3 -15", "!"},
        {"  99-12-31", "!"},
        {"2-05-10", "!"},
        // Positions count UTF-16 units: U+1F600 takes two, so the day is
        // its second half and a digit.
        {"2023-05\U0001F60010", "!"},
        {"2023-05-10\U0001F600", "10/05/2023"},
    };
    const Regional brazil = Regional::brazilian();
    const Regional month_first = test::point_month_first();
    for (const auto& c : cases) {
        EXPECT_EQ(convert_or_raise(c.xml, brazil), c.brazil) << c.xml;
        // Another order reads the same date: it fails exactly when the
        // Brazilian setting fails.
        EXPECT_EQ(convert_or_raise(c.xml, month_first) == "!", c.brazil == "!") << c.xml;
    }
}

TEST(DayMonthYear, ReadsThreeNumbersWithOnlyBlanksAfterThem) {
    for (const std::u16string_view bad : {u" 5/6/2023", u"5 /6/2023", u"5/ 6/2023", u"5/6 /2023", u"5/6/ 2023",
                                          u"5/6/2023x", u"5/6/2023 x", u"5/6", u"5-6-2023", u"5/6/12345", u"5/6/0"}) {
        EXPECT_THROW(read_day_month_year(bad), ConversionError) << utf16_to_utf8(bad);
    }
    const Date d = read_day_month_year(u"5/6/2023  ");
    EXPECT_EQ(d.day, 5);
    EXPECT_EQ(d.month, 6);
    EXPECT_EQ(d.year, 2023);
    // No century window: the result depends on the text alone.
    EXPECT_EQ(read_day_month_year(u"1/1/23").year, 23);
    EXPECT_EQ(read_day_month_year(u"1/1/9").year, 9);
    EXPECT_EQ(read_day_month_year(u"29/2/4").year, 4);
    EXPECT_THROW(read_day_month_year(u"29/2/1"), ConversionError);
}

TEST(ShortDate, PicturesWithNamesOrTheEraCannotBeWritten) {
    const Date date{2023, 5, 7};
    for (const char* picture : {"dd-MMM-yy", "MMMM d, yyyy", "ddd dd/MM/yyyy", "dddd", "gg yyyy/M/d", "G"}) {
        EXPECT_THROW(write_short_date(date, Regional{',', picture}), ConversionError) << picture;
    }
}

TEST(ShortDate, WritesTheFormatPicture) {
    const Date date{2023, 5, 7};
    const struct {
        const char* picture;
        const char* written;
    } cases[] = {
        {"dd/MM/yyyy", "07/05/2023"},
        {"d.M.yy", "7.5.23"},
        {"y", "3"},
        {"yyy yyyyy", "2023 2023"},
        {"DD/mm/YYYY", "07/05/2023"},                  // the letters in either case
        {"d 'de' MM 'd''M' ''yy", "7 de 05 d'M '23"},  // quoted text, '' for a quote
        {"d 'unclosed", "7 unclosed"},
        {"d\"M\"", "7\"5\""},  // other characters as they stand
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(write_short_date(date, Regional{',', c.picture}), c.written) << c.picture;
    EXPECT_EQ(write_short_date(Date{33, 1, 2}, Regional::brazilian()), "02/01/0033");
    EXPECT_EQ(write_short_date(Date{2005, 1, 2}, Regional{',', "yy"}), "05");
}

}  // namespace
}  // namespace idf
