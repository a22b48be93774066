// The exported functions of Integracao_Docs_Fiscal.dll.
//
// Each takes three pointers to NUL-terminated ANSI strings (a host string
// points at its first character; a null pointer is the empty text), copies
// them as UTF-8, the platform's encoding (windows_platform.hpp), runs one
// import on the calling thread and returns nothing; the
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
//
// The idf_* calls run the same import on a headless platform: no window of
// any kind, the current folder left alone, the exchange file at the
// caller's path, and the result kept for the calling thread. They share
// the lock, the COM scope and the structured-exception guard.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <optional>
#include <string>

#include "common/messages.hpp"
#include "common/result_json.hpp"
#include "cte/uimporta_arquivo_xml_cte.hpp"
#include "entry/floating_point.hpp"
#include "entry/headless_call.hpp"
#include "nfe/uimporta_arquivo_xml_nfe.hpp"
#include "platform/headless_platform.hpp"
#include "platform/windows/seh_guard.hpp"
#include "platform/windows/windows_platform.hpp"
#include "values/text.hpp"

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

struct Call {
    const idf::DocumentType& type;
    const char* arguments[3];
    idf::win::WindowsPlatform* platform;
};

// A host's ANSI string as the platform's UTF-8.
std::string copy_argument(const char* text) { return text ? idf::win::from_ansi(text) : std::string(); }

void run_classic_import(void* context) {
    auto& call = *static_cast<Call*>(context);
    try {
        const std::string chave = copy_argument(call.arguments[0]);
        const std::string pasta = copy_argument(call.arguments[1]);
        const std::string modo = copy_argument(call.arguments[2]);
        idf::run_import(call.type, *call.platform, regional_settings, {chave, pasta, modo});
    } catch (...) {
        // The import ends every failure on its abort path; this only keeps
        // anything left (an allocation failure) inside the library.
    }
}

// The abort path after a structured exception: the import's own objects
// were abandoned, so the files are closed here, the user is told and the
// exchange file is removed. `files` holds the open files; `platform` shows
// the message and knows the exchange file (the same object, or the
// headless platform over it).
void abort_after_fault(idf::win::WindowsPlatform& files, idf::Platform& platform, unsigned long code) {
    try {
        files.close_open_files();
        char number[16];
        std::snprintf(number, sizeof number, "0x%08lX", code);
        platform.mensagem_atencao(std::string(idf::msg::erro_inesperado) + "Exceção " + number + "." +
                                  std::string(idf::msg::abortada));
        const auto path = platform.exchange_file_path();
        if (path && platform.entry_kind(*path) == idf::EntryKind::replaceable) platform.delete_file(*path);
    } catch (...) {
    }
}

void importa(const idf::DocumentType& type, const char* chave_acesso, const char* pasta_temporaria,
             const char* modo_silencioso) noexcept {
    const idf::entry::HostFloatingPoint host_floating_point;
    try {
        const ImportLock lock;
        if (lock.reentered()) return;
        const ComScope com;
        idf::win::WindowsPlatform platform;
        Call call{type, {chave_acesso, pasta_temporaria, modo_silencioso}, &platform};
        if (const unsigned long code = idf::win::run_guarded(run_classic_import, &call))
            abort_after_fault(platform, platform, code);
    } catch (...) {
    }
}

// ---- the calls for hosts without a desktop -------------------------------

struct HeadlessCall {
    const idf::DocumentType& type;
    const char* arguments[4];
    std::optional<idf::entry::HeadlessArguments> copied;
    idf::HeadlessPlatform* platform = nullptr;
    idf::ImportResult result;
};

// Copies the arguments under the guard: a pointer that cannot be read is
// an invalid argument.
void copy_headless_arguments(void* context) {
    auto& call = *static_cast<HeadlessCall*>(context);
    try {
        call.copied.emplace(call.arguments[0], call.arguments[1], call.arguments[2], call.arguments[3]);
        // ANSI from the host, UTF-8 for the platform.
        for (std::string* text : {&call.copied->chave_acesso, &call.copied->pasta_temporaria, &call.copied->arquivo_xml,
                                  &call.copied->arquivo_saida})
            *text = idf::win::from_ansi(*text);
    } catch (...) {
        call.copied.reset();
    }
}

void run_headless_import(void* context) {
    auto& call = *static_cast<HeadlessCall*>(context);
    try {
        call.result = idf::run_headless(call.type, *call.platform, regional_settings, call.copied->import_arguments());
    } catch (...) {
    }
}

std::string absolute(const std::string& path) { return idf::win::full_path(path).value_or(path); }

int importa_headless(const idf::DocumentType& type, const char* chave_acesso, const char* pasta_temporaria,
                     const char* arquivo_xml, const char* arquivo_saida) noexcept {
    using namespace idf::entry;
    const HostFloatingPoint host_floating_point;
    try {
        HeadlessCall call{
            type, {chave_acesso, pasta_temporaria, arquivo_xml, arquivo_saida}, std::nullopt, nullptr, {}};
        if (idf::win::run_guarded(copy_headless_arguments, &call) != 0 || !call.copied || !call.copied->valid()) {
            forget_result();
            return argumentos_invalidos;
        }
        const ImportLock lock;
        if (lock.reentered()) {
            // Inside a running call of this thread: nothing can run.
            forget_result();
            return nao_concluida;
        }
        const ComScope com;
        idf::win::WindowsPlatform base(idf::SearchFolder::leaves_current);
        std::optional<std::string> chosen;
        if (call.copied->dialog_way()) chosen = absolute(call.copied->arquivo_xml);
        const std::string saida = absolute(call.copied->arquivo_saida);
        // Never the document itself: the old exchange file is removed first.
        std::optional<std::string> xml;
        if (!idf::is_blank(call.copied->arquivo_xml)) xml = absolute(call.copied->arquivo_xml);
        std::optional<std::string> searched;
        if (!call.copied->dialog_way()) searched = call.copied->pasta_temporaria;
        idf::HeadlessPlatform platform(base, saida, std::move(chosen));
        // The folder listed for the check is the one the import reads.
        platform.keep_listings(true);
        if (idf::output_is_an_input(platform, saida, xml, searched)) {
            forget_result();
            return argumentos_invalidos;
        }
        platform.keep_listings(false);
        call.platform = &platform;
        if (const unsigned long code = idf::win::run_guarded(run_headless_import, &call)) {
            abort_after_fault(base, platform, code);
            call.result = idf::ImportResult{};
        }
        const bool completed = call.result.outcome == idf::Outcome::completed;
        // The path may hold a lone surrogate; the object is UTF-8.
        call.result.arquivo_ini = base.path_to_utf8(call.result.arquivo_ini);
        store_result(idf::result_json(call.result, platform.messages()));
        return completed ? concluida : nao_concluida;
    } catch (...) {
        forget_result();
        return nao_concluida;
    }
}

struct ResultCopy {
    char* buffer;
    int* tamanho;
    int code;
};

void copy_last_result(void* context) {
    auto& copy = *static_cast<ResultCopy*>(context);
    try {
        copy.code = idf::entry::copy_result(copy.buffer, copy.tamanho);
    } catch (...) {
    }
}

}  // namespace

extern "C" {

__stdcall void importa_arquivo_xml_nfe(const char* chave_acesso, const char* pasta_temporaria,
                                       const char* modo_silencioso) {
    importa(idf::nfe::document, chave_acesso, pasta_temporaria, modo_silencioso);
}

__stdcall void importa_arquivo_xml_cte(const char* chave_acesso, const char* pasta_temporaria,
                                       const char* modo_silencioso) {
    importa(idf::cte::document, chave_acesso, pasta_temporaria, modo_silencioso);
}

__stdcall int idf_importa_cte(const char* chave_acesso, const char* pasta_temporaria, const char* arquivo_xml,
                              const char* arquivo_saida) {
    return importa_headless(idf::cte::document, chave_acesso, pasta_temporaria, arquivo_xml, arquivo_saida);
}

__stdcall int idf_importa_nfe(const char* chave_acesso, const char* pasta_temporaria, const char* arquivo_xml,
                              const char* arquivo_saida) {
    return importa_headless(idf::nfe::document, chave_acesso, pasta_temporaria, arquivo_xml, arquivo_saida);
}

// A buffer or size that cannot be written ends the copy with 1.
__stdcall int idf_ultimo_resultado(char* buffer, int* tamanho) {
    ResultCopy copy{buffer, tamanho, 1};
    if (idf::win::run_guarded(copy_last_result, &copy) != 0) return 1;
    return copy.code;
}

}  // extern "C"
