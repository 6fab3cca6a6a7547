#include "recorder/ProxyConnection.h"

#include "recorder/MessageBody.h"
#include "recorder/ProxyShared.h"
#include "recorder/Relay.h"
#include "recorder/Socket.h"
#include "recorder/StopSignal.h"
#include "recorder/TlsContexts.h"
#include "recorder/TlsStream.h"

#include <chrono>

namespace torvex {
namespace {

constexpr std::size_t kMaxHead = 1024 * 1024;
// A navigation is held whole, to be reported before it goes on.
constexpr std::size_t kMaxHeldBody = 64 * 1024 * 1024;
// Smaller bodies are held too, so that the request can go again when a kept connection to the
// server turns out to be closed.
constexpr std::uint64_t kMaxResentBody = 1024 * 1024;
constexpr Wait kTimeout                = ProxyShared::kTimeout;
constexpr Wait kIdle{120000};         // a browser between two requests
constexpr Wait kUpgradedIdle{600000}; // a WebSocket between two messages
constexpr Wait kGoodbye{1000};
constexpr char kTlsHandshakeRecord = 0x16;

// Connection and the fields it names, and the fields that concern one hop only.
void removeHopByHop(HeaderList& headers) {
    std::vector<std::string> named;
    for (const auto& [name, value] : headers.fields())
        if (equalsNoCase(name, "Connection"))
            for (const std::string_view item : listItems(value)) named.emplace_back(item);
    for (const std::string& name : named) headers.remove(name);
    for (const char* name : {"Connection", "Keep-Alive", "Proxy-Connection", "Proxy-Authorization",
                             "Proxy-Authenticate", "TE", "Upgrade"})
        headers.remove(name);
}

std::string hostFieldOf(const Origin& origin) {
    return origin.url().substr(origin.scheme.size() + 3);
}

std::string contentTypeLine(const HeaderList& headers, const std::string& body) {
    const std::string* type = headers.find("Content-Type");
    if (body.empty() || type == nullptr) return {};
    return "Content-Type: " + *type + "\r\n";
}

// One line for the browser and for onProblem, naming the server.
std::string serverFailure(const Origin& origin, IoStatus status, const std::string& reason) {
    const std::string server = origin.authority();
    switch (status) {
    case IoStatus::TimedOut:
        return server + " sent no answer in time";
    case IoStatus::Closed:
        return server + " closed the connection without answering";
    case IoStatus::TooLarge:
        return server + " answered with a header over 1 MiB";
    default:
        return server + " failed: " + reason;
    }
}

} // namespace

ProxyConnection::ProxyConnection(ProxyShared& shared, int clientFd)
    : shared_(shared), client_(std::make_unique<Socket>(clientFd, shared.stop)) {}

ProxyConnection::~ProxyConnection() = default;

void ProxyConnection::run() {
    for (;;) {
        std::string block;
        const IoStatus status = client_.readHead(block, kMaxHead, kIdle);
        if (status == IoStatus::TooLarge) {
            reply(431, "Request Header Fields Too Large", "The request's header is over 1 MiB.",
                  true);
            break;
        }
        if (status != IoStatus::Ok) break; // the browser left or idled, or the proxy stops
        RequestHead request;
        if (!parseRequestHead(block, request)) {
            reply(400, "Bad Request", "The request is not well-formed HTTP/1.1.", true);
            break;
        }
        if (serve(request) == After::Close) break;
    }
    closeGently();
}

ProxyConnection::After ProxyConnection::serve(RequestHead& request) {
    if (request.method == "CONNECT") {
        if (tunnel_) return reply(400, "Bad Request", "CONNECT inside a tunnel.", true);
        return openTunnel(request);
    }
    Origin origin;
    std::string path;
    if (tunnel_ && request.target.starts_with('/')) {
        origin = *tunnel_;
        path   = request.target;
    } else if (!parseAbsoluteUrl(request.target, origin, path) ||
               (tunnel_ ? origin != *tunnel_ : origin.scheme != "http")) {
        return reply(400, "Bad Request",
                     "The recording proxy takes http:// URLs and CONNECT for https.", true);
    }
    return forward(request, origin, path);
}

ProxyConnection::After ProxyConnection::openTunnel(const RequestHead& request) {
    std::string host;
    int port = 0;
    if (!parseAuthority(request.target, 443, host, port))
        return reply(400, "Bad Request", "CONNECT needs host:port.", true);
    // The site is reached before the browser hears back, so that one that cannot be reached is
    // answered with 502 as for plain HTTP.
    std::string unreachable;
    if (!shared_.connector.openTunnel(Origin{"https", host, port}, server_, unreachable)) {
        server_ = {};
        if (shared_.stop.triggered()) return After::Close;
        shared_.reportProblem(unreachable);
        return reply(502, "Bad Gateway", "Torvex recording proxy: " + unreachable, true);
    }
    char first = 0;
    if (client_.send("HTTP/1.1 200 Connection established\r\n\r\n", kTimeout) != IoStatus::Ok ||
        client_.peek(first, kTimeout) != IoStatus::Ok)
        return After::Close;
    // TLS begins with a handshake record; anything else is plain HTTP through the tunnel, as
    // browsers send for ws:// addresses.
    if (first != kTlsHandshakeRecord) {
        server_ = {};
        tunnel_ = Origin{"http", host, port};
        return After::KeepAlive;
    }

    // The site's certificate decides which issuer signs the one the browser gets.
    tunnelHost_ = host;
    std::string untrustedSite;
    shared_.connector.secureTunnel(server_, untrustedSite);
    if (!untrustedSite.empty()) shared_.reportProblem(untrustedSite);
    SslPtr session = shared_.tls.newBrowserSession(tunnelHost_, server_.siteFailure);
    if (!session) {
        shared_.reportProblem(takeOpenSslError("cannot set up TLS for " + host));
        return After::Close;
    }
    auto tls = std::make_unique<TlsStream>(client_.socket(), std::move(session));
    switch (tls->handshake(client_.takeBuffered(), kTimeout)) {
    case TlsStream::Handshake::Done:
        break;
    case TlsStream::Handshake::Abandoned:
        return After::Close; // browsers open and drop handshakes all the time
    case TlsStream::Handshake::Failed:
        shared_.reportProblem("TLS with the browser for " + host + " failed: " + tls->error());
        return After::Close;
    }
    serverName_ = tls->serverName();
    client_.useTls(std::move(tls));
    tunnel_ = Origin{"https", host, port};
    return After::KeepAlive;
}

ProxyConnection::After ProxyConnection::forward(RequestHead& request, const Origin& origin,
                                                const std::string& pathAndQuery) {
    HeaderList& headers         = request.headers;
    const std::string url       = origin.url() + pathAndQuery;
    const auto verdict          = shared_.filter.judge(headers, url);
    const bool navigation       = verdict == NavigationFilter::Verdict::Report;
    const bool clientKeepsAlive = request.version == "HTTP/1.0"
                                      ? headers.hasToken("Connection", "keep-alive")
                                      : !headers.hasToken("Connection", "close");
    const bool upgrading      = headers.hasToken("Connection", "upgrade") && headers.has("Upgrade");
    const std::string upgrade = upgrading ? *headers.find("Upgrade") : "";
    const bool expectsContinue               = headers.hasToken("Expect", "100-continue");
    const std::optional<BodyFraming> framing = requestFraming(headers);
    if (!framing) return reply(400, "Bad Request", "The request's body length is unclear.", true);

    removeHopByHop(headers);
    if (upgrading) {
        headers.add("Connection", "Upgrade");
        headers.add("Upgrade", upgrade);
    }
    if (!headers.has("Host")) headers.add("Host", hostFieldOf(origin));
    if (expectsContinue) {
        headers.remove("Expect"); // answered here, so the body comes at once
        if (framing->kind != BodyFraming::Kind::None &&
            client_.send("HTTP/1.1 100 Continue\r\n\r\n", kTimeout) != IoStatus::Ok)
            return After::Close;
    }

    std::optional<std::string> body; // held whole, or else streamed
    if (navigation || framing->kind == BodyFraming::Kind::None ||
        (framing->kind == BodyFraming::Kind::Length && framing->size <= kMaxResentBody)) {
        std::string error;
        body.emplace();
        const IoStatus status = readBody(*framing, client_, kMaxHeldBody, *body, kTimeout, error);
        if (status == IoStatus::TooLarge)
            return reply(413, "Content Too Large", "A navigation's body is over 64 MiB.", true);
        if (status != IoStatus::Ok) return After::Close;
    }
    // Chunked wins over a length; a held chunked body goes on with its length instead.
    if (framing->kind == BodyFraming::Kind::Chunked) headers.remove("Content-Length");
    if (framing->kind == BodyFraming::Kind::Chunked && body) {
        headers.remove("Transfer-Encoding");
        headers.add("Content-Length", std::to_string(body->size()));
    }
    if (navigation) shared_.reportNavigation({url, "", *body, contentTypeLine(headers, *body)});

    // An error answer keeps the connection only when the request was read whole and the
    // browser expects a body.
    const bool keepAfterError = body.has_value() && request.method != "HEAD";
    std::string error, responseBlock;
    const bool reused = server_.channel != nullptr && server_.origin == origin;
    IoStatus status   = IoStatus::Failed;
    if (reused) status = exchange(request, pathAndQuery, body, *framing, responseBlock, error);
    // A kept connection that the server closed meanwhile fails at once; a held body goes again.
    if (!reused || (body && (status == IoStatus::Closed || status == IoStatus::Failed))) {
        server_ = {};
        error.clear();
        if (!shared_.connector.connect(origin, serverName_, server_, error)) {
            if (shared_.stop.triggered()) return After::Close;
            shared_.reportProblem(error);
            return reply(502, "Bad Gateway", "Torvex recording proxy: " + error, !keepAfterError);
        }
        status = exchange(request, pathAndQuery, body, *framing, responseBlock, error);
    }
    if (status != IoStatus::Ok) {
        server_ = {};
        return answerServerFailure(origin, status, error, keepAfterError);
    }
    // Before the browser has the answer: a redirect's target must be known when it is asked for.
    shared_.filter.noteAnswer(verdict, url, responseBlock);
    return answer(request, clientKeepsAlive, upgrading, std::move(responseBlock));
}

IoStatus ProxyConnection::exchange(const RequestHead& request, const std::string& pathAndQuery,
                                   const std::optional<std::string>& body,
                                   const BodyFraming& framing, std::string& responseBlock,
                                   std::string& error) {
    Channel& server = *server_.channel;
    const std::string target =
        server_.throughProxy ? server_.origin.url() + pathAndQuery : pathAndQuery;
    std::string message = request.method + " " + target + " " + request.version + "\r\n" +
                          request.headers.text() + "\r\n";
    if (body) message += *body; // small requests leave in one piece
    IoStatus status = server.send(message, kTimeout);
    if (status == IoStatus::Ok && !body)
        status = forwardBody(framing, client_, server, kTimeout, error);
    if (status == IoStatus::Ok) status = server.readHead(responseBlock, kMaxHead, kTimeout);
    if (status == IoStatus::Failed && error.empty()) error = server.error();
    return status;
}

ProxyConnection::After ProxyConnection::answer(const RequestHead& request, bool clientKeepsAlive,
                                               bool upgrading, std::string responseBlock) {
    Channel& server     = *server_.channel;
    const Origin origin = server_.origin;
    ResponseHead response;
    for (;;) {
        response = {};
        if (!parseResponseHead(responseBlock, response)) {
            server_ = {};
            return answerServerFailure(origin, IoStatus::Failed, "the answer is not HTTP", false);
        }
        if (response.status >= 200 || response.status == 101) break;
        // Interim answers (100 Continue, 103 Early Hints) go on as they are; an HTTP/1.0
        // browser knows none.
        if (request.version == "HTTP/1.1" &&
            client_.send(responseBlock, kTimeout) != IoStatus::Ok) {
            server_ = {};
            return After::Close;
        }
        responseBlock.clear();
        if (const IoStatus status = server.readHead(responseBlock, kMaxHead, kTimeout);
            status != IoStatus::Ok) {
            const std::string reason = server.error();
            server_                  = {};
            return answerServerFailure(origin, status, reason, false);
        }
    }
    if (response.status == 101) {
        if (upgrading && client_.send(responseBlock, kTimeout) == IoStatus::Ok)
            relay(client_, server, shared_.stop, kUpgradedIdle);
        server_ = {};
        return After::Close;
    }

    const BodyFraming framing = responseFraming(request.method, response);
    const bool closeAfter     = !clientKeepsAlive || framing.kind == BodyFraming::Kind::UntilClose;
    const bool serverKeeps =
        framing.kind != BodyFraming::Kind::UntilClose &&
        (response.http10 ? response.headers.hasToken("Connection", "keep-alive")
                         : !response.headers.hasToken("Connection", "close"));
    removeHopByHop(response.headers);
    if (framing.kind == BodyFraming::Kind::Chunked) response.headers.remove("Content-Length");
    if (closeAfter)
        response.headers.add("Connection", "close");
    else if (request.version == "HTTP/1.0")
        response.headers.add("Connection", "keep-alive");

    std::string error;
    IoStatus status =
        client_.send(response.statusLine + "\r\n" + response.headers.text() + "\r\n", kTimeout);
    if (status == IoStatus::Ok) status = forwardBody(framing, server, client_, kTimeout, error);
    if (status != IoStatus::Ok || !serverKeeps) server_ = {};
    if (status != IoStatus::Ok) return After::Close;
    return closeAfter ? After::Close : After::KeepAlive;
}

ProxyConnection::After ProxyConnection::answerServerFailure(const Origin& origin, IoStatus status,
                                                            const std::string& error,
                                                            bool requestRead) {
    if (status == IoStatus::Stopped) return After::Close;
    const std::string problem = serverFailure(origin, status, error);
    shared_.reportProblem(problem);
    const bool timedOut = status == IoStatus::TimedOut;
    return reply(timedOut ? 504 : 502, timedOut ? "Gateway Timeout" : "Bad Gateway",
                 "Torvex recording proxy: " + problem, !requestRead);
}

ProxyConnection::After ProxyConnection::reply(int status, const char* reason,
                                              const std::string& text, bool close) {
    const std::string body = text + "\n";
    std::string message    = "HTTP/1.1 " + std::to_string(status) + " " + reason +
                          "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
                          std::to_string(body.size()) + "\r\n";
    if (close) message += "Connection: close\r\n";
    message += "\r\n" + body;
    const bool sent = client_.send(message, kTimeout) == IoStatus::Ok;
    return sent && !close ? After::KeepAlive : After::Close;
}

// Ends our side in order, then reads what the browser still sends for a moment: closing a
// socket with unread input resets it, and the reset can destroy an answer not yet read.
void ProxyConnection::closeGently() {
    client_.finish(kGoodbye);
    const auto deadline = std::chrono::steady_clock::now() + kGoodbye;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<Wait>(deadline - std::chrono::steady_clock::now());
        std::string discarded;
        if (left.count() <= 0 || client_.readSome(discarded, left) != IoStatus::Ok) return;
    }
}

} // namespace torvex
