// The search's index of a folder: what the quick check learned from each
// file's bytes, kept between calls, so that a repeated search reads only
// the files that changed.
//
// Every search reads its whole folder, for the document and for its
// cancellation events. For each file read, the index records the access
// keys for which the quick check could let it through (keys_carried(),
// key_precheck.hpp), or that it must always be read (the check cannot
// decide, more keys than an entry holds, or bytes that could not be parsed
// and hold a cancellation code), with its version (FileVersion): only when
// the file opened is the version the listing gave. The index passes over
// only what the quick check of the same search would pass over. A later
// search passes over a file unread only when the
// listing gives exactly the recorded version, that version was not written
// within 2 s of the moment the index was made (a file changed twice within
// one tick of its file system's clock looks unchanged), and the recorded
// keys do not hold the wanted one. Every other file is read and checked as
// without the index, and its entry made anew; the document and every
// cancellation found are always read, since the index never stores what a
// file is, only which keys it cannot carry.
//
// One file per folder in the platform's cache folder, named after the
// folder's full path, written whole under a temporary name and renamed; a
// format version and a checksum guard it. An index that is missing,
// unreadable, damaged, of another version or of another folder is ignored
// (the search reads every file) and made anew; one that cannot be written
// is not. It never changes what the call finds, says or returns.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/platform.hpp"
#include "search/key_precheck.hpp"

namespace idf {

class FolderIndex {
public:
    // The index of the listed folder (its full path, the names listed and,
    // in the same order, each file's version; an index only when the
    // listing gives the versions), read when the platform keeps one.
    // `chave` is the wanted key as the quick check takes it (ANSI, without
    // blanks at either end); the index passes over files only for a key in
    // the shape of an access key (looks_like_access_key()), when the ANSI
    // conversion keeps ASCII digits and letters apart.
    FolderIndex(Platform& platform, const std::string& folder, const std::vector<std::string>& names,
                const std::vector<std::optional<FileVersion>>& versions, std::string_view chave);

    // True when the listed file `name` need not be read: its recorded
    // version is trusted and its recorded keys do not hold the wanted key.
    bool skips(std::string_view name);

    // Whether the listed file `name`, just read, may carry the wanted key:
    // what `precheck` says of its bytes. What the bytes say of every key is
    // recorded on the way, when the file read is the version listed and
    // was read whole.
    bool may_carry_key(std::string_view name, const FileBytes& file, const KeyPrecheck& precheck);

    // The listed file `name`, recorded in this search, must be read by
    // every search (it could not be parsed and may hold a cancellation).
    void always_read(std::string_view name);

    // Writes the index when what it holds has changed. Raises nothing but
    // for memory; a failure leaves the old index, or none.
    void save();

    // The name of a folder's index file in the cache folder.
    static std::string file_name(std::string_view folder);

private:
    enum State : std::uint8_t { unknown, trusted, fresh };
    struct Entry {
        std::uint32_t first_key = 0;  // into keys_
        std::uint16_t key_count = 0;
        State state = unknown;
        bool always_read = false;
    };

    std::optional<std::size_t> position(std::string_view name);
    void load(std::string_view bytes);
    void keep(std::size_t at, const Entry& entry);

    Platform& platform_;
    const std::string& folder_;
    const std::vector<std::string>& names_;
    const std::vector<std::optional<FileVersion>>& versions_;
    std::optional<std::string> path_;  // none: no index for this folder
    bool usable_ = false;              // the wanted key can be looked up
    std::uint64_t wanted_ = 0;
    std::int64_t started_ = 0;  // the moment the new index is made
    bool changed_ = false;
    std::vector<Entry> entries_;  // one per listed name
    std::vector<std::uint64_t> keys_;
    std::size_t last_ = 0;
    std::unordered_map<std::string_view, std::size_t> by_name_;  // made on the first miss
};

}  // namespace idf
