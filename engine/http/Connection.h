#pragma once

#include "http/WaitRules.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

namespace torvex {

class CSslChannel;

// How the last transfer on a connection ended when it failed.
enum class TransferFailure { None, Error, TimedOut, Aborted };

// One TCP connection of a virtual user to the tested server or to the first proxy hop, with an
// optional TLS layer and bandwidth emulation. Only the owning user's thread touches it.
//
// Every blocking step (connect, send, receive, the emulation's pauses) waits through the user's
// WaitRules, so a time-out or a stop of the run ends it. Any failed transfer closes the socket.
class CConnection {
public:
    explicit CConnection(const WaitRules& rules);
    ~CConnection();
    CConnection(const CConnection&)            = delete;
    CConnection& operator=(const CConnection&) = delete;

    // Closes the connection, then remembers where the next connect goes (address in network
    // byte order, port in host order).
    void setTarget(std::uint32_t address, int port);
    // The stored target; false when the connection is closed.
    bool peer(std::uint32_t& address, int& port) const;
    bool isOpen() const { return socket_ != -1; }

    // What the connection leads to beyond its first hop (tunnel target, TLS), set by its owner.
    void setRoute(std::string route) { route_ = std::move(route); }
    const std::string& route() const { return route_; }

    // Opens a TCP connection to the target: 0, or -1 with the socket closed.
    int connect();

    // Bytes per second to emulate (0 or less: no emulation); returns the previous value.
    int setSpeed(int bytesPerSecond);

    // One send or receive on the socket itself, below any TLS layer. A failure (or, for a
    // receive, the peer closing) closes the socket. Sends never raise SIGPIPE.
    long rawSend(const char* data, std::size_t length);
    long rawReceive(char* buffer, std::size_t size);

    // Send and receive through TLS when it is active, with bandwidth emulation. A receive first
    // hands out what the line reader buffered but did not consume.
    long send(const char* data, std::size_t length);
    long receive(char* buffer, std::size_t size);

    // Waits for the first bytes of a response and buffers them; returns their count, or 0 or less
    // when the connection failed or closed.
    long awaitData();

    // Waits until the socket has something to read (bytes, the peer's close or an error) without
    // reading it; returns at once with bytes buffered, TLS or bandwidth emulation active, or the
    // socket closed. Right after a request has been sent its response is rarely there yet, and
    // a receive would only fail and cost a system call. False when the wait failed (time-out,
    // stop of the run, poll error), with the socket closed.
    bool awaitReadable();

    // Reads one line (up to and including its line feed) into `buffer`, at most size - 1 bytes,
    // NUL-terminated. Returns the bytes stored, or -1 when the connection closes or fails first.
    // A longer line comes back in pieces. Bytes are taken from a receive buffer, so that header
    // lines cost one system call per network read rather than one per byte.
    int readLine(char* buffer, std::size_t size);

    // Starts TLS on the open connection (`sslver` 0 or 1; other values fail). `serverName` is
    // sent as SNI unless it is a numeric address. 0, or -1 with the socket closed.
    int activateSsl(int sslver, const std::string& serverName);

    // Shuts TLS down (one close_notify, the answer is not awaited) and closes the socket.
    void close();

    // From now until endExchange(), the connection's transfers and waits end with a time-out once
    // the rules' response limit has passed; the pauses of bandwidth emulation do not count.
    void beginExchange();
    void endExchange();

    // Why the last failing transfer failed, and its errno value (for the user log).
    TransferFailure lastFailure() const { return failure_; }
    int lastError() const { return error_; }
    void clearFailure();

private:
    long limited(bool sending, char* data, std::size_t length);
    long fill();
    // Closes only the socket: a TLS channel stays until close(), since a failing raw call may
    // be running inside it.
    void closeSocket();
    long failed(TransferFailure why, int error);

    WaitRules rules_;
    int socket_            = -1;
    std::uint32_t address_ = 0; // network byte order
    std::uint16_t port_    = 0; // network byte order
    std::string route_;
    int speed_ = 0;
    std::unique_ptr<CSslChannel> ssl_;
    TransferFailure failure_ = TransferFailure::None;
    int error_               = 0;
    // Received but not yet consumed bytes, begun by the line reader.
    static constexpr std::size_t kBufferSize = 4096;
    std::unique_ptr<char[]> buffer_;
    std::size_t bufferStart_ = 0;
    std::size_t bufferEnd_   = 0;
};

} // namespace torvex
