// [TOTAIS] with the ICMS, the federal taxes of a CT-e OS and the tax
// reform's IBS and CBS, the keys of the transported NF-e ([NOTAS_FISCAIS],
// [QUANTIDADE_NOTAS]) or the service of a CT-e OS ([SERVICO]), and
// [DIRETORIO].
#include <string>
#include <vector>

#include "common/fields.hpp"
#include "common/messages.hpp"
#include "common/reforma_tributaria.hpp"
#include "cte/uimporta_arquivo_xml_cte.hpp"
#include "values/numbers.hpp"
#include "values/text.hpp"

namespace idf::cte {

namespace {

using namespace transform;

constexpr std::string_view sem_icms =
    msg::aborta<"O Sistema Encontrou Problemas ao Ler os Dados do ICMS da CTe no Arquivo XML.">;

// Child of vPrest.
const Field total{"Total_Nota_Fiscal=", "vTPrest", amount, Kind::on_failure, "- Total da Nota Fiscal no Arquivo XML."};

// The ICMS groups of imp/ICMS, in the order they are looked for: the
// first one present is read. The CST groups come from older layouts.
constexpr std::string_view grupos_icms[] = {
    "CST00", "CST10", "CST20", "CST60", "CST70", "CST90", "ICMS00", "ICMS10", "ICMS20", "ICMS60", "ICMS70", "ICMS90",
};

// Children of the ICMS group.
const Field icms[] = {
    {"Aliquota_Icms=", "pICMS", amount, Kind::on_failure, "- Alíquota do ICMS no Arquivo XML."},
    {"Base_Icms=", "vBC", amount, Kind::on_failure, "- Base do ICMS no Arquivo XML."},
    {"Valor_Icms=", "vICMS", amount, Kind::on_failure, "- Valor do ICMS no Arquivo XML."},
};

// Children of the CT-e OS's imp/infTribFed: the federal taxes of the
// service, which the taker withholds or accounts for.
const Field tributos_federais[] = {
    {"Valor_PIS=", "vPIS", number(2), Kind::optional},   {"Valor_COFINS=", "vCOFINS", number(2), Kind::optional},
    {"Valor_IR=", "vIR", number(2), Kind::optional},     {"Valor_INSS=", "vINSS", number(2), Kind::optional},
    {"Valor_CSLL=", "vCSLL", number(2), Kind::optional},
};

// Child of imp: the document's value with the reform's taxes.
const Field total_com_tributos{"Total_Nota_Fiscal_Com_Tributos=", "vTotDFe", number(2), Kind::optional};

}  // namespace

void Tfrmimporta_arquivo_xml_cte::le_totais() {
    const xml::Node v_prest = find_in_document(*this, {"vPrest"});
    if (!v_prest) abort(msg::sem_totais);
    // Read before the header is written: only the order of the problem
    // lines shows it.
    const std::string valor = read_field(*this, v_prest, total);

    write_empty_line();
    write_line("[TOTAIS]");
    write_value(total.key, valor);
    le_icms();
    le_ibscbs();
}

void Tfrmimporta_arquivo_xml_cte::le_icms() {
    const xml::Node icms_node = find_in_document(*this, {"imp", "ICMS"});
    if (!icms_node) abort(sem_icms);

    for (const std::string_view nome : grupos_icms) {
        const xml::Node grupo = icms_node.find(nome);
        if (!grupo) continue;
        write_fields(*this, grupo, icms);
        return;
    }
    // A group not in the list (Simples Nacional, exempt, ...) is no error.
    for (const Field& field : icms) write_value(field.key, formatted_zero(regional()));
}

void Tfrmimporta_arquivo_xml_cte::le_ibscbs() {
    // imp is there: le_icms aborts without imp/ICMS.
    const xml::Node imp = find_in_document(*this, {"imp"});
    if (is_variant()) write_group(*this, imp, "infTribFed", tributos_federais);
    write_group(*this, imp, "IBSCBS", linhas_ibscbs());
    write_field(*this, imp, total_com_tributos);
}

std::vector<Table> tabelas_totais() {
    return {{"CTe/infCte/vPrest", {&total, 1}},
            {"CTe/infCte/imp/IBSCBS", linhas_ibscbs()},
            {"CTe/infCte/imp", {&total_com_tributos, 1}}};
}

void Tfrmimporta_arquivo_xml_cte::le_notas_fiscais() {
    // Nothing the document holds stops the run: an error of the data, a key
    // whose text cannot be read included, ends the list where it stands,
    // with the lines already written kept.
    try {
        const xml::Node primeira = find_in_document(*this, {"infCTeNorm", "infDoc", "infNFe"});
        if (!primeira) return;

        int notas = 0;
        write_empty_line();
        write_line("[NOTAS_FISCAIS]");
        // From the first infNFe on, every following child of infDoc is
        // visited, whatever its name; only the ones holding a chave count.
        for (xml::Node node = primeira; node; node = node.next_sibling()) {
            if (!node.first_child()) continue;
            // The presence test is not guarded: an unreadable key ends
            // the list rather than being skipped.
            if (is_blank(node.child("chave").text())) continue;
            const std::string chave = read_value(*this, node, "chave", upper);
            if (chave.empty()) continue;
            ++notas;
            write_value("chave_" + std::to_string(notas) + "=", chave);
        }
        write_line("[QUANTIDADE_NOTAS]");
        write_value("Notas=", std::to_string(notas));
    } catch (const DataError&) {
    }
}

void Tfrmimporta_arquivo_xml_cte::le_servico() {
    // The CT-e OS's description of the service: the section only when it
    // holds a text.
    const xml::Node inf_servico = find_in_document(*this, {"infCTeNorm", "infServico"});
    if (!inf_servico) return;
    const std::string descricao = read_value(*this, inf_servico, "xDescServ", as_read);
    if (is_blank(descricao)) return;
    write_empty_line();
    write_line("[SERVICO]");
    write_value("Descricao_Servico=", descricao);
}

void Tfrmimporta_arquivo_xml_cte::le_diretorio() {
    write_empty_line();
    write_line("[DIRETORIO]");
    // The full path of the file, although the key names a folder.
    write_value("Diretorio_Arquivo_XML=", to_ansi(utf8_to_utf16(platform().path_to_utf8(document_path()))));
}

}  // namespace idf::cte
