#include <algorithm>
#include <cstdio>
#include <cstring>

#include "host.hpp"

namespace host {

Results results;

std::wstring from_utf8(const std::string& text) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string ansi(const std::wstring& text) {
    const int n =
        WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::string to_utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring through_ansi(const std::string& utf8) {
    const std::wstring wide = from_utf8(utf8);
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), nullptr,
                                      0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), ansi.data(), n,
                        nullptr, nullptr);
    const int m = MultiByteToWideChar(CP_ACP, 0, ansi.data(), n, nullptr, 0);
    std::wstring back(static_cast<std::size_t>(m), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), n, back.data(), m);
    return back;
}

std::string printable(const std::wstring& text) {
    std::string out;
    for (const char c : to_utf8(text)) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

void Results::check(bool ok, const std::string& test, const std::string& what) {
    if (ok) {
        ++passed_;
    } else {
        ++failed_;
        std::printf("FAIL %s: %s\n", test.c_str(), what.c_str());
        std::fflush(stdout);
    }
}

std::optional<std::string> read_bytes(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string out;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0) out.append(buffer, got);
    CloseHandle(h);
    return out;
}

bool write_bytes(const std::wstring& path, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
    CloseHandle(h);
    return ok;
}

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring module_folder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring out = path;
    return out.substr(0, out.rfind(L'\\'));
}

std::wstring current_folder() {
    wchar_t path[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, path);
    return path;
}

std::vector<std::string> split_crlf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// ---- Watcher ---------------------------------------------------------------

Watcher::Watcher() {
    InitializeCriticalSection(&lock_);
    thread_ = CreateThread(nullptr, 0, &Watcher::run, this, 0, nullptr);
}

Watcher::~Watcher() {
    InterlockedExchange(&stop_, 1);
    if (thread_) {
        WaitForSingleObject(thread_, 5000);
        CloseHandle(thread_);
    }
    DeleteCriticalSection(&lock_);
}

void Watcher::start_case(const DialogPlan& plan, std::wstring exchange_file, HWND host_window) {
    EnterCriticalSection(&lock_);
    plan_ = plan;
    exchange_file_ = std::move(exchange_file);
    host_window_ = host_window;
    seen_.clear();
    LeaveCriticalSection(&lock_);
}

std::vector<Seen> Watcher::finish_case() {
    EnterCriticalSection(&lock_);
    std::vector<Seen> out = std::move(seen_);
    seen_.clear();
    plan_ = DialogPlan{};
    LeaveCriticalSection(&lock_);
    return out;
}

DWORD WINAPI Watcher::run(void* self) {
    auto* watcher = static_cast<Watcher*>(self);
    while (!InterlockedCompareExchange(&watcher->stop_, 0, 0)) {
        watcher->scan();
        Sleep(25);
    }
    return 0;
}

namespace {

BOOL CALLBACK collect(HWND window, LPARAM list) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != GetCurrentProcessId()) return TRUE;
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (std::wcscmp(name, L"#32770") == 0) reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

void press(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

}  // namespace

void Watcher::scan() {
    std::vector<HWND> dialogs;
    EnumWindows(collect, reinterpret_cast<LPARAM>(&dialogs));
    EnterCriticalSection(&lock_);
    std::erase_if(handled_, [](HWND w) { return !IsWindow(w); });
    for (HWND dialog : dialogs) {
        if (std::find(handled_.begin(), handled_.end(), dialog) != handled_.end()) continue;
        if (!IsWindowVisible(dialog)) continue;  // still being built
        handled_.push_back(dialog);
        handle(dialog);
    }
    LeaveCriticalSection(&lock_);
}

void Watcher::handle(HWND dialog) {
    Seen seen{};
    wchar_t caption[512] = {};
    GetWindowTextW(dialog, caption, 512);
    seen.caption = caption;
    seen.owner_disabled = host_window_ && !IsWindowEnabled(host_window_);
    if (GetDlgItem(dialog, 0x47C) || GetDlgItem(dialog, 0x480)) {
        // The open-file dialog: let it settle, then cancel or choose.
        seen.kind = Seen::dialog;
        Sleep(200);
        if (plan_.cancel) {
            press(dialog, IDCANCEL);
        } else {
            const int box = GetDlgItem(dialog, 0x47C) ? 0x47C : 0x480;
            SetDlgItemTextW(dialog, box, plan_.path.c_str());
            press(dialog, IDOK);
        }
    } else {
        seen.kind = Seen::box;
        std::wstring text(65536, L'\0');
        const UINT n = GetDlgItemTextW(dialog, 0xFFFF, text.data(), static_cast<int>(text.size()));
        text.resize(n);
        seen.text = text;
        seen.ok_only = GetDlgItem(dialog, IDOK) && !GetDlgItem(dialog, IDCANCEL) && !GetDlgItem(dialog, IDYES) &&
                       !GetDlgItem(dialog, IDNO) && !GetDlgItem(dialog, IDABORT) && !GetDlgItem(dialog, IDRETRY);
        if (!exchange_file_.empty()) {
            seen.ini = read_bytes(exchange_file_);
            // Opening for deletion (what a rename needs) is refused while
            // someone holds the folder without sharing deletion.
            std::wstring folder = exchange_file_.substr(0, exchange_file_.rfind(L'\\'));
            if (folder.size() == 2 && folder[1] == L':') folder += L'\\';  // a drive root
            HANDLE probe = CreateFileW(folder.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
            seen.folder_held = probe == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION;
            if (probe != INVALID_HANDLE_VALUE) CloseHandle(probe);
        }
        // Delivered by the box's own message loop, before the OK below.
        if (plan_.reenter && host_window_) PostMessageW(host_window_, WM_APP, 0, 0);
        press(dialog, IDOK);
    }
    seen_.push_back(std::move(seen));
}

// ---- calls -----------------------------------------------------------------

#if defined(_WIN64)
// x64 has one calling convention, in which the caller owns the argument
// area: there is nothing the callee could leave unbalanced.
int call_checked(ExportFn fn, const char* a, const char* b, const char* c) {
    fn(a, b, c);
    return 0;
}
#else
int call_checked(ExportFn fn, const char* a, const char* b, const char* c) {
    int moved;
    asm volatile(
        "movl %%esp, %%esi\n\t"
        "pushl %4\n\t"
        "pushl %3\n\t"
        "pushl %2\n\t"
        "call *%1\n\t"
        "movl %%esp, %%eax\n\t"
        "subl %%esi, %%eax\n\t"
        "movl %%esi, %%esp\n\t"
        : "=a"(moved), "+b"(fn), "+c"(a), "+d"(b), "+D"(c)
        :
        : "esi", "memory", "cc");
    return moved;
}
#endif

HostString::HostString(const std::string& text, std::int32_t refcount) : text_(text), refcount_(refcount) {
    base_ = static_cast<char*>(VirtualAlloc(nullptr, text.size() + 16, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    const auto length = static_cast<std::int32_t>(text.size());
    std::memcpy(base_, &refcount, 4);
    std::memcpy(base_ + 4, &length, 4);
    std::memcpy(base_ + 8, text.data(), text.size());
    base_[8 + text.size()] = '\0';
    DWORD old = 0;
    VirtualProtect(base_, text.size() + 16, PAGE_READONLY, &old);
}

HostString::~HostString() { VirtualFree(base_, 0, MEM_RELEASE); }

std::int32_t HostString::refcount() const {
    std::int32_t value;
    std::memcpy(&value, base_, 4);
    return value;
}

std::int32_t HostString::length() const {
    std::int32_t value;
    std::memcpy(&value, base_ + 4, 4);
    return value;
}

bool HostString::unchanged() const {
    return refcount() == refcount_ && length() == static_cast<std::int32_t>(text_.size()) &&
           std::memcmp(chars(), text_.data(), text_.size() + 1) == 0;
}

}  // namespace host
