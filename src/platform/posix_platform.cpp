#include "platform/posix_platform.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <filesystem>

#include "common/text.hpp"
#include "common/xml.hpp"

namespace idf {

namespace {

char fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

class PosixOutputFile : public OutputFile {
public:
    explicit PosixOutputFile(int fd) : fd_(fd) {}
    ~PosixOutputFile() override {
        if (fd_ >= 0) ::close(fd_);
    }
    bool write(std::string_view bytes) override {
        while (!bytes.empty()) {
            const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
            if (n < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }
    bool close() override {
        if (fd_ < 0) return true;
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc == 0;
    }

private:
    int fd_;
};

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

bool mask_matches(std::string_view mask, std::string_view name) {
    // Iterative wildcard match with backtracking to the last "*".
    std::size_t m = 0, n = 0, star = std::string_view::npos, resume = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || fold(mask[m]) == fold(name[n]))) {
            ++m;
            ++n;
        } else if (m < mask.size() && mask[m] == '*') {
            star = m++;
            resume = n;
        } else if (star != std::string_view::npos) {
            m = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}

bool name_less(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(fold(a[i]));
        const auto cb = static_cast<unsigned char>(fold(b[i]));
        if (ca != cb) return ca < cb;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;  // names that differ only in case keep a fixed order
}

std::string current_folder() {
    std::error_code ec;
    auto path = std::filesystem::current_path(ec);
    return ec ? std::string(".") : path.string();
}

std::string absolute_path(const std::string& path) {
    std::error_code ec;
    auto abs = std::filesystem::absolute(path, ec);
    if (ec) return path;
    std::string out = abs.lexically_normal().string();
    while (out.size() > 1 && out.back() == '/') out.pop_back();
    return out;
}

void PosixPlatform::mensagem_atencao(std::string_view text) {
    std::string out(text);
    out += '\n';
    std::fwrite(out.data(), 1, out.size(), stderr);
    std::fflush(stderr);
}

std::optional<std::string> PosixPlatform::open_file_dialog() { return std::nullopt; }

std::string PosixPlatform::exchange_folder() {
    std::string buffer(PATH_MAX, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0) return current_folder();
    buffer.resize(static_cast<std::size_t>(n));
    const std::size_t slash = buffer.rfind('/');
    if (slash == std::string::npos) return current_folder();
    // The root keeps its separator.
    return buffer.substr(0, slash == 0 ? 1 : slash);
}

std::string PosixPlatform::join_path(std::string_view folder, std::string_view name) {
    std::string out(folder);
    out += '/';
    out += name;
    return out;
}

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
    if (folder.empty()) folder = current_folder();
    folder = absolute_path(folder);

    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
    if (search_folder_ == SearchFolder::becomes_current && ::chdir(folder.c_str()) != 0) return std::nullopt;
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir) return std::nullopt;

    DirectoryListing listing;
    listing.folder = folder;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name.empty() || name.front() == '.') continue;  // hidden, and "." and ".."
        if (!mask_matches(mask, name)) continue;
        struct stat file {};
        if (::fstatat(::dirfd(dir.get()), entry->d_name, &file, 0) != 0 || !S_ISREG(file.st_mode)) continue;
        listing.names.emplace_back(name);
    }
    std::sort(listing.names.begin(), listing.names.end(),
              [](const std::string& a, const std::string& b) { return name_less(a, b); });
    return listing;
}

bool PosixPlatform::file_exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool PosixPlatform::delete_file(const std::string& path) { return ::unlink(path.c_str()) == 0; }

std::unique_ptr<OutputFile> PosixPlatform::create_file(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    return std::make_unique<PosixOutputFile>(fd);
}

std::optional<std::string> PosixPlatform::read_file(const std::string& path) {
    // O_NONBLOCK: a FIFO or device under an .xml name must not hang us.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    // A file larger than the XML layer parses is read only far enough to
    // tell: a huge file under an .xml name must not fill the memory.
    constexpr std::size_t limit = xml::Document::max_file_size + 1;
    std::string bytes;
    bytes.resize(std::min(static_cast<std::size_t>(st.st_size), limit));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return bytes;
}

std::string PosixPlatform::host_to_ansi(std::string_view text) { return utf8_to_cp1252(text); }

}  // namespace idf
