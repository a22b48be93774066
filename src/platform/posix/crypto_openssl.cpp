// The document's signature on systems without a cryptography of their own
// that the library could reach: OpenSSL's libcrypto (digests, X.509, RSA).
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <climits>
#include <memory>
#include <new>
#include <stdexcept>

#include "common/platform.hpp"

namespace idf::cripto {

namespace {

// No certificate of a signature comes near this size.
constexpr std::size_t max_certificate = 64 * 1024;

struct X509Free {
    void operator()(X509* x) const { X509_free(x); }
};
struct PKeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct MdCtxFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
struct NamesFree {
    void operator()(GENERAL_NAMES* n) const { GENERAL_NAMES_free(n); }
};
struct Utf8Free {
    void operator()(unsigned char* s) const { OPENSSL_free(s); }
};

// OpenSSL records why a call failed in the thread's error queue: emptied
// before returning, so that a host using OpenSSL itself never reads
// failures of ours.
struct ClearErrors {
    ClearErrors() = default;
    ClearErrors(const ClearErrors&) = delete;
    ClearErrors& operator=(const ClearErrors&) = delete;
    ~ClearErrors() { ERR_clear_error(); }
};

const EVP_MD* algorithm(Hash hash) { return hash == Hash::sha1 ? EVP_sha1() : EVP_sha256(); }

std::unique_ptr<X509, X509Free> parse(std::string_view der) {
    if (der.empty() || der.size() > max_certificate) return nullptr;
    const auto* at = reinterpret_cast<const unsigned char*>(der.data());
    std::unique_ptr<X509, X509Free> certificate(d2i_X509(nullptr, &at, static_cast<long>(der.size())));
    // Bytes after the certificate: not one certificate.
    if (certificate && at != reinterpret_cast<const unsigned char*>(der.data()) + der.size()) return nullptr;
    return certificate;
}

std::string string_bytes(const ASN1_STRING* text) {
    if (!text || !ASN1_STRING_get0_data(text) || ASN1_STRING_length(text) <= 0) return {};
    return {reinterpret_cast<const char*>(ASN1_STRING_get0_data(text)),
            static_cast<std::size_t>(ASN1_STRING_length(text))};
}

}  // namespace

std::string digest(Hash hash, std::string_view bytes) {
    const ClearErrors clear;
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), out, &size, algorithm(hash), nullptr) != 1)
        throw std::runtime_error("The system could not compute a digest.");
    return {reinterpret_cast<const char*>(out), size};
}

std::optional<Certificado> le_certificado(std::string_view der) {
    const ClearErrors clear;
    const auto certificate = parse(der);
    if (!certificate) return std::nullopt;
    Certificado read;
    int critical = 0;
    const std::unique_ptr<GENERAL_NAMES, NamesFree> names(
        static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(certificate.get(), NID_subject_alt_name, &critical, nullptr)));
    for (int i = 0; names && i < sk_GENERAL_NAME_num(names.get()); ++i) {
        const GENERAL_NAME* name = sk_GENERAL_NAME_value(names.get(), i);
        if (!name || name->type != GEN_OTHERNAME || !name->d.otherName) continue;
        const OTHERNAME* other = name->d.otherName;
        char oid[80];
        if (!other->type_id || OBJ_obj2txt(oid, sizeof oid, other->type_id, 1) <= 0) continue;
        const ASN1_TYPE* value = other->value;
        // A string of any kind (the ICP-Brasil profiles use OCTET STRING,
        // some issuers a printable or UTF-8 string).
        if (!value || value->type == V_ASN1_BOOLEAN || value->type == V_ASN1_NULL || value->type == V_ASN1_OBJECT ||
            value->type == V_ASN1_SEQUENCE || value->type == V_ASN1_SET)
            continue;
        read.other_names.emplace_back(oid, string_bytes(value->value.asn1_string));
    }
    if (const X509_NAME* subject = X509_get_subject_name(certificate.get())) {
        const int at = X509_NAME_get_index_by_NID(subject, NID_commonName, -1);
        if (at >= 0) {
            unsigned char* utf8 = nullptr;
            const int size = ASN1_STRING_to_UTF8(&utf8, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, at)));
            const std::unique_ptr<unsigned char, Utf8Free> owned(utf8);
            if (size > 0) read.common_name.assign(reinterpret_cast<const char*>(utf8), static_cast<std::size_t>(size));
        }
    }
    return read;
}

bool verifica_rsa(Hash hash, std::string_view der, std::string_view data, std::string_view signature) {
    const ClearErrors clear;
    const auto certificate = parse(der);
    if (!certificate || signature.empty() || signature.size() > 2048) return false;
    const std::unique_ptr<EVP_PKEY, PKeyFree> key(X509_get_pubkey(certificate.get()));
    if (!key || EVP_PKEY_base_id(key.get()) != EVP_PKEY_RSA) return false;
    // A signature is as long as the key; one whose leading zero bytes were
    // dropped is the same number, and is read as such on every platform.
    const int key_size = EVP_PKEY_size(key.get());
    if (key_size <= 0 || signature.size() > static_cast<std::size_t>(key_size)) return false;
    std::string padded(static_cast<std::size_t>(key_size) - signature.size(), '\0');
    padded += signature;
    const std::unique_ptr<EVP_MD_CTX, MdCtxFree> context(EVP_MD_CTX_new());
    if (!context) throw std::bad_alloc();
    // RSA keys sign with PKCS#1 v1.5 padding unless told otherwise.
    if (EVP_DigestVerifyInit(context.get(), nullptr, algorithm(hash), nullptr, key.get()) != 1) return false;
    return EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(padded.data()), padded.size(),
                            reinterpret_cast<const unsigned char*>(data.data()), data.size()) == 1;
}

}  // namespace idf::cripto
