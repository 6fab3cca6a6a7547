#include "recorder/TlsContexts.h"

#include "recorder/CertificateAuthority.h"
#include "recorder/UntrustedIssuer.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>

namespace torvex {
namespace {

void freeFailure(void*, void* failure, CRYPTO_EX_DATA*, int, long, void*) {
    delete static_cast<std::string*>(failure);
}

// The session's slot for why the site's certificate failed; the session owns the text.
int failureSlot() {
    static const int slot = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, freeFailure);
    return slot;
}

bool isAddress(const std::string& host) {
    unsigned char address[16];
    return ::inet_pton(AF_INET, host.c_str(), address) == 1 ||
           ::inet_pton(AF_INET6, host.c_str(), address) == 1;
}

// Adds every certificate in `pem` to the store; false when it holds none or a damaged one.
bool addTrusted(X509_STORE* store, const std::string& pem) {
    BIO* bio  = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    int added = 0;
    while (bio != nullptr) {
        X509* certificate = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
        if (certificate == nullptr) break;
        if (X509_STORE_add_cert(store, certificate) == 1) ++added;
        X509_free(certificate);
    }
    BIO_free(bio);
    const unsigned long last = ERR_peek_last_error();
    const bool ended =
        ERR_GET_LIB(last) == ERR_LIB_PEM && ERR_GET_REASON(last) == PEM_R_NO_START_LINE;
    ERR_clear_error();
    return added > 0 && ended;
}

} // namespace

int TlsContexts::chooseCertificate(SSL* session, int* alert, void* argument) {
    const auto& contexts = *static_cast<const TlsContexts*>(argument);
    const char* named    = SSL_get_servername(session, TLSEXT_NAMETYPE_host_name);
    const auto* fallback = static_cast<const std::string*>(SSL_get_app_data(session));
    const auto* failure  = static_cast<const std::string*>(SSL_get_ex_data(session, failureSlot()));
    const std::string host = named != nullptr && *named != '\0' ? named
                             : fallback != nullptr              ? *fallback
                                                                : std::string();
    X509* certificate = failure != nullptr ? contexts.untrusted_->certificateFor(host, *failure)
                                           : contexts.authority_->certificateFor(host);
    EVP_PKEY* key =
        failure != nullptr ? contexts.untrusted_->hostKey() : contexts.authority_->hostKey();
    if (certificate == nullptr || SSL_use_certificate(session, certificate) != 1 ||
        SSL_use_PrivateKey(session, key) != 1) {
        *alert = SSL_AD_INTERNAL_ERROR;
        return SSL_TLSEXT_ERR_ALERT_FATAL;
    }
    return SSL_TLSEXT_ERR_OK;
}

TlsContexts::~TlsContexts() = default;

std::unique_ptr<TlsContexts> TlsContexts::create(CertificateAuthority& authority,
                                                 const RecordingProxy::Options& options,
                                                 std::string& error) {
    std::unique_ptr<TlsContexts> contexts(new TlsContexts);
    contexts->untrusted_ = UntrustedIssuer::create(error);
    if (!contexts->untrusted_) return nullptr;
    contexts->towardsBrowser_.reset(SSL_CTX_new(TLS_server_method()));
    contexts->towardsServers_.reset(SSL_CTX_new(TLS_client_method()));
    SSL_CTX* browser = contexts->towardsBrowser_.get();
    SSL_CTX* servers = contexts->towardsServers_.get();
    if (browser == nullptr || servers == nullptr ||
        SSL_CTX_set_min_proto_version(browser, TLS1_2_VERSION) != 1) {
        error = takeOpenSslError("cannot set up TLS");
        return nullptr;
    }
    contexts->authority_ = &authority;
    SSL_CTX_set_tlsext_servername_callback(browser, chooseCertificate);
    SSL_CTX_set_tlsext_servername_arg(browser, contexts.get());

    // The handshake goes on whatever the verification finds: a failure is read afterwards and
    // shown to the browser, which lets the tester decide.
    SSL_CTX_set_verify(servers, SSL_VERIFY_NONE, nullptr);
    contexts->verifiesSites_ = options.verifySites;
    if (options.verifySites) {
        if (SSL_CTX_set_default_verify_paths(servers) != 1) {
            error = takeOpenSslError("cannot load the system's trusted authorities");
            return nullptr;
        }
        if (!options.extraTrustedPem.empty() &&
            !addTrusted(SSL_CTX_get_cert_store(servers), options.extraTrustedPem)) {
            error = "the extra trusted authorities are not certificates in PEM form";
            return nullptr;
        }
    }
    return contexts;
}

SslPtr TlsContexts::newBrowserSession(const std::string& fallbackHost,
                                      const std::string& siteFailure) const {
    SslPtr session(SSL_new(towardsBrowser_.get()));
    if (!session) return nullptr;
    SSL_set_app_data(session.get(), const_cast<std::string*>(&fallbackHost));
    if (!siteFailure.empty()) {
        auto* failure = new std::string(siteFailure);
        if (SSL_set_ex_data(session.get(), failureSlot(), failure) != 1) {
            delete failure;
            return nullptr;
        }
    }
    SSL_set_accept_state(session.get());
    return session;
}

SslPtr TlsContexts::newServerSession(const std::string& host) const {
    SslPtr session(SSL_new(towardsServers_.get()));
    if (!session) return nullptr;
    const bool address = isAddress(host);
    if (!address && SSL_set_tlsext_host_name(session.get(), host.c_str()) != 1) return nullptr;
    if (verifiesSites_) {
        X509_VERIFY_PARAM* check = SSL_get0_param(session.get());
        X509_VERIFY_PARAM_set_hostflags(check, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        const int named = address ? X509_VERIFY_PARAM_set1_ip_asc(check, host.c_str())
                                  : X509_VERIFY_PARAM_set1_host(check, host.c_str(), 0);
        if (named != 1) return nullptr;
    }
    SSL_set_connect_state(session.get());
    return session;
}

std::string TlsContexts::siteFailure(const SSL* session) const {
    if (!verifiesSites_) return {};
    const long result = SSL_get_verify_result(session);
    if (result == X509_V_OK) return {};
    return X509_verify_cert_error_string(result);
}

} // namespace torvex
