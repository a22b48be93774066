// What the imports need from the operating system and its user interface.
// Implementations live in src/platform/; tests and the fuzzers use an
// in-memory one.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "values/regional.hpp"

namespace idf {

inline constexpr std::string_view exchange_file_name = "Integracao_Docs_Fiscal.ini";

// What stands at a path, as far as the exchange file may touch it: nothing,
// a plain file, or a link that leads to a plain file or nowhere (whose own
// name may be removed or replaced), or anything else (a folder, a device, a
// FIFO, a socket, or a link to one of them), which is never removed nor
// replaced.
enum class EntryKind { none, replaceable, other };

// A new exchange file being written. Its bytes go to a temporary file of its
// own beside the exchange file, which nothing ever reads; the temporary file
// takes the exchange file's name only in commit(), so that the name holds
// either the complete file or nothing. Destroyed without a successful
// commit, the temporary file is removed.
//
// The folder of the exchange file is the one its path named when the file
// was created, held until the object is destroyed: every step below (the
// temporary file, the rename, the old file's removal) happens in that
// folder, whatever is renamed or linked along the path meanwhile.
class OutputFile {
public:
    virtual ~OutputFile() = default;
    // What stands at the exchange file's name in the held folder.
    virtual EntryKind existing() = 0;
    // Removes the entry at the exchange file's name when it is replaceable.
    // False when it was not removed.
    virtual bool remove_existing() = 0;
    // False when the bytes did not all reach the file.
    virtual bool write(std::string_view bytes) = 0;
    // Flushes the file to the disk, closes it and renames it onto the
    // exchange file's name, replacing whatever entry is there (a link there
    // is replaced, never followed). False when any step failed, or when the
    // path no longer leads to the held folder; nothing is then left of the
    // temporary file.
    virtual bool commit() = 0;
};

// The identity of a file whatever its spelling: device and inode, or the
// volume and the file index on Windows.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The files read so far, by identity.
class FileIdentities {
public:
    // False when the file was there already.
    bool insert(const FileIdentity& file) { return files_.insert({file.volume, file.index}).second; }
    bool contains(const FileIdentity& file) const { return files_.contains({file.volume, file.index}); }

private:
    std::set<std::pair<std::uint64_t, std::uint64_t>> files_;
};

// What tells one version of a file from another without opening it, as the
// folder's listing gives it: its size, its last-write time and its change
// time (nanoseconds since 1970, UTC, on POSIX; 100-nanosecond ticks since
// 1601 on Windows), and its identity (inode and device; on Windows the file
// ID and the volume serial number). A platform gives a version only for a
// file whose change time moves on every write of its file system.
struct FileVersion {
    std::uint64_t size = 0;
    std::int64_t modified = 0;
    std::int64_t changed = 0;
    std::uint64_t inode = 0;
    std::uint64_t device = 0;
    bool operator==(const FileVersion&) const = default;
};

struct DirectoryListing {
    // The folder's full path, without a trailing separator except for a root.
    std::string folder;
    // Plain file names matching the mask, sorted ascending ignoring case.
    std::vector<std::string> names;
    // The mask the names match: "*.xml" unless the folder's path named one.
    std::string mask = "*.xml";
    // The version of each file named, in the same order, when the platform
    // keeps the index of searched folders (see cache_folder()); empty
    // otherwise, and nullopt for a file it could not tell.
    std::vector<std::optional<FileVersion>> versions;
};

// What read_file found at a path: the whole file, nothing to read (no such
// file, or a folder, device, FIFO or socket), a file larger than
// xml::Document::max_file_size (not read at all), or a plain file that
// could not be opened or read (permissions, a file held by another program
// without sharing, an I/O error).
// read_file_once also tells a file read before through another name.
enum class ReadStatus { read, absent, too_large, unreadable, read_before };

struct FileBytes {
    FileBytes() = default;
    // What every platform writes as {status} or {status, bytes}.
    FileBytes(ReadStatus status_, std::string bytes_ = {}, std::optional<FileVersion> version_ = {})
        : status(status_), bytes(std::move(bytes_)), version(std::move(version_)) {}

    ReadStatus status = ReadStatus::absent;
    std::string bytes;  // the whole file when read, else empty
    // The version of the file opened, taken from the open descriptor or
    // handle (never from a second look at the path), when the platform
    // keeps the index of searched folders and could tell; else none. The
    // index records a file only when this equals the listing's version.
    std::optional<FileVersion> version = std::nullopt;
    explicit operator bool() const { return status == ReadStatus::read; }
    const std::string& operator*() const { return bytes; }
    const std::string* operator->() const { return &bytes; }
};

class Platform {
public:
    virtual ~Platform() = default;

    // The modal warning box (caption " A T E N Ç Ã O    ! ! !", OK only,
    // exclamation icon). The text is UTF-8.
    virtual void mensagem_atencao(std::string_view text) = 0;

    // The open-file dialog for "*.xml" files; nullopt when the user cancels
    // or the dialog fails.
    virtual std::optional<std::string> open_file_dialog() = 0;

    // The folder that receives the exchange file: the host executable's.
    // Empty when it cannot be determined.
    virtual std::string exchange_folder() = 0;

    // Appends a file name to a folder path.
    virtual std::string join_path(std::string_view folder, std::string_view name) = 0;

    // The full path of the exchange file, the one place the import takes it
    // from: exchange_file_name in exchange_folder(). nullopt when the folder
    // cannot be determined; the import then fails as when the file cannot
    // be created, and never writes to another folder.
    virtual std::optional<std::string> exchange_file_path() {
        std::string folder = exchange_folder();
        if (folder.empty()) return std::nullopt;
        return join_path(folder, exchange_file_name);
    }

    // Lists the files of `folder` as the search for the document does:
    // a wildcard in the last component replaces the mask "*.xml"; plain
    // files only, hidden and system files left out; sorted ignoring case.
    // The folder becomes the process's current folder, unless the
    // platform was made with SearchFolder::leaves_current. nullopt when the
    // folder does not exist or cannot be read.
    virtual std::optional<DirectoryListing> list_directory(const std::string& folder) = 0;

    // Lists the files beside `file` as list_directory lists the folder
    // holding it with the mask "*.xml", but never changes the current
    // folder. nullopt when that folder cannot be read.
    virtual std::optional<DirectoryListing> list_folder_of(const std::string& file) = 0;

    // The name of a file without its folder.
    virtual std::string file_name_part(std::string_view path) = 0;

    // A path or file name, in the encoding the platform gives them, as
    // UTF-8 for messages and results.
    virtual std::string path_to_utf8(std::string_view path) { return std::string(path); }

    // Exchange-file operations.
    virtual bool delete_file(const std::string& path) = 0;
    // The entry at `path` itself; a link is classed by what it leads to,
    // but only its own name is ever removed or replaced.
    virtual EntryKind entry_kind(const std::string& path) = 0;
    // The identity of the file at `path`: of the entry itself, or of what a
    // link there leads to with `follow_links`. nullopt when there is none or
    // the platform cannot tell.
    virtual std::optional<FileIdentity> file_identity(const std::string& path, bool follow_links) {
        (void)path;
        (void)follow_links;
        return std::nullopt;
    }
    // Starts a new file that commit() will put at `path`: the folder is
    // opened and held, then a uniquely named temporary file is created in
    // it, exclusively and never through a link. Temporary files of earlier
    // calls that provably belong to no running call (left by a killed
    // process) are removed first. nullptr when the file cannot be created.
    virtual std::unique_ptr<OutputFile> create_file(const std::string& path) = 0;

    // Reads a whole plain file (see FileBytes). A file larger than
    // xml::Document::max_file_size is told by its size, without reading it.
    virtual FileBytes read_file(const std::string& path) = 0;
    // The same, once per file: a file whose identity is in `read` is not
    // read again (ReadStatus::read_before), and the file read is added to
    // it. A platform that cannot tell identities reads every file.
    virtual FileBytes read_file_once(const std::string& path, FileIdentities& read) {
        (void)read;
        return read_file(path);
    }

    // Reads the plain file at `path` from its start in pieces of bounded
    // size, each handed to `on_piece` in order, until the end or until
    // `on_piece` returns false: a file too large to read whole is looked
    // at in bounded memory. False when the file could not be opened or
    // read to the end asked for.
    virtual bool read_in_pieces(const std::string& path, const std::function<bool(std::string_view)>& on_piece) {
        (void)path;
        (void)on_piece;
        return false;
    }

    // A text in the host's encoding (arguments, paths) converted to the
    // ANSI code page.
    virtual std::string host_to_ansi(std::string_view text) = 0;

    // The index of the folders searched, one file per folder, in this
    // user's cache folder for the library: the folder, created when
    // missing; nullopt when there is none, it cannot be created, or the
    // index is turned off (the environment variable IDF_SEM_INDICE=1).
    virtual std::optional<std::string> cache_folder() { return std::nullopt; }
    // Reads a file of the cache folder (an index) as read_file does, but
    // only a plain file of this user's own that nobody else may write,
    // never through a link; anything else is ReadStatus::unreadable.
    virtual FileBytes read_cache_file(const std::string& path) { return read_file(path); }
    // Puts `bytes` at `path` whole: written under a new temporary name
    // beside it, then renamed onto it, so that the path holds the old file
    // or the new one. False when any step failed; nothing of the temporary
    // file is then left.
    virtual bool replace_file(const std::string& path, std::string_view bytes) {
        (void)path;
        (void)bytes;
        return false;
    }
    // The time now, as FileVersion gives the times of files.
    virtual std::int64_t now() { return 0; }
};

// Declares, in the class of a platform, every member of Platform that the
// platform implements, so that its header adds only what is its own.
#define IDF_PLATFORM_MEMBERS                                                            \
    void mensagem_atencao(std::string_view text) override;                              \
    std::optional<std::string> open_file_dialog() override;                             \
    std::string exchange_folder() override;                                             \
    std::string join_path(std::string_view folder, std::string_view name) override;     \
    std::optional<DirectoryListing> list_directory(const std::string& folder) override; \
    std::optional<DirectoryListing> list_folder_of(const std::string& file) override;   \
    std::string file_name_part(std::string_view path) override;                         \
    EntryKind entry_kind(const std::string& path) override;                             \
    bool delete_file(const std::string& path) override;                                 \
    std::unique_ptr<OutputFile> create_file(const std::string& path) override;          \
    FileBytes read_file(const std::string& path) override;                              \
    std::string host_to_ansi(std::string_view text) override

// Whether the search makes its folder the process's current folder, as the
// classic calls do (their hosts may rely on it), or leaves the current
// folder alone, for hosts whose other threads rely on theirs.
enum class SearchFolder { becomes_current, leaves_current };

// DOM text (UTF-16) converted to the ANSI code page; characters the code
// page cannot hold become its default character.
std::string to_ansi(std::u16string_view text);

// The system's cryptography, for the document's signature: OpenSSL's
// libcrypto on Linux, CNG and the certificate functions of Windows. Bytes
// in and out; nothing here reads a file or the network, and no certificate
// chain is ever built or trusted.
namespace cripto {

enum class Hash { sha1, sha256 };

// The digest of `bytes` (20 bytes for SHA-1, 32 for SHA-256). Raises
// std::runtime_error when the system cannot compute it.
std::string digest(Hash hash, std::string_view bytes);

// What the library reads of an X.509 certificate: the otherName entries of
// its subject alternative name (the object identifier, dotted, and the
// bytes of the string it holds) and its subject's common name (UTF-8, the
// first one; empty when none).
struct Certificado {
    std::vector<std::pair<std::string, std::string>> other_names;
    std::string common_name;
};

// The certificate in DER form, read; none when it cannot be read (any
// malformed or truncated input).
std::optional<Certificado> le_certificado(std::string_view der);

// Whether `signature` is the RSA PKCS#1 v1.5 signature of `data` with
// `hash`, under the public key of the certificate `der`. False for any
// malformed input (a certificate that cannot be read, a key that is not
// RSA, a signature of the wrong size).
bool verifica_rsa(Hash hash, std::string_view der, std::string_view data, std::string_view signature);

}  // namespace cripto

}  // namespace idf
