// Regional settings that the numeric and date conversions follow. They are
// read once when the library is loaded and handed to every import.
#pragma once

#include <string>

namespace idf {

struct Regional {
    char decimal_separator = ',';
    std::string short_date_format = "dd/MM/yyyy";
    char date_separator = '/';

    static Regional brazilian() { return {}; }
};

}  // namespace idf
