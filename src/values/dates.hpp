// Date conversion of the exchange file.
#pragma once

#include <string>
#include <string_view>

#include "values/numbers.hpp"
#include "values/regional.hpp"

namespace idf {

struct Date {
    int year = 0;
    int month = 0;
    int day = 0;
};

// Reads the day/month/year text that the date conversion builds: three
// numbers of up to four digits separated by "/", with nothing between them,
// only blanks after them, and a date that exists. A year is taken as
// written (23 is the year 23). Throws ConversionError.
Date read_day_month_year(std::u16string_view text);

// Writes a date with the system's short date picture: d and dd (day), M and
// MM (month), y (last digit of the year), yy (last two digits), yyyy (the
// year in four digits; three or five y write the same), text in single
// quotes ('' for a quote) and any other character as it stands. The letters
// are taken in either case. A picture that asks for a day or month name
// (ddd, MMM and longer) or the era (g) cannot be written with numbers:
// throws ConversionError.
std::string write_short_date(const Date& date, const Regional& regional);

// The date conversion: from the DOM text of an XML date or date-time that
// starts with year-month-day, takes day/month/year from the UTF-16 units at
// fixed positions, reads them independently of the system's settings and
// writes the date in the system's short date format. The time and the time
// zone are ignored.
std::string converte_data(std::u16string_view xml_text, const Regional& regional);

}  // namespace idf
