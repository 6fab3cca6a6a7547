#include "recorder/CertificateMaking.h"

#include <openssl/bn.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>

namespace torvex {
namespace {

constexpr long kDay = 24L * 3600;
// Chromium refuses server certificates valid for 398 days or more.
constexpr long kHostValidityDays = 397;
// Common names and organisational units hold 64 characters at most.
constexpr std::size_t kMaxNameEntry = 64;

// At most `limit` bytes, cut before a UTF-8 continuation byte so the text stays valid.
std::string shortened(const std::string& text, std::size_t limit) {
    if (text.size() <= limit) return text;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

bool addTextEntry(X509_NAME* name, const char* field, const std::string& value) {
    return X509_NAME_add_entry_by_txt(name, field, MBSTRING_UTF8,
                                      reinterpret_cast<const unsigned char*>(value.c_str()), -1, -1,
                                      0) == 1;
}

// Fixed extension texts only; names from the browser never pass through this parser.
bool addExtension(X509* certificate, X509* issuer, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    const bool added = extension != nullptr && X509_add_ext(certificate, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

// A random positive 127-bit serial, so no two certificates share one.
bool setRandomSerial(X509* certificate) {
    BIGNUM* random = BN_new();
    const bool set = random != nullptr &&
                     BN_rand(random, 127, BN_RAND_TOP_ONE, BN_RAND_BOTTOM_ANY) == 1 &&
                     BN_to_ASN1_INTEGER(random, X509_get_serialNumber(certificate)) != nullptr;
    BN_free(random);
    return set;
}

// Version, serial, a validity from a day ago and the subject key: what every certificate
// made here starts with.
CertificatePtr newCertificate(EVP_PKEY* subjectKey, long validDays) {
    CertificatePtr certificate(X509_new());
    if (!certificate || X509_set_version(certificate.get(), X509_VERSION_3) != 1 ||
        !setRandomSerial(certificate.get()) ||
        X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -kDay) == nullptr ||
        X509_gmtime_adj(X509_getm_notAfter(certificate.get()), (validDays - 1) * kDay) == nullptr ||
        X509_set_pubkey(certificate.get(), subjectKey) != 1)
        return nullptr;
    return certificate;
}

// The one subject alternative name of a host certificate: DNS:<name> or IP:<address>.
bool addHostName(X509* certificate, const std::string& host) {
    unsigned char address[16];
    int addressSize = 0;
    if (::inet_pton(AF_INET, host.c_str(), address) == 1) addressSize = 4;
    if (::inet_pton(AF_INET6, host.c_str(), address) == 1) addressSize = 16;

    GENERAL_NAMES* names = sk_GENERAL_NAME_new_null();
    GENERAL_NAME* name   = GENERAL_NAME_new();
    bool made            = names != nullptr && name != nullptr;
    if (made && addressSize > 0) {
        ASN1_OCTET_STRING* octets = ASN1_OCTET_STRING_new();
        made = octets != nullptr && ASN1_OCTET_STRING_set(octets, address, addressSize) == 1;
        if (made)
            GENERAL_NAME_set0_value(name, GEN_IPADD, octets);
        else
            ASN1_OCTET_STRING_free(octets);
    } else if (made) {
        ASN1_IA5STRING* text = ASN1_IA5STRING_new();
        made                 = text != nullptr &&
               ASN1_STRING_set(text, host.data(), static_cast<int>(host.size())) == 1;
        if (made)
            GENERAL_NAME_set0_value(name, GEN_DNS, text);
        else
            ASN1_IA5STRING_free(text);
    }
    if (made) made = sk_GENERAL_NAME_push(names, name) > 0;
    if (!made) GENERAL_NAME_free(name);
    made = made && X509_add1_ext_i2d(certificate, NID_subject_alt_name, names, 0, 0) == 1;
    GENERAL_NAMES_free(names);
    return made;
}

} // namespace

KeyPtr newCertificateKey() {
    return KeyPtr(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
}

CertificatePtr makeIssuerCertificate(EVP_PKEY* key, const std::string& organization,
                                     const std::string& commonName, long validDays) {
    CertificatePtr certificate = newCertificate(key, validDays);
    if (!certificate) return nullptr;
    X509* self      = certificate.get();
    X509_NAME* name = X509_get_subject_name(self);
    const bool made = addTextEntry(name, "O", organization) &&
                      addTextEntry(name, "CN", commonName) &&
                      X509_set_issuer_name(self, name) == 1 &&
                      addExtension(self, self, NID_basic_constraints, "critical,CA:TRUE") &&
                      addExtension(self, self, NID_key_usage, "critical,keyCertSign,cRLSign") &&
                      addExtension(self, self, NID_subject_key_identifier, "hash") &&
                      X509_sign(self, key, EVP_sha256()) > 0;
    return made ? std::move(certificate) : nullptr;
}

CertificatePtr makeHostCertificate(const std::string& host, const std::string& notice,
                                   EVP_PKEY* hostKey, X509* issuer, EVP_PKEY* issuerKey) {
    CertificatePtr certificate = newCertificate(hostKey, kHostValidityDays);
    if (!certificate) return nullptr;
    X509* leaf = certificate.get();
    // Browsers read only the alternative name; the common name helps people reading the
    // certificate and must stay within its 64 characters.
    X509_NAME* subject = X509_get_subject_name(leaf);
    const bool made =
        (notice.empty() || addTextEntry(subject, "OU", shortened(notice, kMaxNameEntry))) &&
        (host.size() > kMaxNameEntry || addTextEntry(subject, "CN", host)) &&
        X509_set_issuer_name(leaf, X509_get_subject_name(issuer)) == 1 && addHostName(leaf, host) &&
        addExtension(leaf, issuer, NID_basic_constraints, "critical,CA:FALSE") &&
        addExtension(leaf, issuer, NID_key_usage, "critical,digitalSignature") &&
        addExtension(leaf, issuer, NID_ext_key_usage, "serverAuth") &&
        addExtension(leaf, issuer, NID_subject_key_identifier, "hash") &&
        addExtension(leaf, issuer, NID_authority_key_identifier, "keyid:always") &&
        X509_sign(leaf, issuerKey, EVP_sha256()) > 0;
    return made ? std::move(certificate) : nullptr;
}

// A host name in lower case, or an IP address; empty when neither.
std::string certifiableHost(const std::string& host) {
    unsigned char address[16];
    if (::inet_pton(AF_INET, host.c_str(), address) == 1 ||
        ::inet_pton(AF_INET6, host.c_str(), address) == 1)
        return host;
    if (host.empty() || host.size() > 253) return {};
    std::string name;
    for (const char c : host) {
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
        if (!((lower >= 'a' && lower <= 'z') || (lower >= '0' && lower <= '9') || lower == '-' ||
              lower == '.' || lower == '_'))
            return {};
        name += lower;
    }
    return name;
}

} // namespace torvex
