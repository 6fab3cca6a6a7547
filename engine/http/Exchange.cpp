#include "http/Exchange.h"

#include "api/CaseInsensitive.h"
#include "api/TestSet.h"
#include "http/Connection.h"
#include "http/HttpSession.h"
#include "script/UserLog.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>

namespace torvex {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kLargestSend = 1024;
// A server that never ends its header block must not take all of the machine's memory.
constexpr std::size_t kLargestHeaderBlock = std::size_t{256} << 20;

// Measured times stay positive: a negative value would read as an error outcome.
int microsecondsBetween(Clock::time_point from, Clock::time_point to) {
    auto us = std::chrono::duration_cast<std::chrono::microseconds>(to - from).count();
    return static_cast<int>(std::clamp<decltype(us)>(us, 0, INT_MAX));
}

double millisecondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// The text after `name` when `line` begins with it (any case), with its spaces skipped.
bool headerValue(std::string_view line, std::string_view name, std::string_view& value) {
    if (!startsWithIgnoringCase(line, name)) return false;
    value = line.substr(name.size());
    value.remove_prefix(std::min(value.find_first_not_of(' '), value.size()));
    return true;
}

// The outcome of a failed wait or transfer: a time-out has its own class.
int failureOutcome(const CConnection& connection) {
    return connection.lastFailure() == TransferFailure::TimedOut ? -4 : -1;
}

struct Reading {
    long long contentLength = -1; // unknown
    bool chunked            = false;
    bool keepAlive          = true;
    int status              = 0;
};

// The value of a Content-Length header. One that is not a number reads as 0, and whatever the
// server sends after the headers is no response's: the connection is not used again, so that
// bytes are never taken for the next response.
void readContentLength(std::string_view value, Reading& r) {
    char* end       = nullptr;
    r.contentLength = std::strtoll(value.data(), &end, 10);
    if (end == value.data()) r.keepAlive = false;
}

void readHeaderLine(std::string_view line, Reading& r) {
    std::string_view value;
    if (line.starts_with("HTTP")) {
        int minor = -1, status = 0;
        int read = std::sscanf(line.data(), "HTTP/1.%d %d", &minor, &status);
        if (read >= 1 && minor == 0) r.keepAlive = false;
        if (read == 2) r.status = status;
    } else if (headerValue(line, "Content-Length:", value)) {
        readContentLength(value, r);
    } else if (headerValue(line, "Transfer-Encoding:", value)) {
        if (startsWithIgnoringCase(value, "chunked")) r.chunked = true;
    } else if (headerValue(line, "Connection:", value) ||
               headerValue(line, "Proxy-Connection:", value)) {
        if (startsWithIgnoringCase(value, "close")) r.keepAlive = false;
    }
}

// Receives exactly `count` bytes and drops them. False when the connection ends first.
bool skipBytes(CConnection& connection, char* scratch, std::size_t count) {
    while (count > 0) {
        long n = connection.receive(scratch, count);
        if (n <= 0) return false;
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

int roundMeasured(int microseconds, double round) {
    if (!(round > 0)) return microseconds;
    // A step below one microsecond cannot be expressed; the time stays as measured.
    double step = std::trunc(round * 1000);
    if (step < 1) return microseconds;
    return static_cast<int>(std::trunc(microseconds / (round * 1000)) * step);
}

namespace {

// One request and its response on one connection. Each step returns false when the exchange
// has failed, with its outcome in `outcome` and the connection closed.
class Exchange {
public:
    Exchange(HttpSession& session, CConnection& connection)
        : session_(session), connection_(connection), io_(session.ioBuffer()) {}

    bool send();
    bool awaitResponse() { return connection_.awaitReadable() || fail("Error(HDR): %d\n"); }
    bool awaitFirstBytes() { return connection_.awaitData() > 0 || fail("Error(HDR): %d\n"); }
    bool readHeaders(Reading& r);
    bool readPlainBody(long long contentLength);
    bool readChunkedBody();

    int outcome = 0;
    // Body bytes read but not kept, beyond the session's limit.
    std::uint64_t dropped = 0;

private:
    bool fail(const char* format) {
        writeLog(session_.script.log, format, connection_.lastError());
        outcome = failureOutcome(connection_);
        connection_.close();
        return false;
    }
    // Stores a header line, refusing a header block past its size limit.
    bool storeHeader(std::string_view bytes) {
        if (session_.response.length() + bytes.size() > kLargestHeaderBlock) {
            writeLog(session_.script.log, "Error: the response is larger than %zu bytes.\n",
                     kLargestHeaderBlock);
            outcome = -1;
            connection_.close();
            return false;
        }
        session_.response.append(bytes);
        return true;
    }
    // Stores body bytes up to the session's limit and counts the rest.
    void storeBody(std::string_view bytes) {
        const std::size_t limit = session_.keptBodyLimit;
        const std::size_t room  = limit > bodyKept_ ? limit - bodyKept_ : 0;
        const std::size_t kept  = std::min(room, bytes.size());
        session_.response.append(bytes.substr(0, kept));
        bodyKept_ += kept;
        if (kept == bytes.size()) return;
        if (dropped == 0)
            writeLog(session_.script.log,
                     "The response body is longer than %zu bytes: the rest is read, not kept.\r\n",
                     limit);
        dropped += bytes.size() - kept;
    }

    HttpSession& session_;
    CConnection& connection_;
    char* io_;
    std::size_t bodyKept_ = 0;
};

bool Exchange::send() {
    const std::string_view text = session_.request.view();
    std::size_t sent            = 0;
    while (sent < text.size()) {
        long n = connection_.send(text.data() + sent, std::min(kLargestSend, text.size() - sent));
        if (n <= 0) break;
        sent += static_cast<std::size_t>(n);
    }
    if (sent == text.size()) return true;
    writeLog(session_.script.log, "Error (write %d/%d): %d\n", static_cast<int>(sent),
             static_cast<int>(text.size()), connection_.lastError());
    outcome = failureOutcome(connection_);
    connection_.close();
    return false;
}

// Header blocks, one after another while they announce 100 Continue; only the last one stays.
// A line longer than the I/O buffer comes in pieces: only a piece that starts a line is read as
// a header, so the tail of a long line is never taken for the blank line or another header.
bool Exchange::readHeaders(Reading& r) {
    for (bool lineStart = true;;) {
        int length = connection_.readLine(io_, HttpSession::kIoBufferSize);
        if (length < 0) return fail("Error(HDR): %d\n");
        std::string_view line(io_, static_cast<std::size_t>(length));
        if (!storeHeader(line)) return false;
        const bool wasLineStart = std::exchange(lineStart, line.ends_with('\n'));
        if (!wasLineStart) continue;
        readHeaderLine(line, r);
        if (line == "\r\n" || line.starts_with('\n')) {
            if (r.status != 100) return true;
            session_.response.clear();
            r.status = 0;
        }
    }
}

// Up to the announced length, or until the server closes when the length is unknown (-1).
bool Exchange::readPlainBody(long long contentLength) {
    for (long long received = 0; contentLength < 0 || received < contentLength;) {
        std::size_t want = HttpSession::kIoBufferSize;
        if (contentLength > 0)
            want = static_cast<std::size_t>(
                std::min<long long>(static_cast<long long>(want), contentLength - received));
        long n = connection_.receive(io_, want);
        if (n <= 0) return true;
        storeBody({io_, static_cast<std::size_t>(n)});
        received += n;
    }
    return true;
}

// The data of every chunk; a connection that closes inside a chunk ends the body.
bool Exchange::readChunkedBody() {
    for (;;) {
        if (connection_.readLine(io_, HttpSession::kIoBufferSize) < 0)
            return fail("Error(CHUNKLEN): %d\n");
        unsigned long long size = std::strtoull(io_, nullptr, 16);
        if (size == 0) {
            // Trailer lines up to the blank one.
            for (;;) {
                int length = connection_.readLine(io_, HttpSession::kIoBufferSize);
                if (length < 0 || io_[0] == '\n' || std::string_view(io_).starts_with("\r\n"))
                    return true;
            }
        }
        while (size > 0) {
            long n = connection_.receive(io_, static_cast<std::size_t>(std::min<unsigned long long>(
                                                  size, HttpSession::kIoBufferSize)));
            if (n < 0) return fail("Error(CHUNK): %d\n");
            if (n == 0) return true;
            storeBody({io_, static_cast<std::size_t>(n)});
            size -= static_cast<unsigned long long>(n);
        }
        if (!skipBytes(connection_, io_, 2)) return true;
    }
}

// Limits the whole exchange in time while it lasts, however it ends.
class ExchangeLimit {
public:
    explicit ExchangeLimit(CConnection& connection) : connection_(connection) {
        connection_.beginExchange();
    }
    ~ExchangeLimit() { connection_.endExchange(); }
    ExchangeLimit(const ExchangeLimit&)            = delete;
    ExchangeLimit& operator=(const ExchangeLimit&) = delete;

private:
    CConnection& connection_;
};

} // namespace

int exchange(HttpSession& session, CConnection& connection, bool keepAlive) {
    const CTestSet& t = session.testSet;
    ExchangeLimit limit(connection);
    connection.clearFailure();
    session.response.clear();
    Exchange exchange(session, connection);

    const auto requestStart = Clock::now();
    const bool sent         = exchange.send();
    session.traffic.bytesSent += session.request.length();
    session.traffic.sendTimeMs += millisecondsBetween(requestStart, Clock::now());
    if (!sent) return exchange.outcome;

    Reading r;
    r.keepAlive              = keepAlive;
    const auto receiveStart  = Clock::now();
    const auto intervalStart = t.timingmode == 2 ? requestStart : receiveStart;
    int measured             = 0;
    if (!exchange.awaitResponse()) return exchange.outcome;
    if (t.timingmode == 1) {
        // The first bytes of the response end the interval.
        if (!exchange.awaitFirstBytes()) return exchange.outcome;
        measured = microsecondsBetween(intervalStart, Clock::now());
    }
    if (!exchange.readHeaders(r)) return exchange.outcome;

    // 204 and 304 never have a body: waiting for one would hold a kept connection until the
    // server closes it.
    const bool bodyless = r.contentLength == 0 || r.status == 204 || r.status == 304;
    if (!bodyless && !(r.chunked ? exchange.readChunkedBody()
                                 : exchange.readPlainBody(std::max(r.contentLength, -1LL))))
        return exchange.outcome;

    const auto end = Clock::now();
    if (t.timingmode != 1) measured = microsecondsBetween(intervalStart, end);
    measured = roundMeasured(measured, t.round);
    // A body cut short by a time-out or a stop is not a response.
    const TransferFailure failure = connection.lastFailure();
    if (failure == TransferFailure::TimedOut || failure == TransferFailure::Aborted) {
        writeLog(session.script.log, "Error(BODY): %d\n", connection.lastError());
        return failure == TransferFailure::TimedOut ? -4 : -1;
    }
    session.traffic.bytesReceived += session.response.length() + exchange.dropped;
    session.traffic.receiveTimeMs += millisecondsBetween(receiveStart, end);
    if (!r.keepAlive) connection.close();
    return measured;
}

} // namespace torvex
