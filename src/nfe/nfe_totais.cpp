// [TOTAIS], [TRANSPORTADORA], [VENCIMENTOS], [OBSERVACOES] and [DIRETORIO].
#include <string>
#include <vector>

#include "common/fields.hpp"
#include "common/messages.hpp"
#include "nfe/uimporta_arquivo_xml_nfe.hpp"
#include "values/text.hpp"

namespace idf::nfe {

namespace {

using namespace transform;

constexpr std::string_view sem_transportadora = msg::nao_leu<"a TAG da Transportadora">;

// Children of total/ICMSTot: amounts with 2 decimals, a missing or blank
// child giving the zero amount silently.
const Field totais[] = {
    {"Base_Icms=", "vBC", amount, Kind::on_failure, "- Base do ICMS da Nota Fiscal no Arquivo XML."},
    {"Valor_Icms=", "vICMS", amount, Kind::on_failure, "- Valor do ICMS da Nota Fiscal no Arquivo XML."},
    {"Base_ST=", "vBCST", amount, Kind::on_failure, "- Base da ST da Nota Fiscal no Arquivo XML."},
    {"Valor_ST=", "vST", amount, Kind::on_failure, "- Valor da ST da Nota Fiscal no Arquivo XML."},
    {"Total_Produto=", "vProd", amount, Kind::on_failure, "- Total do Produto da Nota Fiscal no Arquivo XML."},
    {"Valor_Frete=", "vFrete", amount, Kind::on_failure, "- Valor do Frete da Nota Fiscal no Arquivo XML."},
    {"Valor_Seguro=", "vSeg", amount, Kind::on_failure, "- Valor do Seguro da Nota Fiscal no Arquivo XML."},
    {"Valor_Despesa=", "vOutro", amount, Kind::on_failure, "- Valor da Despesa da Nota Fiscal no Arquivo XML."},
    {"Valor_Desconto=", "vDesc", amount, Kind::on_failure, "- Valor do Desconto da Nota Fiscal no Arquivo XML."},
    {"Valor_IPI=", "vIPI", amount, Kind::on_failure, "- Valor do IPI da Nota Fiscal no Arquivo XML."},
    {"Total_Nota_Fiscal=", "vNF", amount, Kind::on_failure, "- Total da Nota Fiscal no Arquivo XML."},
};

// The totals of the tax reform, under total, after the ICMS totals: each
// line only when its element holds text, so a document without the
// reform's groups keeps its [TOTAIS] as it was.
const Field totais_reforma[] = {
    {"Valor_IS=", "ISTot/vIS", number(2), Kind::optional},
    {"Base_IBSCBS=", "IBSCBSTot/vBCIBSCBS", number(2), Kind::optional},
    {"Valor_Diferido_IBS_UF=", "IBSCBSTot/gIBS/gIBSUF/vDif", number(2), Kind::optional},
    {"Valor_Devolvido_IBS_UF=", "IBSCBSTot/gIBS/gIBSUF/vDevTrib", number(2), Kind::optional},
    {"Valor_IBS_UF=", "IBSCBSTot/gIBS/gIBSUF/vIBSUF", number(2), Kind::optional},
    {"Valor_Diferido_IBS_Municipio=", "IBSCBSTot/gIBS/gIBSMun/vDif", number(2), Kind::optional},
    {"Valor_Devolvido_IBS_Municipio=", "IBSCBSTot/gIBS/gIBSMun/vDevTrib", number(2), Kind::optional},
    {"Valor_IBS_Municipio=", "IBSCBSTot/gIBS/gIBSMun/vIBSMun", number(2), Kind::optional},
    {"Valor_IBS=", "IBSCBSTot/gIBS/vIBS", number(2), Kind::optional},
    {"Valor_Credito_Presumido_IBS=", "IBSCBSTot/gIBS/vCredPres", number(2), Kind::optional},
    {"Valor_Credito_Presumido_Suspenso_IBS=", "IBSCBSTot/gIBS/vCredPresCondSus", number(2), Kind::optional},
    {"Valor_Diferido_CBS=", "IBSCBSTot/gCBS/vDif", number(2), Kind::optional},
    {"Valor_Devolvido_CBS=", "IBSCBSTot/gCBS/vDevTrib", number(2), Kind::optional},
    {"Valor_CBS=", "IBSCBSTot/gCBS/vCBS", number(2), Kind::optional},
    {"Valor_Credito_Presumido_CBS=", "IBSCBSTot/gCBS/vCredPres", number(2), Kind::optional},
    {"Valor_Credito_Presumido_Suspenso_CBS=", "IBSCBSTot/gCBS/vCredPresCondSus", number(2), Kind::optional},
    {"Valor_IBS_Monofasico=", "IBSCBSTot/gMono/vIBSMono", number(2), Kind::optional},
    {"Valor_CBS_Monofasico=", "IBSCBSTot/gMono/vCBSMono", number(2), Kind::optional},
    {"Valor_IBS_Monofasico_Retencao=", "IBSCBSTot/gMono/vIBSMonoReten", number(2), Kind::optional},
    {"Valor_CBS_Monofasico_Retencao=", "IBSCBSTot/gMono/vCBSMonoReten", number(2), Kind::optional},
    {"Valor_IBS_Monofasico_Retido=", "IBSCBSTot/gMono/vIBSMonoRet", number(2), Kind::optional},
    {"Valor_CBS_Monofasico_Retido=", "IBSCBSTot/gMono/vCBSMonoRet", number(2), Kind::optional},
    {"Valor_Estorno_IBS=", "IBSCBSTot/gEstornoCred/vIBSEstCred", number(2), Kind::optional},
    {"Valor_Estorno_CBS=", "IBSCBSTot/gEstornoCred/vCBSEstCred", number(2), Kind::optional},
    {"Total_Nota_Fiscal_Com_Tributos=", "vNFTot", number(2), Kind::optional},
};

// Children of transp/transporta. Only the CNPJ is read for the carrier.
const Field transportadora[] = {
    {"CNPJ_CPF=", "CNPJ", as_read, Kind::on_failure, "- CNPJ/CPF da Transportadora no Arquivo XML."},
    {"Razao_Social=", "xNome", first(50), Kind::when_empty, "- Razão Social / Nome da Transportadora no Arquivo XML."},
    {"Inscricao_Estadual=", "IE", isento_when_blank, Kind::on_failure,
     "- Inscrição Estadual da Transportadora no Arquivo XML."},
    {"Endereco=", "xEnder", first(50), Kind::when_empty, "- Endereço da Transportadora no Arquivo XML."},
    {"Nome_Cidade=", "xMun", as_read, Kind::when_empty, "- Cidade da Transportadora no Arquivo XML."},
    {"Estado=", "UF", as_read, Kind::when_empty, "- Estado da Transportadora no Arquivo XML."},
};

// Child of transp.
const Field modalidade_frete{"Modalidade_Frete=", "modFrete", as_integer, Kind::when_empty,
                             "- Modalidade do Frete no Arquivo XML."};

// Children of one instalment (dup), with its number of at least two digits
// after each key ("Valor_01="). No problem lines.
const Field duplicata[] = {
    {"Numero_Duplicata=", "nDup", as_read, Kind::never},
    {"Data_Vencimento=", "dVenc", date, Kind::never},
    {"Valor=", "vDup", amount, Kind::never},
};

// A note of infAdic, whole; a note that cannot be read drops its line.
void grava_observacao(Import& import, xml::Node inf_adic, std::string_view key, std::string_view child) {
    bool falhou = false;
    const std::string nota = read_value(import, inf_adic, child, as_read, &falhou);
    if (!falhou) import.write_value(key, nota);
}

}  // namespace

void Tfrmimporta_arquivo_xml_nfe::le_totais() {
    const xml::Node total = find_path(document_element(), {"NFe", "infNFe", "total"});
    const xml::Node icms_tot = total ? total.find("ICMSTot") : xml::Node();
    if (!icms_tot) abort(msg::sem_totais);
    write_empty_line();
    write_line("[TOTAIS]");
    write_fields(*this, icms_tot, totais);
    write_fields(*this, total, totais_reforma);
}

void Tfrmimporta_arquivo_xml_nfe::le_transportadora() {
    write_empty_line();
    write_line("[TRANSPORTADORA]");
    const xml::Node transp = find_path(document_element(), {"NFe", "infNFe", "transp"});
    if (!transp) abort(sem_transportadora);
    if (const xml::Node transporta = transp.find("transporta")) write_fields(*this, transporta, transportadora);
    write_field(*this, transp, modalidade_frete);
}

void Tfrmimporta_arquivo_xml_nfe::le_vencimentos() {
    const xml::Node cobr = find_path(document_element(), {"NFe", "infNFe", "cobr"});
    // Without cobr only an empty line stands here; an empty cobr writes
    // nothing at all.
    if (!cobr) {
        write_empty_line();
        return;
    }
    if (!cobr.first_child()) return;

    write_empty_line();
    write_line("[VENCIMENTOS]");
    // From the first dup (created empty, and so skipped, when there is
    // none) through every following child of cobr.
    int numero = 0;
    for (xml::Node dup = cobr.child("dup"); dup; dup = dup.next_sibling()) {
        if (!dup.first_child()) continue;
        std::string sufixo(1, '_');
        sufixo += preenche_zeros(std::to_string(++numero), 2);
        write_fields(*this, dup, duplicata, sufixo);
        write_empty_line();
    }
}

void Tfrmimporta_arquivo_xml_nfe::le_observacoes() {
    const xml::Node inf_adic = find_path(document_element(), {"NFe", "infNFe", "infAdic"});
    if (!inf_adic) return;
    write_line("[OBSERVACOES]");
    grava_observacao(*this, inf_adic, "Observacao_Fisco=", "infAdFisco");
    grava_observacao(*this, inf_adic, "Observacao=", "infCpl");
    write_empty_line();
}

void Tfrmimporta_arquivo_xml_nfe::le_diretorio() {
    write_line("[DIRETORIO]");
    write_value("Diretorio_Arquivo_XML=", to_ansi(utf8_to_utf16(platform().path_to_utf8(document_path()))));
}

std::vector<Table> tabelas_totais() {
    return {{"NFe/infNFe/total/ICMSTot", totais},
            {"NFe/infNFe/total", totais_reforma},
            {"NFe/infNFe/transp/transporta", transportadora},
            {"NFe/infNFe/transp", {&modalidade_frete, 1}},
            {"NFe/infNFe/cobr/dup", duplicata}};
}

}  // namespace idf::nfe
