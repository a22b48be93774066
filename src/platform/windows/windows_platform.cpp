#include "platform/windows/windows_platform.hpp"

#include <windows.h>
// After windows.h, which it needs.
#include <commdlg.h>

#include <algorithm>
#include <memory>

#include "common/messages.hpp"
#include "common/text.hpp"
#include "common/xml.hpp"

namespace idf::win {

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

class WindowsOutputFile final : public OutputFile {
public:
    WindowsOutputFile(UniqueHandle handle, std::vector<void*>& registry)
        : handle_(std::move(handle)), registry_(registry) {
        registry_.push_back(handle_.get());
    }
    ~WindowsOutputFile() override { close(); }
    WindowsOutputFile(const WindowsOutputFile&) = delete;
    WindowsOutputFile& operator=(const WindowsOutputFile&) = delete;

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
    bool close() override {
        if (!handle_) return true;
        std::erase(registry_, handle_.get());
        return CloseHandle(handle_.release()) != 0;
    }

private:
    UniqueHandle handle_;
    std::vector<void*>& registry_;
};

std::string current_directory() {
    const DWORD n = GetCurrentDirectoryA(0, nullptr);
    if (n == 0) return ".";
    std::string out(n, '\0');
    const DWORD got = GetCurrentDirectoryA(n, out.data());
    out.resize(got < n ? got : 0);
    return out;
}

bool is_drive_root(std::string_view path) { return path.size() == 3 && path[1] == ':' && path[2] == '\\'; }

}  // namespace

std::optional<std::string> full_path(const std::string& path) {
    const DWORD n = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (n == 0) return std::nullopt;
    std::string out(n, '\0');
    const DWORD got = GetFullPathNameA(path.c_str(), n, out.data(), nullptr);
    if (got == 0 || got >= n) return std::nullopt;
    out.resize(got);
    return out;
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

bool list_box_less(const std::string& a, const std::string& b) {
    const int order = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                                     b.data(), static_cast<int>(b.size()));
    if (order == CSTR_LESS_THAN) return true;
    if (order == CSTR_GREATER_THAN) return false;
    return a < b;  // equal ignoring case: a fixed order all the same
}

Regional read_regional_settings() {
    Regional regional = Regional::brazilian();
    char buffer[256];
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, sizeof buffer) > 1)
        regional.decimal_separator = buffer[0];
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, buffer, sizeof buffer) > 1)
        regional.short_date_format = buffer;
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDATE, buffer, sizeof buffer) > 1)
        regional.date_separator = buffer[0];
    return regional;
}

WindowsPlatform::~WindowsPlatform() { close_open_files(); }

void WindowsPlatform::close_open_files() {
    for (void* handle : open_handles) CloseHandle(handle);
    open_handles.clear();
}

void WindowsPlatform::mensagem_atencao(std::string_view text) {
    const std::string body = ansi(text);
    const std::string caption = ansi(msg::caption);
    MessageBoxA(nullptr, body.c_str(), caption.c_str(), MB_OK | MB_ICONEXCLAMATION | MB_TASKMODAL);
}

std::optional<std::string> WindowsPlatform::open_file_dialog() {
    std::string file(4096, '\0');
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = nullptr;
    ofn.lpstrFilter = "XML files\0*.xml\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrDefExt = "XML";
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_ENABLESIZING | OFN_HIDEREADONLY | OFN_EXPLORER;
    if (!GetOpenFileNameA(&ofn)) return std::nullopt;
    file.resize(file.find('\0'));
    if (file.empty()) return std::nullopt;
    return file;
}

std::string WindowsPlatform::exchange_folder() {
    char path[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0) return current_directory();
    return module_folder(std::string_view(path, n));
}

std::string WindowsPlatform::join_path(std::string_view folder, std::string_view name) {
    std::string out(folder);
    out += '\\';
    out += name;
    return out;
}

std::optional<DirectoryListing> WindowsPlatform::list_directory(const std::string& folder_arg) {
    FolderAndMask where = split_mask(folder_arg);
    if (where.folder.empty()) where.folder = current_directory();
    const auto full = full_path(where.folder);
    if (!full) return std::nullopt;
    std::string folder = *full;
    while (folder.size() > 1 && folder.back() == '\\' && !is_drive_root(folder)) folder.pop_back();

    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return std::nullopt;
    if (search_folder_ == SearchFolder::becomes_current && !SetCurrentDirectoryA(folder.c_str())) return std::nullopt;

    DirectoryListing listing;
    listing.folder = folder;
    const std::string pattern = folder + (folder.back() == '\\' ? "" : "\\") + where.mask;
    WIN32_FIND_DATAA found{};
    UniqueFind find(FindFirstFileA(pattern.c_str(), &found));
    if (find.get() == INVALID_HANDLE_VALUE) {
        find.release();
        return listing;
    }
    constexpr DWORD not_plain =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE;
    do {
        if (found.dwFileAttributes & not_plain) continue;
        listing.names.emplace_back(found.cFileName);
    } while (FindNextFileA(find.get(), &found));
    std::sort(listing.names.begin(), listing.names.end(), list_box_less);
    return listing;
}

bool WindowsPlatform::file_exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WindowsPlatform::delete_file(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

std::unique_ptr<OutputFile> WindowsPlatform::create_file(const std::string& path) {
    UniqueHandle handle = checked(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) return nullptr;
    return std::make_unique<WindowsOutputFile>(std::move(handle), open_handles);
}

std::optional<std::string> WindowsPlatform::read_file(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)))
        return std::nullopt;
    UniqueHandle handle = checked(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    // Only a file on disk: never a device, pipe or console that could block.
    if (!handle || GetFileType(handle.get()) != FILE_TYPE_DISK) return std::nullopt;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle.get(), &size) || size.QuadPart < 0) return std::nullopt;
    // A file larger than the XML layer parses is read only far enough for
    // it to tell: a huge file under an .xml name never fills the memory.
    constexpr ULONGLONG limit = xml::Document::max_file_size + 1;
    std::string bytes(static_cast<std::size_t>(std::min<ULONGLONG>(static_cast<ULONGLONG>(size.QuadPart), limit)),
                      '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        if (!ReadFile(handle.get(), bytes.data() + done, want, &got, nullptr)) return std::nullopt;
        if (got == 0) break;
        done += got;
    }
    bytes.resize(done);
    return bytes;
}

std::string WindowsPlatform::host_to_ansi(std::string_view text) { return std::string(text); }

}  // namespace idf::win
