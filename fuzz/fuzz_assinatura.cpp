// The reader of the document's signature and certificate on arbitrary
// bytes: the bytes as a certificate (DER, and the DER that their base64
// decodes to), and as a document whose authenticity is evaluated. Nothing
// may crash, hang or leak; every finding is one of the answers.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/autenticidade.hpp"
#include "fuzz_support.hpp"
#include "values/base64.hpp"
#include "xml/tree.hpp"

namespace {

void certificado(std::string_view der) {
    if (const auto lido = idf::cripto::le_certificado(der)) {
        bool cpf = false;
        if (const auto numero = idf::numero_do_certificado(*lido, cpf))
            if (numero->size() != (cpf ? 11u : 14u)) idf::fuzz::fail("a holder's number of the wrong length");
    }
    // A signature checked with whatever key the bytes give.
    if (idf::cripto::verifica_rsa(idf::cripto::Hash::sha1, der, "", std::string_view(der).substr(0, 256)))
        idf::fuzz::fail("arbitrary bytes verified as a signature");
}

// By local name, whatever the namespace.
idf::xml::Node filho(idf::xml::Node node, std::string_view name) {
    for (idf::xml::Node child = node ? node.first_child() : idf::xml::Node(); child; child = child.next_sibling())
        if (child.type() == idf::xml::NodeType::element && child.local_name() == name) return child;
    return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    certificado(bytes);
    if (const auto decoded = idf::base64_decode(bytes)) certificado(*decoded);

    idf::xml::Document doc;
    try {
        doc.load(bytes, "fuzz.xml");
    } catch (const idf::xml::ParseError&) {
        return 0;
    }
    const idf::xml::Node root = doc.document_element();
    for (const std::string_view element : {"NFe", "CTe", "CTeOS"}) {
        const idf::xml::Node documento = filho(root, element);
        if (!documento) continue;
        const idf::xml::Node info = filho(documento, element == "NFe" ? "infNFe" : "infCte");
        const idf::xml::Node prot = filho(filho(root, element == "NFe" ? "protNFe" : "protCTe"), "infProt");
        const idf::Autenticidade found = idf::avalia_autenticidade(documento, info, prot);
        if (found.certificado_do_emitente && !found.cnpj_certificado)
            idf::fuzz::fail("the issuer's certificate without a number");
        if (found.assinatura == idf::Autenticidade::Assinatura::ausente && found.cnpj_certificado)
            idf::fuzz::fail("a certificate without a signature");
    }
    return 0;
}
