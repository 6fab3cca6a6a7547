#include "recorder/ServerConnector.h"

#include "recorder/HttpHead.h"
#include "recorder/Socket.h"
#include "recorder/TlsContexts.h"
#include "recorder/TlsStream.h"
#include "recorder/UntrustedIssuer.h"

namespace torvex {
namespace {

constexpr std::size_t kMaxProxyAnswer = 64 * 1024;

const char* describe(IoStatus status) {
    switch (status) {
    case IoStatus::Closed:
        return "the connection was closed";
    case IoStatus::TimedOut:
        return "no answer in time";
    case IoStatus::Stopped:
        return "the proxy is stopping";
    case IoStatus::TooLarge:
        return "an answer too large";
    default:
        return "connection failed";
    }
}

} // namespace

bool ServerConnector::connect(const Origin& origin, const std::string& serverName, ServerLink& link,
                              std::string& error) const {
    std::string proxy;
    std::unique_ptr<Channel> channel = open(origin, proxy, error);
    if (!channel) return false;
    std::string failure;
    if (origin.scheme == "https") {
        const std::string name = serverName.empty() ? origin.host : serverName;
        if (!startTls(*channel, origin, name, failure, error)) return false;
        // A certificate the browser was not warned about must not be used behind its back.
        if (!failure.empty() && !tls_.untrustedIssuer().issued(name, failure)) {
            error = "the certificate of " + origin.authority() + " is not valid: " + failure;
            return false;
        }
    }
    link.channel      = std::move(channel);
    link.origin       = origin;
    link.throughProxy = !proxy.empty() && origin.scheme == "http";
    link.siteFailure  = failure;
    return true;
}

bool ServerConnector::openTunnel(const Origin& origin, ServerLink& link, std::string& error) const {
    link = {};
    if (!tls_.verifiesSites()) return true;
    std::string proxy;
    link.channel = open(origin, proxy, error);
    link.origin  = origin;
    return link.channel != nullptr;
}

void ServerConnector::secureTunnel(ServerLink& link, std::string& problem) const {
    if (!link.channel) return;
    std::string failure, error;
    if (!startTls(*link.channel, link.origin, link.origin.host, failure, error)) {
        link = {};
        return;
    }
    link.siteFailure = failure;
    bool firstTime   = false;
    if (!failure.empty() &&
        tls_.untrustedIssuer().certificateFor(link.origin.host, failure, &firstTime) == nullptr)
        link = {}; // no certificate can name the host: the browser handshake fails as before
    if (firstTime)
        problem = "the certificate of " + link.origin.authority() + " is not valid: " + failure +
                  "; the browser shows it as untrusted";
}

std::unique_ptr<Channel> ServerConnector::open(const Origin& origin, std::string& proxy,
                                               std::string& error) const {
    proxy            = options_.upstream ? options_.upstream(origin.scheme, origin.host) : "";
    std::string host = origin.host;
    int port         = origin.port;
    if (!proxy.empty() && !parseAuthority(proxy, 80, host, port)) {
        error = "the upstream proxy \"" + proxy + "\" is not host:port";
        return nullptr;
    }
    std::string reason;
    std::unique_ptr<Socket> socket = Socket::connect(host, port, timeout_, stop_, reason);
    if (!socket) {
        error = proxy.empty() ? "cannot connect to " + origin.authority() + ": " + reason
                              : "cannot connect to the upstream proxy " + proxy + ": " + reason;
        return nullptr;
    }
    auto channel = std::make_unique<Channel>(std::move(socket));
    if (!proxy.empty() && origin.scheme == "https" &&
        !tunnelThroughProxy(*channel, proxy, origin, error))
        return nullptr;
    return channel;
}

bool ServerConnector::startTls(Channel& channel, const Origin& origin, const std::string& name,
                               std::string& failure, std::string& error) const {
    SslPtr session = tls_.newServerSession(name);
    if (!session) {
        error = takeOpenSslError("cannot set up TLS for " + origin.authority());
        return false;
    }
    const SSL* handshaking = session.get(); // owned by the stream from here on
    auto tls               = std::make_unique<TlsStream>(channel.socket(), std::move(session));
    if (tls->handshake(channel.takeBuffered(), timeout_) != TlsStream::Handshake::Done) {
        error = "TLS with " + origin.authority() + " failed: " + tls->error();
        return false;
    }
    failure = tls_.siteFailure(handshaking);
    channel.useTls(std::move(tls));
    return true;
}

bool ServerConnector::tunnelThroughProxy(Channel& proxy, const std::string& proxyName,
                                         const Origin& origin, std::string& error) const {
    const std::string authority = origin.authority();
    const std::string request =
        "CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority + "\r\n\r\n";
    std::string answer;
    IoStatus status = proxy.send(request, timeout_);
    if (status == IoStatus::Ok) status = proxy.readHead(answer, kMaxProxyAnswer, timeout_);
    if (status != IoStatus::Ok) {
        error = "the upstream proxy " + proxyName +
                " failed: " + (status == IoStatus::Failed ? proxy.error() : describe(status));
        return false;
    }
    ResponseHead head;
    if (!parseResponseHead(answer, head) || head.status / 100 != 2) {
        error = "the upstream proxy " + proxyName + " refused " + authority + ": " +
                (head.statusLine.empty() ? "not an HTTP answer" : head.statusLine);
        return false;
    }
    return true;
}

} // namespace torvex
