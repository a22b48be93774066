// The document's authenticity: the protocol's digest, the signature and
// the certificate's holder, on hand-made signed documents (made by
// tests/data/autenticidade/gera.py, which writes the canonical bytes on its
// own) edited one way per row, then on real documents.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "common/autenticidade.hpp"
#include "common/result_json.hpp"
#include "support/test_support.hpp"
#include "values/base64.hpp"
#include "values/text.hpp"

namespace idf::test {
namespace {

using Conteudo = Autenticidade::Conteudo;
using Assinatura = Autenticidade::Assinatura;

const std::string dados = std::string(IDF_TESTS_DIR) + "/data/autenticidade/";

std::string documento(std::string_view nome) { return read_bytes(dados + std::string(nome)).value(); }

// `xml` with its first `de` replaced by `para`.
std::string trocado(std::string xml, std::string_view de, std::string_view para) {
    const auto at = xml.find(de);
    EXPECT_NE(at, std::string::npos) << de;
    if (at != std::string::npos) xml.replace(at, de.size(), para);
    return xml;
}

// The text between `abre` and `fecha`, or the span it takes.
std::pair<std::size_t, std::size_t> entre(const std::string& xml, std::string_view abre, std::string_view fecha) {
    const auto from = xml.find(abre) + abre.size();
    return {from, xml.find(fecha, from) - from};
}

std::string com_texto(std::string xml, std::string_view abre, std::string_view fecha, std::string_view texto) {
    const auto [at, size] = entre(xml, abre, fecha);
    xml.replace(at, size, texto);
    return xml;
}

std::string texto(const std::string& xml, std::string_view abre, std::string_view fecha) {
    const auto [at, size] = entre(xml, abre, fecha);
    return xml.substr(at, size);
}

constexpr std::string_view cnpj = "12345678000190";

Autenticidade achado(Conteudo c, Assinatura a, std::optional<std::string> numero, std::optional<bool> emitente) {
    return {c, a, std::move(numero), emitente};
}

struct Caso {
    const char* what;
    std::string xml;
    Autenticidade esperado;
    std::string problemas;
};

std::vector<Caso> casos() {
    const std::string assinada = documento("nfe-assinada.xml");
    const std::string conteudo(conteudo_diferente), assinatura(assinatura_invalida), outro(certificado_de_outro);
    const auto sim = [](Conteudo c, Assinatura a) { return achado(c, a, std::string(cnpj), true); };
    std::string mil_referencias;
    for (int i = 0; i < 1000; ++i) mil_referencias += "<Reference URI=\"#x" + std::to_string(i) + "\"/>";
    const std::string certificado = texto(assinada, "<X509Certificate>", "</X509Certificate>");
    return {
        // Failures first.
        {"a value edited after signing", trocado(assinada, "<vNF>10.00</vNF>", "<vNF>99.00</vNF>"),
         sim(Conteudo::difere, Assinatura::invalida), conteudo + assinatura},
        {"the issuer edited to another company: all three lines, in order",
         trocado(assinada, "<CNPJ>12345678000190</CNPJ>", "<CNPJ>99888777000166</CNPJ>"),
         achado(Conteudo::difere, Assinatura::invalida, std::string(cnpj), false), conteudo + assinatura + outro},
        {"the protocol's digest of another content",
         com_texto(assinada, "<digVal>", "</digVal>", "AAAAAAAAAAAAAAAAAAAAAAAAAAA="),
         sim(Conteudo::difere, Assinatura::valida), conteudo},
        {"a digest of neither 28 nor 44 characters", com_texto(assinada, "<digVal>", "</digVal>", "RGFuZmVTaGFycA=="),
         sim(Conteudo::difere, Assinatura::valida), conteudo},
        {"a digest that is not base64", com_texto(assinada, "<digVal>", "</digVal>", "!!!!!!!!!!!!!!!!!!!!!!!!!!!="),
         sim(Conteudo::difere, Assinatura::valida), conteudo},
        {"the signature's digest edited",
         com_texto(assinada, "<DigestValue>", "</DigestValue>", "AAAAAAAAAAAAAAAAAAAAAAAAAAA="),
         sim(Conteudo::confere, Assinatura::invalida), assinatura},
        {"a signature value that is not base64", com_texto(assinada, "<SignatureValue>", "</SignatureValue>", "%%%%"),
         sim(Conteudo::confere, Assinatura::invalida), assinatura},
        {"a signature value of another signer (one bit changed)",
         [&] {
             std::string xml = assinada;
             const auto at = xml.find("<SignatureValue>") + 20;
             xml[at] = xml[at] == 'A' ? 'B' : 'A';
             return xml;
         }(),
         sim(Conteudo::confere, Assinatura::invalida), assinatura},
        {"a signature of 10 MB",
         com_texto(assinada, "<SignatureValue>", "</SignatureValue>", std::string(10u << 20, 'A')),
         sim(Conteudo::confere, Assinatura::invalida), assinatura},
        {"an unknown signature method", trocado(assinada, "xmldsig#rsa-sha1", "xmldsig#dsa-sha1"),
         sim(Conteudo::confere, Assinatura::invalida), assinatura},
        {"an unknown digest method", trocado(assinada, "xmldsig#sha1", "xmldsig#md5"),
         sim(Conteudo::confere, Assinatura::invalida), assinatura},
        {"no reference to the signed element", trocado(assinada, "<Reference URI=\"#NFe", "<Reference URI=\"#CTe"),
         sim(Conteudo::confere, Assinatura::invalida), assinatura},
        {"1,000 references, none to the signed element",
         trocado(trocado(assinada, "<Reference URI=\"#NFe", "<Reference URI=\"#CTe"), "<SignedInfo>",
                 "<SignedInfo>" + mil_referencias),
         sim(Conteudo::confere, Assinatura::invalida), assinatura},
        {"a truncated certificate",
         com_texto(assinada, "<X509Certificate>", "</X509Certificate>", certificado.substr(0, 400)),
         achado(Conteudo::confere, Assinatura::invalida, std::nullopt, std::nullopt), assinatura},
        {"a certificate that is not one", com_texto(assinada, "<X509Certificate>", "</X509Certificate>", "AAAA"),
         achado(Conteudo::confere, Assinatura::invalida, std::nullopt, std::nullopt), assinatura},
        {"a certificate element holding an element",
         com_texto(assinada, "<X509Certificate>", "</X509Certificate>", "<b/>"),
         achado(Conteudo::confere, Assinatura::invalida, std::nullopt, std::nullopt), assinatura},
        {"the CPF issuer edited to another person",
         trocado(documento("nfe-assinada-cpf.xml"), "<CPF>12345678909</CPF>", "<CPF>98765432100</CPF>"),
         achado(Conteudo::difere, Assinatura::invalida, "12345678909", false), conteudo + assinatura + outro},
        // Then what holds.
        {"as signed and authorised", assinada, sim(Conteudo::confere, Assinatura::valida), ""},
        {"SHA-256", documento("nfe-assinada-sha256.xml"), sim(Conteudo::confere, Assinatura::valida), ""},
        {"a branch of the certificate's company (the same first 8 characters)",
         trocado(assinada, "<CNPJ>12345678000190</CNPJ>", "<CNPJ>12345678000271</CNPJ>"),
         sim(Conteudo::difere, Assinatura::invalida), conteudo + assinatura},
        {"signed by a person: the CPF of the certificate", documento("nfe-assinada-cpf.xml"),
         achado(Conteudo::confere, Assinatura::valida, "12345678909", true), ""},
        {"1,000 references before the one to the signed element",
         trocado(assinada, "<SignedInfo>", "<SignedInfo>" + mil_referencias),
         // The signature no longer covers the same SignedInfo.
         sim(Conteudo::confere, Assinatura::invalida), assinatura},
        {"another signature before it, of another element",
         [&] {
             const auto from = assinada.find("<Signature");
             const std::string copia = assinada.substr(from, assinada.find("</Signature>") + 12 - from);
             return trocado(assinada, "<Signature", trocado(copia, "URI=\"#NFe", "URI=\"#CTe") + "<Signature");
         }(),
         sim(Conteudo::confere, Assinatura::valida), ""},
        {"the protocol's digest between blanks",
         com_texto(assinada, "<digVal>", "</digVal>", " \n" + texto(assinada, "<digVal>", "</digVal>") + "\t "),
         sim(Conteudo::confere, Assinatura::valida), ""},
        {"the protocol without a digest", trocado(trocado(assinada, "<digVal>", "<outro>"), "</digVal>", "</outro>"),
         sim(Conteudo::indeterminado, Assinatura::valida), ""},
        {"a blank digest", com_texto(assinada, "<digVal>", "</digVal>", " \n "),
         sim(Conteudo::indeterminado, Assinatura::valida), ""},
        {"no signature",
         [&] {
             std::string xml = assinada;
             const auto from = xml.find("<Signature");
             xml.erase(from, xml.find("</Signature>") + 12 - from);
             return xml;
         }(),
         achado(Conteudo::confere, Assinatura::ausente, std::nullopt, std::nullopt), ""},
        {"re-indented, with a wrapper's namespaces",
         [&] {
             std::string xml = trocado(assinada, "<nfeProc ",
                                       "<nfeProc xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                                       "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" ");
             for (std::size_t at = xml.find("><"); at != std::string::npos; at = xml.find("><", at + 4))
                 xml.replace(at, 2, ">\r\n  <");
             return xml;
         }(),
         sim(Conteudo::confere, Assinatura::valida), ""},
    };
}

TEST(Autenticidade, FindingsOfSignedDocumentsEditedOneWayEach) {
    for (const Caso& c : casos()) {
        SCOPED_TRACE(c.what);
        const auto start = std::chrono::steady_clock::now();
        const RunResult r = run_xml(DocType::nfe, c.xml, Regional::brazilian(), "Sim");
        ASSERT_TRUE(r.completed()) << testing::PrintToString(r.boxes);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        ASSERT_TRUE(r.result.autenticidade.has_value());
        EXPECT_EQ(*r.result.autenticidade, c.esperado);
        EXPECT_EQ(r.result.lista_problemas, c.problemas);
    }
}

// The section ends the file, after the empty line; the number and the
// issuer's line only when known. The JSON member comes before diagnostico.
TEST(Autenticidade, SectionAndJsonMember) {
    const std::string assinada = documento("nfe-assinada.xml");
    {
        const RunResult r = run_xml(DocType::nfe, trocado(assinada, "<vNF>10.00</vNF>", "<vNF>99.00</vNF>"));
        ASSERT_TRUE(r.completed());
        const auto lines = r.lines();
        ASSERT_GE(lines.size(), 6u);
        EXPECT_EQ(
            std::vector<std::string>(lines.end() - 6, lines.end()),
            (std::vector<std::string>{"", "[AUTENTICIDADE]", "Conteudo_Autorizado=Nao", "Assinatura_Digital=Invalida",
                                      "CNPJ_Certificado=12345678000190", "Certificado_do_Emitente=Sim"}));
        // The report box shows the lines as every problem line.
        ASSERT_EQ(r.boxes.size(), 1u);
        EXPECT_TRUE(r.boxes[0].ends_with(std::string(conteudo_diferente) + std::string(assinatura_invalida)));
        const std::string json = result_json(r.result, r.boxes);
        EXPECT_NE(json.find(",\"autenticidade\":{\"conteudo\":\"difere\",\"assinatura\":\"invalida\","
                            "\"cnpj_certificado\":\"12345678000190\",\"certificado_do_emitente\":true},"
                            "\"diagnostico\":null}"),
                  std::string::npos)
            << json;
    }
    {
        std::string xml = assinada;
        xml.erase(xml.find("<Signature"), xml.find("</Signature>") + 12 - xml.find("<Signature"));
        const RunResult r =
            run_xml(DocType::nfe, trocado(trocado(xml, "<digVal>", "<outro>"), "</digVal>", "</outro>"));
        ASSERT_TRUE(r.completed());
        EXPECT_TRUE(r.ini->ends_with(
            "\r\n\r\n[AUTENTICIDADE]\r\nConteudo_Autorizado=Indeterminado\r\nAssinatura_Digital=Ausente\r\n"));
        EXPECT_NE(result_json(r.result, r.boxes)
                      .find(",\"autenticidade\":{\"conteudo\":\"indeterminado\",\"assinatura\":\"ausente\","
                            "\"cnpj_certificado\":null,\"certificado_do_emitente\":null},"),
                  std::string::npos);
    }
}

// The holder's number, from what the certificate reader gives.
TEST(Autenticidade, NumberOfTheCertificatesHolder) {
    using Nomes = std::vector<std::pair<std::string, std::string>>;
    const struct {
        const char* what;
        Nomes other_names;
        std::string cn;
        std::optional<std::string> numero;
        bool cpf;
    } casos[] = {
        {"nothing", {}, "Autoridade", std::nullopt, false},
        {"13 digits after the colon", {}, "EMPRESA:1234567800019", std::nullopt, false},
        {"letters after the colon", {}, "EMPRESA:1234567800019X", std::nullopt, false},
        {"a CNPJ otherName of 13 characters", {{"2.16.76.1.3.3", "1234567800019"}}, "", std::nullopt, false},
        {"a CNPJ otherName with a blank", {{"2.16.76.1.3.3", "12345678 00019"}}, "", std::nullopt, false},
        {"a CPF otherName too short", {{"2.16.76.1.3.1", "010119801234567890"}}, "", std::nullopt, false},
        {"another otherName", {{"2.16.76.1.3.4", "01011980123456789090000000000"}}, "", std::nullopt, false},
        {"the CNPJ otherName before the common name",
         {{"2.16.76.1.3.3", "11222333000181"}},
         "EMPRESA:44555666000199",
         "11222333000181",
         false},
        {"an alphanumeric CNPJ", {{"2.16.76.1.3.3", "12ABC34501DE35"}}, "", "12ABC34501DE35", false},
        {"14 digits after the last colon", {}, "EMPRESA: A:B:44555666000199", "44555666000199", false},
        {"the CPF otherName, characters 9 to 19",
         {{"2.16.76.1.3.1", "01011980123456789090000000"}},
         "JOSE:98765432100",
         "12345678909",
         true},
        {"11 digits after the colon", {}, "JOSE DA SILVA:12345678909", "12345678909", true},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.what);
        bool cpf = !c.cpf;
        EXPECT_EQ(numero_do_certificado({c.other_names, c.cn}, cpf), c.numero);
        if (c.numero) {
            EXPECT_EQ(cpf, c.cpf);
        }
    }
}

// The system's cryptography as the library uses it.
TEST(Cripto, DigestsCertificatesAndRsa) {
    const auto hex = [](const std::string& bytes) {
        std::string out;
        for (const unsigned char c : bytes) out += "0123456789abcdef"[c >> 4], out += "0123456789abcdef"[c & 15];
        return out;
    };
    EXPECT_EQ(hex(cripto::digest(cripto::Hash::sha1, "abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(hex(cripto::digest(cripto::Hash::sha256, "abc")),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(hex(cripto::digest(cripto::Hash::sha1, "")), "da39a3ee5e6b4b0d3255bfef95601890afd80709");

    const std::string cn = base64_decode(documento("certificado-cn.der.b64")).value();
    const auto lido = cripto::le_certificado(cn);
    ASSERT_TRUE(lido.has_value());
    EXPECT_EQ(lido->common_name, "OUTRA EMPRESA SA:11222333000181");
    EXPECT_TRUE(lido->other_names.empty());

    const std::string assinada = documento("nfe-assinada.xml");
    const std::string der = base64_decode(texto(assinada, "<X509Certificate>", "</X509Certificate>")).value();
    const auto icp = cripto::le_certificado(der);
    ASSERT_TRUE(icp.has_value());
    EXPECT_EQ(icp->other_names, (std::vector<std::pair<std::string, std::string>>{
                                    {"2.16.76.1.3.4", "01011980123456789090000000000000000000000000SSPSP"},
                                    {"2.16.76.1.3.3", "12345678000190"}}));

    // Malformed certificates are none, never a crash.
    for (std::size_t size : {0u, 1u, 10u, 100u, 500u}) EXPECT_FALSE(cripto::le_certificado(der.substr(0, size)));
    EXPECT_FALSE(cripto::le_certificado(der + "x"));
    EXPECT_FALSE(cripto::le_certificado(std::string(1 << 20, '\x30')));

    // The signature of the sample covers its SignedInfo, not other bytes.
    const std::string assinatura = base64_decode(texto(assinada, "<SignatureValue>", "</SignatureValue>")).value();
    EXPECT_FALSE(cripto::verifica_rsa(cripto::Hash::sha1, der, "other bytes", assinatura));
    EXPECT_FALSE(cripto::verifica_rsa(cripto::Hash::sha1, der.substr(0, 300), "other bytes", assinatura));
    EXPECT_FALSE(cripto::verifica_rsa(cripto::Hash::sha1, der, "x", assinatura + assinatura));
    EXPECT_FALSE(cripto::verifica_rsa(cripto::Hash::sha1, der, "x", ""));
}

TEST(Base64, DecodesTheStandardAlphabetWithPaddingAndLineBreaks) {
    const struct {
        std::string_view text;
        std::optional<std::string> bytes;
    } casos[] = {
        {"QUJD!", std::nullopt},
        {"QUJ", std::nullopt},
        {"Q===", std::nullopt},
        {"QQ=A", std::nullopt},
        {"QQ==QQ==", std::nullopt},
        {"=QQQ", std::nullopt},
        {"QUJD-_==", std::nullopt},
        {"QQ=", std::nullopt},
        {"", ""},
        {"QUJD", "ABC"},
        {"QUI=", "AB"},
        {"QQ==", "A"},
        {"QU\r\nJ D\t", "ABC"},
        {"/+/+", "\xFF\xEF\xFE"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(base64_decode(c.text), c.bytes);
    }
}

// Real documents, picked from the corpus manifest by computing their
// answers: every kind the findings take.
TEST(AutenticidadeCorpus, RealDocumentsAndTheirAnswers) {
    IDF_REQUIRE_CORPUS();
    const struct {
        const char* what;
        DocType type;
        const char* file;
        Autenticidade esperado;
    } casos[] = {
        {"edited after signing (another company's certificate)", DocType::nfe, "nfe/nfelib-nfe400-26-1808-1687.xml",
         achado(Conteudo::difere, Assinatura::invalida, "12984794000154", false)},
        {"without a signature", DocType::nfe, "nfe/brdanfe-nfe310-50itens-crlf.xml",
         achado(Conteudo::difere, Assinatura::ausente, std::nullopt, std::nullopt)},
        {"CT-e OS, edited after signing", DocType::cte, "cte/spedda-cteos300-hom.xml",
         achado(Conteudo::difere, Assinatura::invalida, "10776992000105", true)},
        {"as authorised", DocType::nfe, "nfe/brdanfe-nfe200-fci.xml",
         achado(Conteudo::confere, Assinatura::valida, "60891033000109", true)},
        {"re-indented", DocType::nfe, "nfe/spednfe-nfe400-sn202.xml",
         achado(Conteudo::confere, Assinatura::valida, "06929383000163", true)},
        {"a wrapper's xmlns:xsi and xmlns:xsd (a CT-e)", DocType::cte, "cte/brdanfe-cte103-42-1107-225.xml",
         achado(Conteudo::confere, Assinatura::valida, "89317697000132", true)},
        {"CT-e", DocType::cte, "cte/nfephp-cte104-35-1212-1616-crlf.xml",
         achado(Conteudo::confere, Assinatura::valida, "68252816000146", true)},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.what);
        const RunResult r = run_file(c.type, corpus_path(c.file), "Sim");
        ASSERT_TRUE(r.completed()) << testing::PrintToString(r.boxes);
        ASSERT_TRUE(r.result.autenticidade.has_value());
        EXPECT_EQ(*r.result.autenticidade, c.esperado);
    }
}

}  // namespace
}  // namespace idf::test
