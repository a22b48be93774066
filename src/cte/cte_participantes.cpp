// The parties of the transport: the carrier that issued the CT-e
// ([EMITENTE]), the sender ([REMETENTE]) and the receiver ([DESTINATARIO]);
// in the CT-e OS, instead of the last two, the taker ([TOMADOR]).
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

// The rows of a party with a full address, after "CNPJ_CPF=": the carrier
// ("da Transportadora" in the problem lines) and the taker of the CT-e OS
// ("do Tomador").
template <msg::Text parte>
struct Parte {
    template <msg::Text what>
    static constexpr std::string_view problema = msg::joined<"- ", what, " ", parte, " no Arquivo XML.">.view();

    // Children of the party.
    static inline const Field dados[] = {
        {"Inscricao_Estadual=", "IE", as_read, Kind::on_failure, problema<"Inscrição Estadual">},
        {"Razao_Social=", "xNome", first(70), Kind::when_empty, problema<"Razão Social / Nome">},
        {"Nome_Fantasia=", "xFant", first(20), Kind::on_failure, problema<"Nome Fantasia">},
    };
    // Children of its address.
    static inline const Field endereco[] = {
        {"Endereco=", "xLgr", first(50), Kind::when_empty, problema<"Endereço">},
        {"Numero_Endereco=", "nro", first(10), Kind::when_empty, problema<"Nº do Endereço">},
        {"Bairro=", "xBairro", first(40), Kind::when_empty, problema<"Bairro">},
        {"Cidade=", "cMun", as_integer, Kind::when_empty, problema<"Cidade">},
        {"CEP=", "CEP", cep_mask, Kind::on_failure, problema<"Cep">},
    };
    // In the carrier's address, directly under the taker.
    static inline const Field fone{"Fone=", "fone", phone_mask, Kind::on_failure, problema<"Fone">};
};

using Emitente = Parte<"da Transportadora">;
using Tomador = Parte<"do Tomador">;

constexpr std::string_view sem_cnpj_cpf_tomador = msg::nao_leu<"o CNPJ/CPF do Tomador">;

// The taker's groups, under infCte. The schemas of the CT-e OS let toma
// out (a passenger transport may have no taker): the document is still
// imported, without [TOMADOR], and the problem line tells the user. A
// taker that is there must have its address.
const Field grupo_tomador{{}, "toma", as_read, Kind::when_empty, Tomador::problema<"TAG">};
const Field endereco_tomador{
    {}, "toma/enderToma", as_read, Kind::mandatory, msg::nao_leu<"a TAG do Endereço do Tomador">};

// Children of rem and dest: the name, in upper case.
const Field nome_remetente{"Razao_Social=", "xNome", upper_first(70), Kind::when_empty,
                           "- Razão Social / Nome do Remetente no Arquivo XML."};
const Field nome_destinatario{"Razao_Social=", "xNome", upper_first(70), Kind::when_empty,
                              "- Razão Social / Nome do Destinatário no Arquivo XML."};

// The sender's, the receiver's and the taker's number: the CNPJ, or the CPF when the
// CNPJ is blank or unreadable.
std::string cnpj_ou_cpf(Import& import, xml::Node parte) {
    std::string numero = read_identifying_number(import, parte, "CNPJ");
    if (is_blank(numero)) numero = read_identifying_number(import, parte, "CPF");
    return numero;
}

}  // namespace

void Tfrmimporta_arquivo_xml_cte::le_emitente() {
    const xml::Node emit = find_in_document(*this, {"emit"});
    if (!emit) abort(msg::sem_emitente);
    // The carrier is always a company: there is no CPF alternative.
    const std::string cnpj = read_identifying_number(*this, emit, "CNPJ");
    if (is_blank(cnpj)) abort(sem_cnpj_emitente);

    write_empty_line();
    write_line("[EMITENTE]");
    write_value("CNPJ_CPF=", cnpj);
    write_fields(*this, emit, Emitente::dados);

    const xml::Node ender_emit = find_in_document(*this, {"emit", "enderEmit"});
    if (!ender_emit) abort(msg::sem_endereco_emitente);
    write_fields(*this, ender_emit, Emitente::endereco);
    write_field(*this, ender_emit, Emitente::fone);
}

void Tfrmimporta_arquivo_xml_cte::le_remetente() {
    const xml::Node rem = find_in_document(*this, {"rem"});
    if (!rem) abort(sem_remetente);
    const std::string numero = cnpj_ou_cpf(*this, rem);
    if (is_blank(numero)) abort(sem_cnpj_remetente);

    write_empty_line();
    write_line("[REMETENTE]");
    write_value("CNPJ_CPF=", numero);
    write_field(*this, rem, nome_remetente);
}

void Tfrmimporta_arquivo_xml_cte::le_destinatario() {
    const xml::Node dest = find_in_document(*this, {"dest"});
    if (!dest) abort(msg::sem_destinatario);
    const std::string numero = cnpj_ou_cpf(*this, dest);
    if (is_blank(numero)) abort(sem_cnpj_cpf_destinatario);

    write_empty_line();
    write_line("[DESTINATARIO]");
    write_value("CNPJ_CPF=", numero);
    write_field(*this, dest, nome_destinatario);
}

void Tfrmimporta_arquivo_xml_cte::le_tomador_os() {
    const xml::Node toma = find_section_group(*this, grupo_tomador);
    if (!toma) return;
    const std::string numero = cnpj_ou_cpf(*this, toma);
    if (is_blank(numero)) abort(sem_cnpj_cpf_tomador);

    write_empty_line();
    write_line("[TOMADOR]");
    write_value("CNPJ_CPF=", numero);
    write_fields(*this, toma, Tomador::dados);

    const xml::Node ender_toma = find_section_group(*this, endereco_tomador);
    write_fields(*this, ender_toma, Tomador::endereco);
    write_field(*this, toma, Tomador::fone);
}

}  // namespace idf::cte
