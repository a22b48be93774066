#include "platform/windows/windows_platform.hpp"

#include <windows.h>
// After windows.h, which it needs.
#include <commdlg.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

#include "common/messages.hpp"
#include "platform/temp_name.hpp"
#include "values/text.hpp"
#include "xml/tree.hpp"

namespace idf::win {

namespace {

bool high_surrogate(wchar_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool low_surrogate(wchar_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void append_utf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | cp >> 12);
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | cp >> 18);
        out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The path with every lone surrogate as U+FFFD: what a text shown may hold.
std::string valid_utf8(std::string_view path) {
    std::wstring units = wide(path);
    for (std::size_t i = 0; i < units.size(); ++i) {
        if (high_surrogate(units[i]) && i + 1 < units.size() && low_surrogate(units[i + 1]))
            ++i;
        else if (high_surrogate(units[i]) || low_surrogate(units[i]))
            units[i] = 0xFFFD;
    }
    return narrow(units);
}

}  // namespace

std::string narrow(std::wstring_view path) {
    std::string out;
    out.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        char32_t cp = path[i];
        if (high_surrogate(path[i]) && i + 1 < path.size() && low_surrogate(path[i + 1])) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<char32_t>(path[i + 1]) - 0xDC00);
            ++i;
        }
        append_utf8(out, cp);  // a lone surrogate keeps its three bytes
    }
    return out;
}

std::wstring wide(std::string_view path) {
    std::wstring out;
    out.reserve(path.size());
    const auto byte = [&](std::size_t i) { return i < path.size() ? static_cast<unsigned char>(path[i]) : 0u; };
    const auto continuation = [&](std::size_t i) { return (byte(i) & 0xC0) == 0x80; };
    for (std::size_t i = 0; i < path.size();) {
        const unsigned lead = byte(i);
        char32_t cp = 0xFFFD;
        std::size_t length = 1;
        if (lead < 0x80) {
            cp = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF && continuation(i + 1)) {
            cp = (lead & 0x1F) << 6 | (byte(i + 1) & 0x3F);
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF && continuation(i + 1) && continuation(i + 2)) {
            const char32_t three = (lead & 0x0F) << 12 | (byte(i + 1) & 0x3F) << 6 | (byte(i + 2) & 0x3F);
            if (three >= 0x800) {  // a surrogate too: a name may hold one alone
                cp = three;
                length = 3;
            }
        } else if (lead >= 0xF0 && lead <= 0xF4 && continuation(i + 1) && continuation(i + 2) && continuation(i + 3)) {
            const char32_t four =
                (lead & 0x07) << 18 | (byte(i + 1) & 0x3F) << 12 | (byte(i + 2) & 0x3F) << 6 | (byte(i + 3) & 0x3F);
            if (four >= 0x10000 && four <= 0x10FFFF) {
                cp = four;
                length = 4;
            }
        }
        if (cp >= 0x10000) {
            out += static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<wchar_t>(cp);
        }
        i += length;
    }
    return out;
}

std::string from_ansi(std::string_view text) {
    if (text.empty() || text.size() > 0x7FFFFFFF) return {};
    const int size = static_cast<int>(text.size());
    const int units = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    if (units <= 0) return {};
    std::wstring out(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, out.data(), units);
    return narrow(out);
}

namespace {

struct HandleCloser {
    void operator()(HANDLE h) const {
        if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

struct FindCloser {
    void operator()(HANDLE h) const {
        if (h && h != INVALID_HANDLE_VALUE) FindClose(h);
    }
};
using UniqueFind = std::unique_ptr<void, FindCloser>;

UniqueHandle checked(HANDLE h) { return UniqueHandle(h == INVALID_HANDLE_VALUE ? nullptr : h); }

std::string ansi(std::string_view utf8) { return to_ansi(utf8_to_utf16(utf8)); }

// The wide path of `path` for the file functions.
std::wstring w(const std::string& path) { return wide(path); }

std::uint64_t random_bits() {
    static LONG counter = 0;
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    FILETIME time{};
    GetSystemTimeAsFileTime(&time);
    std::uint64_t bits = static_cast<std::uint64_t>(now.QuadPart) ^
                         (static_cast<std::uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime);
    bits ^= static_cast<std::uint64_t>(InterlockedIncrement(&counter)) * 0x9E3779B97F4A7C15ULL;
    bits ^= static_cast<std::uint64_t>(GetCurrentThreadId()) << 40;
    // CREATE_NEW refuses any name that exists, so a guessed name costs only
    // another attempt.
    return bits;
}

bool process_running(DWORD pid) {
    UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
    if (!process) return GetLastError() != ERROR_INVALID_PARAMETER;
    return WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

// A leftover temporary file is stale when its process is gone or it was
// last written over a minute ago, and it can be deleted: a writer holds its
// file open without FILE_SHARE_DELETE from creation until just before the
// rename, and the first conditions cover that last moment.
void remove_stale_temporaries(const PathParts& where) {
    WIN32_FIND_DATAW found{};
    UniqueFind find(FindFirstFileW(w(where.folder + temporary_prefix(where.name) + "*.tmp").c_str(), &found));
    if (find.get() == INVALID_HANDLE_VALUE) {
        find.release();
        return;
    }
    FILETIME now_time{};
    GetSystemTimeAsFileTime(&now_time);
    const auto ticks = [](const FILETIME& t) {
        return static_cast<unsigned long long>(t.dwHighDateTime) << 32 | t.dwLowDateTime;
    };
    const unsigned long long now = ticks(now_time);
    constexpr unsigned long long minute = 60ULL * 10'000'000ULL;
    do {
        if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) continue;
        const std::string name = narrow(found.cFileName);
        const auto pid = temporary_name_pid(name, where.name);
        if (!pid) continue;
        const bool old = ticks(found.ftLastWriteTime) + minute < now;
        if (old || !process_running(*pid)) DeleteFileW(w(where.folder + name).c_str());
    } while (FindNextFileW(find.get(), &found));
}

// The entry at `path` opened for its attributes only, whatever it is (a
// folder too); a link itself unless `follow_links`.
UniqueHandle open_entry(const std::string& path, bool follow_links) {
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow_links ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    return checked(CreateFileW(w(path).c_str(), FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, flags,
                               nullptr));
}

// A plain file on a disk, as an opened entry tells.
bool plain_file(HANDLE entry) {
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileType(entry) == FILE_TYPE_DISK && GetFileInformationByHandle(entry, &info) &&
           !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
}

EntryKind kind_of(const std::string& path) {
    // A device name (NUL, CON, COM1), in any folder, opens the device.
    const UniqueHandle entry = open_entry(path, false);
    if (!entry) {
        const DWORD attributes = GetFileAttributesW(w(path).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return EntryKind::none;
        return attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE) ? EntryKind::other
                                                                               : EntryKind::replaceable;
    }
    if (!plain_file(entry.get())) return EntryKind::other;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(entry.get(), &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return EntryKind::replaceable;
    // A link: replaced when it leads nowhere or to a plain file.
    const UniqueHandle target = open_entry(path, true);
    if (!target) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? EntryKind::replaceable
                                                                              : EntryKind::other;
    }
    return plain_file(target.get()) ? EntryKind::replaceable : EntryKind::other;
}

class WindowsOutputFile final : public OutputFile {
public:
    WindowsOutputFile(std::string final_path, std::vector<OpenOutput>& registry, std::vector<void*>& held_folders)
        : final_(std::move(final_path)), registry_(registry), held_folders_(held_folders) {}
    ~WindowsOutputFile() override {
        if (handle_) {
            forget();
            CloseHandle(handle_.release());
            DeleteFileW(w(temporary_).c_str());
        }
        if (folder_) {
            std::erase(held_folders_, folder_.get());
            CloseHandle(folder_.release());
        }
    }
    WindowsOutputFile(const WindowsOutputFile&) = delete;
    WindowsOutputFile& operator=(const WindowsOutputFile&) = delete;

    // Holds the folder and creates the temporary file in it under a new name.
    bool open() {
        const PathParts where = split_path(final_, "\\/");
        if (!hold_folder(where.folder.empty() ? std::string(".") : where.folder)) return false;
        remove_stale_temporaries(where);
        registry_.reserve(registry_.size() + 1);
        auto created = create_temporary(where, GetCurrentProcessId(), random_bits,
                                        [this](const std::string& path) { return create_at(path); });
        if (!created) return false;
        temporary_ = std::move(*created);
        registry_.push_back({handle_.get(), temporary_});
        return true;
    }

    EntryKind existing() override { return kind_of(final_); }
    bool remove_existing() override {
        return existing() == EntryKind::replaceable && DeleteFileW(w(final_).c_str()) != 0;
    }

    bool write(std::string_view bytes) override {
        if (!handle_) return false;
        while (!bytes.empty()) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 20));
            DWORD written = 0;
            if (!WriteFile(handle_.get(), bytes.data(), chunk, &written, nullptr) || written == 0) return false;
            bytes.remove_prefix(written);
        }
        return true;
    }

    bool commit() override {
        if (!handle_ || !FlushFileBuffers(handle_.get())) return false;
        forget();
        const bool closed = CloseHandle(handle_.release()) != 0;
        // Replaces the entry at the final name (a link there included)
        // without following it; the rename reaches the disk before return.
        if (closed &&
            MoveFileExW(w(temporary_).c_str(), w(final_).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        DeleteFileW(w(temporary_).c_str());
        return false;
    }

private:
    // CREATE_NEW refuses any existing entry, a link included; no
    // FILE_SHARE_DELETE, so that no one removes or renames the file while it
    // is written.
    CreateAttempt create_at(const std::string& path) {
        handle_ = checked(CreateFileW(w(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (handle_) return CreateAttempt::created;
        const DWORD error = GetLastError();
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? CreateAttempt::name_taken
                                                                           : CreateAttempt::failed;
    }

    void forget() {
        std::erase_if(registry_, [&](const OpenOutput& open) { return open.handle == handle_.get(); });
    }

    // Opened for listing (an open that only reads attributes would not
    // count against others), shared for reading and writing but not for
    // deletion: no one renames or removes the folder until it is closed.
    bool hold_folder(const std::string& folder) {
        held_folders_.reserve(held_folders_.size() + 1);
        folder_ = checked(CreateFileW(w(folder).c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!folder_) return false;
        held_folders_.push_back(folder_.get());
        return true;
    }

    std::string final_;
    std::string temporary_;
    UniqueHandle folder_;
    UniqueHandle handle_;
    std::vector<OpenOutput>& registry_;
    std::vector<void*>& held_folders_;
};

std::string current_directory() {
    const DWORD n = GetCurrentDirectoryW(0, nullptr);
    if (n == 0) return ".";
    std::wstring out(n, L'\0');
    const DWORD got = GetCurrentDirectoryW(n, out.data());
    out.resize(got < n ? got : 0);
    return narrow(out);
}

bool is_drive_root(std::string_view path) { return path.size() == 3 && path[1] == ':' && path[2] == '\\'; }

}  // namespace

std::optional<std::string> full_path(const std::string& path) {
    const std::wstring in = wide(path);
    const DWORD n = GetFullPathNameW(in.c_str(), 0, nullptr, nullptr);
    if (n == 0) return std::nullopt;
    std::wstring out(n, L'\0');
    const DWORD got = GetFullPathNameW(in.c_str(), n, out.data(), nullptr);
    if (got == 0 || got >= n) return std::nullopt;
    out.resize(got);
    return narrow(out);
}

std::string module_folder(std::string_view module_path) {
    const std::size_t slash = module_path.rfind('\\');
    if (slash == std::string_view::npos) return {};
    // "C:\Host.exe": the drive root keeps its backslash.
    if (slash > 0 && module_path[slash - 1] == ':') return std::string(module_path.substr(0, slash + 1));
    return std::string(module_path.substr(0, slash));
}

FolderAndMask split_mask(std::string_view folder) {
    const std::size_t sep = folder.find_last_of("\\/");
    const std::string_view last = sep == std::string_view::npos ? folder : folder.substr(sep + 1);
    if (last.find_first_of("*?") == std::string_view::npos) return {std::string(folder), "*.xml"};
    if (sep == std::string_view::npos) return {std::string(), std::string(last)};
    std::string_view rest = folder.substr(0, sep);
    // "C:\*.xml" and "\*.xml" keep the root's backslash.
    if (rest.empty() || (rest.size() == 2 && rest[1] == ':')) rest = folder.substr(0, sep + 1);
    return {std::string(rest), std::string(last)};
}

bool list_box_less(std::wstring_view a, std::wstring_view b) {
    const int order = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                                     b.data(), static_cast<int>(b.size()));
    if (order == CSTR_LESS_THAN) return true;
    if (order == CSTR_GREATER_THAN) return false;
    return a < b;  // equal ignoring case: a fixed order all the same
}

namespace {

// A name's characters in upper case, as the file system folds them.
std::wstring upper(std::wstring_view text) {
    std::wstring out(text);
    if (!out.empty()) CharUpperBuffW(out.data(), static_cast<DWORD>(out.size()));
    return out;
}

}  // namespace

bool matches_mask(std::wstring_view name_in, std::wstring_view mask_in) {
    if (mask_in == L"*.*") mask_in = L"*";
    const std::wstring name = upper(name_in);
    const std::wstring mask = upper(mask_in);
    // The usual walk with one star to fall back to: linear in practice.
    std::size_t n = 0, m = 0, star = std::wstring::npos, resume = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == L'?' || mask[m] == name[n])) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == L'*') {
            star = m++;
            resume = n;
        } else if (star != std::wstring::npos) {
            m = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == L'*') ++m;
    return m == mask.size();
}

Regional read_regional_settings() {
    Regional regional = Regional::brazilian();
    char buffer[256];
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, sizeof buffer) > 1)
        regional.decimal_separator = buffer[0];
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, buffer, sizeof buffer) > 1)
        regional.short_date_format = buffer;
    return regional;
}

WindowsPlatform::~WindowsPlatform() { close_open_files(); }

void WindowsPlatform::close_open_files() {
    for (const OpenOutput& open : open_files) {
        CloseHandle(open.handle);
        DeleteFileW(w(open.temporary).c_str());
    }
    open_files.clear();
    for (void* folder : held_folders) CloseHandle(folder);
    held_folders.clear();
}

void WindowsPlatform::mensagem_atencao(std::string_view text) {
    const std::string body = ansi(text);
    const std::string caption = ansi(msg::caption);
    MessageBoxA(nullptr, body.c_str(), caption.c_str(), MB_OK | MB_ICONEXCLAMATION | MB_TASKMODAL);
}

std::optional<std::string> WindowsPlatform::open_file_dialog() {
    std::wstring file(4096, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = nullptr;
    ofn.lpstrFilter = L"XML files\0*.xml\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrDefExt = L"XML";
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_ENABLESIZING | OFN_HIDEREADONLY | OFN_EXPLORER;
    if (!GetOpenFileNameW(&ofn)) return std::nullopt;
    file.resize(file.find(L'\0'));
    if (file.empty()) return std::nullopt;
    return narrow(file);
}

std::string WindowsPlatform::exchange_folder() {
    // A path that fills the buffer may have been cut short: the buffer
    // grows until the whole path fits.
    std::wstring path(MAX_PATH + 1, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size() - 1) return module_folder(narrow(std::wstring_view(path.data(), n)));
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
}

std::string WindowsPlatform::join_path(std::string_view folder, std::string_view name) {
    std::string out(folder);
    out += '\\';
    out += name;
    return out;
}

namespace {

// The moment of a FILETIME or LARGE_INTEGER (100-ns ticks since 1601) as
// nanoseconds since 1970; nullopt past what 64 bits hold in nanoseconds
// with room to spare (before 1824 or after 2116), so that no arithmetic on
// a file time ever overflows.
std::optional<std::int64_t> unix_ns(std::int64_t ticks) {
    constexpr std::int64_t epoch = 116'444'736'000'000'000LL;
    constexpr std::int64_t limit = std::numeric_limits<std::int64_t>::max() / 2 / 100;
    if (ticks < epoch - limit || ticks > epoch + limit) return std::nullopt;
    return (ticks - epoch) * 100;
}

std::int64_t ticks_of(const FILETIME& time) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime);
}

// A file's version from what the system tells of it; none when it has no
// change time or no file ID (the file system does not keep them), or a time
// out of range.
std::optional<FileVersion> version_of(std::int64_t size, std::int64_t last_write, std::int64_t change,
                                      std::uint64_t file_id, std::uint32_t volume_serial) {
    if (change == 0 || file_id == 0 || file_id == ~std::uint64_t{0} || size < 0) return std::nullopt;
    const auto modified = unix_ns(last_write);
    const auto changed = unix_ns(change);
    if (!modified || !changed) return std::nullopt;
    return FileVersion{static_cast<std::uint64_t>(size), *modified, *changed, file_id, volume_serial};
}

constexpr DWORD not_plain =
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE;

struct ListedFile {
    std::wstring name;
    std::optional<FileVersion> version;
};

// The file systems where a rewrite may keep size, times and file ID: no
// index there.
bool without_change_time(std::wstring_view file_system) {
    return lstrcmpiW(std::wstring(file_system).c_str(), L"exFAT") == 0 ||
           (file_system.size() >= 3 && CompareStringOrdinal(file_system.data(), 3, L"FAT", 3, TRUE) == CSTR_EQUAL);
}

// The plain files of the folder through a handle of it, each with its
// version when `with_versions`, which is cleared when the volume does not
// keep versions; nullopt when the folder cannot be read this way.
std::optional<std::vector<ListedFile>> read_folder(const std::string& folder, const std::wstring& mask,
                                                   bool& with_versions) {
    const UniqueHandle handle = checked(CreateFileW(w(folder).c_str(), FILE_LIST_DIRECTORY,
                                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle) return std::nullopt;
    DWORD serial = 0;
    wchar_t file_system[MAX_PATH + 1] = {};
    if (with_versions)
        with_versions = GetVolumeInformationByHandleW(handle.get(), nullptr, 0, &serial, nullptr, nullptr, file_system,
                                                      MAX_PATH + 1) &&
                        !without_change_time(file_system);
    std::vector<ListedFile> files;
    // 64 KiB a call: the most a file server answers at once.
    std::vector<std::uint64_t> buffer(64 * 1024 / sizeof(std::uint64_t));
    const DWORD size = static_cast<DWORD>(buffer.size() * sizeof(std::uint64_t));
    for (auto request = FileIdBothDirectoryRestartInfo;; request = FileIdBothDirectoryInfo) {
        if (!GetFileInformationByHandleEx(handle.get(), request, buffer.data(), size)) {
            if (GetLastError() == ERROR_NO_MORE_FILES) return files;
            return std::nullopt;
        }
        const auto* bytes = reinterpret_cast<const unsigned char*>(buffer.data());
        for (std::size_t at = 0;;) {
            FILE_ID_BOTH_DIR_INFO entry;
            std::memcpy(&entry, bytes + at, offsetof(FILE_ID_BOTH_DIR_INFO, FileName));
            const std::size_t name_at = at + offsetof(FILE_ID_BOTH_DIR_INFO, FileName);
            if (name_at + entry.FileNameLength > size) return std::nullopt;
            std::wstring name(entry.FileNameLength / sizeof(wchar_t), L'\0');
            std::memcpy(name.data(), bytes + name_at, name.size() * sizeof(wchar_t));
            if (!(entry.FileAttributes & not_plain) && name != L"." && name != L".." && matches_mask(name, mask)) {
                std::optional<FileVersion> version;
                // A link's own times and ID are not its target's.
                if (with_versions && !(entry.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                    version =
                        version_of(entry.EndOfFile.QuadPart, entry.LastWriteTime.QuadPart, entry.ChangeTime.QuadPart,
                                   static_cast<std::uint64_t>(entry.FileId.QuadPart), serial);
                files.push_back({std::move(name), version});
            }
            if (entry.NextEntryOffset == 0) break;
            at += entry.NextEntryOffset;
            if (at + offsetof(FILE_ID_BOTH_DIR_INFO, FileName) > size) return std::nullopt;
        }
    }
}

// The plain files of the folder as the system's own search lists them, without versions.
std::vector<ListedFile> find_files(const std::string& folder, const std::string& mask) {
    std::vector<ListedFile> files;
    const std::wstring pattern = w(folder + (folder.back() == '\\' ? "" : "\\") + mask);
    WIN32_FIND_DATAW found{};
    // The basic information (no short names) in large batches: the same
    // names, sizes and times, fewer round trips to a file server.
    HANDLE first = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                    FIND_FIRST_EX_LARGE_FETCH);
    if (first == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER)  // before Windows 7
        first = FindFirstFileExW(pattern.c_str(), FindExInfoStandard, &found, FindExSearchNameMatch, nullptr, 0);
    UniqueFind find(first);
    if (find.get() == INVALID_HANDLE_VALUE) {
        find.release();
        return files;
    }
    do {
        if (!(found.dwFileAttributes & not_plain)) files.push_back({found.cFileName, std::nullopt});
    } while (FindNextFileW(find.get(), &found));
    return files;
}

// The plain files of the folder `where.folder` (made absolute) matching
// `where.mask`, sorted as a list box sorts; the folder becomes the current
// folder when `make_current`; each file's version with `with_versions`.
std::optional<DirectoryListing> list_files(FolderAndMask where, bool make_current, bool with_versions) {
    if (where.folder.empty()) where.folder = current_directory();
    const auto full = full_path(where.folder);
    if (!full) return std::nullopt;
    std::string folder = *full;
    while (folder.size() > 1 && folder.back() == '\\' && !is_drive_root(folder)) folder.pop_back();

    const DWORD attributes = GetFileAttributesW(w(folder).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return std::nullopt;
    if (make_current && !SetCurrentDirectoryW(w(folder).c_str())) return std::nullopt;

    DirectoryListing listing;
    listing.folder = folder;
    listing.mask = where.mask;
    auto read = read_folder(folder, wide(where.mask), with_versions);
    const bool versions = with_versions && read;
    std::vector<ListedFile> files = read ? std::move(*read) : find_files(folder, where.mask);
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return list_box_less(a.name, b.name); });
    listing.names.reserve(files.size());
    for (auto& file : files) {
        listing.names.push_back(narrow(file.name));
        if (versions) listing.versions.push_back(file.version);
    }
    return listing;
}

}  // namespace

std::optional<DirectoryListing> WindowsPlatform::list_directory(const std::string& folder_arg) {
    return list_files(split_mask(folder_arg), search_folder_ == SearchFolder::becomes_current, index_wanted());
}

std::optional<DirectoryListing> WindowsPlatform::list_folder_of(const std::string& file) {
    const auto full = full_path(file);
    if (!full) return std::nullopt;
    const std::string folder = module_folder(*full);
    if (folder.empty()) return std::nullopt;
    return list_files({folder, "*.xml"}, false, index_wanted());
}
std::string WindowsPlatform::file_name_part(std::string_view path) {
    const std::size_t sep = path.find_last_of("\\/:");
    return std::string(sep == std::string_view::npos ? path : path.substr(sep + 1));
}

std::string WindowsPlatform::path_to_utf8(std::string_view path) { return valid_utf8(path); }

bool WindowsPlatform::delete_file(const std::string& path) {
    return entry_kind(path) == EntryKind::replaceable && DeleteFileW(w(path).c_str()) != 0;
}

EntryKind WindowsPlatform::entry_kind(const std::string& path) { return kind_of(path); }

std::optional<FileIdentity> WindowsPlatform::file_identity(const std::string& path, bool follow_links) {
    const UniqueHandle entry = open_entry(path, follow_links);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!entry || GetFileType(entry.get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(entry.get(), &info))
        return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber,
                        static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
}

std::unique_ptr<OutputFile> WindowsPlatform::create_file(const std::string& path) {
    // The object first: once the file exists, nothing can fail before it
    // is owned.
    auto file = std::make_unique<WindowsOutputFile>(path, open_files, held_folders);
    if (!file->open()) return nullptr;
    return file;
}

namespace {

// A file or folder that is not there, as opposed to one that is and cannot
// be opened.
bool not_there(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME;
}

// A file that is there and may not be read: no right to it, or another
// program holds it without sharing.
bool refused(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// The version of the file open at `handle`, told the same way as the
// listing tells it, its identity from `info`; none when the system cannot
// tell it.
std::optional<FileVersion> opened_version(HANDLE handle, const BY_HANDLE_FILE_INFORMATION& info) {
    FILE_BASIC_INFO basic{};
    FILE_STANDARD_INFO standard{};
    if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) ||
        !GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard))
        return std::nullopt;
    return version_of(standard.EndOfFile.QuadPart, basic.LastWriteTime.QuadPart, basic.ChangeTime.QuadPart,
                      static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow,
                      info.dwVolumeSerialNumber);
}

// read_file, and read_file_once with `read`; the version of the file read
// with `with_version`.
FileBytes read_plain_file(const std::string& path, FileIdentities* read, bool with_version) {
    const std::wstring wide_path = wide(path);
    const DWORD attributes = GetFileAttributesW(wide_path.c_str());
    // Whatever else has no attributes is no file (Wine gives a FIFO none).
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return {refused(GetLastError()) ? ReadStatus::unreadable : ReadStatus::absent, {}, {}};
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) return {ReadStatus::absent, {}, {}};
    UniqueHandle handle = checked(CreateFileW(wide_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    // A file held by another program without sharing, or without the right
    // to read it, cannot be read; a file that went away is not there.
    if (!handle) return {not_there(GetLastError()) ? ReadStatus::absent : ReadStatus::unreadable, {}, {}};
    // Only a file on disk: never a device, pipe or console that could block.
    if (GetFileType(handle.get()) != FILE_TYPE_DISK) return {ReadStatus::absent, {}, {}};
    // The identity, which an open handle keeps: asked once (a round trip
    // to the file server), before the read.
    BY_HANDLE_FILE_INFORMATION info{};
    if ((read || with_version) && !GetFileInformationByHandle(handle.get(), &info))
        return {ReadStatus::unreadable, {}, {}};
    if (read) {
        if (!read->insert({info.dwVolumeSerialNumber,
                           static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow}))
            return {ReadStatus::read_before, {}, {}};
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle.get(), &size) || size.QuadPart < 0) return {ReadStatus::unreadable, {}, {}};
    // A file larger than the XML layer parses is never read: a huge file
    // under an .xml name must not fill the memory nor cost its reading.
    if (static_cast<ULONGLONG>(size.QuadPart) > xml::Document::max_file_size) return {ReadStatus::too_large, {}, {}};
    FileBytes file{ReadStatus::read, std::string(static_cast<std::size_t>(size.QuadPart), '\0'), {}};
    std::string& bytes = file.bytes;
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        if (!ReadFile(handle.get(), bytes.data() + done, want, &got, nullptr)) return {ReadStatus::unreadable, {}, {}};
        if (got == 0) break;
        done += got;
    }
    bytes.resize(done);
    // Told after the read: a write during it moves the change time away
    // from the listing's, and the index then records nothing.
    if (with_version) file.version = opened_version(handle.get(), info);
    return file;
}

}  // namespace

FileBytes WindowsPlatform::read_file(const std::string& path) { return read_plain_file(path, nullptr, index_wanted()); }

FileBytes WindowsPlatform::read_file_once(const std::string& path, FileIdentities& read) {
    return read_plain_file(path, &read, index_wanted());
}

bool WindowsPlatform::read_in_pieces(const std::string& path, const std::function<bool(std::string_view)>& on_piece) {
    const UniqueHandle handle =
        checked(CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle || GetFileType(handle.get()) != FILE_TYPE_DISK) return false;
    std::string piece(1 << 20, '\0');
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(handle.get(), piece.data(), static_cast<DWORD>(piece.size()), &got, nullptr)) return false;
        if (got == 0 || !on_piece(std::string_view(piece.data(), got))) return true;
    }
}

std::string WindowsPlatform::host_to_ansi(std::string_view text) { return to_ansi(utf8_to_utf16(text)); }

bool WindowsPlatform::index_wanted() const {
    wchar_t off[2] = {};
    const DWORD n = GetEnvironmentVariableW(L"IDF_SEM_INDICE", off, 2);
    return !(n == 1 && off[0] == L'1');
}

std::optional<std::string> WindowsPlatform::cache_folder() {
    if (!index_wanted()) return std::nullopt;
    std::wstring base(MAX_PATH + 1, L'\0');
    const DWORD n = GetEnvironmentVariableW(L"LOCALAPPDATA", base.data(), static_cast<DWORD>(base.size()));
    if (n == 0 || n >= base.size()) return std::nullopt;
    base.resize(n);
    while (!base.empty() && (base.back() == L'\\' || base.back() == L'/')) base.pop_back();
    if (base.empty()) return std::nullopt;
    const std::wstring folder = base + L"\\Integracao_Docs_Fiscal";
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return std::nullopt;
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return std::nullopt;
    return narrow(folder);
}

bool WindowsPlatform::replace_file(const std::string& path, std::string_view bytes) {
    const PathParts where = split_path(path, "\\/");
    UniqueHandle handle;
    const auto created = create_temporary(where, GetCurrentProcessId(), random_bits, [&](const std::string& temporary) {
        handle = checked(CreateFileW(w(temporary).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (handle) return CreateAttempt::created;
        const DWORD error = GetLastError();
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? CreateAttempt::name_taken
                                                                           : CreateAttempt::failed;
    });
    if (!created) return false;
    bool written = true;
    while (written && !bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 20));
        DWORD done = 0;
        written = WriteFile(handle.get(), bytes.data(), chunk, &done, nullptr) && done > 0;
        bytes.remove_prefix(done);
    }
    written = CloseHandle(handle.release()) && written;
    if (written && MoveFileExW(w(*created).c_str(), w(path).c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    DeleteFileW(w(*created).c_str());
    return false;
}

std::int64_t WindowsPlatform::now() {
    FILETIME time{};
    GetSystemTimeAsFileTime(&time);
    return unix_ns(ticks_of(time)).value_or(0);
}

}  // namespace idf::win
