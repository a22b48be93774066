// The document's signature on Windows: digests and RSA from CNG (bcrypt),
// certificates from the system's certificate functions (crypt32). Both
// are system DLLs: nothing ships beside the library.
#include <windows.h>
// After windows.h, which they need.
#include <bcrypt.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

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

struct LocalFreeDeleter {
    void operator()(void* memory) const { LocalFree(memory); }
};

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
    if (const CERT_EXTENSION* extension =
            CertFindExtension(szOID_SUBJECT_ALT_NAME2, info.cExtension, info.rgExtension)) {
        CERT_ALT_NAME_INFO* names = nullptr;
        DWORD size = 0;
        if (CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData,
                                extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &names, &size) &&
            names) {
            const std::unique_ptr<CERT_ALT_NAME_INFO, LocalFreeDeleter> owned(names);
            for (DWORD i = 0; i < names->cAltEntry; ++i) {
                const CERT_ALT_NAME_ENTRY& entry = names->rgAltEntry[i];
                if (entry.dwAltNameChoice != CERT_ALT_NAME_OTHER_NAME || !entry.pOtherName ||
                    !entry.pOtherName->pszObjId)
                    continue;
                const CERT_OTHER_NAME& other = *entry.pOtherName;
                const auto value = string_of(std::string_view(reinterpret_cast<const char*>(other.Value.pbData),
                                                              other.Value.pbData ? other.Value.cbData : 0));
                if (value) read.other_names.emplace_back(other.pszObjId, *value);
            }
        }
    }
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
    Key key;
    if (!CryptImportPublicKeyInfoEx2(X509_ASN_ENCODING, &public_key, 0, nullptr, &key.handle)) return false;
    // A signature is as long as the key; one whose leading zero bytes were
    // dropped is the same number.
    DWORD bits = 0;
    ULONG got = 0;
    if (!succeeded(
            BCryptGetProperty(key.handle, BCRYPT_KEY_LENGTH, reinterpret_cast<PUCHAR>(&bits), sizeof bits, &got, 0)))
        return false;
    const std::size_t key_size = (bits + 7) / 8;
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
