#include "recorder/CertificateAuthority.h"

#include "recorder/AuthorityFiles.h"
#include "recorder/CertificateMaking.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/sha.h>

namespace torvex {
namespace {

constexpr long kAuthorityValidityDays = 3653; // ten years

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
        key = newCertificateKey();
        certificate =
            key ? makeIssuerCertificate(key.get(), "Torvex", kName, kAuthorityValidityDays)
                : nullptr;
        if (!certificate) {
            error = takeOpenSslError("cannot make the certificate authority");
            return nullptr;
        }
        // The key goes first: a certificate without its key would be a dead end.
        if (!replaceFile(keyPath, keyPem(key.get()), 0600, error) ||
            !replaceFile(certPath, certificatePemOf(certificate.get()), 0644, error))
            return nullptr;
    }
    KeyPtr hostKey = newCertificateKey();
    if (!hostKey) {
        error = takeOpenSslError("cannot make a key for host certificates");
        return nullptr;
    }
    return std::unique_ptr<CertificateAuthority>(
        new CertificateAuthority(std::move(key), std::move(certificate), std::move(hostKey)));
}

std::string CertificateAuthority::hostKeyPin() const {
    unsigned char* der = nullptr;
    const int size     = i2d_PUBKEY(hostKey_.get(), &der);
    unsigned char digest[SHA256_DIGEST_LENGTH];
    unsigned char text[4 * ((SHA256_DIGEST_LENGTH + 2) / 3) + 1];
    const bool made = size > 0 && SHA256(der, static_cast<std::size_t>(size), digest) != nullptr;
    OPENSSL_free(der);
    if (!made) return {};
    const int length = EVP_EncodeBlock(text, digest, SHA256_DIGEST_LENGTH);
    return std::string(reinterpret_cast<char*>(text), static_cast<std::size_t>(length));
}

std::string CertificateAuthority::certificatePem() const {
    return certificatePemOf(certificate_.get());
}

X509* CertificateAuthority::certificateFor(const std::string& host) {
    const std::string name = certifiableHost(host);
    if (name.empty()) return nullptr;
    std::lock_guard guard(lock_);
    if (const auto found = issued_.find(name); found != issued_.end()) return found->second.get();
    CertificatePtr made =
        makeHostCertificate(name, {}, hostKey_.get(), certificate_.get(), key_.get());
    ERR_clear_error();
    if (!made) return nullptr;
    X509* certificate = made.get();
    issued_.emplace(name, std::move(made));
    return certificate;
}

} // namespace torvex
