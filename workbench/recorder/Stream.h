#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace torvex {

// How one wait of the proxy ended.
enum class IoStatus {
    Ok,
    Closed,   // the peer ended the stream in order
    TimedOut, // nothing moved within the wait
    Stopped,  // the proxy is stopping
    Failed,   // an error; the stream's error() says which
    TooLarge, // a header block or line went past its limit
};

using Wait = std::chrono::milliseconds;

// A byte stream to the browser or to a server, plain or TLS. Every call waits at most `timeout`
// for progress and returns early when the proxy stops.
class Stream {
public:
    virtual ~Stream() = default;

    // Some bytes, at most `capacity`; `received` is 0 unless the result is Ok.
    virtual IoStatus receive(char* buffer, std::size_t capacity, std::size_t& received,
                             Wait timeout)                         = 0;
    virtual IoStatus sendAll(std::string_view bytes, Wait timeout) = 0;
    // Bytes already read from the socket but not yet returned (TLS records read ahead).
    virtual bool hasPending() const = 0;
    // Ends our direction in order (close_notify under TLS, then FIN); best effort.
    virtual void finish(Wait timeout)        = 0;
    virtual int fd() const                   = 0;
    virtual const std::string& error() const = 0;
};

} // namespace torvex
