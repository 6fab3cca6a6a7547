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

namespace torvex {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kLargestSend = 1024;
// A server that never ends its response must not take all of the machine's memory.
constexpr std::size_t kLargestResponse = std::size_t{256} << 20;

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

int fail(HttpSession& session, CConnection& connection, const char* format) {
    writeLog(session.script.log, format, connection.lastError());
    int outcome = failureOutcome(connection);
    connection.close();
    return outcome;
}

int tooLarge(HttpSession& session, CConnection& connection) {
    writeLog(session.script.log, "Error: the response is larger than %zu bytes.\n",
             kLargestResponse);
    connection.close();
    return -1;
}

struct Reading {
    long long contentLength = -1; // unknown
    bool chunked            = false;
    bool keepAlive          = true;
    int status              = 0;
};

void readHeaderLine(std::string_view line, Reading& r) {
    std::string_view value;
    if (line.starts_with("HTTP")) {
        int minor = -1, status = 0;
        int read = std::sscanf(line.data(), "HTTP/1.%d %d", &minor, &status);
        if (read >= 1 && minor == 0) r.keepAlive = false;
        if (read == 2) r.status = status;
    } else if (headerValue(line, "Content-Length:", value)) {
        r.contentLength = std::strtoll(value.data(), nullptr, 10);
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

int exchange(HttpSession& session, CConnection& connection, bool keepAlive) {
    CTestSet& t          = session.testSet;
    TextBuffer& response = session.response;
    char* io             = session.io.get();
    connection.clearFailure();
    response.clear();

    // Send.
    const auto requestStart     = Clock::now();
    const std::string_view text = session.request.view();
    std::size_t sent            = 0;
    while (sent < text.size()) {
        long n = connection.send(text.data() + sent, std::min(kLargestSend, text.size() - sent));
        if (n <= 0) break;
        sent += static_cast<std::size_t>(n);
    }
    const auto sendEnd = Clock::now();
    session.traffic.bytesSent += text.size();
    session.traffic.sendTimeMs += millisecondsBetween(requestStart, sendEnd);
    if (sent < text.size()) {
        writeLog(session.script.log, "Error (write %d/%d): %d\n", static_cast<int>(sent),
                 static_cast<int>(text.size()), connection.lastError());
        int outcome = failureOutcome(connection);
        connection.close();
        return outcome;
    }

    // Headers, one block after another while they announce 100 Continue.
    Reading r;
    r.keepAlive              = keepAlive;
    const auto receiveStart  = Clock::now();
    const auto intervalStart = t.timingmode == 2 ? requestStart : receiveStart;
    int measured             = 0;
    if (t.timingmode == 1) {
        if (connection.awaitData() <= 0) return fail(session, connection, "Error(HDR): %d\n");
        measured = microsecondsBetween(intervalStart, Clock::now());
    }
    for (;;) {
        int length = connection.readLine(io, HttpSession::kIoBufferSize);
        if (length < 0) return fail(session, connection, "Error(HDR): %d\n");
        std::string_view line(io, static_cast<std::size_t>(length));
        if (response.length() + line.size() > kLargestResponse)
            return tooLarge(session, connection);
        response.append(line);
        readHeaderLine(line, r);
        if (line == "\r\n" || line.starts_with('\n')) {
            if (r.status != 100) break;
            response.clear();
            r.status = 0;
        }
    }

    // Body.
    if (r.contentLength == 0 || r.status == 204 || r.status == 304) {
        // Nothing follows the headers: these statuses never have a body, and waiting for one
        // would hold a kept connection until the server closes it.
    } else if (!r.chunked) {
        long long received = 0;
        for (;;) {
            std::size_t want = HttpSession::kIoBufferSize;
            if (r.contentLength > 0)
                want = static_cast<std::size_t>(
                    std::min<long long>(static_cast<long long>(want), r.contentLength - received));
            long n = connection.receive(io, want);
            if (n <= 0) break;
            if (response.length() + static_cast<std::size_t>(n) > kLargestResponse)
                return tooLarge(session, connection);
            response.append({io, static_cast<std::size_t>(n)});
            received += n;
            if (r.contentLength > 0 && received >= r.contentLength) break;
        }
    } else if (r.chunked) {
        for (;;) {
            if (connection.readLine(io, HttpSession::kIoBufferSize) < 0)
                return fail(session, connection, "Error(CHUNKLEN): %d\n");
            unsigned long long size = std::strtoull(io, nullptr, 16);
            if (size == 0) {
                // Trailer lines up to the blank one.
                for (;;) {
                    int length = connection.readLine(io, HttpSession::kIoBufferSize);
                    if (length < 0 || io[0] == '\n' || std::string_view(io).starts_with("\r\n"))
                        break;
                }
                break;
            }
            bool closed = false;
            while (size > 0) {
                long n =
                    connection.receive(io, static_cast<std::size_t>(std::min<unsigned long long>(
                                               size, HttpSession::kIoBufferSize)));
                if (n < 0) return fail(session, connection, "Error(CHUNK): %d\n");
                if (n <= 0) {
                    closed = true;
                    break;
                }
                if (response.length() + static_cast<std::size_t>(n) > kLargestResponse)
                    return tooLarge(session, connection);
                response.append({io, static_cast<std::size_t>(n)});
                size -= static_cast<unsigned long long>(n);
            }
            if (closed || !skipBytes(connection, io, 2)) break;
        }
    }

    const auto end = Clock::now();
    if (t.timingmode != 1) measured = microsecondsBetween(intervalStart, end);
    measured = roundMeasured(measured, t.round);
    // A body cut short by a time-out or a stop is not a response.
    if (connection.lastFailure() == TransferFailure::TimedOut) return -4;
    if (connection.lastFailure() == TransferFailure::Aborted) return -1;
    session.traffic.bytesReceived += response.length();
    session.traffic.receiveTimeMs += millisecondsBetween(receiveStart, end);
    if (!r.keepAlive) connection.close();
    return measured;
}

} // namespace torvex
