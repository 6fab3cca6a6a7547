#pragma once

#include "recorder/OpenSslHandles.h"

#include <string>

namespace torvex {

// The certificates the recording proxy makes: issuers of its own and the per-host certificates
// they sign for the browser.

// A fresh EC P-256 key.
KeyPtr newCertificateKey();

// A self-signed issuer certificate for `key`, valid from a day ago for `validDays`.
CertificatePtr makeIssuerCertificate(EVP_PKEY* key, const std::string& organization,
                                     const std::string& commonName, long validDays);

// A server certificate for `host` (a certifiable name or an IP address, see certifiableHost)
// certifying `hostKey`, signed by `issuer`. A non-empty `notice` goes into the subject's
// organisational unit (cut to 64 characters), where browsers show it to the user.
CertificatePtr makeHostCertificate(const std::string& host, const std::string& notice,
                                   EVP_PKEY* hostKey, X509* issuer, EVP_PKEY* issuerKey);

// A host name in lower case, or an IP address; empty when neither.
std::string certifiableHost(const std::string& host);

} // namespace torvex
