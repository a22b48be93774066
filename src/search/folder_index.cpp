// The index file, little-endian whatever the machine:
//
//   "IDFINDEX", format version (u32), the moment it was made (i64, as
//   Platform::now()), the folder's full path (u32 length, bytes), the
//   number of entries (u32), the entries, then a checksum of all the bytes
//   before it (u64, hash() below).
//   Each entry: its name as the bytes it shares with the previous entry's
//   name and the rest (varint, varint, bytes); its version (size varint,
//   modified i64, changed i64, inode varint, device varint); 1 when the
//   file must always be read, else 0 and its keys (varint count, u64 hash
//   of each).
//
// Keys are kept as 64-bit hashes: two keys with the same hash only make a
// file read that could have been passed over.
#include "search/folder_index.hpp"

#include <algorithm>
#include <cstring>

#include "values/data_error.hpp"
#include "xml/tree.hpp"

namespace idf {

namespace {

constexpr std::string_view magic = "IDFINDEX";
// 2: the keys of a file are every piece in the shape of a key of its runs
// (version 1 kept only whole runs, which let the index pass over files the
// quick check would read).
constexpr std::uint32_t format_version = 2;
// A file changed within this long of the moment the index is made may
// change again within the same tick of its clock and keep its version.
constexpr std::int64_t racy_ns = 2'000'000'000;
// The platforms read a file of at most this size whole.
constexpr std::size_t max_index_size = 16u << 20;

std::uint64_t mix(std::uint64_t h) {
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDULL;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ULL;
    h ^= h >> 33;
    return h;
}

// Eight bytes at a time: the checksum of a 100,000-file index costs a few
// milliseconds.
std::uint64_t hash(std::string_view bytes) {
    std::uint64_t h = 0x9E3779B97F4A7C15ULL ^ bytes.size();
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word = 0;
        for (int k = 7; k >= 0; --k) word = word << 8 | static_cast<unsigned char>(bytes[i + k]);
        h = (h ^ mix(word)) * 0x9FB21C651E98DF25ULL;
    }
    std::uint64_t rest = 0;
    for (std::size_t k = bytes.size(); k > i; --k) rest = rest << 8 | static_cast<unsigned char>(bytes[k - 1]);
    return mix(h ^ mix(rest));
}

class Writer {
public:
    void fixed(std::uint64_t value, int bytes) {
        for (int k = 0; k < bytes; ++k) out += static_cast<char>(value >> (8 * k) & 0xFF);
    }
    void varint(std::uint64_t value) {
        while (value >= 0x80) {
            out += static_cast<char>((value & 0x7F) | 0x80);
            value >>= 7;
        }
        out += static_cast<char>(value);
    }
    std::string out;
};

// Reads what Writer wrote; any read past the end or malformed value raises
// DataError.
class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}
    std::uint64_t fixed(int bytes) {
        need(static_cast<std::size_t>(bytes));
        std::uint64_t value = 0;
        for (int k = bytes - 1; k >= 0; --k) value = value << 8 | static_cast<unsigned char>(bytes_[at_ + k]);
        at_ += static_cast<std::size_t>(bytes);
        return value;
    }
    std::uint64_t varint() {
        std::uint64_t value = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            need(1);
            const auto byte = static_cast<unsigned char>(bytes_[at_++]);
            value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
            if (!(byte & 0x80)) return value;
        }
        throw DataError("index: varint");
    }
    std::string_view take(std::uint64_t n) {
        need(n);
        const std::string_view piece = bytes_.substr(at_, static_cast<std::size_t>(n));
        at_ += static_cast<std::size_t>(n);
        return piece;
    }
    bool done() const { return at_ == bytes_.size(); }

private:
    void need(std::uint64_t n) const {
        if (n > bytes_.size() - at_) throw DataError("index: truncated");
    }
    std::string_view bytes_;
    std::size_t at_ = 0;
};

// The index names the keys in the shape of an access key only
// (keys_carried()): it passes over files for such a key alone.
bool usable_key(std::string_view chave) { return looks_like_access_key(chave) && KeyPrecheck(chave).active(); }

// The most keys recorded for one file: a file that may carry more is
// always read.
constexpr std::size_t max_keys = 0xFFFF;

}  // namespace

std::string FolderIndex::file_name(std::string_view folder) {
    static constexpr char hex[] = "0123456789abcdef";
    std::string name;
    for (std::uint64_t h = hash(folder), k = 0; k < 16; ++k) name += hex[h >> (60 - 4 * k) & 0xF];
    return name + ".idx";
}

FolderIndex::FolderIndex(Platform& platform, const std::string& folder, const std::vector<std::string>& names,
                         const std::vector<std::optional<FileVersion>>& versions, std::string_view chave)
    : platform_(platform), folder_(folder), names_(names), versions_(versions) {
    if (versions.size() != names.size()) return;
    const auto cache = platform.cache_folder();
    if (!cache) return;
    started_ = platform.now();
    path_ = platform.join_path(*cache, file_name(folder));
    entries_.resize(names.size());
    usable_ = usable_key(chave);
    if (usable_) wanted_ = hash(chave);
    changed_ = true;  // until an index is read
    const auto bytes = platform.read_cache_file(*path_);
    if (!bytes) return;
    try {
        load(*bytes);
    } catch (const DataError&) {
        // A damaged index is made anew.
        std::fill(entries_.begin(), entries_.end(), Entry{});
        keys_.clear();
        changed_ = true;
    }
    last_ = 0;
}

void FolderIndex::load(std::string_view bytes) {
    if (bytes.size() < magic.size() + 8 || !bytes.starts_with(magic)) return;
    const std::string_view body = bytes.substr(0, bytes.size() - 8);
    Reader tail(bytes.substr(body.size()));
    if (tail.fixed(8) != hash(body)) return;
    Reader in(body);
    in.take(magic.size());
    if (in.fixed(4) != format_version) return;
    const auto made = static_cast<std::int64_t>(in.fixed(8));
    if (in.take(in.fixed(4)) != folder_) return;
    const std::uint64_t count = in.fixed(4);
    changed_ = false;
    std::string name;
    for (std::uint64_t n = 0; n < count; ++n) {
        const std::uint64_t shared = in.varint();
        if (shared > name.size()) throw DataError("index: name");
        name.resize(static_cast<std::size_t>(shared));
        name += in.take(in.varint());
        FileVersion version;
        version.size = in.varint();
        version.modified = static_cast<std::int64_t>(in.fixed(8));
        version.changed = static_cast<std::int64_t>(in.fixed(8));
        version.inode = in.varint();
        version.device = in.varint();
        Entry entry;
        entry.always_read = in.take(1) != std::string_view("\0", 1);
        std::uint64_t key_count = 0;
        if (!entry.always_read) key_count = in.varint();
        if (key_count > max_keys) throw DataError("index: keys");
        entry.first_key = static_cast<std::uint32_t>(keys_.size());
        entry.key_count = static_cast<std::uint16_t>(key_count);
        for (std::uint64_t k = 0; k < key_count; ++k) keys_.push_back(in.fixed(8));
        std::sort(keys_.begin() + entry.first_key, keys_.end());  // looked up by bisection
        const auto at = position(name);
        const auto& listed = at ? versions_[*at] : std::nullopt;
        // Only a file provably the same, changed well before the index was
        // made, is trusted.
        if (listed && *listed == version && std::max(version.modified, version.changed) + racy_ns < made) {
            entry.state = trusted;
            entries_[*at] = entry;
        } else {
            keys_.resize(entry.first_key);
            changed_ = true;  // gone, changed or racy
        }
    }
    if (!in.done()) throw DataError("index: trailing bytes");
}

std::optional<std::size_t> FolderIndex::position(std::string_view name) {
    const std::vector<std::string>& names = names_;
    for (std::size_t at = last_; at < names.size() && at < last_ + 2; ++at) {
        if (names[at] == name) return last_ = at;
    }
    if (by_name_.empty()) {
        by_name_.reserve(names.size());
        for (std::size_t at = 0; at < names.size(); ++at) by_name_.emplace(names[at], at);
    }
    const auto found = by_name_.find(name);
    if (found == by_name_.end()) return std::nullopt;
    return last_ = found->second;
}

bool FolderIndex::skips(std::string_view name) {
    if (!path_ || !usable_) return false;
    const auto at = position(name);
    if (!at) return false;
    const Entry& entry = entries_[*at];
    if (entry.state != trusted || entry.always_read) return false;
    const auto first = keys_.begin() + entry.first_key;
    return !std::binary_search(first, first + entry.key_count, wanted_);
}

bool FolderIndex::may_carry_key(std::string_view name, const FileBytes& file, const KeyPrecheck& precheck) {
    // The quick check decides for every file read: the index only learns
    // from it what it may pass over next time. A file the index records
    // must be the one the listing gave: the bytes
    // of the file opened, of the version listed, read whole (no more bytes
    // than the XML layer takes).
    const auto at = path_ && file.bytes.size() <= xml::Document::max_file_size ? position(name) : std::nullopt;
    if (!at || !versions_[*at] || file.version != versions_[*at]) return precheck.may_carry_key(file.bytes);
    Entry entry;
    entry.state = fresh;
    entry.first_key = static_cast<std::uint32_t>(keys_.size());
    // Pieces are named once per place they stand: a file naming many more
    // than it may keep is always read without counting them all.
    entry.always_read = !keys_carried(file.bytes, [&](std::string_view key) {
        keys_.push_back(hash(key));
        return keys_.size() - entry.first_key <= 16 * max_keys;
    });
    const auto mine = keys_.begin() + entry.first_key;
    std::sort(mine, keys_.end());
    keys_.erase(std::unique(mine, keys_.end()), keys_.end());
    const std::size_t count = keys_.size() - entry.first_key;
    // Every key the check could let these bytes through for is named
    // (keys_carried()), unless the file is always read: when the wanted one
    // is not, the check would pass the file over, and its answer is known
    // without reading the bytes again. Otherwise it is asked.
    const bool named = !usable_ || std::binary_search(mine, keys_.end(), wanted_);
    const bool carries = entry.always_read || named ? precheck.may_carry_key(file.bytes) : false;
    if (count > max_keys) entry.always_read = true;
    if (entry.always_read) {
        keys_.resize(entry.first_key);
    } else {
        entry.key_count = static_cast<std::uint16_t>(count);
    }
    keep(*at, entry);
    return carries;
}

void FolderIndex::always_read(std::string_view name) {
    const auto at = path_ ? position(name) : std::nullopt;
    if (!at || entries_[*at].state == unknown || entries_[*at].always_read) return;
    Entry entry = entries_[*at];
    entry.key_count = 0;
    entry.always_read = true;
    entries_[*at] = entry;
    changed_ = true;
}

// The new entry of the file at `at`, whose keys end keys_.
void FolderIndex::keep(std::size_t at, const Entry& entry) {
    const Entry old = entries_[at];
    const auto old_keys = keys_.begin() + old.first_key;
    if (old.state == trusted && old.always_read == entry.always_read && old.key_count == entry.key_count &&
        std::equal(old_keys, old_keys + old.key_count, keys_.begin() + entry.first_key)) {
        keys_.resize(entry.first_key);  // read again as it was: the index stays as it is
    } else {
        entries_[at] = entry;
        changed_ = true;
    }
}

void FolderIndex::save() {
    if (!path_ || !changed_) return;
    Writer out;
    out.out.append(magic);
    out.fixed(format_version, 4);
    out.fixed(static_cast<std::uint64_t>(started_), 8);
    out.fixed(folder_.size(), 4);
    out.out += folder_;
    const std::size_t count_at = out.out.size();
    out.fixed(0, 4);
    std::uint32_t count = 0;
    std::string_view previous;
    for (std::size_t at = 0; at < entries_.size(); ++at) {
        const Entry& entry = entries_[at];
        const auto& version = versions_[at];
        if (entry.state == unknown || !version) continue;
        const std::string& name = names_[at];
        std::size_t shared = 0;
        while (shared < previous.size() && shared < name.size() && previous[shared] == name[shared]) ++shared;
        out.varint(shared);
        out.varint(name.size() - shared);
        out.out.append(name, shared);
        out.varint(version->size);
        out.fixed(static_cast<std::uint64_t>(version->modified), 8);
        out.fixed(static_cast<std::uint64_t>(version->changed), 8);
        out.varint(version->inode);
        out.varint(version->device);
        out.out += entry.always_read ? '\1' : '\0';
        if (!entry.always_read) {
            out.varint(entry.key_count);
            for (std::size_t k = 0; k < entry.key_count; ++k) out.fixed(keys_[entry.first_key + k], 8);
        }
        previous = name;
        ++count;
    }
    for (int k = 0; k < 4; ++k) out.out[count_at + k] = static_cast<char>(count >> (8 * k) & 0xFF);
    out.fixed(hash(out.out), 8);
    if (out.out.size() > max_index_size) return;  // could not be read back whole
    platform_.replace_file(*path_, out.out);
}

}  // namespace idf
