// The document's signature on Windows: digests and RSA from CNG (bcrypt),
// certificates from the system's certificate functions (crypt32), their
// subject alternative name and RSA key read from their DER here. Both
// are system DLLs: nothing ships beside the library.
#include <windows.h>
// After windows.h, which they need.
#include <bcrypt.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "common/platform.hpp"
#include "values/text.hpp"

namespace idf::cripto {

namespace {

// No certificate of a signature comes near this size.
constexpr std::size_t max_certificate = 64 * 1024;

bool succeeded(NTSTATUS status) { return status >= 0; }

const wchar_t* algorithm(Hash hash) { return hash == Hash::sha1 ? BCRYPT_SHA1_ALGORITHM : BCRYPT_SHA256_ALGORITHM; }

struct Provider {
    BCRYPT_ALG_HANDLE handle = nullptr;
    Provider() = default;
    Provider(const Provider&) = delete;
    Provider& operator=(const Provider&) = delete;
    ~Provider() {
        if (handle) BCryptCloseAlgorithmProvider(handle, 0);
    }
};

struct HashObject {
    BCRYPT_HASH_HANDLE handle = nullptr;
    HashObject() = default;
    HashObject(const HashObject&) = delete;
    HashObject& operator=(const HashObject&) = delete;
    ~HashObject() {
        if (handle) BCryptDestroyHash(handle);
    }
};

struct Key {
    BCRYPT_KEY_HANDLE handle = nullptr;
    Key() = default;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() {
        if (handle) BCryptDestroyKey(handle);
    }
};

struct ContextFree {
    void operator()(const CERT_CONTEXT* context) const { CertFreeCertificateContext(context); }
};
using Context = std::unique_ptr<const CERT_CONTEXT, ContextFree>;

Context parse(std::string_view der) {
    if (der.empty() || der.size() > max_certificate) return nullptr;
    return Context(CertCreateCertificateContext(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING,
                                                reinterpret_cast<const BYTE*>(der.data()),
                                                static_cast<DWORD>(der.size())));
}

// One DER element at the start of `der`: its tag and its content; false
// when it is malformed or runs past the end.
bool der_element(std::string_view der, unsigned char& tag, std::string_view& content) {
    if (der.size() < 2) return false;
    tag = static_cast<unsigned char>(der[0]);
    std::size_t length = static_cast<unsigned char>(der[1]);
    std::size_t at = 2;
    if (length & 0x80) {
        const std::size_t bytes = length & 0x7F;
        if (bytes == 0 || bytes > 4 || der.size() < at + bytes) return false;
        length = 0;
        for (std::size_t i = 0; i < bytes; ++i) length = (length << 8) | static_cast<unsigned char>(der[at + i]);
        at += bytes;
    }
    if (length > der.size() - at) return false;
    content = der.substr(at, length);
    return true;
}

// The bytes of the string an otherName holds; its value may come with the
// explicit [0] tag around it or without.
std::optional<std::string> string_of(std::string_view value) {
    unsigned char tag = 0;
    std::string_view content;
    if (!der_element(value, tag, content)) return std::nullopt;
    if (tag == 0xA0 && !der_element(content, tag, content)) return std::nullopt;
    // OCTET STRING, UTF8String, PrintableString, T61String, IA5String.
    if (tag != 0x04 && tag != 0x0C && tag != 0x13 && tag != 0x14 && tag != 0x16) return std::nullopt;
    return std::string(content);
}

// An object identifier's content in dotted form; empty when malformed.
std::string dotted(std::string_view oid) {
    std::string out;
    std::uint64_t value = 0;
    bool first = true;
    for (std::size_t i = 0; i < oid.size(); ++i) {
        const auto byte = static_cast<unsigned char>(oid[i]);
        if (value > (std::uint64_t{1} << 50)) return {};
        value = (value << 7) | (byte & 0x7F);
        if (byte & 0x80) {
            if (i + 1 == oid.size()) return {};
            continue;
        }
        if (first) {
            const std::uint64_t top = value < 40 ? 0 : value < 80 ? 1 : 2;
            out = std::to_string(top) + '.' + std::to_string(value - top * 40);
            first = false;
        } else {
            out += '.' + std::to_string(value);
        }
        value = 0;
    }
    return out;
}

// The otherName entries of a subject alternative name (the extension's
// value: a SEQUENCE of GeneralName; an otherName is [0] { OID, [0] value }),
// read from the DER itself, the same on every version of the system.
void other_names(std::string_view der, std::vector<std::pair<std::string, std::string>>& out) {
    unsigned char tag = 0;
    std::string_view names;
    if (!der_element(der, tag, names) || tag != 0x30) return;
    while (!names.empty()) {
        std::string_view name;
        if (!der_element(names, tag, name)) return;
        // Past the element: its header and its content.
        names.remove_prefix(static_cast<std::size_t>(name.data() - names.data()) + name.size());
        if (tag != 0xA0) continue;
        std::string_view oid;
        if (!der_element(name, tag, oid) || tag != 0x06) continue;
        name.remove_prefix(static_cast<std::size_t>(oid.data() - name.data()) + oid.size());
        const std::string id = dotted(oid);
        const auto value = string_of(name);
        if (!id.empty() && value) out.emplace_back(id, *value);
    }
}

// An unsigned big-endian integer without its leading zero bytes.
std::string_view without_leading_zeros(std::string_view number) {
    while (!number.empty() && number.front() == '\0') number.remove_prefix(1);
    return number;
}

}  // namespace

std::string digest(Hash hash, std::string_view bytes) {
    Provider provider;
    HashObject object;
    const std::size_t size = hash == Hash::sha1 ? 20 : 32;
    std::string out(size, '\0');
    if (!succeeded(BCryptOpenAlgorithmProvider(&provider.handle, algorithm(hash), nullptr, 0)) ||
        !succeeded(BCryptCreateHash(provider.handle, &object.handle, nullptr, 0, nullptr, 0, 0)))
        throw std::runtime_error("The system could not compute a digest.");
    while (!bytes.empty()) {
        const ULONG piece = static_cast<ULONG>(std::min<std::size_t>(bytes.size(), 1u << 30));
        if (!succeeded(
                BCryptHashData(object.handle, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())), piece, 0)))
            throw std::runtime_error("The system could not compute a digest.");
        bytes.remove_prefix(piece);
    }
    if (!succeeded(BCryptFinishHash(object.handle, reinterpret_cast<PUCHAR>(out.data()), static_cast<ULONG>(size), 0)))
        throw std::runtime_error("The system could not compute a digest.");
    return out;
}

std::optional<Certificado> le_certificado(std::string_view der) {
    const Context context = parse(der);
    if (!context || !context->pCertInfo) return std::nullopt;
    Certificado read;
    const CERT_INFO& info = *context->pCertInfo;
    if (const CERT_EXTENSION* extension = CertFindExtension(szOID_SUBJECT_ALT_NAME2, info.cExtension, info.rgExtension);
        extension && extension->Value.pbData)
        other_names(std::string_view(reinterpret_cast<const char*>(extension->Value.pbData), extension->Value.cbData),
                    read.other_names);
    // The first common name of the subject.
    const DWORD size =
        CertGetNameStringW(context.get(), CERT_NAME_ATTR_TYPE, 0, const_cast<char*>(szOID_COMMON_NAME), nullptr, 0);
    if (size > 1) {
        std::wstring name(size, L'\0');
        CertGetNameStringW(context.get(), CERT_NAME_ATTR_TYPE, 0, const_cast<char*>(szOID_COMMON_NAME), name.data(),
                           size);
        name.resize(std::wcslen(name.c_str()));
        read.common_name = utf16_to_utf8(std::u16string(name.begin(), name.end()));
    }
    return read;
}

bool verifica_rsa(Hash hash, std::string_view der, std::string_view data, std::string_view signature) {
    const Context context = parse(der);
    if (!context || !context->pCertInfo || signature.empty() || signature.size() > 2048) return false;
    CERT_PUBLIC_KEY_INFO& public_key = context->pCertInfo->SubjectPublicKeyInfo;
    if (!public_key.Algorithm.pszObjId || std::strcmp(public_key.Algorithm.pszObjId, szOID_RSA_RSA) != 0) return false;
    // RSAPublicKey ::= SEQUENCE { modulus INTEGER, publicExponent INTEGER }
    const std::string_view key_der(reinterpret_cast<const char*>(public_key.PublicKey.pbData),
                                   public_key.PublicKey.pbData ? public_key.PublicKey.cbData : 0);
    unsigned char tag = 0;
    std::string_view sequence, modulus, exponent;
    if (!der_element(key_der, tag, sequence) || tag != 0x30 || !der_element(sequence, tag, modulus) || tag != 0x02)
        return false;
    sequence.remove_prefix(static_cast<std::size_t>(modulus.data() - sequence.data()) + modulus.size());
    if (!der_element(sequence, tag, exponent) || tag != 0x02) return false;
    modulus = without_leading_zeros(modulus);
    exponent = without_leading_zeros(exponent);
    if (modulus.empty() || exponent.empty() || modulus.size() > 2048 || exponent.size() > 8) return false;
    // The key as CNG takes it: the header, then the exponent and the
    // modulus, big-endian.
    BCRYPT_RSAKEY_BLOB header{};
    header.Magic = BCRYPT_RSAPUBLIC_MAGIC;
    header.BitLength = static_cast<ULONG>(modulus.size() * 8);
    header.cbPublicExp = static_cast<ULONG>(exponent.size());
    header.cbModulus = static_cast<ULONG>(modulus.size());
    std::string blob(reinterpret_cast<const char*>(&header), sizeof header);
    blob += exponent;
    blob += modulus;
    Provider provider;
    Key key;
    if (!succeeded(BCryptOpenAlgorithmProvider(&provider.handle, BCRYPT_RSA_ALGORITHM, nullptr, 0)) ||
        !succeeded(BCryptImportKeyPair(provider.handle, nullptr, BCRYPT_RSAPUBLIC_BLOB, &key.handle,
                                       reinterpret_cast<PUCHAR>(blob.data()), static_cast<ULONG>(blob.size()), 0)))
        return false;
    // A signature is as long as the key; one whose leading zero bytes were
    // dropped is the same number.
    const std::size_t key_size = modulus.size();
    if (signature.size() > key_size) return false;
    std::string padded(key_size - signature.size(), '\0');
    padded += signature;
    std::string hashed = digest(hash, data);
    BCRYPT_PKCS1_PADDING_INFO padding{algorithm(hash)};
    return BCryptVerifySignature(key.handle, &padding, reinterpret_cast<PUCHAR>(hashed.data()),
                                 static_cast<ULONG>(hashed.size()), reinterpret_cast<PUCHAR>(padded.data()),
                                 static_cast<ULONG>(padded.size()), BCRYPT_PAD_PKCS1) == 0;
}

}  // namespace idf::cripto
