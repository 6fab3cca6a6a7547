#include "recorder/AuthorityCheck.h"

#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

namespace torvex {
namespace {

struct X509Free {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
using X509Ptr = std::unique_ptr<X509, X509Free>;

X509Ptr authorityFromPem(const std::string& pem) {
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    if (!bio) return nullptr;
    X509Ptr certificate(PEM_read_bio_X509(bio, nullptr, nullptr, nullptr));
    BIO_free(bio);
    return certificate;
}

X509Ptr certificateFromDer(std::string_view der) {
    auto* bytes = reinterpret_cast<const unsigned char*>(der.data());
    return X509Ptr(d2i_X509(nullptr, &bytes, static_cast<long>(der.size())));
}

} // namespace

bool issuedByAuthority(std::string_view certificateDer, const std::string& authorityPem) {
    if (certificateDer.empty() || authorityPem.empty()) return false;
    const X509Ptr authority   = authorityFromPem(authorityPem);
    const X509Ptr certificate = certificateFromDer(certificateDer);
    if (!authority || !certificate) return false;
    if (X509_check_issued(authority.get(), certificate.get()) != X509_V_OK) return false;
    EVP_PKEY* key = X509_get0_pubkey(authority.get());
    return key && X509_verify(certificate.get(), key) == 1;
}

} // namespace torvex
