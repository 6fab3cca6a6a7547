#pragma once

#include "http/support/TlsIdentity.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace torvex::test {

// One request as the server read it.
struct RecordedRequest {
    // Request line, headers, blank line and body exactly as received, chunk framing included.
    std::string text;
    std::string method, target, version;
    std::vector<std::pair<std::string, std::string>> headers; // in order, values trimmed
    std::string body;                                         // de-chunked when chunked
    int connection = -1;                                      // accepted connection, from 0
    std::string serverName;                                   // TLS SNI; empty if none or plain
    std::string tlsVersion;                                   // "TLSv1.3"...; empty if plain

    // First value of the header, name compared case-insensitively; empty when absent.
    std::string header(std::string_view name) const;
    bool hasHeader(std::string_view name) const;
    std::size_t headerCount(std::string_view name) const;
};

class FixtureServer;
namespace fixture_detail {
class ServerConnection;
}

// The server's side of one accepted connection. All calls come from that connection's thread,
// which is the thread that runs the handler.
class ReplyChannel {
public:
    ReplyChannel(const ReplyChannel&)            = delete;
    ReplyChannel& operator=(const ReplyChannel&) = delete;

    // False once the peer is gone, the channel was closed or the server is stopping.
    bool send(std::string_view bytes);
    // Each piece leaves in its own write (TCP_NODELAY is set, and with TLS each is one record).
    bool sendInPieces(std::string_view bytes, std::size_t pieceSize, std::chrono::milliseconds gap);
    // Orderly close: close_notify under TLS, then FIN, then briefly drains unread input so the
    // kernel does not answer it with a reset that could overtake the reply.
    void close();
    // Abortive close: the peer sees a reset.
    void reset();
    bool closed() const;
    // Waits without answering; false if the server began stopping first.
    bool pause(std::chrono::milliseconds duration);
    // Keeps the connection open, unanswered, until the server is destroyed.
    void holdUntilStopped();

    int connection() const;
    std::string serverName() const;
    std::string tlsVersion() const;

protected:
    explicit ReplyChannel(fixture_detail::ServerConnection& connection) : conn_(connection) {}
    ~ReplyChannel() = default;
    fixture_detail::ServerConnection& conn_;
};

// A connection handed over whole, for protocols the HTTP mode does not speak (proxies, 100
// Continue, abrupt endings). Reads return nothing on timeout, end of stream or server stop, and
// leave bytes that arrived so far buffered for the next read.
class RawChannel : public ReplyChannel {
public:
    std::optional<std::string> readExactly(std::size_t n, std::chrono::milliseconds timeout);
    // Everything up to and including the delimiter.
    std::optional<std::string> readUntil(std::string_view delimiter,
                                         std::chrono::milliseconds timeout);
    // Whatever is buffered, or else the next bytes to arrive.
    std::optional<std::string> readSome(std::chrono::milliseconds timeout);
    // Discards input until the peer closes its side; false on timeout.
    bool waitForPeerClose(std::chrono::milliseconds timeout);
    // Reads one HTTP request as the HTTP mode does and records it in the server's list.
    std::optional<RecordedRequest> readRequest(std::chrono::milliseconds timeout);
    // Server-side TLS handshake on this connection, e.g. inside a CONNECT tunnel. Bytes already
    // buffered count as handshake input. A failure is counted in tlsFailures().
    bool startTls(const TlsIdentity& identity, std::chrono::milliseconds timeout);

private:
    friend class FixtureServer;
    explicit RawChannel(fixture_detail::ServerConnection& connection) : ReplyChannel(connection) {}
};

// "HTTP/1.1 <status> <reason>\r\nContent-Length: <n>\r\n<extraHeaders>\r\n<body>"; extraHeaders
// is inserted verbatim, each line ending in \r\n.
std::string httpResponse(int status, std::string_view body = {},
                         std::string_view extraHeaders = {});

// A scripted HTTP/1.x server on 127.0.0.1 at a kernel-chosen port, one thread per connection.
// Requests are read as a header block up to the blank line (at most 1 MiB), then Content-Length
// bytes of body or, for "Transfer-Encoding: chunked", chunks up to the last one and its trailers.
// Torvex never sends chunked requests, so that reader is plain: broken chunk framing just ends
// the connection. The whole body is read before the handler runs, so a client waiting for
// "100 Continue" waits in vain; such exchanges belong in the raw mode.
// The server sends nothing on its own: every byte comes from a handler. A handler runs on the
// connection's thread; when it returns with the channel open, the next request on that
// connection is read. Waiting for a client lasts at most as long as the server; destruction
// stops everything promptly, whatever the clients do, as long as handlers return when the
// channel reports the server stopping (the provided handlers do).
class FixtureServer {
public:
    using Handler    = std::function<void(ReplyChannel&, const RecordedRequest&)>;
    using RawHandler = std::function<void(RawChannel&)>;

    struct Options {
        const TlsIdentity* tls = nullptr; // every accepted connection speaks TLS when set
        int minTlsVersion      = 0;       // e.g. TLS1_VERSION; 0 keeps OpenSSL's default
        int maxTlsVersion      = 0;
        std::chrono::milliseconds handshakeTimeout{5000};
    };

    FixtureServer() : FixtureServer(Options{}) {}
    explicit FixtureServer(const TlsIdentity* tls) : FixtureServer(Options{tls}) {}
    explicit FixtureServer(const Options& options); // throws std::runtime_error
    ~FixtureServer();
    FixtureServer(const FixtureServer&)            = delete;
    FixtureServer& operator=(const FixtureServer&) = delete;

    // Exact request target first, then the target without its query; an absolute-form target
    // (as sent to a proxy) is also tried by its path and query, then its path.
    void route(std::string target, Handler handler);
    // For unrouted requests; initially a 404 with Content-Length 0 that keeps the connection.
    void setDefault(Handler handler);
    // Connections accepted after this call go to the handler instead of the HTTP mode; when
    // it returns the connection is closed. An empty function returns to the HTTP mode.
    void setRawHandler(RawHandler handler);

    static Handler reply(std::string bytes); // keeps the connection for more requests
    static Handler replyAndClose(std::string bytes);
    static Handler silent();           // never answers, holds until destruction
    static Handler closeImmediately(); // orderly close, no answer
    static Handler resetImmediately(); // abortive close, no answer

    int port() const { return port_; }
    std::string origin() const; // "http://127.0.0.1:<port>", https with TLS
    std::vector<RecordedRequest> requests() const;
    int connectionCount() const { return accepted_.load(); }
    int tlsFailures() const { return tlsFailures_.load(); }
    bool waitForRequests(std::size_t n, std::chrono::milliseconds timeout) const;
    bool waitForConnections(int n, std::chrono::milliseconds timeout) const;

private:
    friend class fixture_detail::ServerConnection;
    friend class RawChannel;
    friend class ReplyChannel;
    struct Worker;

    void acceptLoop();
    void serve(fixture_detail::ServerConnection& connection);
    Handler handlerFor(const std::string& target) const;
    void record(RecordedRequest request);
    bool stopping() const { return stopping_.load(); }
    // Waits until the server stops or the deadline passes; true if it is stopping.
    bool waitForStop(std::chrono::steady_clock::time_point deadline) const;

    Options options_;
    SslCtxPtr serverContext_;
    int listenFd_ = -1;
    int port_     = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> accepted_{0};
    std::atomic<int> tlsFailures_{0};

    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    std::map<std::string, Handler> routes_;
    Handler default_;
    RawHandler raw_;
    std::vector<RecordedRequest> requests_;

    std::mutex workersLock_;
    std::vector<std::unique_ptr<Worker>> workers_;
    std::thread acceptThread_;
};

} // namespace torvex::test
