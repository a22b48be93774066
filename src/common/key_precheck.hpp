// A quick look at a file's bytes, before parsing it, that proves when the
// file cannot carry the wanted access key in its protocol.
//
// Searching a download folder parses the listed files in name order until
// one holds the key in protNFe/infProt/chNFe (CT-e: protCTe/infProt/chCTe).
// Most files of such a folder hold other keys, and a full parse of each is
// by far the largest cost of the search. The check below lets the search
// pass over a file without parsing it, but only when the file provably
// cannot match; every other file is parsed as before, so the file imported
// is always the one a parse of every file would choose.
//
// Why a byte search is enough. The key element matches only when its single
// text (or CDATA) child reads exactly as the key. For a key made of ASCII
// digits and letters, in a file whose encoding writes those characters as
// their ASCII bytes and nothing else as them, every character of that text
// is written in the file either literally or as a reference: a character
// reference (&#51;), or an entity, which needs a document type declaration.
// A comment, CDATA section or processing instruction inside the element
// makes it hold more than one child, and such an element never matches;
// still, the check does not lean on that where such markup touches a digit
// or letter (some parsers merge adjacent CDATA sections).
// So a file can be passed over when all of these hold:
//  - the key is ASCII digits and letters only, and the ANSI conversion of
//    the DOM text never turns any other character into one of them (nor
//    into nothing);
//  - the raw bytes do not contain the key;
//  - the file starts, after an optional UTF-8 byte-order mark and blanks,
//    with "<", declares no encoding or one of a few ASCII-compatible ones,
//    and holds no NUL byte (UTF-16 and UTF-32 hold NULs, EBCDIC does not
//    start with "<");
//  - it holds no markup declaration ("<!" other than a comment or CDATA
//    section), so no entity can be defined, and no comment, CDATA section
//    or processing instruction next to a digit, a letter or another CDATA
//    section;
//  - none of its character references stands for an ASCII digit or letter;
//  - read as UTF-8, it holds no overlong form of an ASCII character.
// Anything unexpected answers "may carry", and the parse decides.
#pragma once

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

// True when the ANSI conversion of DOM text maps every character outside
// ASCII to at least one byte that is not an ASCII digit or letter, and each
// ASCII character to itself. Computed once.
bool ansi_keeps_ascii_alnum_apart();

}  // namespace idf
