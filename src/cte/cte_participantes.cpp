// The parties of the transport: the carrier that issued the CT-e
// ([EMITENTE]), the sender ([REMETENTE]) and the receiver ([DESTINATARIO]).
#include <string>

#include "common/fields.hpp"
#include "common/messages.hpp"
#include "cte/uimporta_arquivo_xml_cte.hpp"
#include "values/text.hpp"

namespace idf::cte {

namespace {

using namespace transform;

constexpr std::string_view sem_cnpj_emitente = msg::nao_leu<"o CNPJ da Transportadora">;
constexpr std::string_view sem_remetente = msg::nao_leu<"a TAG do Remetente">;
// It names the CNPJ also for a sender identified by CPF.
constexpr std::string_view sem_cnpj_remetente = msg::nao_leu<"o CNPJ do Remetente">;
constexpr std::string_view sem_cnpj_cpf_destinatario = msg::nao_leu<"o CNPJ/CPF do Destinatário">;

// Children of emit, after "CNPJ_CPF=".
const Field emitente[] = {
    {"Inscricao_Estadual=", "IE", as_read, Kind::on_failure, "- Inscrição Estadual da Transportadora no Arquivo XML."},
    {"Razao_Social=", "xNome", first(70), Kind::when_empty, "- Razão Social / Nome da Transportadora no Arquivo XML."},
    {"Nome_Fantasia=", "xFant", first(20), Kind::on_failure, "- Nome Fantasia da Transportadora no Arquivo XML."},
};

// Children of emit/enderEmit.
const Field endereco_emitente[] = {
    {"Endereco=", "xLgr", first(50), Kind::when_empty, "- Endereço da Transportadora no Arquivo XML."},
    {"Numero_Endereco=", "nro", first(10), Kind::when_empty, "- Nº do Endereço da Transportadora no Arquivo XML."},
    {"Bairro=", "xBairro", first(40), Kind::when_empty, "- Bairro da Transportadora no Arquivo XML."},
    {"Cidade=", "cMun", as_integer, Kind::when_empty, "- Cidade da Transportadora no Arquivo XML."},
    {"CEP=", "CEP", cep_mask, Kind::on_failure, "- Cep da Transportadora no Arquivo XML."},
    {"Fone=", "fone", phone_mask, Kind::on_failure, "- Fone da Transportadora no Arquivo XML."},
};

// Children of rem and dest: the name, in upper case.
const Field nome_remetente{"Razao_Social=", "xNome", upper_first(70), Kind::when_empty,
                           "- Razão Social / Nome do Remetente no Arquivo XML."};
const Field nome_destinatario{"Razao_Social=", "xNome", upper_first(70), Kind::when_empty,
                              "- Razão Social / Nome do Destinatário no Arquivo XML."};

// The sender's and the receiver's number: the CNPJ, or the CPF when the
// CNPJ is blank or unreadable.
std::string cnpj_ou_cpf(Import& import, xml::Node parte) {
    std::string numero = read_identifying_number(import, parte, "CNPJ");
    if (is_blank(numero)) numero = read_identifying_number(import, parte, "CPF");
    return numero;
}

}  // namespace

void Tfrmimporta_arquivo_xml_cte::le_emitente() {
    const xml::Node emit = find_path(document_element(), {"CTe", "infCte", "emit"});
    if (!emit) abort(msg::sem_emitente);
    // The carrier is always a company: there is no CPF alternative.
    const std::string cnpj = read_identifying_number(*this, emit, "CNPJ");
    if (is_blank(cnpj)) abort(sem_cnpj_emitente);

    write_empty_line();
    write_line("[EMITENTE]");
    write_value("CNPJ_CPF=", cnpj);
    write_fields(*this, emit, emitente);

    const xml::Node ender_emit = find_path(document_element(), {"CTe", "infCte", "emit", "enderEmit"});
    if (!ender_emit) abort(msg::sem_endereco_emitente);
    write_fields(*this, ender_emit, endereco_emitente);
}

void Tfrmimporta_arquivo_xml_cte::le_remetente() {
    const xml::Node rem = find_path(document_element(), {"CTe", "infCte", "rem"});
    if (!rem) abort(sem_remetente);
    const std::string numero = cnpj_ou_cpf(*this, rem);
    if (is_blank(numero)) abort(sem_cnpj_remetente);

    write_empty_line();
    write_line("[REMETENTE]");
    write_value("CNPJ_CPF=", numero);
    write_field(*this, rem, nome_remetente);
}

void Tfrmimporta_arquivo_xml_cte::le_destinatario() {
    const xml::Node dest = find_path(document_element(), {"CTe", "infCte", "dest"});
    if (!dest) abort(msg::sem_destinatario);
    const std::string numero = cnpj_ou_cpf(*this, dest);
    if (is_blank(numero)) abort(sem_cnpj_cpf_destinatario);

    write_empty_line();
    write_line("[DESTINATARIO]");
    write_value("CNPJ_CPF=", numero);
    write_field(*this, dest, nome_destinatario);
}

}  // namespace idf::cte
