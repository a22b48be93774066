// A quick look at a file's bytes, before parsing it, that proves when the
// file cannot carry the wanted access key: neither in its protocol
// (protNFe/infProt/chNFe, CT-e: protCTe/infProt/chCTe) nor in a
// cancellation event of the document.
//
// Searching a download folder reads every listed file, for the document
// and for its cancellation events. Most files of such a folder hold other
// keys, and a full parse of each is by far the largest cost of the search.
// The check lets the search pass over a file without parsing it, but only
// when the file provably cannot hold the key as the text of an element;
// every other file is parsed as before, so the outcome is always the one a
// parse of every file would give. The argument is in key_precheck.cpp.
#pragma once

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

namespace idf {

class KeyPrecheck {
public:
    // `ansi_key` is the wanted key as the search compares it (ANSI).
    explicit KeyPrecheck(std::string_view ansi_key);

    // False only when the file with these bytes cannot carry the key in
    // its protocol; true when it may, or when in any doubt.
    bool may_carry_key(std::string_view bytes) const;

    // Whether the check can pass over any file at all for this key.
    bool active() const { return active_; }

private:
    std::string key_;
    bool active_ = false;
};

inline constexpr std::size_t access_key_length = 44;

// What the quick check knows of a file for every key at once: false when
// the file may carry any key (it must always be read), or when `on_key`
// returned false to stop; otherwise `on_key` has been called with every
// text in the shape of an access key (looks_like_access_key()) for which
// KeyPrecheck::may_carry_key() could let the file through (some more than
// once): a wanted key of that shape the calls do not name is one the check
// rules out. As fast as the check.
bool keys_carried(std::string_view bytes, const std::function<bool(std::string_view)>& on_key);

// The shape of an access key: 44 characters, ASCII digits but for the
// emitter's CNPJ (positions 7 to 20), which may hold capital letters.
bool looks_like_access_key(std::string_view text);

// The same check for codes of ASCII digits and letters (tpEvento): false
// only when the file with these bytes cannot hold any of them as the text
// of an element.
bool may_carry_code(std::string_view bytes, std::initializer_list<std::string_view> codes);

// True when the ANSI conversion of DOM text maps every character outside
// ASCII to at least one byte that is not an ASCII digit or letter, and each
// ASCII character to itself. Computed once.
bool ansi_keeps_ascii_alnum_apart();

}  // namespace idf
