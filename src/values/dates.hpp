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

// Reads a date written with the system's short date settings: three numbers
// of up to four digits separated by the date separator, with nothing
// between them, in the order of the short date format, only blanks after
// them, and a date that exists. A year is taken as written (23 is the year
// 23). Throws ConversionError.
Date read_short_date(std::u16string_view text, const Regional& regional);

// Writes a date with the system's short date format.
std::string write_short_date(const Date& date, const Regional& regional);

// The date conversion: from the DOM text of an XML date or date-time that
// starts with year-month-day, builds day/month/year from the UTF-16 units at
// fixed positions, reads it with the system's settings and writes it back in
// the short date format. The time and the time zone are ignored.
std::string converte_data(std::u16string_view xml_text, const Regional& regional);

}  // namespace idf
