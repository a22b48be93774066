// The exported functions of Integracao_Docs_Fiscal.dll.
//
// Each takes three pointers to NUL-terminated ANSI strings (a host string
// points at its first character; a null pointer is the empty text), copies
// them, runs one import on the calling thread and returns nothing; the
// callee removes the 12 bytes of arguments. The caller's memory is only
// read, so the reference counts in front of a host string are never
// touched.
//
// Nothing leaves these functions: C++ exceptions are caught, and a
// structured exception (an access violation, say) ends the import through
// the abort path. COM is initialised for the call when the thread has not
// done so, and only then uninitialised again. Calls are serialised; a call
// made from inside a running one on the same thread (from a window
// procedure while a box is up) returns at once.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "common/exchange_file.hpp"
#include "common/messages.hpp"
#include "cte/uimporta_arquivo_xml_cte.hpp"
#include "nfe/uimporta_arquivo_xml_nfe.hpp"
#include "platform/windows/seh_guard.hpp"
#include "platform/windows/windows_platform.hpp"

namespace {

// Read once, when the library is loaded.
const idf::Regional regional_settings = idf::win::read_regional_settings();

SRWLOCK import_lock = SRWLOCK_INIT;
std::atomic<DWORD> import_owner{0};

class ImportLock {
public:
    ImportLock() : reentered_(import_owner.load() == GetCurrentThreadId()) {
        if (reentered_) return;
        AcquireSRWLockExclusive(&import_lock);
        import_owner.store(GetCurrentThreadId());
    }
    ~ImportLock() {
        if (reentered_) return;
        import_owner.store(0);
        ReleaseSRWLockExclusive(&import_lock);
    }
    ImportLock(const ImportLock&) = delete;
    ImportLock& operator=(const ImportLock&) = delete;
    bool reentered() const { return reentered_; }

private:
    bool reentered_;
};

// COM for the duration of one call, when the thread had none: a successful
// CoInitializeEx (S_OK, or S_FALSE when the thread already had the same
// apartment) is balanced by CoUninitialize; a thread in the other apartment
// (RPC_E_CHANGED_MODE) keeps it untouched.
class ComScope {
public:
    ComScope() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComScope() {
        if (initialised_) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool initialised_;
};

enum class Kind { nfe, cte };

struct Call {
    Kind kind;
    const char* arguments[3];
    idf::win::WindowsPlatform* platform;
};

std::string copy_argument(const char* text) { return text ? std::string(text) : std::string(); }

void run_import(void* context) {
    auto& call = *static_cast<Call*>(context);
    try {
        const std::string chave = copy_argument(call.arguments[0]);
        const std::string pasta = copy_argument(call.arguments[1]);
        const std::string modo = copy_argument(call.arguments[2]);
        if (call.kind == Kind::nfe)
            idf::nfe::importa_arquivo_xml_nfe(*call.platform, regional_settings, chave, pasta, modo);
        else
            idf::cte::importa_arquivo_xml_cte(*call.platform, regional_settings, chave, pasta, modo);
    } catch (...) {
        // The import ends every failure on its abort path; this only keeps
        // anything left (an allocation failure) inside the library.
    }
}

// The abort path after a structured exception: the import's own objects
// were abandoned, so the files are closed here, the user is told and the
// exchange file is removed.
void abort_after_fault(idf::win::WindowsPlatform& platform, unsigned long code) {
    try {
        platform.close_open_files();
        char number[16];
        std::snprintf(number, sizeof number, "0x%08lX", code);
        platform.mensagem_atencao(std::string(idf::msg::erro_inesperado) + "Exceção " + number + "." +
                                  std::string(idf::msg::abortada));
        const auto path = platform.exchange_file_path();
        if (path && platform.file_exists(*path)) platform.delete_file(*path);
    } catch (...) {
    }
}

void importa(Kind kind, const char* chave_acesso, const char* pasta_temporaria, const char* modo_silencioso) noexcept {
    try {
        const ImportLock lock;
        if (lock.reentered()) return;
        const ComScope com;
        idf::win::WindowsPlatform platform;
        Call call{kind, {chave_acesso, pasta_temporaria, modo_silencioso}, &platform};
        if (const unsigned long code = idf::win::run_guarded(run_import, &call)) abort_after_fault(platform, code);
    } catch (...) {
    }
}

}  // namespace

extern "C" {

__stdcall void importa_arquivo_xml_nfe(const char* chave_acesso, const char* pasta_temporaria,
                                       const char* modo_silencioso) {
    importa(Kind::nfe, chave_acesso, pasta_temporaria, modo_silencioso);
}

__stdcall void importa_arquivo_xml_cte(const char* chave_acesso, const char* pasta_temporaria,
                                       const char* modo_silencioso) {
    importa(Kind::cte, chave_acesso, pasta_temporaria, modo_silencioso);
}

}  // extern "C"
