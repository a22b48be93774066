// The Windows test host: a 32-bit program that loads Integracao_Docs_Fiscal.dll
// as a host business program does and checks what the user and the host see.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace host {

// ---- text --------------------------------------------------------------
std::wstring from_utf8(const std::string& text);
// A text in the ANSI code page.
std::string ansi(const std::wstring& text);
std::string to_utf8(const std::wstring& text);
// What a UTF-8 text looks like after the trip through the ANSI code page
// that MessageBoxA makes.
std::wstring through_ansi(const std::string& utf8);
std::string printable(const std::wstring& text);

// ---- results -------------------------------------------------------------
class Results {
public:
    void check(bool ok, const std::string& test, const std::string& what);
    int passed() const { return passed_; }
    int failed() const { return failed_; }

private:
    int passed_ = 0;
    int failed_ = 0;
};
extern Results results;

// ---- files -------------------------------------------------------------
std::optional<std::string> read_bytes(const std::wstring& path);
bool write_bytes(const std::wstring& path, const std::string& bytes);
bool exists(const std::wstring& path);
std::wstring module_folder();
std::wstring current_folder();
std::vector<std::string> split_crlf(const std::string& text);

// ---- what the watcher saw ------------------------------------------------
struct Seen {
    enum Kind { box, dialog } kind;
    std::wstring caption;
    std::wstring text;
    bool ok_only = false;            // a box with an OK button and no other
    bool owner_disabled = false;     // the host's window was disabled meanwhile
    std::optional<std::string> ini;  // the exchange file at that moment
    bool folder_held = false;        // the exchange file's folder could not be opened for deletion then
};

// How the watcher answers the open-file dialog.
struct DialogPlan {
    bool cancel = true;
    std::wstring path;     // typed into the file name box, then Open
    bool reenter = false;  // post WM_APP to the host window before closing a box
};

// A thread that finds every dialog window of this process, records it and
// closes it: boxes with OK, the open-file dialog as planned.
class Watcher {
public:
    Watcher();
    ~Watcher();
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;

    void start_case(const DialogPlan& plan, std::wstring exchange_file, HWND host_window);
    std::vector<Seen> finish_case();

private:
    static DWORD WINAPI run(void* self);
    void scan();
    void handle(HWND dialog);

    CRITICAL_SECTION lock_;
    HANDLE thread_ = nullptr;
    volatile LONG stop_ = 0;
    DialogPlan plan_;
    std::wstring exchange_file_;
    HWND host_window_ = nullptr;
    std::vector<Seen> seen_;
    std::vector<HWND> handled_;
};

// ---- the library -----------------------------------------------------------
using ExportFn = void(__stdcall*)(const char*, const char*, const char*);

struct Library {
    HMODULE module = nullptr;
    ExportFn nfe = nullptr;
    ExportFn cte = nullptr;
};

// Calls an export the way a stdcall caller does and returns how far the
// stack pointer moved across the call (0 when the callee removed its 12
// bytes of arguments).
int call_checked(ExportFn fn, const char* a, const char* b, const char* c);

// A host string: reference count and length in front of the characters,
// on a page the library can only read.
class HostString {
public:
    HostString(const std::string& text, std::int32_t refcount);
    ~HostString();
    HostString(const HostString&) = delete;
    HostString& operator=(const HostString&) = delete;
    const char* chars() const { return base_ + 8; }
    std::int32_t refcount() const;
    std::int32_t length() const;
    bool unchanged() const;

private:
    char* base_;
    std::string text_;
    std::int32_t refcount_;
};

// ---- the calls for hosts without a desktop ---------------------------------

using HeadlessFn = int(__stdcall*)(const char*, const char*, const char*, const char*);

struct HeadlessRun {
    int code = -1;                   // what idf_importa_* returned
    std::vector<Seen> seen;          // windows of any kind during the call
    std::optional<std::string> ini;  // the file at the output path afterwards
    bool folder_kept = false;        // the current folder was the same after the call
    int result_code = -1;            // idf_ultimo_resultado with a buffer of the size it asked for
    std::string result;              // the object it copied
};

// One call of idf_importa_nfe or idf_importa_cte (by name), watched, with
// its result read back.
HeadlessRun call_headless(HMODULE dll, Watcher& watcher, HWND window, const std::string& type, const char* chave,
                          const char* pasta, const char* xml, const std::wstring& out);

// The "mensagens" member as the result object writes these texts (UTF-8).
std::string json_messages(const std::vector<std::string>& texts);

// The three exports by name and ordinal, invalid arguments and the copy
// protocol of idf_ultimo_resultado.
void headless_exports(HMODULE dll, Watcher& watcher, HWND window, const std::wstring& data);

}  // namespace host
