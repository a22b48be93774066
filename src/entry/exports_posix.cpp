// The exported functions of the shared library on Linux.
//
// Each call copies its three arguments (a null pointer is the empty text),
// runs one import and returns nothing. Calls are serialised: the library
// holds one import at a time. Nothing, exception or otherwise, leaves these
// functions.
#include <mutex>
#include <string>

#include "common/regional.hpp"
#include "cte/uimporta_arquivo_xml_cte.hpp"
#include "integracao_docs_fiscal.h"
#include "nfe/uimporta_arquivo_xml_nfe.hpp"
#include "platform/posix_platform.hpp"

// The definitions match the public header's declarations (built with
// IDF_BUILDING_LIBRARY: default visibility, the rest of the library hidden).
#define IDF_EXPORT extern "C" IDF_API

namespace {

std::mutex import_mutex;

// Read once when the library is loaded.
const idf::Regional regional_settings = idf::Regional::brazilian();

std::string copy_argument(const char* text) { return text ? std::string(text) : std::string(); }

template <typename Run>
void run_serialised(const char* chave_acesso, const char* pasta_temporaria, const char* modo_silencioso,
                    Run run) noexcept {
    try {
        const std::string chave = copy_argument(chave_acesso);
        const std::string pasta = copy_argument(pasta_temporaria);
        const std::string modo = copy_argument(modo_silencioso);
        const std::lock_guard<std::mutex> lock(import_mutex);
        idf::PosixPlatform platform;
        run(platform, chave, pasta, modo);
    } catch (...) {
        // The import already ends every failure on its abort path; this only
        // keeps anything left (an allocation failure) inside the library.
    }
}

}  // namespace

IDF_EXPORT void importa_arquivo_xml_nfe(const char* chave_acesso, const char* pasta_temporaria,
                                        const char* modo_silencioso) {
    run_serialised(chave_acesso, pasta_temporaria, modo_silencioso,
                   [](idf::Platform& platform, const std::string& c, const std::string& p, const std::string& m) {
                       idf::nfe::importa_arquivo_xml_nfe(platform, regional_settings, c, p, m);
                   });
}

IDF_EXPORT void importa_arquivo_xml_cte(const char* chave_acesso, const char* pasta_temporaria,
                                        const char* modo_silencioso) {
    run_serialised(chave_acesso, pasta_temporaria, modo_silencioso,
                   [](idf::Platform& platform, const std::string& c, const std::string& p, const std::string& m) {
                       idf::cte::importa_arquivo_xml_cte(platform, regional_settings, c, p, m);
                   });
}
