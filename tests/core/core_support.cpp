#include "core/core_support.hpp"

#include "values/text.hpp"

namespace idf::test {

Regional point_month_first() { return Regional{'.', "MM/dd/yyyy"}; }

FormRun run_stages_on(std::string_view xml, std::function<void(StageForm&)> stages, const Regional& regional,
                      std::string_view modo_silencioso) {
    TempDir dir;
    TestPlatform platform(dir.str());
    platform.dialog_choice = dir.write("doc.xml", xml);
    StageForm form(platform, regional);
    form.stages = std::move(stages);
    form.modo_silencioso = modo_silencioso;
    FormRun out;
    out.result = form.run();
    out.boxes = platform.boxes;
    out.ini = read_bytes(out.result.arquivo_ini);
    out.document_path = form.document_path();
    out.stages_run = form.stages_run;
    out.dialog_calls = platform.dialog_calls;
    return out;
}

FormRun search_folder(std::string_view chave, const std::string& pasta, std::string_view modo_silencioso,
                      const DocumentType& kind) {
    CurrentFolderGuard folder;
    TempDir out_dir;
    TestPlatform platform(out_dir.str());
    StageForm form(platform, Regional::brazilian(), kind);
    form.chave_acesso = chave;
    form.pasta_temporaria = pasta;
    form.modo_silencioso = modo_silencioso;
    form.stages = [](StageForm& f) {
        const xml::Node marca = f.document_element().child("marca");
        f.write_value("Marca=", to_ansi(marca.text()));
    };
    FormRun out;
    out.result = form.run();
    out.boxes = platform.boxes;
    out.ini = read_bytes(out.result.arquivo_ini);
    out.document_path = form.document_path();
    out.stages_run = form.stages_run;
    out.dialog_calls = platform.dialog_calls;
    return out;
}

std::string nfe_with_key(std::string_view key, std::string_view marca) {
    return R"(<?xml version="1.0" encoding="UTF-8"?>)"
           R"(<nfeProc xmlns="http://www.portalfiscal.inf.br/nfe" versao="4.00"><NFe><infNFe/></NFe>)"
           R"(<protNFe versao="4.00"><infProt><chNFe>)" +
           std::string(key) + "</chNFe><cStat>100</cStat></infProt></protNFe><marca>" + std::string(marca) +
           "</marca></nfeProc>";
}

std::string cte_with_key(std::string_view key, std::string_view marca) {
    return R"(<?xml version="1.0" encoding="UTF-8"?>)"
           R"(<cteProc xmlns="http://www.portalfiscal.inf.br/cte" versao="3.00"><CTe><infCte/></CTe>)"
           R"(<protCTe versao="3.00"><infProt><chCTe>)" +
           std::string(key) + "</chCTe><cStat>100</cStat></infProt></protCTe><marca>" + std::string(marca) +
           "</marca></cteProc>";
}

}  // namespace idf::test
