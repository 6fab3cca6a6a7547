#pragma once

#include "recorder/OpenSslHandles.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace torvex {

// The issuer of the certificates the browser gets for sites whose own certificate does not
// verify. No browser trusts it, so the browser shows its usual warning and the tester decides;
// the reason the site failed is written into each certificate. It lives in memory only, made
// anew for every proxy, so no trust given to it can outlast the proxy.
class UntrustedIssuer {
public:
    static constexpr const char* kName = "Torvex Recording Proxy - untrusted site";

    // nullptr with `error` set when OpenSSL cannot make it.
    static std::unique_ptr<UntrustedIssuer> create(std::string& error);

    X509* certificate() const { return certificate_.get(); }
    // The certificate for `host` naming `failure`, made on first use and kept; nullptr for a
    // host that no certificate can name. `made` tells whether this call made it. Safe from any
    // thread.
    X509* certificateFor(const std::string& host, const std::string& failure, bool* made = nullptr);
    // Whether a certificate for `host` naming `failure` has been handed out.
    bool issued(const std::string& host, const std::string& failure);
    // The key of every certificate it signs; not the trusted authority's host key, so that no
    // trust given to that key covers these certificates.
    EVP_PKEY* hostKey() const { return hostKey_.get(); }

private:
    UntrustedIssuer(KeyPtr key, CertificatePtr certificate, KeyPtr hostKey);

    KeyPtr key_;
    CertificatePtr certificate_;
    KeyPtr hostKey_;
    std::mutex lock_;
    std::map<std::pair<std::string, std::string>, CertificatePtr> issued_;
};

} // namespace torvex
