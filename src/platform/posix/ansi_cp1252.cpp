// The ANSI code page where the system has no code page service: CP1252,
// the code page of the Brazilian Portuguese systems served.
#include "common/platform.hpp"
#include "values/text.hpp"

namespace idf {

std::string to_ansi(std::u16string_view text) { return utf16_to_cp1252(text); }

}  // namespace idf
