#!/usr/bin/env python3
"""Makes the signed test documents of this folder (python3-cryptography).

The canonical bytes are written here by hand, independently of the
library's canonical writer: the documents are compact (no blanks between
tags), so the canonical infNFe is its text with the namespace declared on
it, and the canonical SignedInfo the same with the signature's namespace.
Run it from anywhere; it rewrites the files beside it (new keys each time).
"""
import base64, datetime, hashlib, os
from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import padding, rsa
from cryptography.x509.oid import NameOID

here = os.path.dirname(os.path.abspath(__file__))
NFE = "http://www.portalfiscal.inf.br/nfe"
DSIG = "http://www.w3.org/2000/09/xmldsig#"
KEY = "35240612345678000190550010000012341000012345"


def der_octets(text):
    data = text.encode()
    return bytes([0x04, len(data)]) + data


def certificate(key, common_name, other_names):
    subject = x509.Name([x509.NameAttribute(NameOID.COUNTRY_NAME, "BR"),
                         x509.NameAttribute(NameOID.COMMON_NAME, common_name)])
    builder = (x509.CertificateBuilder().subject_name(subject).issuer_name(subject)
               .public_key(key.public_key()).serial_number(x509.random_serial_number())
               .not_valid_before(datetime.datetime(2024, 1, 1)).not_valid_after(datetime.datetime(2034, 1, 1)))
    if other_names:
        builder = builder.add_extension(x509.SubjectAlternativeName(
            [x509.OtherName(x509.ObjectIdentifier(oid), der_octets(value)) for oid, value in other_names]),
            critical=False)
    return builder.sign(key, hashes.SHA256()).public_bytes(serialization.Encoding.DER)


def documento(name, key, cert, sha256, emit):
    inf = (f'<infNFe Id="NFe{KEY}" versao="4.00"><ide><serie>1</serie><nNF>1234</nNF>'
           f'<dhEmi>2024-06-10T09:30:00-03:00</dhEmi></ide><emit>{emit}<xNome>Fornecedor &amp; Cia</xNome>'
           '<enderEmit><xLgr>Rua A</xLgr><nro>10</nro><xBairro>Centro</xBairro><cMun>3550308</cMun>'
           '<CEP>01001000</CEP></enderEmit><IE>111</IE><CRT>3</CRT></emit><dest><CNPJ>98765432000110</CNPJ>'
           '<xNome>Cliente</xNome></dest><total><ICMSTot><vNF>10.00</vNF></ICMSTot></total>'
           '<transp><modFrete>9</modFrete></transp></infNFe>')
    canonical = inf.replace('<infNFe ', f'<infNFe xmlns="{NFE}" ', 1).encode()
    digest_hash = hashlib.sha256 if sha256 else hashlib.sha1
    digest = base64.b64encode(digest_hash(canonical).digest()).decode()
    dm = "http://www.w3.org/2001/04/xmlenc#sha256" if sha256 else DSIG + "sha1"
    sm = "http://www.w3.org/2001/04/xmldsig-more#rsa-sha256" if sha256 else DSIG + "rsa-sha1"
    signed_info = (f'<SignedInfo><CanonicalizationMethod Algorithm="http://www.w3.org/TR/2001/REC-xml-c14n-20010315">'
                   f'</CanonicalizationMethod><SignatureMethod Algorithm="{sm}"></SignatureMethod>'
                   f'<Reference URI="#NFe{KEY}"><Transforms><Transform Algorithm="{DSIG}enveloped-signature">'
                   '</Transform><Transform Algorithm="http://www.w3.org/TR/2001/REC-xml-c14n-20010315"></Transform>'
                   f'</Transforms><DigestMethod Algorithm="{dm}"></DigestMethod><DigestValue>{digest}</DigestValue>'
                   '</Reference></SignedInfo>')
    si_canonical = signed_info.replace('<SignedInfo>', f'<SignedInfo xmlns="{DSIG}">', 1).encode()
    signature = key.sign(si_canonical, padding.PKCS1v15(), hashes.SHA256() if sha256 else hashes.SHA1())
    cert_text = base64.b64encode(cert).decode()
    # The certificate wrapped in lines, as signers write it.
    cert_lines = "\n".join(cert_text[i:i + 76] for i in range(0, len(cert_text), 76))
    xml = (f'<?xml version="1.0" encoding="UTF-8"?>\n<nfeProc xmlns="{NFE}" versao="4.00"><NFe>{inf}'
           f'<Signature xmlns="{DSIG}">{signed_info}<SignatureValue>{base64.b64encode(signature).decode()}'
           f'</SignatureValue><KeyInfo><X509Data><X509Certificate>{cert_lines}</X509Certificate></X509Data>'
           f'</KeyInfo></Signature></NFe><protNFe versao="4.00"><infProt><tpAmb>1</tpAmb><chNFe>{KEY}</chNFe>'
           f'<nProt>135240000123456</nProt><digVal>{digest}</digVal><cStat>100</cStat></infProt></protNFe>'
           '</nfeProc>\n')
    with open(os.path.join(here, name), "w", encoding="utf-8") as out:
        out.write(xml)


key = rsa.generate_private_key(public_exponent=65537, key_size=2048)
e_cnpj = certificate(key, "FORNECEDOR E CIA LTDA:12345678000190", [("2.16.76.1.3.4", "01011980123456789090000000000000000000000000SSPSP"),
                                                                    ("2.16.76.1.3.3", "12345678000190")])
e_cpf = certificate(key, "JOSE DA SILVA:12345678909", [("2.16.76.1.3.1", "010119801234567890900000000000000000000000SSPSP")])
documento("nfe-assinada.xml", key, e_cnpj, False, "<CNPJ>12345678000190</CNPJ>")
documento("nfe-assinada-sha256.xml", key, e_cnpj, True, "<CNPJ>12345678000190</CNPJ>")
documento("nfe-assinada-cpf.xml", key, e_cpf, False, "<CPF>12345678909</CPF>")
# Certificates read on their own: the holder in the common name only, and none.
for name, cert in (("certificado-cn.der.b64", certificate(key, "OUTRA EMPRESA SA:11222333000181", [])),
                   ("certificado-sem-numero.der.b64", certificate(key, "Autoridade de Teste", []))):
    with open(os.path.join(here, name), "w") as out:
        out.write(base64.b64encode(cert).decode() + "\n")
