#include "recorder/TlsContexts.h"

#include "recorder/CertificateAuthority.h"

#include <arpa/inet.h>

namespace torvex {
namespace {

// Runs during each handshake with the browser, once the client hello (and its SNI) is read.
int chooseCertificate(SSL* session, int* alert, void* argument) {
    auto& authority        = *static_cast<CertificateAuthority*>(argument);
    const char* named      = SSL_get_servername(session, TLSEXT_NAMETYPE_host_name);
    const auto* fallback   = static_cast<const std::string*>(SSL_get_app_data(session));
    const std::string host = named != nullptr && *named != '\0' ? named
                             : fallback != nullptr              ? *fallback
                                                                : std::string();
    X509* certificate      = authority.certificateFor(host);
    if (certificate == nullptr || SSL_use_certificate(session, certificate) != 1 ||
        SSL_use_PrivateKey(session, authority.hostKey()) != 1) {
        *alert = SSL_AD_INTERNAL_ERROR;
        return SSL_TLSEXT_ERR_ALERT_FATAL;
    }
    return SSL_TLSEXT_ERR_OK;
}

bool isAddress(const std::string& host) {
    unsigned char address[16];
    return ::inet_pton(AF_INET, host.c_str(), address) == 1 ||
           ::inet_pton(AF_INET6, host.c_str(), address) == 1;
}

} // namespace

std::unique_ptr<TlsContexts> TlsContexts::create(CertificateAuthority& authority,
                                                 std::string& error) {
    std::unique_ptr<TlsContexts> contexts(new TlsContexts);
    contexts->towardsBrowser_.reset(SSL_CTX_new(TLS_server_method()));
    contexts->towardsServers_.reset(SSL_CTX_new(TLS_client_method()));
    SSL_CTX* browser = contexts->towardsBrowser_.get();
    SSL_CTX* servers = contexts->towardsServers_.get();
    if (browser == nullptr || servers == nullptr ||
        SSL_CTX_set_min_proto_version(browser, TLS1_2_VERSION) != 1) {
        error = takeOpenSslError("cannot set up TLS");
        return nullptr;
    }
    SSL_CTX_set_tlsext_servername_callback(browser, chooseCertificate);
    SSL_CTX_set_tlsext_servername_arg(browser, &authority);
    SSL_CTX_set_verify(servers, SSL_VERIFY_NONE, nullptr);
    return contexts;
}

SslPtr TlsContexts::newBrowserSession(const std::string& fallbackHost) const {
    SslPtr session(SSL_new(towardsBrowser_.get()));
    if (!session) return nullptr;
    SSL_set_app_data(session.get(), const_cast<std::string*>(&fallbackHost));
    SSL_set_accept_state(session.get());
    return session;
}

SslPtr TlsContexts::newServerSession(const std::string& host) const {
    SslPtr session(SSL_new(towardsServers_.get()));
    if (!session) return nullptr;
    if (!isAddress(host) && SSL_set_tlsext_host_name(session.get(), host.c_str()) != 1)
        return nullptr;
    SSL_set_connect_state(session.get());
    return session;
}

} // namespace torvex
