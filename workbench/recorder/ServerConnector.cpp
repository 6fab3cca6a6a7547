#include "recorder/ServerConnector.h"

#include "recorder/HttpHead.h"
#include "recorder/Socket.h"
#include "recorder/TlsContexts.h"
#include "recorder/TlsStream.h"

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
    const std::string proxy =
        options_.upstream ? options_.upstream(origin.scheme, origin.host) : "";
    std::string host = origin.host;
    int port         = origin.port;
    if (!proxy.empty() && !parseAuthority(proxy, 80, host, port)) {
        error = "the upstream proxy \"" + proxy + "\" is not host:port";
        return false;
    }
    std::string reason;
    std::unique_ptr<Socket> socket = Socket::connect(host, port, timeout_, stop_, reason);
    if (!socket) {
        error = proxy.empty() ? "cannot connect to " + origin.authority() + ": " + reason
                              : "cannot connect to the upstream proxy " + proxy + ": " + reason;
        return false;
    }
    auto channel = std::make_unique<Channel>(std::move(socket));
    if (!proxy.empty() && origin.scheme == "https" &&
        !tunnelThroughProxy(*channel, proxy, origin, error))
        return false;
    if (origin.scheme == "https") {
        const std::string name = serverName.empty() ? origin.host : serverName;
        SslPtr session         = tls_.newServerSession(name);
        if (!session) {
            error = takeOpenSslError("cannot set up TLS for " + origin.authority());
            return false;
        }
        auto tls = std::make_unique<TlsStream>(channel->socket(), std::move(session));
        if (tls->handshake(channel->takeBuffered(), timeout_) != TlsStream::Handshake::Done) {
            error = "TLS with " + origin.authority() + " failed: " + tls->error();
            return false;
        }
        channel->useTls(std::move(tls));
    }
    link.channel      = std::move(channel);
    link.origin       = origin;
    link.throughProxy = !proxy.empty() && origin.scheme == "http";
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
