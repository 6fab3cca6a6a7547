#include "recorder/CertificateAuthority.h"

#include "recorder/AuthorityFiles.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <algorithm>

#include <arpa/inet.h>

namespace torvex {
namespace {

constexpr long kDay = 24L * 3600;
// Chromium refuses server certificates valid for 398 days or more.
constexpr long kHostValidityDays      = 397;
constexpr long kAuthorityValidityDays = 3653; // ten years
constexpr std::size_t kMaxCommonName  = 64;

KeyPtr newKey() {
    return KeyPtr(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
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

CertificatePtr makeAuthorityCertificate(EVP_PKEY* key) {
    CertificatePtr certificate = newCertificate(key, kAuthorityValidityDays);
    if (!certificate) return nullptr;
    X509* self      = certificate.get();
    X509_NAME* name = X509_get_subject_name(self);
    const bool made = addTextEntry(name, "O", "Torvex") &&
                      addTextEntry(name, "CN", CertificateAuthority::kName) &&
                      X509_set_issuer_name(self, name) == 1 &&
                      addExtension(self, self, NID_basic_constraints, "critical,CA:TRUE") &&
                      addExtension(self, self, NID_key_usage, "critical,keyCertSign,cRLSign") &&
                      addExtension(self, self, NID_subject_key_identifier, "hash") &&
                      X509_sign(self, key, EVP_sha256()) > 0;
    return made ? std::move(certificate) : nullptr;
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

CertificatePtr makeHostCertificate(const std::string& host, EVP_PKEY* hostKey, X509* issuer,
                                   EVP_PKEY* issuerKey) {
    CertificatePtr certificate = newCertificate(hostKey, kHostValidityDays);
    if (!certificate) return nullptr;
    X509* leaf = certificate.get();
    // Browsers read only the alternative name; the common name helps people reading the
    // certificate and must stay within its 64 characters.
    const bool made =
        (host.size() > kMaxCommonName || addTextEntry(X509_get_subject_name(leaf), "CN", host)) &&
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

// The text a PEM writer put into a memory buffer; empty when it failed.
template <typename Write> std::string pemText(Write write) {
    BIO* bio = BIO_new(BIO_s_mem());
    std::string text;
    if (bio != nullptr && write(bio) == 1) {
        char* data        = nullptr;
        const long length = BIO_get_mem_data(bio, &data);
        if (length > 0) text.assign(data, static_cast<std::size_t>(length));
    }
    BIO_free(bio);
    return text;
}

std::string keyPem(EVP_PKEY* key) {
    return pemText([key](BIO* bio) {
        return PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
    });
}

std::string certificatePemOf(X509* certificate) {
    return pemText([certificate](BIO* bio) { return PEM_write_bio_X509(bio, certificate); });
}

// Reads the pair; false with `error` set when either file is damaged or they do not match.
bool loadPair(const std::string& keyPath, const std::string& keyText, const std::string& certPath,
              const std::string& certText, KeyPtr& key, CertificatePtr& certificate,
              std::string& error) {
    BIO* keyBio = BIO_new_mem_buf(keyText.data(), static_cast<int>(keyText.size()));
    key.reset(keyBio ? PEM_read_bio_PrivateKey(keyBio, nullptr, nullptr, nullptr) : nullptr);
    BIO_free(keyBio);
    BIO* certBio = BIO_new_mem_buf(certText.data(), static_cast<int>(certText.size()));
    certificate.reset(certBio ? PEM_read_bio_X509(certBio, nullptr, nullptr, nullptr) : nullptr);
    BIO_free(certBio);
    ERR_clear_error();
    if (!key)
        error = "not a private key in PEM form: " + keyPath;
    else if (!certificate)
        error = "not a certificate in PEM form: " + certPath;
    else if (X509_check_private_key(certificate.get(), key.get()) != 1)
        error = "the key " + keyPath + " does not belong to the certificate " + certPath;
    ERR_clear_error();
    return error.empty();
}

} // namespace

CertificateAuthority::CertificateAuthority(KeyPtr key, CertificatePtr certificate, KeyPtr hostKey)
    : key_(std::move(key)), certificate_(std::move(certificate)), hostKey_(std::move(hostKey)) {}

std::unique_ptr<CertificateAuthority> CertificateAuthority::open(const std::string& folder,
                                                                 std::string& error) {
    if (!makePrivateFolder(folder, error)) return nullptr;
    FileLock lock;
    if (!lock.acquire(folder + "/ca.lock", error)) return nullptr;

    const std::string keyPath  = folder + "/" + kKeyFile;
    const std::string certPath = folder + "/" + kCertFile;
    std::string keyText, certText;
    const FileRead keyRead = readSmallFile(keyPath, keyText, error);
    if (keyRead == FileRead::Failed) return nullptr;
    const FileRead certRead = readSmallFile(certPath, certText, error);
    if (certRead == FileRead::Failed) return nullptr;

    KeyPtr key;
    CertificatePtr certificate;
    if (keyRead == FileRead::Read && certRead == FileRead::Read) {
        if (!loadPair(keyPath, keyText, certPath, certText, key, certificate, error))
            return nullptr;
    } else {
        // Half a pair is of no use: both are made anew.
        key         = newKey();
        certificate = key ? makeAuthorityCertificate(key.get()) : nullptr;
        if (!certificate) {
            error = takeOpenSslError("cannot make the certificate authority");
            return nullptr;
        }
        // The key goes first: a certificate without its key would be a dead end.
        if (!replaceFile(keyPath, keyPem(key.get()), 0600, error) ||
            !replaceFile(certPath, certificatePemOf(certificate.get()), 0644, error))
            return nullptr;
    }
    KeyPtr hostKey = newKey();
    if (!hostKey) {
        error = takeOpenSslError("cannot make a key for host certificates");
        return nullptr;
    }
    return std::unique_ptr<CertificateAuthority>(
        new CertificateAuthority(std::move(key), std::move(certificate), std::move(hostKey)));
}

std::string CertificateAuthority::certificatePem() const {
    return certificatePemOf(certificate_.get());
}

X509* CertificateAuthority::certificateFor(const std::string& host) {
    const std::string name = certifiableHost(host);
    if (name.empty()) return nullptr;
    std::lock_guard guard(lock_);
    if (const auto found = issued_.find(name); found != issued_.end()) return found->second.get();
    CertificatePtr made = makeHostCertificate(name, hostKey_.get(), certificate_.get(), key_.get());
    ERR_clear_error();
    if (!made) return nullptr;
    X509* certificate = made.get();
    issued_.emplace(name, std::move(made));
    return certificate;
}

} // namespace torvex
