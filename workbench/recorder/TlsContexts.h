#pragma once

#include "recorder/OpenSslHandles.h"

#include <memory>
#include <string>

namespace torvex {

class CertificateAuthority;

// The two TLS set-ups of the proxy: towards the browser it presents certificates of Torvex's
// authority, towards servers it checks nothing (testers record test servers with self-signed
// certificates).
class TlsContexts {
public:
    // nullptr with `error` set when OpenSSL cannot make them.
    static std::unique_ptr<TlsContexts> create(CertificateAuthority& authority, std::string& error);

    // A server-side session that presents the certificate for the name the browser asks for
    // through SNI, or for `fallbackHost` when it names none. `fallbackHost` must outlive the
    // handshake.
    SslPtr newBrowserSession(const std::string& fallbackHost) const;
    // A client-side session to `host`, named through SNI unless it is an IP address.
    SslPtr newServerSession(const std::string& host) const;

private:
    TlsContexts() = default;

    SslContextPtr towardsBrowser_;
    SslContextPtr towardsServers_;
};

} // namespace torvex
