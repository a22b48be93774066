// The one family of errors that bad data raises: a file that cannot be
// parsed, an element that does not hold what a read expects, a text that is
// not a number or a date. The imports absorb these where a value is read
// or a file is tried; any other failure (out of memory, a failing system
// call, a fault in the code) ends the import on its abort path instead of
// passing for a value that could not be read.
#pragma once

#include <stdexcept>

namespace idf {

struct DataError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace idf
