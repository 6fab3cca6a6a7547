#include "recorder/UntrustedIssuer.h"

#include "recorder/CertificateMaking.h"

#include <openssl/err.h>

namespace torvex {
namespace {

constexpr long kValidityDays = 30; // it lives as long as the proxy anyway

} // namespace

UntrustedIssuer::UntrustedIssuer(KeyPtr key, CertificatePtr certificate, KeyPtr hostKey)
    : key_(std::move(key)), certificate_(std::move(certificate)), hostKey_(std::move(hostKey)) {}

std::unique_ptr<UntrustedIssuer> UntrustedIssuer::create(std::string& error) {
    KeyPtr key     = newCertificateKey();
    KeyPtr hostKey = newCertificateKey();
    CertificatePtr certificate =
        key ? makeIssuerCertificate(key.get(), "Torvex", kName, kValidityDays) : nullptr;
    if (!certificate || !hostKey) {
        error = takeOpenSslError("cannot make the issuer for unverified sites");
        return nullptr;
    }
    return std::unique_ptr<UntrustedIssuer>(
        new UntrustedIssuer(std::move(key), std::move(certificate), std::move(hostKey)));
}

X509* UntrustedIssuer::certificateFor(const std::string& host, const std::string& failure,
                                      bool* made) {
    if (made != nullptr) *made = false;
    const std::string name = certifiableHost(host);
    if (name.empty()) return nullptr;
    std::lock_guard guard(lock_);
    const auto key = std::make_pair(name, failure);
    if (const auto found = issued_.find(key); found != issued_.end()) return found->second.get();
    CertificatePtr certificate = makeHostCertificate(
        name, "Not verified: " + failure, hostKey_.get(), certificate_.get(), key_.get());
    ERR_clear_error();
    if (!certificate) return nullptr;
    if (made != nullptr) *made = true;
    return issued_.emplace(key, std::move(certificate)).first->second.get();
}

bool UntrustedIssuer::issued(const std::string& host, const std::string& failure) {
    std::lock_guard guard(lock_);
    return issued_.count({certifiableHost(host), failure}) != 0;
}

} // namespace torvex
