#pragma once

#include "recorder/OpenSslHandles.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace torvex {

// Torvex's own certificate authority for recording HTTPS: a key and a self-signed certificate
// kept per user, and the certificates it signs for each host the browser visits.
class CertificateAuthority {
public:
    static constexpr const char* kName     = "Torvex Recording Authority";
    static constexpr const char* kKeyFile  = "ca-key.pem";
    static constexpr const char* kCertFile = "ca-cert.pem";

    // Loads the authority from `folder`, or creates it there first; nullptr with a message
    // naming the folder or file that failed. A damaged file is reported, never replaced: the
    // user may have imported that certificate into browsers.
    static std::unique_ptr<CertificateAuthority> open(const std::string& folder,
                                                      std::string& error);

    X509* certificate() const { return certificate_.get(); }
    std::string certificatePem() const;

    // The certificate for `host` (a name or an IP address), made on first use and kept; nullptr
    // for a host that no certificate can name. Safe from any thread.
    X509* certificateFor(const std::string& host);
    // The key that every host certificate certifies.
    EVP_PKEY* hostKey() const { return hostKey_.get(); }
    // The base64 SHA-256 digest of that key's SubjectPublicKeyInfo, the form in which Chromium
    // takes keys to trust.
    std::string hostKeyPin() const;

private:
    CertificateAuthority(KeyPtr key, CertificatePtr certificate, KeyPtr hostKey);

    KeyPtr key_;
    CertificatePtr certificate_;
    KeyPtr hostKey_;
    std::mutex lock_;
    std::map<std::string, CertificatePtr> issued_;
};

} // namespace torvex
