// Base64 (RFC 4648, the standard alphabet with padding), as the signature
// of a fiscal document carries its digests, signature and certificate.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace idf {

// The bytes `text` encodes. Blanks, tabs and line breaks anywhere are
// passed over (signatures are often wrapped in lines); anything else
// outside the alphabet, a length that is not a multiple of four, or
// padding other than one or two "=" at the very end makes it malformed:
// none.
std::optional<std::string> base64_decode(std::string_view text);

}  // namespace idf
