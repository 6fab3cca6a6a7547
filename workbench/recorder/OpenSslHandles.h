#pragma once

#include <memory>
#include <string>

#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

namespace torvex {

struct OpenSslFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
    void operator()(X509* certificate) const { X509_free(certificate); }
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
    void operator()(SSL* session) const { SSL_free(session); }
};

using KeyPtr         = std::unique_ptr<EVP_PKEY, OpenSslFree>;
using CertificatePtr = std::unique_ptr<X509, OpenSslFree>;
using SslContextPtr  = std::unique_ptr<SSL_CTX, OpenSslFree>;
using SslPtr         = std::unique_ptr<SSL, OpenSslFree>;

// The reason of the oldest error in this thread's OpenSSL queue, or `fallback`; the queue is
// emptied.
std::string takeOpenSslError(const std::string& fallback);

} // namespace torvex
