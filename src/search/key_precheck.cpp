// Why the check is sound. The key element matches when its only child, a
// text node or a CDATA section, converts to exactly the wanted key (a
// cancellation event: to the key with blanks around it). The check is
// active only for a key of ASCII digits and letters, and only when the ANSI
// conversion gives every character outside ASCII bytes that are none of
// those; so a matching text holds exactly the key's characters in one run.
// A file is passed over only when:
//  (a) it is read as UTF-8 or as a single-byte ASCII superset (it starts
//      with "<" after an optional UTF-8 byte-order mark and blanks, holds
//      no NUL byte, declares no encoding or a known ASCII-compatible one,
//      and holds nothing that reads as an overlong UTF-8 form), so each
//      ASCII digit or letter of its text is written as its own byte;
//  (b) it holds no "<!" other than a comment's "<!--" or a CDATA section's
//      "<![CDATA[": no document type declaration, hence no entity but the
//      five predefined ones;
//  (c) every "&" outside comments, CDATA sections and processing
//      instructions starts "&amp;", "&lt;", "&gt;", "&quot;", "&apos;" or
//      a character reference to a character that is no ASCII digit or
//      letter ("&#227;"): no reference that spells a digit or a letter, no
//      other entity (inside them "&" is a plain character, as the query
//      strings of an NFC-e's QR code have it);
//  (d) the key is none of the maximal runs of ASCII digits and letters of
//      its bytes or, when it holds a comment, a CDATA section or a
//      processing instruction after its head, of its joined text: the
//      bytes read in order with each comment and processing instruction
//      left out and each CDATA section replaced by its content (a
//      construct left open makes the file parsed).
// By (b) and (c) character data is written literally, except references
// to characters that are not ASCII digits or letters, each of which, like
// its "&" and ";" in the bytes, ends a run (its own digits are a run apart,
// which only makes the check let more through), and a CDATA
// section's content is its text as written. A text node is the character
// data between two pieces of markup, a CDATA node the content of one
// section; a parser that joins neighbouring text, CDATA sections and the
// text around a comment or a processing instruction into one text makes a
// run of the joined text, since tags, which no parser joins across, stay in
// it. So a text made of the key's characters is one run of the file's
// characters in the joined text (or in the bytes, when there is nothing to
// join), and by (a) one run of bytes equal to the key; as the text holds
// nothing else but blanks, and tags bound it, that run is maximal, which
// (d) rules out. So whatever the key, the keys a file passing (a) to (c)
// can carry are among those maximal runs.
// The index of a folder (keys_carried()) must pass over exactly the files
// this check passes over, never one more: for every key the check could
// let a file through for, it names the key. That is every piece of a key's
// length, in the shape of an access key, of the maximal runs of the bytes
// (the check finds the key anywhere in them) and of the joined text; a file
// the check cannot decide ((a) to (c) fail) is always read.
// The joined text is read the way a parser reads the file, so for a
// well-formed file it holds exactly that file's character data; a file that
// is not well-formed cannot be parsed and so never matches.
#include "search/key_precheck.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>

#include "common/platform.hpp"
#include "values/text.hpp"

namespace idf {

namespace {

bool is_xml_blank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Boyer-Moore-Horspool: the key is long (44 characters) and the file much
// longer, so most steps skip the key's whole length.
bool contains(std::string_view haystack, std::string_view needle) {
    const std::size_t n = needle.size();
    if (n == 0) return true;
    if (haystack.size() < n) return false;
    std::array<std::size_t, 256> skip;
    skip.fill(n);
    for (std::size_t i = 0; i + 1 < n; ++i) skip[static_cast<unsigned char>(needle[i])] = n - 1 - i;
    const char last = needle[n - 1];
    std::size_t pos = 0;
    while (pos + n <= haystack.size()) {
        const char c = haystack[pos + n - 1];
        if (c == last && haystack.compare(pos, n - 1, needle.substr(0, n - 1)) == 0) return true;
        pos += skip[static_cast<unsigned char>(c)];
    }
    return false;
}

enum class Decoding { utf8, single_byte, unknown };

// The encodings in which an ASCII digit or letter is written as its ASCII
// byte and no other byte sequence stands for it.
Decoding declared_decoding(std::string_view name) {
    std::string n;
    for (const char c : name) n += lower(c);
    if (n == "utf-8" || n == "utf8") return Decoding::utf8;
    static constexpr std::array<std::string_view, 11> single_byte{
        "iso-8859-1", "iso8859-1",    "iso_8859-1", "latin1",   "iso-8859-15", "iso8859-15",
        "latin-9",    "windows-1252", "cp1252",     "us-ascii", "ascii"};
    if (std::find(single_byte.begin(), single_byte.end(), n) != single_byte.end()) return Decoding::single_byte;
    return Decoding::unknown;
}

// How the parser will decode the file, judged from its head: an optional
// UTF-8 byte-order mark, blanks, then "<", and an XML declaration naming a
// known ASCII-compatible encoding (UTF-8 only after the mark), or none.
Decoding head_decoding(std::string_view bytes) {
    std::size_t p = 0;
    const bool utf8_mark = bytes.starts_with("\xEF\xBB\xBF");
    if (utf8_mark) p = 3;
    while (p < bytes.size() && is_xml_blank(static_cast<unsigned char>(bytes[p]))) ++p;
    if (p >= bytes.size() || bytes[p] != '<') return Decoding::unknown;
    const std::string_view head = bytes.substr(p);
    if (head.size() < 6 || head.substr(0, 5) != "<?xml" || !is_xml_blank(static_cast<unsigned char>(head[5])))
        return Decoding::utf8;  // no declaration: UTF-8

    const std::size_t end = head.find("?>");
    if (end == std::string_view::npos || end > 1024) return Decoding::unknown;
    const std::string_view decl = head.substr(5, end - 5);
    const std::size_t at = decl.find("encoding");
    if (at == std::string_view::npos) return Decoding::utf8;
    std::size_t q = at + 8;
    while (q < decl.size() && is_xml_blank(static_cast<unsigned char>(decl[q]))) ++q;
    if (q >= decl.size() || decl[q] != '=') return Decoding::unknown;
    ++q;
    while (q < decl.size() && is_xml_blank(static_cast<unsigned char>(decl[q]))) ++q;
    if (q >= decl.size() || (decl[q] != '"' && decl[q] != '\'')) return Decoding::unknown;
    const char quote = decl[q++];
    const std::size_t close = decl.find(quote, q);
    if (close == std::string_view::npos) return Decoding::unknown;
    const Decoding declared = declared_decoding(decl.substr(q, close - q));
    // With a UTF-8 mark, a parser may read UTF-8 whatever is declared.
    if (utf8_mark && declared != Decoding::utf8) return Decoding::unknown;
    return declared;
}

// (c): whether the "&" at `amp` starts a reference to a character that
// cannot be part of a key: one of the five predefined entities, or a
// character reference to anything but an ASCII digit or letter (an accent
// written "&#227;", a line break "&#13;"). Such a character ends a run of
// the text exactly where the reference's "&" and ";" end the runs of the
// bytes, and the check, active only where the ANSI conversion keeps every
// other character apart from ASCII digits and letters, never reads it as
// one; the reference's own digits only make a short run of their own.
bool harmless_reference(std::string_view bytes, std::size_t amp) {
    const std::string_view rest = bytes.substr(amp + 1, 5);
    if (rest.starts_with("amp;") || rest.starts_with("lt;") || rest.starts_with("gt;") || rest.starts_with("quot;") ||
        rest.starts_with("apos;"))
        return true;
    std::size_t at = amp + 1;
    if (at >= bytes.size() || bytes[at] != '#') return false;
    const bool hex = ++at < bytes.size() && bytes[at] == 'x';
    if (hex) ++at;
    // More digits than any character needs (leading zeros included): the
    // check does not decide.
    constexpr std::size_t most_digits = 8;
    std::uint32_t value = 0;
    std::size_t digits = 0;
    for (; at < bytes.size() && digits <= most_digits; ++at, ++digits) {
        const char c = bytes[at];
        std::uint32_t digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<std::uint32_t>(c - '0');
        } else if (hex && c >= 'a' && c <= 'f') {
            digit = static_cast<std::uint32_t>(c - 'a' + 10);
        } else if (hex && c >= 'A' && c <= 'F') {
            digit = static_cast<std::uint32_t>(c - 'A' + 10);
        } else {
            break;
        }
        value = value * (hex ? 16 : 10) + digit;
    }
    if (digits == 0 || digits > most_digits || at >= bytes.size() || bytes[at] != ';') return false;
    return value >= 0x80 || !is_ascii_alnum(static_cast<unsigned char>(value));
}

bool has_other_reference(std::string_view bytes) {
    for (std::size_t pos = bytes.find('&'); pos != std::string_view::npos; pos = bytes.find('&', pos + 1))
        if (!harmless_reference(bytes, pos)) return true;
    return false;
}

// What one pass over the bytes finds for (a) to (c).
enum class Scan {
    maybe,   // the file may carry the key: parse it
    plain,   // no comment, CDATA section or later processing instruction
    markup,  // comments, CDATA sections or processing instructions: the
             // joined text decides
};

// 16 bytes at once, as the compiler's vector extension gives them on every
// target (vector instructions where there are some).
using Bytes16 = unsigned char __attribute__((vector_size(16)));

// Whether the 64 bytes at p hold one of the bytes that matter to scan()
// below. No vector crosses a call: a 32-bit target without vector
// registers passes them differently.
bool block_marked(const unsigned char* p) {
    Bytes16 any{};
    for (int k = 0; k < 4; ++k) {
        Bytes16 v;
        std::memcpy(&v, p + 16 * k, sizeof v);
        any |= reinterpret_cast<Bytes16>((v == 0) | (v == '!') | (v == '&') | (v == '?') | ((v & 0xFE) == 0xC0) |
                                         (v == 0xE0) | (v == 0xF0));
    }
    std::uint64_t low;
    std::uint64_t high;
    std::memcpy(&low, &any, sizeof low);
    std::memcpy(&high, reinterpret_cast<const unsigned char*>(&any) + sizeof low, sizeof high);
    return (low | high) != 0;
}

// One pass, for the cost of a folder read on every call: each block of 64
// bytes is first tested as a whole for the few bytes that matter, which most
// blocks of a fiscal document do not hold, and only blocks that hold one
// are looked at byte by byte:
Scan scan(std::string_view bytes, bool utf8) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    const std::size_t head = bytes.find('<');
    bool markup = false;
    bool reference = false;
    constexpr std::size_t block = 64;
    for (std::size_t start = 0; start < n; start += block) {
        const std::size_t end = std::min(n, start + block);
        if (end - start == block && !block_marked(p + start)) continue;
        for (std::size_t i = start; i < end; ++i) {
            switch (p[i]) {
                case 0:
                    return Scan::maybe;
                case 0xC0:
                case 0xC1:
                    if (utf8) return Scan::maybe;
                    break;
                case 0xE0:
                    if (utf8 && (i + 1 >= n || p[i + 1] < 0xA0)) return Scan::maybe;
                    break;
                case 0xF0:
                    if (utf8 && (i + 1 >= n || p[i + 1] < 0x90)) return Scan::maybe;
                    break;
                case '!':
                    if (i > 0 && p[i - 1] == '<') {
                        if (bytes.substr(i + 1, 2) != "--" && bytes.substr(i + 1, 7) != "[CDATA[") return Scan::maybe;
                        markup = true;
                    }
                    break;
                case '&':
                    if (!harmless_reference(bytes, i)) reference = true;
                    break;
                case '?':
                    if (i > 0 && p[i - 1] == '<' && i - 1 != head) markup = true;
                    break;
                default:
                    break;
            }
        }
    }
    if (markup) return Scan::markup;
    return reference ? Scan::maybe : Scan::plain;
}

// The maximal runs of ASCII digits and letters of at least `min_length`
// characters in a text given as consecutive segments. Most runs of a
// fiscal document are short: a run that long holds one of the positions
// min_length apart, so only those are looked at, and from the ones that are
// a digit or a letter the run is followed both ways.
class Runs {
public:
    // With `within_segments` false, only the runs that meet the end of a
    // segment are looked for (the others are runs of the bytes too).
    Runs(std::size_t min_length, const std::function<bool(std::string_view)>& on_run, bool within_segments = true)
        : min_(min_length), on_run_(on_run), within_(within_segments) {}

    // False once `on_run` asked to stop.
    bool segment(std::string_view s) {
        const auto* p = reinterpret_cast<const unsigned char*>(s.data());
        const std::size_t n = s.size();
        std::size_t lead = 0;
        while (lead < n && alnum(p[lead])) ++lead;
        if (lead == n) {  // the whole segment continues the open run
            carry(s);
            return !stopped_;
        }
        carry(s.substr(0, lead));
        if (!close()) return false;
        std::size_t tail = n;
        while (tail > lead && alnum(p[tail - 1])) --tail;
        // Between lead and tail: the first and last bytes are neither.
        for (std::size_t i = lead + min_; within_ && i < tail;) {
            if (!alnum(p[i])) {
                i += min_;
                continue;
            }
            std::size_t start = i;
            while (alnum(p[start - 1])) --start;
            std::size_t end = i + 1;
            while (alnum(p[end])) ++end;
            if (end - start >= min_ && !on_run_(s.substr(start, end - start))) return stop();
            i = end + min_;
        }
        carry(s.substr(tail));
        return true;
    }

    // The end of the text: the open run is complete.
    bool finish() { return close(); }

private:
    static bool alnum(unsigned char c) {
        static constexpr auto table = [] {
            std::array<bool, 256> t{};
            for (int c = 0; c < 256; ++c) t[c] = is_ascii_alnum(static_cast<unsigned char>(c));
            return t;
        }();
        return table[c];
    }

    void carry(std::string_view piece) {
        if (piece.empty()) return;
        // A run longer than any key is only counted.
        if (open_length_ + piece.size() <= 64) open_.append(piece);
        open_length_ += piece.size();
    }

    bool close() {
        const std::size_t length = std::exchange(open_length_, 0);
        bool go_on = true;
        if (length >= min_) go_on = on_run_(length == open_.size() ? std::string_view(open_) : std::string_view());
        open_.clear();
        return go_on || stop();
    }

    bool stop() {
        stopped_ = true;
        return false;
    }

    std::size_t min_;
    const std::function<bool(std::string_view)>& on_run_;
    bool within_;
    std::string open_;
    std::size_t open_length_ = 0;
    bool stopped_ = false;
};

// The runs of the joined text of a file with comments, CDATA sections or
// processing instructions, in one pass over its markup and without a copy:
// the bytes read in order with each comment and processing instruction
// left out and each CDATA section replaced by its content. False when a
// comment, a CDATA section or a processing instruction is left open, or
// when an "&" outside them starts no predefined entity (inside them it is a
// plain character); also when `runs` was stopped.
bool joined_runs(std::string_view bytes, Runs& runs) {
    std::size_t pos = 0;
    // The next "!" and "?" (scan() has made every "<!" a comment's or a
    // CDATA section's); both are rare in a fiscal document.
    std::size_t bang = bytes.find('!');
    std::size_t question = bytes.find('?');
    const auto outside = [&](std::string_view piece) { return !has_other_reference(piece) && runs.segment(piece); };
    for (;;) {
        while (bang != std::string_view::npos && (bang == 0 || bytes[bang - 1] != '<' || bang <= pos))
            bang = bytes.find('!', bang + 1);
        while (question != std::string_view::npos && (question == 0 || bytes[question - 1] != '<' || question <= pos))
            question = bytes.find('?', question + 1);
        const std::size_t mark = std::min(bang, question);
        if (mark == std::string_view::npos) return outside(bytes.substr(pos)) && runs.finish();
        const std::size_t open = mark - 1;
        if (!outside(bytes.substr(pos, open - pos))) return false;
        const std::string_view rest = bytes.substr(open);
        std::string_view close = "?>";
        std::size_t skip = 2;
        bool keep = false;
        if (rest.starts_with("<!--")) {
            close = "-->", skip = 4;
        } else if (rest.starts_with("<![CDATA[")) {
            close = "]]>", skip = 9, keep = true;
        }
        const std::size_t end = bytes.find(close, open + skip);
        if (end == std::string_view::npos) return false;
        if (keep && !runs.segment(bytes.substr(open + skip, end - open - skip))) return false;
        pos = end + close.size();
    }
}

// The maximal runs of ASCII digits and letters of at least `min_length`
// characters that the joined text of the file makes of pieces (runs of the
// bytes are not looked for), in order, after (a) to (c) hold: false when
// they do not (or `on_run` stopped the reading). A run longer than 64
// characters is handed over empty.
bool joined_text_runs(std::string_view bytes, std::size_t min_length,
                      const std::function<bool(std::string_view)>& on_run) {
    const Decoding decoding = head_decoding(bytes);  // (a)
    if (decoding == Decoding::unknown) return false;
    Runs runs(min_length, on_run, false);
    switch (scan(bytes, decoding == Decoding::utf8)) {  // (a), (b), (c)
        case Scan::maybe:
            return false;
        case Scan::plain:
            return true;  // nothing to join
        case Scan::markup:
            break;
    }
    return joined_runs(bytes, runs);
}

}  // namespace

bool looks_like_access_key(std::string_view text) {
    if (text.size() != access_key_length) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool digit = c >= '0' && c <= '9';
        // The emitter's CNPJ (positions 7 to 20) may hold capital letters.
        if (!digit && !(i >= 6 && i < 20 && c >= 'A' && c <= 'Z')) return false;
    }
    return true;
}

bool keys_carried(std::string_view bytes, const std::function<bool(std::string_view)>& on_key) {
    // The check finds the key anywhere in the bytes (an attribute, a
    // comment, inside a longer run): every piece of a key's length of every
    // run of the bytes that has the shape of a key is named.
    bool complete = true;
    const std::function<bool(std::string_view)> pieces = [&](std::string_view run) {
        if (run.empty()) return complete = false;  // a run too long to be kept across segments
        // A key is digits and capitals: only stretches of those long enough
        // are looked at (base64 text, with its small letters, has few).
        // Such a stretch holds one of the positions a key's length apart,
        // so only those are looked at, and the stretch followed both ways.
        const auto key_character = [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'); };
        for (std::size_t probe = access_key_length - 1; probe < run.size();) {
            if (!key_character(run[probe])) {
                probe += access_key_length;
                continue;
            }
            std::size_t start = probe;
            while (start > 0 && key_character(run[start - 1])) --start;
            std::size_t end = probe + 1;
            while (end < run.size() && key_character(run[end])) ++end;
            for (std::size_t at = start; at + access_key_length <= end; ++at) {
                const std::string_view piece = run.substr(at, access_key_length);
                if (looks_like_access_key(piece) && !on_key(piece)) return complete = false;
            }
            probe = end + access_key_length;
        }
        return true;
    };
    Runs raw(access_key_length, pieces);
    if (!raw.segment(bytes) || !raw.finish() || !complete) return false;
    // Then, as the text of an element, a run of the joined text equal to
    // the key. Where the check cannot decide, it parses the file: so must
    // the index.
    const std::function<bool(std::string_view)> joined = [&](std::string_view run) {
        return !looks_like_access_key(run) || on_key(run) || (complete = false);
    };
    return joined_text_runs(bytes, access_key_length, joined) && complete;
}

bool ansi_keeps_ascii_alnum_apart() {
    static const bool apart = [] {
        auto any_alnum = [](const std::string& text) {
            return std::any_of(text.begin(), text.end(),
                               [](char c) { return is_ascii_alnum(static_cast<unsigned char>(c)); });
        };
        // Every ASCII character must convert to itself.
        std::u16string ascii(0x80, u'\0');
        for (std::size_t c = 0; c < ascii.size(); ++c) ascii[c] = static_cast<char16_t>(c);
        const std::string ascii_out = to_ansi(ascii);
        if (ascii_out.size() != ascii.size()) return false;
        for (std::size_t c = 0; c < ascii.size(); ++c)
            if (static_cast<unsigned char>(ascii_out[c]) != c) return false;

        // Every other character of the basic plane must give one byte that
        // is not an ASCII digit or letter; each surrogate is given alone,
        // after a letter with an accent.
        constexpr std::size_t surrogates = 0xE000 - 0xD800;
        std::u16string bmp(0x10000 - 0x80 + surrogates, u'\0');
        std::size_t at = 0;
        for (std::uint32_t c = 0x80; c <= 0xFFFF; ++c) {
            if (c >= 0xD800 && c < 0xE000) bmp[at++] = u'\u00E9';
            bmp[at++] = static_cast<char16_t>(c);
        }
        const std::string bmp_out = to_ansi(bmp);
        if (bmp_out.size() != bmp.size() || any_alnum(bmp_out)) return false;

        // Characters beyond it, as surrogate pairs, must give at least one
        // byte each, none of them an ASCII digit or letter. A plane at a
        // time keeps the buffers small.
        std::u16string plane(2 * 0x10000, u'\0');
        for (std::uint32_t high = 0; high < 16; ++high) {
            for (std::uint32_t c = 0; c < 0x10000; ++c) {
                const std::uint32_t offset = (high << 16) | c;
                plane[2 * c] = static_cast<char16_t>(0xD800 + (offset >> 10));
                plane[2 * c + 1] = static_cast<char16_t>(0xDC00 + (offset & 0x3FF));
            }
            const std::string plane_out = to_ansi(plane);
            if (plane_out.size() < 0x10000 || any_alnum(plane_out)) return false;
        }
        return true;
    }();
    return apart;
}

KeyPrecheck::KeyPrecheck(std::string_view ansi_key) : key_(ansi_key) {
    active_ = !key_.empty() && std::all_of(key_.begin(), key_.end(), [](char c) {
        return is_ascii_alnum(static_cast<unsigned char>(c));
    }) && ansi_keeps_ascii_alnum_apart();
}

namespace {

// Whether the file with these bytes may hold one of `texts` (ASCII digits
// and letters) as the text of an element: the argument above, for each.
// Anywhere in the bytes (a comment too): parsed, as the simplest answer.
// Otherwise only a run that the joined text makes of pieces can be one.
bool may_carry_one_of(std::string_view bytes, std::initializer_list<std::string_view> texts) {
    std::size_t shortest = std::string_view::npos;
    for (const std::string_view text : texts) {
        if (contains(bytes, text)) return true;
        shortest = std::min(shortest, text.size());
    }
    bool found = false;
    const bool decided = joined_text_runs(bytes, shortest, [&](std::string_view run) {
        found = std::find(texts.begin(), texts.end(), run) != texts.end();
        return !found;
    });
    return found || !decided;
}

}  // namespace

bool KeyPrecheck::may_carry_key(std::string_view bytes) const {
    if (!active_) return true;
    return may_carry_one_of(bytes, {key_});
}

bool may_carry_code(std::string_view bytes, std::initializer_list<std::string_view> codes) {
    if (!ansi_keeps_ascii_alnum_apart()) return true;
    return may_carry_one_of(bytes, codes);
}

}  // namespace idf
