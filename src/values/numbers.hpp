// Numeric conversions of the exchange file.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "values/data_error.hpp"
#include "values/regional.hpp"

namespace idf {

struct ConversionError : DataError {
    using DataError::DataError;
};

// The numeric formatting rule: reads the text as the XML writes numbers
// (optional blanks, a sign, digits, a decimal point and digits, an exponent,
// blanks; a comma is never a decimal separator) and writes it with exactly
// `decimals` decimals and the system's decimal separator, rounding halves
// away from zero on the decimal digits as written (at most 18 significant
// digits). Throws ConversionError when the text is not a number.
std::string formata_numero(std::string_view text, int decimals, const Regional& regional);

// The number 0 written with the pattern "0.00" ("0,00" in Brazil).
std::string formatted_zero(const Regional& regional);

// Reads a signed 32-bit decimal integer (leading spaces and a sign allowed,
// nothing after the digits). Throws ConversionError otherwise.
int parse_int32(std::string_view text);

// Integer normalisation: parse_int32 written back in plain decimal.
std::string normaliza_inteiro(std::string_view text);

}  // namespace idf
