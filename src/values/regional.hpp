// Regional settings that the exchange file's numbers and dates are written
// with. They are read once when the library is loaded and handed to every
// import. What is read from the XML never depends on them: its numbers
// always have a decimal point and its dates are always year-month-day.
#pragma once

#include <string>

namespace idf {

struct Regional {
    char decimal_separator = ',';
    // A Windows short date picture: d, dd, M, MM, yy, yyyy, quoted text and
    // literal separators (see write_short_date).
    std::string short_date_format = "dd/MM/yyyy";

    static Regional brazilian() { return {}; }
};

}  // namespace idf
