#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <openssl/ssl.h>

namespace torvex::test {

struct SslCtxFree {
    void operator()(SSL_CTX* ctx) const { SSL_CTX_free(ctx); }
};
using SslCtxPtr = std::unique_ptr<SSL_CTX, SslCtxFree>;

// A self-signed EC P-256 certificate and its key, made in memory when the test runs, so no key
// material is kept in the repository and the validity window is always current.
class TlsIdentity {
public:
    struct Options {
        std::string commonName                = "localhost";
        std::vector<std::string> dnsNames     = {"localhost"};
        std::vector<std::string> ipAddresses  = {"127.0.0.1"};
        std::chrono::seconds validFromOffset  = std::chrono::hours(-1);
        std::chrono::seconds validUntilOffset = std::chrono::hours(24);
    };

    // Throws std::runtime_error when OpenSSL fails.
    TlsIdentity();
    explicit TlsIdentity(const Options& options);
    ~TlsIdentity();
    TlsIdentity(const TlsIdentity&)            = delete;
    TlsIdentity& operator=(const TlsIdentity&) = delete;

    X509* certificate() const { return cert_; }
    EVP_PKEY* privateKey() const { return key_; }
    std::string certificatePem() const;
    std::string privateKeyPem() const;

    // A server context presenting this identity. A version of 0 leaves OpenSSL's default; a
    // minimum below TLS 1.2 also lowers the security level, without which OpenSSL 3 refuses it.
    SslCtxPtr makeServerContext(int minVersion = 0, int maxVersion = 0) const;
    // A client context that trusts only this identity's certificate and checks the peer.
    SslCtxPtr makeTrustingClientContext() const;

private:
    EVP_PKEY* key_ = nullptr;
    X509* cert_    = nullptr;
};

} // namespace torvex::test
