#include "platform/posix/posix_platform.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <limits>
#include <utility>

#include "platform/temp_name.hpp"
#include "values/text.hpp"
#include "xml/tree.hpp"

namespace idf {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

std::uint64_t random_bits() {
    std::uint64_t bits = 0;
    if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof bits)) return bits;
    // No entropy yet: the clock and a counter still make a name that is new
    // to this process, and O_EXCL refuses any name that exists.
    static std::atomic<std::uint64_t> counter{0};
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return (static_cast<std::uint64_t>(now.tv_sec) << 32) ^ static_cast<std::uint64_t>(now.tv_nsec) ^
           (++counter * 0x9E3779B97F4A7C15ULL);
}

// The folder of a path split by split_path, as the system opens it.
std::string openable(const std::string& folder) { return folder.empty() ? std::string(".") : folder; }

// A file descriptor, closed with its owner.
class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : fd_(fd) {}
    ~UniqueFd() {
        if (fd_ >= 0) ::close(fd_);
    }
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            if (fd_ >= 0) ::close(fd_);
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_;
};

// A folder opened to work inside it: for reading when it may be read, so
// that its changes can be flushed and its leftovers listed; else only as a
// place (a folder that may be written but not listed).
UniqueFd open_folder(const std::string& folder) {
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
#ifdef O_PATH
    if (!dir && errno == EACCES) dir = UniqueFd(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
#endif
    return dir;
}

// What stands at `name` in the folder `dir` (AT_FDCWD: a path as the
// system resolves it). A link counts as replaceable only when it leads
// nowhere or to a plain file: a link to a device (/dev/stdout), a FIFO, a
// socket or a folder is no old exchange file.
EntryKind kind_at(int dir, const char* name) {
    struct stat st {};
    if (::fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT || errno == ENOTDIR ? EntryKind::none : EntryKind::other;
    if (S_ISREG(st.st_mode)) return EntryKind::replaceable;
    if (!S_ISLNK(st.st_mode)) return EntryKind::other;
    struct stat target {};
    if (::fstatat(dir, name, &target, 0) != 0) return errno == ENOENT ? EntryKind::replaceable : EntryKind::other;
    return S_ISREG(target.st_mode) ? EntryKind::replaceable : EntryKind::other;
}

// A leftover temporary file is stale when no process holds its lock (every
// writer locks its file from creation to rename) and either the process
// named in it is gone or it was last written a while ago: the second
// condition covers the moment between a writer's open and its lock.
constexpr time_t stale_after_seconds = 60;

bool is_stale(int dir, const char* name, pid_t pid) {
    const int fd = ::openat(dir, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool stale = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (stale) {
        const bool gone = pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH;
        stale = gone || st.st_mtime + stale_after_seconds < ::time(nullptr);
    }
    ::close(fd);
    return stale;
}

// The stale temporary files of `final_name` in the folder `dir`.
void remove_stale_temporaries(int dir, const std::string& final_name) {
    // A descriptor of its own: the listing moves its position.
    const int fd = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    const std::unique_ptr<DIR, DirCloser> listing(::fdopendir(fd));
    if (!listing) {
        ::close(fd);
        return;
    }
    while (const dirent* entry = ::readdir(listing.get())) {
        const auto pid = temporary_name_pid(entry->d_name, final_name);
        // A process id no pid_t holds names no process.
        if (!pid || *pid > static_cast<std::uint32_t>(std::numeric_limits<pid_t>::max())) continue;
        if (is_stale(dir, entry->d_name, static_cast<pid_t>(*pid))) ::unlinkat(dir, entry->d_name, 0);
    }
}

// The exchange file in the folder its path named when it was created: every
// name is looked up relative to that folder's descriptor, so that a folder
// renamed, or replaced by a link, during the call changes nothing outside
// it.
class PosixOutputFile : public OutputFile {
public:
    explicit PosixOutputFile(std::string final_path) : final_(std::move(final_path)) {}
    ~PosixOutputFile() override {
        if (fd_ >= 0) {
            ::close(fd_);
            ::unlinkat(dir_.get(), temporary_.c_str(), 0);
        }
    }
    PosixOutputFile(const PosixOutputFile&) = delete;
    PosixOutputFile& operator=(const PosixOutputFile&) = delete;

    // Opens the folder and creates the temporary file in it under a new name.
    bool open() {
        PathParts where = split_path(final_, "/");
        folder_ = openable(where.folder);
        name_ = std::move(where.name);
        dir_ = open_folder(folder_);
        if (!dir_) return false;
        remove_stale_temporaries(dir_.get(), name_);
        auto created = create_temporary({std::string(), name_}, static_cast<std::uint32_t>(::getpid()), random_bits,
                                        [this](const std::string& name) { return create_at(name); });
        if (!created) return false;
        temporary_ = std::move(*created);
        return true;
    }

    EntryKind existing() override { return kind_at(dir_.get(), name_.c_str()); }

    bool remove_existing() override {
        return existing() == EntryKind::replaceable && ::unlinkat(dir_.get(), name_.c_str(), 0) == 0;
    }

    bool write(std::string_view bytes) override {
        while (!bytes.empty()) {
            if (fd_ < 0) return false;
            const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
            if (n < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }

    bool commit() override {
        if (fd_ < 0) return false;
        // The path must still lead to the held folder: the host reads the
        // file there. renameat(2) replaces the entry at the final name,
        // whatever it is (a file, a hard link, a symbolic link), and never
        // follows it.
        if (::fsync(fd_) != 0 || !folder_at_path() ||
            ::renameat(dir_.get(), temporary_.c_str(), dir_.get(), name_.c_str()) != 0)
            return false;
        const int fd = std::exchange(fd_, -1);
        if (::close(fd) != 0) {
            ::unlinkat(dir_.get(), name_.c_str(), 0);
            return false;
        }
        // The rename itself reaches the disk with the folder.
        ::fsync(dir_.get());
        return true;
    }

private:
    // Exclusively, never through a link; mode 0644 less the umask. Locked
    // until it is renamed or removed.
    CreateAttempt create_at(const std::string& name) {
        fd_ = ::openat(dir_.get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd_ < 0) return errno == EEXIST ? CreateAttempt::name_taken : CreateAttempt::failed;
        // Unlocked, the file would look like a leftover to other writers.
        if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            ::unlinkat(dir_.get(), name.c_str(), 0);
            ::close(std::exchange(fd_, -1));
            return CreateAttempt::failed;
        }
        return CreateAttempt::created;
    }

    // Whether the folder's path leads to the held folder.
    bool folder_at_path() const {
        struct stat held {};
        struct stat now {};
        return ::fstat(dir_.get(), &held) == 0 && ::stat(folder_.c_str(), &now) == 0 && held.st_dev == now.st_dev &&
               held.st_ino == now.st_ino;
    }

    std::string final_;
    std::string folder_;
    std::string name_;
    UniqueFd dir_;
    std::string temporary_;
    int fd_ = -1;
};

}  // namespace

bool mask_matches(std::string_view mask, std::string_view name) { return matches_ignoring_case(mask, name); }

bool name_less(std::string_view a, std::string_view b) { return less_ignoring_case(a, b); }

std::string current_folder() {
    std::error_code ec;
    auto path = std::filesystem::current_path(ec);
    return ec ? std::string(".") : path.string();
}

std::string absolute_path(const std::string& path) {
    // ".." stays: after a link, "link/.." is the folder above the link's
    // target, which only the system can tell.
    const std::string joined = path.starts_with('/') ? path : current_folder() + "/" + path;
    std::string out;
    std::size_t at = 0;
    while (at <= joined.size()) {
        std::size_t end = joined.find('/', at);
        if (end == std::string::npos) end = joined.size();
        const std::string_view part(joined.data() + at, end - at);
        if (!part.empty() && part != ".") {
            if (!out.empty() || joined.front() == '/') out += '/';
            out += part;
        }
        at = end + 1;
    }
    if (out.empty()) return joined.front() == '/' ? "/" : ".";
    return out;
}

void PosixPlatform::mensagem_atencao(std::string_view text) {
    std::string out(text);
    out += '\n';
    std::fwrite(out.data(), 1, out.size(), stderr);
    std::fflush(stderr);
}

std::optional<std::string> PosixPlatform::open_file_dialog() { return std::nullopt; }

std::string executable_folder(const char* link) {
    // The link's target may be longer than PATH_MAX: the buffer grows until
    // the whole target fits.
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink(link, buffer.data(), buffer.size());
        if (n <= 0) return {};
        if (static_cast<std::size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(n));
            break;
        }
        if (buffer.size() >= (std::size_t{1} << 20)) return {};
        buffer.resize(buffer.size() * 2);
    }
    // Only an absolute path names a folder.
    if (buffer.front() != '/') return {};
    const std::size_t slash = buffer.rfind('/');
    // The root keeps its separator.
    return buffer.substr(0, slash == 0 ? 1 : slash);
}

std::string PosixPlatform::exchange_folder() { return executable_folder("/proc/self/exe"); }

std::string PosixPlatform::join_path(std::string_view folder, std::string_view name) {
    std::string out(folder);
    out += '/';
    out += name;
    return out;
}

namespace {

// A version only for times that nanoseconds since 1970 hold in 64 bits
// with room to compare them (years 1684 to 2255): a file dated beyond is
// never passed over.
std::optional<FileVersion> version_of(const struct stat& st) {
    constexpr std::int64_t limit = 9'000'000'000;  // seconds
    const auto ns = [](const timespec& t) {
        return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + static_cast<std::int64_t>(t.tv_nsec);
    };
    const auto in_range = [&](const timespec& t) { return t.tv_sec > -limit && t.tv_sec < limit; };
    if (!in_range(st.st_mtim) || !in_range(st.st_ctim)) return std::nullopt;
    return FileVersion{static_cast<std::uint64_t>(st.st_size), ns(st.st_mtim), ns(st.st_ctim),
                       static_cast<std::uint64_t>(st.st_ino), static_cast<std::uint64_t>(st.st_dev)};
}

// Whether the file system of the open folder `dir` moves a file's change
// time on every write: only there can a file whose size, times and
// identity are unchanged be taken as unchanged. FAT and exFAT (kernel or
// FUSE), every other FUSE file system and unknown types keep no index.
bool change_time_trusted(int dir) {
    struct statfs fs {};
    if (::fstatfs(dir, &fs) != 0) return false;
    switch (static_cast<std::uint32_t>(fs.f_type)) {
        case 0xEF53:      // ext2, ext3, ext4
        case 0x58465342:  // xfs
        case 0x9123683E:  // btrfs
        case 0x01021994:  // tmpfs
        case 0x2FC12FC1:  // zfs
        case 0xF2F52010:  // f2fs
        case 0x6969:      // nfs
        case 0xFF534D42:  // cifs
        case 0xFE534D42:  // smb2
        case 0x517B:      // smb
            return true;
        default:
            return false;
    }
}

// The plain files of `folder` (made absolute) matching `mask`, sorted; the
// folder becomes the current folder when `make_current`; each file's
// version with `with_versions`.
std::optional<DirectoryListing> list_files(std::string folder, const std::string& mask, bool make_current,
                                           bool with_versions) {
    if (folder.empty()) folder = current_folder();
    folder = absolute_path(folder);

    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
    if (make_current && ::chdir(folder.c_str()) != 0) return std::nullopt;
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir) return std::nullopt;

    DirectoryListing listing;
    listing.folder = folder;
    listing.mask = mask;
    const int dir_fd = ::dirfd(dir.get());
    struct stat folder_st {};
    with_versions = with_versions && ::fstat(dir_fd, &folder_st) == 0 && change_time_trusted(dir_fd);
    std::vector<std::pair<std::string, std::optional<FileVersion>>> found;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name.empty() || name.front() == '.') continue;  // hidden, and "." and ".."
        if (!mask_matches(mask, name)) continue;
        // A plain file as the directory entry says; anything else (a link
        // to follow, a file system that does not say) is asked for, and so
        // is the version of every file when it is wanted. A link that
        // leads nowhere is nothing there; one whose target cannot be
        // reached (no permission on its way) is listed, to be found
        // unreadable.
        std::optional<FileVersion> version;
        if (entry->d_type != DT_REG || with_versions) {
            struct stat file {};
            const bool known = ::fstatat(dir_fd, entry->d_name, &file, 0) == 0;
            if (!known && (errno == ENOENT || errno == ENOTDIR)) continue;
            if (entry->d_type != DT_REG && known && !S_ISREG(file.st_mode)) continue;
            // A file on another file system (through a link) is never
            // passed over: its change time is not known to move.
            if (with_versions && known && S_ISREG(file.st_mode) && file.st_dev == folder_st.st_dev)
                version = version_of(file);
        }
        found.emplace_back(name, version);
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return name_less(a.first, b.first); });
    listing.names.reserve(found.size());
    if (with_versions) listing.versions.reserve(found.size());
    for (auto& [name, version] : found) {
        listing.names.push_back(std::move(name));
        if (with_versions) listing.versions.push_back(version);
    }
    return listing;
}

}  // namespace

std::optional<DirectoryListing> PosixPlatform::list_directory(const std::string& folder_arg) {
    std::string folder = folder_arg;
    std::string mask = "*.xml";
    // A wildcard in the last component is the mask.
    const std::size_t slash = folder.rfind('/');
    const std::string last = slash == std::string::npos ? folder : folder.substr(slash + 1);
    if (last.find_first_of("*?") != std::string::npos) {
        mask = last;
        folder = slash == std::string::npos ? std::string() : folder.substr(0, slash == 0 ? 1 : slash);
    }
    return list_files(std::move(folder), mask, search_folder_ == SearchFolder::becomes_current, index_wanted());
}

std::optional<DirectoryListing> PosixPlatform::list_folder_of(const std::string& file) {
    const std::string path = absolute_path(file);
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return std::nullopt;
    return list_files(path.substr(0, slash == 0 ? 1 : slash), "*.xml", false, index_wanted());
}

std::string PosixPlatform::file_name_part(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool PosixPlatform::delete_file(const std::string& path) {
    return entry_kind(path) == EntryKind::replaceable && ::unlink(path.c_str()) == 0;
}

EntryKind PosixPlatform::entry_kind(const std::string& path) { return kind_at(AT_FDCWD, path.c_str()); }

std::optional<FileIdentity> PosixPlatform::file_identity(const std::string& path, bool follow_links) {
    struct stat st {};
    if ((follow_links ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

std::unique_ptr<OutputFile> PosixPlatform::create_file(const std::string& path) {
    // The object first: once the file exists, nothing can fail before it
    // is owned.
    auto file = std::make_unique<PosixOutputFile>(path);
    if (!file->open()) return nullptr;
    return file;
}

namespace {

// Reads the open file into `bytes`, at most its size, and cuts it to what
// was read (a file that shrank meanwhile). False on a read error.
bool read_to_end(int fd, std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return true;
}

// read_file, and read_file_once with `read`; the version of the file
// opened with `with_version`.
FileBytes read_plain_file(const std::string& path, FileIdentities* read, bool with_version) {
    // O_NONBLOCK: a FIFO or device under an .xml name must not hang us.
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) {
        return {errno == ENOENT || errno == ENOTDIR || errno == ENXIO ? ReadStatus::absent : ReadStatus::unreadable,
                {}};
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return {ReadStatus::unreadable, {}};
    if (!S_ISREG(st.st_mode)) return {ReadStatus::absent, {}};
    if (read && !read->insert({static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)}))
        return {ReadStatus::read_before, {}};
    // A file larger than the XML layer parses is never read: a huge file
    // under an .xml name must not fill the memory nor cost its reading.
    if (static_cast<std::uintmax_t>(st.st_size) > xml::Document::max_file_size) return {ReadStatus::too_large, {}};
    FileBytes file{ReadStatus::read, std::string(static_cast<std::size_t>(st.st_size), '\0'),
                   with_version ? version_of(st) : std::nullopt};
    if (!read_to_end(fd.get(), file.bytes)) return {ReadStatus::unreadable, {}};
    return file;
}

}  // namespace

FileBytes PosixPlatform::read_file(const std::string& path) { return read_plain_file(path, nullptr, index_wanted()); }

FileBytes PosixPlatform::read_file_once(const std::string& path, FileIdentities& read) {
    return read_plain_file(path, &read, index_wanted());
}

bool PosixPlatform::read_in_pieces(const std::string& path, const std::function<bool(std::string_view)>& on_piece) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    std::string piece(1 << 20, '\0');
    for (;;) {
        const ssize_t n = ::read(fd.get(), piece.data(), piece.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0 || !on_piece(std::string_view(piece.data(), static_cast<std::size_t>(n)))) return true;
    }
}

std::string PosixPlatform::host_to_ansi(std::string_view text) { return utf8_to_cp1252(text); }

std::string PosixPlatform::path_to_utf8(std::string_view path) {
    // Names are bytes: one that is no UTF-8 (a Windows archive unpacked
    // here) is shown as the single-byte names of its origin.
    if (utf16_to_utf8(utf8_to_utf16(path)) == path) return std::string(path);
    return cp1252_to_utf8(path);
}

bool PosixPlatform::index_wanted() const {
    const char* off = std::getenv("IDF_SEM_INDICE");
    return !index_off_ && !(off && std::string_view(off) == "1");
}

namespace {

// Whether what `st` describes is this user's own and nobody else may write
// it: what an index, which decides which files are not read, must be.
bool private_to_user(const struct stat& st) { return st.st_uid == ::geteuid() && (st.st_mode & 022) == 0; }

}  // namespace

std::optional<std::string> PosixPlatform::cache_folder() {
    if (!index_wanted()) return std::nullopt;
    std::string base;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && xdg[0] == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
        base = std::string(home) + "/.cache";
    } else {
        return std::nullopt;
    }
    ::mkdir(base.c_str(), 0700);  // the parent of the cache folder: mkdir -p's last step is enough
    std::string folder = base + "/integracao-docs-fiscal";
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return std::nullopt;
    // Another user who can write there could plant an index that hides a
    // file from the search: the folder must be this user's own, a folder
    // and not a link, that no one else may write; and its parent must not
    // let others rename it away (writable by others only with the sticky
    // bit, as /tmp).
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || !private_to_user(st)) return std::nullopt;
    struct stat parent {};
    if (::stat(base.c_str(), &parent) != 0 || ((parent.st_mode & 022) != 0 && (parent.st_mode & S_ISVTX) == 0))
        return std::nullopt;
    return folder;
}

FileBytes PosixPlatform::read_cache_file(const std::string& path) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
    if (!fd) return {errno == ENOENT ? ReadStatus::absent : ReadStatus::unreadable, {}};
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || !private_to_user(st))
        return {ReadStatus::unreadable, {}};
    if (static_cast<std::uintmax_t>(st.st_size) > xml::Document::max_file_size) return {ReadStatus::too_large, {}};
    FileBytes file{ReadStatus::read, std::string(static_cast<std::size_t>(st.st_size), '\0')};
    if (!read_to_end(fd.get(), file.bytes)) return {ReadStatus::unreadable, {}};
    return file;
}

bool PosixPlatform::replace_file(const std::string& path, std::string_view bytes) {
    PathParts where = split_path(path, "/");
    const UniqueFd dir = open_folder(openable(where.folder));
    if (!dir) return false;
    remove_stale_temporaries(dir.get(), where.name);  // left by a killed process
    UniqueFd file;
    const auto created =
        create_temporary({std::string(), where.name}, static_cast<std::uint32_t>(::getpid()), random_bits,
                         [&](const std::string& temporary) {
                             file = UniqueFd(::openat(dir.get(), temporary.c_str(),
                                                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
                             if (file) return CreateAttempt::created;
                             return errno == EEXIST ? CreateAttempt::name_taken : CreateAttempt::failed;
                         });
    if (!created) return false;
    // Held from creation to rename, as every writer of a temporary file.
    bool written = ::flock(file.get(), LOCK_EX | LOCK_NB) == 0;
    while (written && !bytes.empty()) {
        const ssize_t n = ::write(file.get(), bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        written = n > 0;
        if (written) bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    if (written && ::renameat(dir.get(), created->c_str(), dir.get(), where.name.c_str()) == 0) return true;
    ::unlinkat(dir.get(), created->c_str(), 0);
    return false;
}

std::int64_t PosixPlatform::now() {
    timespec t{};
    ::clock_gettime(CLOCK_REALTIME, &t);
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + static_cast<std::int64_t>(t.tv_nsec);
}

}  // namespace idf
