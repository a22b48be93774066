#include "common/autenticidade.hpp"

#include <algorithm>
#include <array>

#include "common/fields.hpp"
#include "common/messages.hpp"
#include "values/base64.hpp"
#include "values/text.hpp"
#include "xml/canonical.hpp"

namespace idf {

namespace {

using Conteudo = Autenticidade::Conteudo;
using Assinatura = Autenticidade::Assinatura;
using cripto::Hash;

// Far above what a signature holds (an RSA signature of 16,384 bits, a
// certificate of a few kilobytes), so that a hostile file never makes the
// system's cryptography chew on megabytes.
constexpr std::size_t max_signature_text = 8 * 1024;
constexpr std::size_t max_certificate_text = 96 * 1024;

constexpr std::string_view oid_cnpj = "2.16.76.1.3.3";
constexpr std::string_view oid_cpf = "2.16.76.1.3.1";

bool all_digits(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return is_ascii_digit(static_cast<unsigned char>(c)); });
}

// The text of an element (its text and CDATA joined), trimmed; none when
// the element is missing or holds an element.
std::optional<std::string> texto(xml::Node element) {
    if (!element) return std::nullopt;
    try {
        return std::string(trim(utf16_to_utf8(element.joined_text())));
    } catch (const xml::XmlDocError&) {
        return std::nullopt;
    }
}

std::optional<std::string> atributo(xml::Node element, std::string_view name) {
    if (!element) return std::nullopt;
    const auto value = element.attribute(name);
    if (!value) return std::nullopt;
    return utf16_to_utf8(*value);
}

std::optional<Hash> metodo_digest(std::string_view algorithm) {
    if (algorithm == "http://www.w3.org/2000/09/xmldsig#sha1") return Hash::sha1;
    if (algorithm == "http://www.w3.org/2001/04/xmlenc#sha256") return Hash::sha256;
    return std::nullopt;
}

std::optional<Hash> metodo_assinatura(std::string_view algorithm) {
    if (algorithm == "http://www.w3.org/2000/09/xmldsig#rsa-sha1") return Hash::sha1;
    if (algorithm == "http://www.w3.org/2001/04/xmldsig-more#rsa-sha256") return Hash::sha256;
    return std::nullopt;
}

// The digests of the canonical content, each computed once.
class Digests {
public:
    explicit Digests(std::string canonical) : canonical_(std::move(canonical)) {}
    const std::string& of(Hash hash) {
        auto& slot = computed_[hash == Hash::sha1 ? 0 : 1];
        if (!slot) slot = cripto::digest(hash, canonical_);
        return *slot;
    }

private:
    std::string canonical_;
    std::array<std::optional<std::string>, 2> computed_;
};

Conteudo avalia_conteudo(xml::Node inf_prot, Digests& digests) {
    const std::optional<std::string> dig_val = texto(inf_prot ? inf_prot.find("digVal") : xml::Node());
    if (!dig_val || dig_val->empty()) return Conteudo::indeterminado;
    Hash hash;
    if (dig_val->size() == 28)
        hash = Hash::sha1;
    else if (dig_val->size() == 44)
        hash = Hash::sha256;
    else
        return Conteudo::difere;
    const auto expected = base64_decode(*dig_val);
    return expected && *expected == digests.of(hash) ? Conteudo::confere : Conteudo::difere;
}

// The Signature elements among the children of the signed document, in
// the signature's own namespace (or none).
std::vector<xml::Node> assinaturas(xml::Node documento) {
    std::vector<xml::Node> found;
    for (xml::Node child = documento.first_child(); child; child = child.next_sibling())
        if (child.type() == xml::NodeType::element && child.local_name() == "Signature") found.push_back(child);
    return found;
}

// The Reference of `assinatura` whose URI is `uri`; none when none is.
xml::Node referencia(xml::Node signed_info, std::string_view uri) {
    for (xml::Node reference = signed_info.find("Reference"); reference;
         reference = signed_info.find("Reference", reference))
        if (atributo(reference, "URI") == uri) return reference;
    return {};
}

std::optional<std::string> decodifica(xml::Node element, std::size_t max_text) {
    if (!element) return std::nullopt;
    try {
        // The size is checked before the text is copied.
        std::size_t size = 0;
        for (xml::Node piece = element.first_child(); piece; piece = piece.next_sibling()) {
            size += piece.utf8_value().size();
            if (size > max_text) return std::nullopt;
        }
        const auto text = texto(element);
        if (!text) return std::nullopt;
        return base64_decode(*text);
    } catch (const xml::XmlDocError&) {
        return std::nullopt;
    }
}

std::optional<std::string> certificado_de(xml::Node assinatura) {
    return decodifica(find_path(assinatura, {"KeyInfo", "X509Data", "X509Certificate"}), max_certificate_text);
}

bool assinatura_valida(xml::Node signed_info, xml::Node reference, xml::Node assinatura, Digests& digests) {
    const auto digest_method = metodo_digest(atributo(reference.find("DigestMethod"), "Algorithm").value_or(""));
    if (!digest_method) return false;
    const auto digest_value = decodifica(reference.find("DigestValue"), max_signature_text);
    if (!digest_value || *digest_value != digests.of(*digest_method)) return false;
    const auto signature_method =
        metodo_assinatura(atributo(signed_info.find("SignatureMethod"), "Algorithm").value_or(""));
    if (!signature_method) return false;
    const auto signature_value = decodifica(assinatura.find("SignatureValue"), max_signature_text);
    const auto certificado = certificado_de(assinatura);
    if (!signature_value || !certificado) return false;
    return cripto::verifica_rsa(*signature_method, *certificado, xml::canonical_xml(signed_info), *signature_value);
}

// Trimmed text of emit/<name>; empty when missing or unreadable.
std::string numero_do_emitente(xml::Node emit, std::string_view name) {
    return emit ? texto(emit.find(name)).value_or("") : std::string();
}

std::optional<bool> do_emitente(const std::string& numero, bool cpf, xml::Node info) {
    const xml::Node emit = info.find("emit");
    const std::string cnpj = numero_do_emitente(emit, "CNPJ");
    const std::string cpf_emitente = cnpj.empty() ? numero_do_emitente(emit, "CPF") : std::string();
    if (cnpj.empty() && cpf_emitente.empty()) return std::nullopt;
    if (cpf) return !cpf_emitente.empty() && cpf_emitente == numero;
    return !cnpj.empty() && cnpj.size() >= 8 && cnpj.compare(0, 8, numero, 0, 8) == 0;
}

}  // namespace

std::optional<std::string> numero_do_certificado(const cripto::Certificado& certificado, bool& cpf) {
    const std::string_view cn = certificado.common_name;
    const std::size_t colon = cn.rfind(':');
    const std::string_view after_colon = colon == std::string_view::npos ? std::string_view() : cn.substr(colon + 1);
    cpf = false;
    for (const auto& [oid, value] : certificado.other_names)
        if (oid == oid_cnpj && value.size() == 14 && std::all_of(value.begin(), value.end(), [](char c) {
                return is_ascii_alnum(static_cast<unsigned char>(c));
            }))
            return value;
    if (after_colon.size() == 14 && all_digits(after_colon)) return std::string(after_colon);
    cpf = true;
    for (const auto& [oid, value] : certificado.other_names)
        if (oid == oid_cpf && value.size() >= 19 && all_digits(std::string_view(value).substr(8, 11)))
            return value.substr(8, 11);
    if (after_colon.size() == 11 && all_digits(after_colon)) return std::string(after_colon);
    cpf = false;
    return std::nullopt;
}

Autenticidade avalia_autenticidade(xml::Node documento, xml::Node info, xml::Node inf_prot) {
    Autenticidade found;
    if (!documento || !info) return found;
    Digests digests(xml::canonical_xml(info));
    found.conteudo = avalia_conteudo(inf_prot, digests);

    const std::vector<xml::Node> todas = assinaturas(documento);
    if (todas.empty()) return found;
    found.assinatura = Assinatura::invalida;
    xml::Node assinatura = todas.front();
    try {
        const auto id = atributo(info, "Id");
        for (const xml::Node candidata : todas) {
            const xml::Node signed_info = candidata.find("SignedInfo");
            const xml::Node reference = id && signed_info ? referencia(signed_info, "#" + *id) : xml::Node();
            if (!reference) continue;
            assinatura = candidata;
            if (assinatura_valida(signed_info, reference, candidata, digests)) found.assinatura = Assinatura::valida;
            break;
        }
    } catch (const DataError&) {
        found.assinatura = Assinatura::invalida;
    }

    const auto der = certificado_de(assinatura);
    const auto certificado = der ? cripto::le_certificado(*der) : std::nullopt;
    bool cpf = false;
    if (const auto numero = certificado ? numero_do_certificado(*certificado, cpf) : std::nullopt) {
        found.cnpj_certificado = numero;
        found.certificado_do_emitente = do_emitente(*numero, cpf, info);
    }
    return found;
}

void escreve_autenticidade(Import& import) {
    const DocumentType::Names& names = import.document_type().names;
    const xml::Node root = import.document_element();
    const xml::Node documento = root.find(import.element());
    const Autenticidade found = avalia_autenticidade(documento, documento ? documento.find(names.info) : xml::Node(),
                                                     find_path(root, {names.protocol, "infProt"}));

    static const Field linhas[] = {
        {"Conteudo_Autorizado=", "conteudo", transform::as_read, Kind::never},
        {"Assinatura_Digital=", "assinatura", transform::as_read, Kind::never},
        {"CNPJ_Certificado=", "cnpj", transform::as_read, Kind::optional},
        {"Certificado_do_Emitente=", "emitente", transform::as_read, Kind::optional},
    };
    const RecordText texto_de = [&](std::string_view nome) -> std::u16string {
        if (nome == "conteudo")
            return found.conteudo == Conteudo::confere  ? u"Sim"
                   : found.conteudo == Conteudo::difere ? u"Nao"
                                                        : u"Indeterminado";
        if (nome == "assinatura")
            return found.assinatura == Assinatura::valida     ? u"Valida"
                   : found.assinatura == Assinatura::invalida ? u"Invalida"
                                                              : u"Ausente";
        if (nome == "cnpj") return found.cnpj_certificado ? utf8_to_utf16(*found.cnpj_certificado) : u"";
        if (found.certificado_do_emitente) return *found.certificado_do_emitente ? u"Sim" : u"Nao";
        return u"";
    };
    import.write_empty_line();
    import.write_line("[AUTENTICIDADE]");
    write_record_fields(import, texto_de, linhas);

    if (found.conteudo == Conteudo::difere) import.add_problem(msg::problema_conteudo);
    if (found.assinatura == Assinatura::invalida) import.add_problem(msg::problema_assinatura);
    if (found.certificado_do_emitente == false) import.add_problem(msg::problema_certificado);
    import.set_autenticidade(found);
}

}  // namespace idf
