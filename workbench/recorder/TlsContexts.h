#pragma once

#include "recorder/OpenSslHandles.h"
#include "recorder/RecordingProxy.h"

#include <memory>
#include <string>

namespace torvex {

class CertificateAuthority;
class UntrustedIssuer;

// The two TLS set-ups of the proxy. Towards the browser it presents certificates of Torvex's
// authority, or of the untrusted issuer for a site whose certificate does not verify. Towards
// servers it checks the chain against the system's trusted authorities (and any the options add)
// and the host name, unless the options turn site checks off.
class TlsContexts {
public:
    // nullptr with `error` set when OpenSSL cannot make them or `extraTrustedPem` holds no
    // certificate.
    static std::unique_ptr<TlsContexts> create(CertificateAuthority& authority,
                                               const RecordingProxy::Options& options,
                                               std::string& error);
    ~TlsContexts();

    // A server-side session that presents the certificate for the name the browser asks for
    // through SNI, or for `fallbackHost` when it names none. `fallbackHost` must outlive the
    // handshake. A non-empty `siteFailure` (why the site's own certificate did not verify)
    // makes that an untrusted certificate naming the failure.
    SslPtr newBrowserSession(const std::string& fallbackHost,
                             const std::string& siteFailure = {}) const;
    // A client-side session to `host`, named through SNI unless it is an IP address, and
    // checked for that name when sites are verified.
    SslPtr newServerSession(const std::string& host) const;
    // Why the server's certificate on a finished handshake did not verify; empty when it did
    // or sites are not verified.
    std::string siteFailure(const SSL* session) const;

    bool verifiesSites() const { return verifiesSites_; }
    UntrustedIssuer& untrustedIssuer() const { return *untrusted_; }

private:
    TlsContexts() = default;
    // Runs during each handshake with the browser, once the client hello (and its SNI) is read.
    static int chooseCertificate(SSL* session, int* alert, void* contexts);

    CertificateAuthority* authority_ = nullptr;
    SslContextPtr towardsBrowser_;
    SslContextPtr towardsServers_;
    std::unique_ptr<UntrustedIssuer> untrusted_;
    bool verifiesSites_ = false;
};

} // namespace torvex
