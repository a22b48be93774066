// Is this what the authority authorised? The document's authenticity,
// written last in the exchange file as [AUTENTICIDADE].
//
// The protocol's infProt/digVal is the digest of the signed infNFe
// (infCte) as the authority received it, and the XML-DSig Signature beside
// it binds that content to the issuer's certificate. Three findings, each
// a report, never a reason to refuse the document:
//  1. the content: the digest of the canonical infNFe (xml/canonical.hpp),
//     SHA-1 when digVal has 28 characters, SHA-256 when 44, against
//     digVal: confere or difere; indeterminado without a digVal;
//  2. the signature: the Signature (a child of NFe, CTe or CTeOS) whose
//     Reference URI is "#" + the Id of infNFe: its DigestValue must be the
//     content's digest by its DigestMethod, and its SignatureValue must
//     verify (RSA PKCS#1 v1.5, SHA-1 or SHA-256 as SignatureMethod says)
//     over the canonical SignedInfo with the key of its X509Certificate.
//     No Signature: ausente; any failure: invalida;
//  3. the certificate's holder: the ICP-Brasil otherName 2.16.76.1.3.3 of
//     its subject alternative name (a CNPJ of 14 characters), else 14
//     digits after the last ":" of its subject's common name; a CPF from
//     the otherName 2.16.76.1.3.1 (characters 9 to 19), else 11 digits
//     after the ":". It is the issuer's when its first 8 characters are
//     those of the issuer's CNPJ (a branch may sign with the head office's
//     certificate), or it equals the issuer's CPF.
// No certificate chain is checked: the certificate is trusted as it stands.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/import.hpp"
#include "common/platform.hpp"
#include "xml/tree.hpp"

namespace idf {

// The findings on a loaded document: `root` its document element,
// `documento` the signed document under it (NFe, CTe, CTeOS), `info` the
// signed element (infNFe, infCte), `inf_prot` the protocol's infProt (may
// be none). Errors of the data are findings; only the system's failures
// (memory, a digest it cannot compute) raise.
Autenticidade avalia_autenticidade(xml::Node documento, xml::Node info, xml::Node inf_prot);

// The certificate holder's number (item 3); none when none can be read.
// `cpf` tells which kind it is.
std::optional<std::string> numero_do_certificado(const cripto::Certificado& certificado, bool& cpf);

// The last stage of both imports: evaluates the loaded document, writes an
// empty line and [AUTENTICIDADE] through the section rows, adds the
// problem lines that apply (in this order: the content, the signature, the
// certificate) and hands the findings to the result.
void escreve_autenticidade(Import& import);

}  // namespace idf
