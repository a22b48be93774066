// The parties of the NF-e: [EMITENTE], [EMISSOR NFE AVULSA], [DESTINATARIO].
// The host enters the invoice as a purchase, so the issuer is the supplier
// ("Fornecedor") in the messages.
#include <string>

#include "common/fields.hpp"
#include "common/messages.hpp"
#include "nfe/uimporta_arquivo_xml_nfe.hpp"
#include "values/text.hpp"

namespace idf::nfe {

namespace {

using namespace transform;

// Children of emit.
const Field emitente[] = {
    {"Inscricao_Estadual=", "IE", as_read, Kind::on_failure, "- Inscrição Estadual do Fornecedor no Arquivo XML."},
    {"Razao_Social=", "xNome", first(70), Kind::when_empty, "- Razão Social / Nome do Fornecedor no Arquivo XML."},
    {"Nome_Fantasia=", "xFant", first(20), Kind::on_failure, "- Nome Fantasia do Fornecedor no Arquivo XML."},
    {"Regime_Tributario=", "CRT", as_integer, Kind::on_failure, "- Regime Tributário do Fornecedor no Arquivo XML."},
};

// Children of enderEmit.
const Field endereco_emitente[] = {
    {"Endereco=", "xLgr", first(50), Kind::when_empty, "- Endereço do Fornecedor no Arquivo XML."},
    {"Numero_Endereco=", "nro", first(10), Kind::when_empty, "- Nº do Endereço do Fornecedor no Arquivo XML."},
    {"Complemento=", "xCpl", first(40), Kind::on_failure, "- Complemento do Endereço do Fornecedor no Arquivo XML."},
    {"Bairro=", "xBairro", first(40), Kind::when_empty, "- Bairro do Fornecedor no Arquivo XML."},
    {"Cidade=", "cMun", as_integer, Kind::when_empty, "- Cidade do Fornecedor no Arquivo XML."},
    {"CEP=", "CEP", cep_mask, Kind::on_failure, "- Cep do Fornecedor no Arquivo XML."},
    {"Fone=", "fone", phone_mask, Kind::on_failure, "- Fone do Fornecedor no Arquivo XML."},
};

// Children of dest: the name only, in upper case (a-z only).
const Field destinatario[] = {
    {"Razao_Social=", "xNome", upper_first(70), Kind::when_empty,
     "- Razão Social / Nome do Destinatário no Arquivo XML."},
};

constexpr std::string_view sem_cnpj_emitente = msg::nao_leu<"o CNPJ do Fornecedor">;
constexpr std::string_view sem_cnpj_avulsa = msg::nao_leu<"o CNPJ do Emissor da NFe Avulsa">;
constexpr std::string_view sem_cnpj_destinatario = msg::nao_leu<"o CNPJ do Destinatário">;

}  // namespace

void Tfrmimporta_arquivo_xml_nfe::le_emitente() {
    const xml::Node emit = find_path(document_element(), {"NFe", "infNFe", "emit"});
    if (!emit) abort(msg::sem_emitente);

    // The CNPJ takes precedence; the CPF serves when the CNPJ is missing,
    // blank or unreadable.
    std::string numero = read_identifying_number(*this, emit, "CNPJ");
    if (numero.empty()) numero = read_identifying_number(*this, emit, "CPF");
    if (is_blank(numero)) abort(sem_cnpj_emitente);

    write_empty_line();
    write_line("[EMITENTE]");
    write_value("CNPJ_CPF=", numero);
    write_fields(*this, emit, emitente);

    const xml::Node ender_emit = emit.find("enderEmit");
    if (!ender_emit) abort(msg::sem_endereco_emitente);
    write_fields(*this, ender_emit, endereco_emitente);
}

void Tfrmimporta_arquivo_xml_nfe::le_emissor_avulsa() {
    const xml::Node avulsa = find_path(document_element(), {"NFe", "infNFe", "avulsa"});
    if (!avulsa) return;

    const std::string numero = read_identifying_number(*this, avulsa, "CNPJ");
    if (is_blank(numero)) abort(sem_cnpj_avulsa);

    write_empty_line();
    write_line("[EMISSOR NFE AVULSA]");
    write_value("CNPJ_CPF=", numero);
}

void Tfrmimporta_arquivo_xml_nfe::le_destinatario() {
    const xml::Node dest = find_path(document_element(), {"NFe", "infNFe", "dest"});
    if (!dest) abort(msg::sem_destinatario);

    // Only the CNPJ: a recipient identified by a CPF cannot be entered.
    const std::string numero = read_identifying_number(*this, dest, "CNPJ");
    if (is_blank(numero)) abort(sem_cnpj_destinatario);

    write_empty_line();
    write_line("[DESTINATARIO]");
    write_value("CNPJ_CPF=", numero);
    write_fields(*this, dest, destinatario);
}

}  // namespace idf::nfe
