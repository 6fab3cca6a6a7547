#include "http/support/TlsIdentity.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <stdexcept>

namespace torvex::test {
namespace {

[[noreturn]] void fail(const char* what) {
    std::string text = std::string("TlsIdentity: ") + what;
    if (unsigned long code = ERR_get_error(); code != 0) {
        char buffer[256];
        ERR_error_string_n(code, buffer, sizeof buffer);
        text += ": ";
        text += buffer;
    }
    ERR_clear_error();
    throw std::runtime_error(text);
}

std::string bioText(BIO* bio) {
    char* data  = nullptr;
    long length = BIO_get_mem_data(bio, &data);
    std::string text(data, length > 0 ? static_cast<std::size_t>(length) : 0);
    BIO_free(bio);
    return text;
}

} // namespace

TlsIdentity::TlsIdentity() : TlsIdentity(Options{}) {}

TlsIdentity::TlsIdentity(const Options& options) {
    key_ = EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256");
    if (key_ == nullptr) fail("EC key generation failed");
    cert_ = X509_new();
    if (cert_ == nullptr) {
        EVP_PKEY_free(key_);
        fail("X509_new failed");
    }
    // A constructor that throws runs no destructor, so every later failure frees both first.
    auto check = [this](bool ok, const char* what) {
        if (ok) return;
        X509_free(cert_);
        EVP_PKEY_free(key_);
        cert_ = nullptr;
        key_  = nullptr;
        fail(what);
    };
    check(X509_set_version(cert_, X509_VERSION_3) == 1, "X509_set_version");
    // A random serial keeps clients that cache certificates by issuer and serial from mixing
    // up identities made in one run.
    ASN1_INTEGER* serial = X509_get_serialNumber(cert_);
    BIGNUM* random       = BN_new();
    const bool serialOk  = random != nullptr &&
                          BN_rand(random, 63, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) == 1 &&
                          BN_to_ASN1_INTEGER(random, serial) != nullptr;
    BN_free(random);
    check(serialOk, "serial number");
    check(X509_gmtime_adj(X509_getm_notBefore(cert_), options.validFromOffset.count()) != nullptr,
          "notBefore");
    check(X509_gmtime_adj(X509_getm_notAfter(cert_), options.validUntilOffset.count()) != nullptr,
          "notAfter");
    check(X509_set_pubkey(cert_, key_) == 1, "X509_set_pubkey");

    X509_NAME* name = X509_get_subject_name(cert_);
    check(X509_NAME_add_entry_by_txt(
              name, "CN", MBSTRING_ASC,
              reinterpret_cast<const unsigned char*>(options.commonName.c_str()), -1, -1, 0) == 1,
          "subject CN");
    check(X509_set_issuer_name(cert_, name) == 1, "issuer");

    std::string altNames;
    for (const std::string& dns : options.dnsNames)
        altNames += (altNames.empty() ? "" : ",") + ("DNS:" + dns);
    for (const std::string& ip : options.ipAddresses)
        altNames += (altNames.empty() ? "" : ",") + ("IP:" + ip);
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert_, cert_, nullptr, nullptr, 0);
    auto addExtension = [&](int nid, const std::string& value) {
        X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
        const bool added    = ext != nullptr && X509_add_ext(cert_, ext, -1) == 1;
        X509_EXTENSION_free(ext);
        check(added, "extension");
    };
    if (!altNames.empty()) addExtension(NID_subject_alt_name, altNames);
    addExtension(NID_basic_constraints, "critical,CA:TRUE");
    addExtension(NID_subject_key_identifier, "hash");
    check(X509_sign(cert_, key_, EVP_sha256()) > 0, "X509_sign");
}

TlsIdentity::~TlsIdentity() {
    X509_free(cert_);
    EVP_PKEY_free(key_);
}

std::string TlsIdentity::certificatePem() const {
    BIO* bio = BIO_new(BIO_s_mem());
    if (bio == nullptr || PEM_write_bio_X509(bio, cert_) != 1) fail("PEM_write_bio_X509");
    return bioText(bio);
}

std::string TlsIdentity::privateKeyPem() const {
    BIO* bio = BIO_new(BIO_s_mem());
    if (bio == nullptr ||
        PEM_write_bio_PrivateKey(bio, key_, nullptr, nullptr, 0, nullptr, nullptr) != 1)
        fail("PEM_write_bio_PrivateKey");
    return bioText(bio);
}

SslCtxPtr TlsIdentity::makeServerContext(int minVersion, int maxVersion) const {
    SslCtxPtr ctx(SSL_CTX_new(TLS_server_method()));
    if (!ctx) fail("SSL_CTX_new");
    if (SSL_CTX_use_certificate(ctx.get(), cert_) != 1) fail("SSL_CTX_use_certificate");
    if (SSL_CTX_use_PrivateKey(ctx.get(), key_) != 1) fail("SSL_CTX_use_PrivateKey");
    if (minVersion != 0 && minVersion < TLS1_2_VERSION) {
        SSL_CTX_set_security_level(ctx.get(), 0);
        SSL_CTX_set_cipher_list(ctx.get(), "DEFAULT:@SECLEVEL=0");
    }
    if (SSL_CTX_set_min_proto_version(ctx.get(), minVersion) != 1) fail("min protocol version");
    if (SSL_CTX_set_max_proto_version(ctx.get(), maxVersion) != 1) fail("max protocol version");
    return ctx;
}

SslCtxPtr TlsIdentity::makeTrustingClientContext() const {
    SslCtxPtr ctx(SSL_CTX_new(TLS_client_method()));
    if (!ctx) fail("SSL_CTX_new");
    X509_STORE* store = SSL_CTX_get_cert_store(ctx.get());
    if (X509_STORE_add_cert(store, cert_) != 1) fail("X509_STORE_add_cert");
    SSL_CTX_set_verify(ctx.get(), SSL_VERIFY_PEER, nullptr);
    return ctx;
}

} // namespace torvex::test
