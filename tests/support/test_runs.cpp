// The one-call import runners of the test support: they need both imports,
// so they live apart from the platform helpers that the core tests use.
#include "cte/uimporta_arquivo_xml_cte.hpp"
#include "nfe/uimporta_arquivo_xml_nfe.hpp"
#include "support/test_support.hpp"

namespace idf::test {

namespace {

// The dialog way: the user picks `path`; the exchange file goes to `dir`.
RunResult run_chosen(DocType type, const TempDir& dir, const std::string& path, std::string_view modo_silencioso,
                     const Regional& regional) {
    TestPlatform platform(dir.str());
    platform.dialog_choice = path;
    RunResult out;
    out.result = run_import(document_type(type), platform, regional, {"", "", modo_silencioso});
    out.boxes = platform.boxes;
    out.ini = read_bytes(out.result.arquivo_ini);
    return out;
}

}  // namespace

const DocumentType& document_type(DocType type) { return type == DocType::nfe ? nfe::document : cte::document; }

RunResult run_file(DocType type, const std::string& path, std::string_view modo_silencioso, const Regional& regional) {
    const TempDir dir;
    return run_chosen(type, dir, path, modo_silencioso, regional);
}

RunResult run_xml(DocType type, std::string_view xml, const Regional& regional, std::string_view modo_silencioso) {
    const TempDir dir;
    return run_chosen(type, dir, dir.write("doc.xml", xml), modo_silencioso, regional);
}

RunResult run_search(DocType type, std::string_view chave, std::string_view folder, std::string_view modo_silencioso,
                     const Regional& regional) {
    TempDir dir;
    TestPlatform platform(dir.str());
    RunResult out;
    out.result = run_import(document_type(type), platform, regional, {chave, folder, modo_silencioso});
    out.boxes = platform.boxes;
    out.ini = read_bytes(out.result.arquivo_ini);
    return out;
}

}  // namespace idf::test
