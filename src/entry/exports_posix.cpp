// The exported functions of the shared library on Linux.
//
// Each classic call copies its three arguments (a null pointer is the empty
// text), runs one import and returns nothing. The idf_* calls run the same
// import on a headless platform: nothing shown, the current folder left
// alone, the exchange file at the caller's path, the result kept for the
// calling thread. All calls are serialised: the library holds one import
// at a time. Nothing, exception or otherwise, leaves these functions.
#include <pthread.h>

#include <mutex>
#include <optional>
#include <string>

#include "common/result_json.hpp"
#include "cte/uimporta_arquivo_xml_cte.hpp"
#include "entry/floating_point.hpp"
#include "entry/headless_call.hpp"
#include "integracao_docs_fiscal.h"
#include "nfe/uimporta_arquivo_xml_nfe.hpp"
#include "platform/headless_platform.hpp"
#include "platform/posix/posix_platform.hpp"
#include "values/regional.hpp"
#include "values/text.hpp"

// The definitions match the public header's declarations (built with
// IDF_BUILDING_LIBRARY: default visibility, the rest of the library hidden).
#define IDF_EXPORT extern "C" IDF_API

namespace {

std::mutex import_mutex;

// A process forked while another thread is inside a call would inherit the
// lock taken for good, and its first call would wait forever: fork waits
// until no call runs, and both processes go on with the lock free.
const int fork_handlers =
    ::pthread_atfork([] { import_mutex.lock(); }, [] { import_mutex.unlock(); }, [] { import_mutex.unlock(); });

// Read once when the library is loaded.
const idf::Regional regional_settings = idf::Regional::brazilian();

std::string copy_argument(const char* text) { return text ? std::string(text) : std::string(); }

void importa(const idf::DocumentType& type, const char* chave_acesso, const char* pasta_temporaria,
             const char* modo_silencioso) noexcept {
    const idf::entry::HostFloatingPoint host_floating_point;
    try {
        const std::string chave = copy_argument(chave_acesso);
        const std::string pasta = copy_argument(pasta_temporaria);
        const std::string modo = copy_argument(modo_silencioso);
        const std::lock_guard<std::mutex> lock(import_mutex);
        idf::PosixPlatform platform;
        idf::run_import(type, platform, regional_settings, {chave, pasta, modo});
    } catch (...) {
        // The import already ends every failure on its abort path; this only
        // keeps anything left (an allocation failure) inside the library.
    }
}

int importa_headless(const idf::DocumentType& type, const char* chave_acesso, const char* pasta_temporaria,
                     const char* arquivo_xml, const char* arquivo_saida) noexcept {
    using namespace idf::entry;
    const HostFloatingPoint host_floating_point;
    try {
        const HeadlessArguments arguments(chave_acesso, pasta_temporaria, arquivo_xml, arquivo_saida);
        if (!arguments.valid()) {
            forget_result();
            return argumentos_invalidos;
        }
        const std::lock_guard<std::mutex> lock(import_mutex);
        idf::PosixPlatform base(idf::SearchFolder::leaves_current);
        std::optional<std::string> chosen;
        if (arguments.dialog_way()) chosen = idf::absolute_path(arguments.arquivo_xml);
        const std::string saida = idf::absolute_path(arguments.arquivo_saida);
        // Never the document itself: the old exchange file is removed first.
        std::optional<std::string> xml;
        if (!idf::is_blank(arguments.arquivo_xml)) xml = idf::absolute_path(arguments.arquivo_xml);
        std::optional<std::string> searched;
        if (!arguments.dialog_way()) searched = arguments.pasta_temporaria;
        idf::HeadlessPlatform platform(base, saida, std::move(chosen));
        // The folder listed for the check is the one the import reads.
        platform.keep_listings(true);
        if (idf::output_is_an_input(platform, saida, xml, searched)) {
            forget_result();
            return argumentos_invalidos;
        }
        platform.keep_listings(false);
        const idf::ImportResult result =
            idf::run_headless(type, platform, regional_settings, arguments.import_arguments());
        store_result(idf::result_json(result, platform.messages()));
        return result.outcome == idf::Outcome::completed ? concluida : nao_concluida;
    } catch (...) {
        // Only an allocation failure gets here, before or after the import.
        forget_result();
        return nao_concluida;
    }
}

}  // namespace

IDF_EXPORT void importa_arquivo_xml_nfe(const char* chave_acesso, const char* pasta_temporaria,
                                        const char* modo_silencioso) {
    importa(idf::nfe::document, chave_acesso, pasta_temporaria, modo_silencioso);
}

IDF_EXPORT void importa_arquivo_xml_cte(const char* chave_acesso, const char* pasta_temporaria,
                                        const char* modo_silencioso) {
    importa(idf::cte::document, chave_acesso, pasta_temporaria, modo_silencioso);
}

IDF_EXPORT int idf_importa_cte(const char* chave_acesso, const char* pasta_temporaria, const char* arquivo_xml,
                               const char* arquivo_saida) {
    return importa_headless(idf::cte::document, chave_acesso, pasta_temporaria, arquivo_xml, arquivo_saida);
}

IDF_EXPORT int idf_importa_nfe(const char* chave_acesso, const char* pasta_temporaria, const char* arquivo_xml,
                               const char* arquivo_saida) {
    return importa_headless(idf::nfe::document, chave_acesso, pasta_temporaria, arquivo_xml, arquivo_saida);
}

IDF_EXPORT int idf_ultimo_resultado(char* buffer, int* tamanho) {
    try {
        return idf::entry::copy_result(buffer, tamanho);
    } catch (...) {
        return 1;
    }
}
