#include "http/support/FixtureServer.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <system_error>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace torvex::test {
namespace {

using Clock     = std::chrono::steady_clock;
using TimePoint = Clock::time_point;

// Blocking calls are cut into slices this long so a stop request is noticed promptly.
constexpr std::chrono::milliseconds kSlice{50};
constexpr std::size_t kMaxHeaderBlock = 1 << 20;
constexpr std::size_t kMaxChunkLine   = 1 << 16;

constexpr TimePoint kNoDeadline = TimePoint::max();

TimePoint deadlineAfter(std::chrono::milliseconds timeout) {
    if (timeout > std::chrono::hours(24 * 365)) return kNoDeadline; // no overflow
    return Clock::now() + std::max(timeout, std::chrono::milliseconds(0));
}

int sliceUntil(TimePoint deadline) {
    if (deadline == kNoDeadline) return static_cast<int>(kSlice.count());
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::clamp(left, std::chrono::milliseconds(0), kSlice).count());
}

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lower(x) == lower(y); });
}

bool containsNoCase(std::string_view text, std::string_view word) {
    if (word.size() > text.size()) return false;
    for (std::size_t i = 0; i + word.size() <= text.size(); ++i)
        if (equalsNoCase(text.substr(i, word.size()), word)) return true;
    return false;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::string withoutQuery(const std::string& target) {
    return target.substr(0, target.find('?'));
}

// "http://host:port/p?q" -> "/p?q"; empty when the target is not in absolute form.
std::string originFormOf(const std::string& target) {
    const std::size_t scheme = target.find("://");
    if (scheme == std::string::npos || scheme == 0) return {};
    for (std::size_t i = 0; i < scheme; ++i) {
        const char c = target[i];
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
            return {};
    }
    const std::size_t slash = target.find('/', scheme + 3);
    return slash == std::string::npos ? std::string("/") : target.substr(slash);
}

const char* reasonPhrase(int status) {
    switch (status) {
    case 100:
        return "Continue";
    case 101:
        return "Switching Protocols";
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 204:
        return "No Content";
    case 206:
        return "Partial Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 303:
        return "See Other";
    case 304:
        return "Not Modified";
    case 307:
        return "Temporary Redirect";
    case 308:
        return "Permanent Redirect";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 407:
        return "Proxy Authentication Required";
    case 408:
        return "Request Timeout";
    case 411:
        return "Length Required";
    case 413:
        return "Content Too Large";
    case 500:
        return "Internal Server Error";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    case 504:
        return "Gateway Timeout";
    default:
        return "Status";
    }
}

} // namespace

namespace fixture_detail {

enum class ReadResult { Data, Eof, Timeout, Stopped };

// One accepted socket, with TLS run through memory BIOs so that every byte on the wire passes
// through code here: writes never raise SIGPIPE, and bytes read ahead of a handshake are not lost.
class ServerConnection {
public:
    ServerConnection(FixtureServer& server, int fd, int index)
        : server_(server), index_(index), fd_(fd) {}
    ~ServerConnection() { closeNow(false); }

    int index() const { return index_; }
    bool closed() const { return closed_; }
    bool stopping() const { return server_.stopping(); }
    FixtureServer& server() { return server_; }
    const std::string& serverName() const { return serverName_; }
    const std::string& tlsVersion() const { return tlsVersion_; }
    std::string& buffered() { return in_; }

    // Called from the destroying thread: wakes any blocking call on the socket.
    void interrupt() {
        std::lock_guard guard(fdLock_);
        if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
    }

    bool startTls(SSL_CTX* ctx, TimePoint deadline) {
        if (closed_ || ssl_ != nullptr) return false;
        ssl_      = SSL_new(ctx);
        BIO* rbio = BIO_new(BIO_s_mem());
        BIO* wbio = BIO_new(BIO_s_mem());
        if (ssl_ == nullptr || rbio == nullptr || wbio == nullptr) {
            BIO_free(rbio);
            BIO_free(wbio);
            return tlsFailed();
        }
        BIO_set_mem_eof_return(rbio, -1);
        BIO_set_mem_eof_return(wbio, -1);
        SSL_set_bio(ssl_, rbio, wbio);
        SSL_set_accept_state(ssl_);
        if (!in_.empty()) {
            BIO_write(rbio, in_.data(), static_cast<int>(in_.size()));
            in_.clear();
        }
        for (;;) {
            const int r     = SSL_do_handshake(ssl_);
            const int error = r == 1 ? SSL_ERROR_NONE : SSL_get_error(ssl_, r);
            // Alerts go out too, so a failing client learns why.
            if (!flushTls(deadline)) return tlsFailed();
            if (r == 1) break;
            if (error != SSL_ERROR_WANT_READ) return tlsFailed();
            std::string raw;
            if (receive(deadline, raw) != ReadResult::Data) return tlsFailed();
            BIO_write(rbio, raw.data(), static_cast<int>(raw.size()));
        }
        if (const char* name = SSL_get_servername(ssl_, TLSEXT_NAMETYPE_host_name))
            serverName_ = name;
        tlsVersion_ = SSL_get_version(ssl_);
        decrypt(deadline);
        return true;
    }

    // Appends at least one more byte of plaintext to the buffer, or says why not.
    ReadResult fill(TimePoint deadline) {
        for (;;) {
            if (eof_ || closed_) return ReadResult::Eof;
            std::string raw;
            const ReadResult r = receive(deadline, raw);
            if (r != ReadResult::Data) return r;
            if (ssl_ == nullptr) {
                in_ += raw;
                return ReadResult::Data;
            }
            BIO_write(SSL_get_rbio(ssl_), raw.data(), static_cast<int>(raw.size()));
            if (decrypt(deadline)) return ReadResult::Data;
        }
    }

    bool write(std::string_view bytes) {
        if (closed_ || stopping()) return false;
        if (ssl_ == nullptr) return sendRaw(bytes, kNoDeadline);
        while (!bytes.empty()) {
            // The write BIO is memory and grows as needed, so this never stops half way.
            const int n = SSL_write(ssl_, bytes.data(), static_cast<int>(bytes.size()));
            if (n <= 0) {
                ERR_clear_error();
                return false;
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return flushTls(kNoDeadline);
    }

    void closeOrderly() {
        if (closed_) return;
        if (ssl_ != nullptr && !eof_) {
            SSL_shutdown(ssl_);
            flushTls(deadlineAfter(std::chrono::seconds(1)));
            ERR_clear_error();
        }
        ::shutdown(fd_, SHUT_WR);
        // Unread input at close() makes the kernel send a reset, which may destroy the reply
        // before the client has read it; give the client a moment to finish and close.
        const TimePoint until = deadlineAfter(std::chrono::milliseconds(100));
        std::string discarded;
        while (receive(until, discarded) == ReadResult::Data) discarded.clear();
        closeNow(false);
    }

    void closeNow(bool abortive) {
        std::lock_guard guard(fdLock_);
        if (fd_ >= 0) {
            if (abortive) {
                linger hard{1, 0};
                ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
            }
            ::close(fd_);
            fd_ = -1;
        }
        closed_ = true;
        if (ssl_ != nullptr) {
            SSL_free(ssl_);
            ssl_ = nullptr;
        }
    }

    std::optional<RecordedRequest> readRequest(TimePoint deadline);

private:
    // Raw bytes from the socket into `out`.
    ReadResult receive(TimePoint deadline, std::string& out) {
        for (;;) {
            if (stopping()) return ReadResult::Stopped;
            if (closed_) return ReadResult::Eof;
            if (deadline != kNoDeadline && Clock::now() >= deadline) return ReadResult::Timeout;
            pollfd p{fd_, POLLIN, 0};
            const int ready = ::poll(&p, 1, sliceUntil(deadline));
            if (ready < 0 && errno != EINTR) return eof();
            if (ready <= 0) continue;
            char chunk[16384];
            const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
            if (n > 0) {
                out.append(chunk, static_cast<std::size_t>(n));
                return ReadResult::Data;
            }
            if (n == 0) return eof();
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return eof();
        }
    }

    ReadResult eof() {
        eof_ = true;
        return ReadResult::Eof;
    }

    // Moves decrypted bytes to the buffer; true if any arrived.
    bool decrypt(TimePoint deadline) {
        bool any = false;
        char chunk[16384];
        for (;;) {
            const int n = SSL_read(ssl_, chunk, sizeof chunk);
            if (n > 0) {
                in_.append(chunk, static_cast<std::size_t>(n));
                any = true;
                continue;
            }
            const int error = SSL_get_error(ssl_, n);
            if (error != SSL_ERROR_WANT_READ) eof_ = true; // close_notify or a broken record
            ERR_clear_error();
            break;
        }
        flushTls(deadline); // key updates and tickets need answers
        return any;
    }

    bool flushTls(TimePoint deadline) {
        BIO* wbio = SSL_get_wbio(ssl_);
        char chunk[16384];
        while (BIO_ctrl_pending(wbio) > 0) {
            const int n = BIO_read(wbio, chunk, sizeof chunk);
            if (n <= 0) break;
            if (!sendRaw(std::string_view(chunk, static_cast<std::size_t>(n)), deadline))
                return false;
        }
        return true;
    }

    bool sendRaw(std::string_view bytes, TimePoint deadline) {
        while (!bytes.empty()) {
            if (closed_ || stopping()) return false;
            const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n > 0) {
                bytes.remove_prefix(static_cast<std::size_t>(n));
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
            if (deadline != kNoDeadline && Clock::now() >= deadline) return false;
            pollfd p{fd_, POLLOUT, 0};
            ::poll(&p, 1, sliceUntil(deadline));
        }
        return true;
    }

    bool tlsFailed() {
        ERR_clear_error();
        ++server_.tlsFailures_;
        if (ssl_ != nullptr) {
            SSL_free(ssl_);
            ssl_ = nullptr;
        }
        return false;
    }

    FixtureServer& server_;
    const int index_;
    std::mutex fdLock_; // fd_ may be shut down from the destroying thread
    int fd_;
    bool closed_ = false;
    bool eof_    = false;
    SSL* ssl_    = nullptr;
    std::string in_; // plaintext received and not yet consumed
    std::string serverName_;
    std::string tlsVersion_;
};

std::optional<RecordedRequest> ServerConnection::readRequest(TimePoint deadline) {
    auto need = [&](std::size_t total) {
        while (in_.size() < total)
            if (fill(deadline) != ReadResult::Data) return false;
        return true;
    };
    // Position of the next CRLF at or after `from`, reading more as needed.
    auto lineEnd = [&](std::size_t from, std::size_t limit) -> std::size_t {
        for (;;) {
            const std::size_t at = in_.find("\r\n", from);
            if (at != std::string::npos) return at;
            if (in_.size() - from > limit || fill(deadline) != ReadResult::Data)
                return std::string::npos;
        }
    };

    std::size_t headerEnd;
    std::size_t searched = 0;
    while ((headerEnd = in_.find("\r\n\r\n", searched)) == std::string::npos) {
        if (in_.size() > kMaxHeaderBlock) return std::nullopt;
        searched = in_.size() >= 3 ? in_.size() - 3 : 0;
        if (fill(deadline) != ReadResult::Data) return std::nullopt;
    }

    RecordedRequest request;
    request.connection = index_;
    request.serverName = serverName_;
    request.tlsVersion = tlsVersion_;

    // Stray empty lines before the request line stay in `text`, where a test can see them.
    std::string_view block(in_.data(), headerEnd + 2);
    while (block.substr(0, 2) == "\r\n") block.remove_prefix(2);
    bool first = true;
    while (!block.empty()) {
        const std::size_t eol       = block.find("\r\n");
        const std::string_view line = block.substr(0, eol);
        block.remove_prefix(eol + 2);
        if (first) {
            first                 = false;
            const std::size_t sp1 = line.find(' ');
            const std::size_t sp2 = sp1 == std::string_view::npos ? sp1 : line.find(' ', sp1 + 1);
            request.method        = std::string(line.substr(0, sp1));
            if (sp1 != std::string_view::npos)
                request.target = std::string(line.substr(sp1 + 1, sp2 - sp1 - 1));
            if (sp2 != std::string_view::npos) request.version = std::string(line.substr(sp2 + 1));
            continue;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        request.headers.emplace_back(std::string(line.substr(0, colon)),
                                     std::string(trim(line.substr(colon + 1))));
    }

    std::size_t end = headerEnd + 4;
    bool chunked    = false;
    for (const auto& [name, value] : request.headers)
        if (equalsNoCase(name, "Transfer-Encoding") && containsNoCase(value, "chunked"))
            chunked = true;
    if (chunked) {
        for (;;) {
            const std::size_t eol = lineEnd(end, kMaxChunkLine);
            if (eol == std::string::npos) return std::nullopt;
            std::string_view sizeText(in_.data() + end, eol - end);
            sizeText         = trim(sizeText.substr(0, sizeText.find(';')));
            std::size_t size = 0;
            const auto [ptr, ec] =
                std::from_chars(sizeText.data(), sizeText.data() + sizeText.size(), size, 16);
            if (ec != std::errc() || ptr != sizeText.data() + sizeText.size() || sizeText.empty())
                return std::nullopt;
            end = eol + 2;
            if (size == 0) {
                for (;;) { // trailers, up to the empty line
                    const std::size_t trailerEnd = lineEnd(end, kMaxChunkLine);
                    if (trailerEnd == std::string::npos) return std::nullopt;
                    const bool empty = trailerEnd == end;
                    end              = trailerEnd + 2;
                    if (empty) break;
                }
                break;
            }
            if (!need(end + size + 2)) return std::nullopt;
            request.body.append(in_, end, size);
            end += size + 2;
        }
    } else if (const std::string length = request.header("Content-Length"); !length.empty()) {
        std::size_t size  = 0;
        const auto result = std::from_chars(length.data(), length.data() + length.size(), size);
        if (result.ec != std::errc()) size = 0;
        if (!need(end + size)) return std::nullopt;
        request.body = in_.substr(end, size);
        end += size;
    }
    request.text = in_.substr(0, end);
    in_.erase(0, end);
    return request;
}

} // namespace fixture_detail

using fixture_detail::ReadResult;
using fixture_detail::ServerConnection;

std::string RecordedRequest::header(std::string_view name) const {
    for (const auto& [key, value] : headers)
        if (equalsNoCase(key, name)) return value;
    return {};
}

bool RecordedRequest::hasHeader(std::string_view name) const {
    return headerCount(name) > 0;
}

std::size_t RecordedRequest::headerCount(std::string_view name) const {
    return static_cast<std::size_t>(
        std::count_if(headers.begin(), headers.end(),
                      [&](const auto& h) { return equalsNoCase(h.first, name); }));
}

bool ReplyChannel::send(std::string_view bytes) {
    return conn_.write(bytes);
}

bool ReplyChannel::sendInPieces(std::string_view bytes, std::size_t pieceSize,
                                std::chrono::milliseconds gap) {
    if (pieceSize == 0) pieceSize = 1;
    while (!bytes.empty()) {
        const std::string_view piece = bytes.substr(0, pieceSize);
        bytes.remove_prefix(piece.size());
        if (!conn_.write(piece)) return false;
        if (!bytes.empty() && !pause(gap)) return false;
    }
    return true;
}

void ReplyChannel::close() {
    conn_.closeOrderly();
}
void ReplyChannel::reset() {
    conn_.closeNow(true);
}
bool ReplyChannel::closed() const {
    return conn_.closed();
}

bool ReplyChannel::pause(std::chrono::milliseconds duration) {
    return !conn_.server().waitForStop(deadlineAfter(duration));
}

void ReplyChannel::holdUntilStopped() {
    conn_.server().waitForStop(kNoDeadline);
}

int ReplyChannel::connection() const {
    return conn_.index();
}
std::string ReplyChannel::serverName() const {
    return conn_.serverName();
}
std::string ReplyChannel::tlsVersion() const {
    return conn_.tlsVersion();
}

std::optional<std::string> RawChannel::readExactly(std::size_t n,
                                                   std::chrono::milliseconds timeout) {
    const TimePoint deadline = deadlineAfter(timeout);
    std::string& in          = conn_.buffered();
    while (in.size() < n)
        if (conn_.fill(deadline) != ReadResult::Data) return std::nullopt;
    std::string out = in.substr(0, n);
    in.erase(0, n);
    return out;
}

std::optional<std::string> RawChannel::readUntil(std::string_view delimiter,
                                                 std::chrono::milliseconds timeout) {
    const TimePoint deadline = deadlineAfter(timeout);
    std::string& in          = conn_.buffered();
    std::size_t searched     = 0;
    std::size_t at;
    while ((at = in.find(delimiter, searched)) == std::string::npos) {
        searched = in.size() >= delimiter.size() ? in.size() - delimiter.size() + 1 : 0;
        if (conn_.fill(deadline) != ReadResult::Data) return std::nullopt;
    }
    std::string out = in.substr(0, at + delimiter.size());
    in.erase(0, out.size());
    return out;
}

std::optional<std::string> RawChannel::readSome(std::chrono::milliseconds timeout) {
    std::string& in = conn_.buffered();
    if (in.empty() && conn_.fill(deadlineAfter(timeout)) != ReadResult::Data) return std::nullopt;
    std::string out;
    out.swap(in);
    return out;
}

bool RawChannel::waitForPeerClose(std::chrono::milliseconds timeout) {
    const TimePoint deadline = deadlineAfter(timeout);
    for (;;) {
        conn_.buffered().clear();
        const ReadResult r = conn_.fill(deadline);
        if (r == ReadResult::Eof) return true;
        if (r != ReadResult::Data) return false;
    }
}

std::optional<RecordedRequest> RawChannel::readRequest(std::chrono::milliseconds timeout) {
    std::optional<RecordedRequest> request = conn_.readRequest(deadlineAfter(timeout));
    if (request) conn_.server().record(*request);
    return request;
}

bool RawChannel::startTls(const TlsIdentity& identity, std::chrono::milliseconds timeout) {
    SslCtxPtr ctx = identity.makeServerContext();
    return conn_.startTls(ctx.get(), deadlineAfter(timeout));
}

std::string httpResponse(int status, std::string_view body, std::string_view extraHeaders) {
    std::string text = "HTTP/1.1 " + std::to_string(status) + " " + reasonPhrase(status) + "\r\n";
    text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    text += extraHeaders;
    text += "\r\n";
    text += body;
    return text;
}

struct FixtureServer::Worker {
    std::unique_ptr<ServerConnection> connection;
    std::thread thread;
    std::atomic<bool> done{false};
};

FixtureServer::FixtureServer(const Options& options)
    : options_(options), default_(reply("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n")) {
    if (options_.tls != nullptr)
        serverContext_ =
            options_.tls->makeServerContext(options_.minTlsVersion, options_.maxTlsVersion);

    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) throw std::runtime_error("FixtureServer: socket failed");
    sockaddr_in address{};
    address.sin_family      = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port        = 0;
    socklen_t length        = sizeof address;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, SOMAXCONN) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const std::string error = std::strerror(errno);
        ::close(listenFd_);
        throw std::runtime_error("FixtureServer: cannot listen on 127.0.0.1: " + error);
    }
    port_         = ntohs(address.sin_port);
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

FixtureServer::~FixtureServer() {
    {
        std::lock_guard guard(lock_);
        stopping_ = true;
    }
    changed_.notify_all();
    // Wakes the accept loop's poll at once instead of at the end of its slice.
    ::shutdown(listenFd_, SHUT_RDWR);
    if (acceptThread_.joinable()) acceptThread_.join();
    ::close(listenFd_);
    std::vector<std::unique_ptr<Worker>> workers;
    {
        std::lock_guard guard(workersLock_);
        workers.swap(workers_);
    }
    for (auto& worker : workers) worker->connection->interrupt();
    for (auto& worker : workers)
        if (worker->thread.joinable()) worker->thread.join();
}

void FixtureServer::acceptLoop() {
    while (!stopping()) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(kSlice.count())) <= 0) continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE) std::this_thread::sleep_for(kSlice);
            continue;
        }
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);

        RawHandler raw;
        int index;
        {
            std::lock_guard guard(lock_);
            raw   = raw_;
            index = accepted_++;
        }
        changed_.notify_all();

        auto worker        = std::make_unique<Worker>();
        worker->connection = std::make_unique<ServerConnection>(*this, fd, index);
        Worker* w          = worker.get();
        std::lock_guard guard(workersLock_);
        // Finished connections are reaped here so a long test does not pile up threads.
        std::erase_if(workers_, [](const std::unique_ptr<Worker>& old) {
            if (!old->done) return false;
            old->thread.join();
            return true;
        });
        try {
            w->thread = std::thread([this, w, raw = std::move(raw)] {
                ServerConnection& connection = *w->connection;
                if (serverContext_ &&
                    !connection.startTls(serverContext_.get(),
                                         deadlineAfter(options_.handshakeTimeout))) {
                    connection.closeNow(false);
                } else if (raw) {
                    RawChannel channel(connection);
                    try {
                        raw(channel);
                    } catch (const std::exception& e) {
                        std::fprintf(stderr, "FixtureServer: raw handler threw: %s\n", e.what());
                    }
                    connection.closeNow(false);
                } else {
                    serve(connection);
                }
                w->done = true;
            });
        } catch (const std::system_error&) {
            continue; // no thread: the connection closes with the worker
        }
        workers_.push_back(std::move(worker));
    }
}

void FixtureServer::serve(ServerConnection& connection) {
    RawChannel channel(connection);
    while (!stopping() && !connection.closed()) {
        std::optional<RecordedRequest> request = connection.readRequest(kNoDeadline);
        if (!request) break;
        record(*request);
        const Handler handler = handlerFor(request->target);
        try {
            handler(channel, *request);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "FixtureServer: handler for %s threw: %s\n",
                         request->target.c_str(), e.what());
            break;
        }
    }
    connection.closeNow(false);
}

FixtureServer::Handler FixtureServer::handlerFor(const std::string& target) const {
    std::lock_guard guard(lock_);
    std::vector<std::string> candidates{target, withoutQuery(target)};
    if (const std::string origin = originFormOf(target); !origin.empty()) {
        candidates.push_back(origin);
        candidates.push_back(withoutQuery(origin));
    }
    for (const std::string& candidate : candidates)
        if (auto it = routes_.find(candidate); it != routes_.end()) return it->second;
    return default_;
}

void FixtureServer::record(RecordedRequest request) {
    {
        std::lock_guard guard(lock_);
        requests_.push_back(std::move(request));
    }
    changed_.notify_all();
}

bool FixtureServer::waitForStop(std::chrono::steady_clock::time_point deadline) const {
    std::unique_lock guard(lock_);
    if (deadline == kNoDeadline) {
        changed_.wait(guard, [this] { return stopping(); });
        return true;
    }
    return changed_.wait_until(guard, deadline, [this] { return stopping(); });
}

void FixtureServer::route(std::string target, Handler handler) {
    std::lock_guard guard(lock_);
    routes_[std::move(target)] = std::move(handler);
}

void FixtureServer::setDefault(Handler handler) {
    std::lock_guard guard(lock_);
    default_ = std::move(handler);
}

void FixtureServer::setRawHandler(RawHandler handler) {
    std::lock_guard guard(lock_);
    raw_ = std::move(handler);
}

FixtureServer::Handler FixtureServer::reply(std::string bytes) {
    return [bytes = std::move(bytes)](ReplyChannel& channel, const RecordedRequest&) {
        channel.send(bytes);
    };
}

FixtureServer::Handler FixtureServer::replyAndClose(std::string bytes) {
    return [bytes = std::move(bytes)](ReplyChannel& channel, const RecordedRequest&) {
        channel.send(bytes);
        channel.close();
    };
}

FixtureServer::Handler FixtureServer::silent() {
    return [](ReplyChannel& channel, const RecordedRequest&) { channel.holdUntilStopped(); };
}

FixtureServer::Handler FixtureServer::closeImmediately() {
    return [](ReplyChannel& channel, const RecordedRequest&) { channel.close(); };
}

FixtureServer::Handler FixtureServer::resetImmediately() {
    return [](ReplyChannel& channel, const RecordedRequest&) { channel.reset(); };
}

std::string FixtureServer::origin() const {
    return std::string(options_.tls != nullptr ? "https" : "http") +
           "://127.0.0.1:" + std::to_string(port_);
}

std::vector<RecordedRequest> FixtureServer::requests() const {
    std::lock_guard guard(lock_);
    return requests_;
}

bool FixtureServer::waitForRequests(std::size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock guard(lock_);
    return changed_.wait_for(guard, timeout, [&] { return requests_.size() >= n; });
}

bool FixtureServer::waitForConnections(int n, std::chrono::milliseconds timeout) const {
    std::unique_lock guard(lock_);
    return changed_.wait_for(guard, timeout, [&] { return accepted_.load() >= n; });
}

} // namespace torvex::test
