#include "http/Connection.h"

#include "http/SslChannel.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

namespace torvex {
namespace {

using Clock = std::chrono::steady_clock;

// The longest pause bandwidth emulation takes in one call; longer ones are skipped.
constexpr long kLongestPauseMs = 120000;

TransferFailure failureOf(WaitEnd end) {
    switch (end) {
    case WaitEnd::Aborted:
        return TransferFailure::Aborted;
    case WaitEnd::TimedOut:
        return TransferFailure::TimedOut;
    default:
        return TransferFailure::Error;
    }
}

int errorOf(WaitEnd end) {
    switch (end) {
    case WaitEnd::Aborted:
        return ECANCELED;
    case WaitEnd::TimedOut:
        return ETIMEDOUT;
    default:
        return errno;
    }
}

} // namespace

CConnection::CConnection(const WaitRules& rules)
    : rules_(rules), buffer_(std::make_unique<char[]>(kBufferSize)) {}

CConnection::~CConnection() {
    close();
}

void CConnection::setTarget(std::uint32_t address, int port) {
    close();
    address_ = address;
    port_    = htons(static_cast<std::uint16_t>(port));
}

bool CConnection::peer(std::uint32_t& address, int& port) const {
    if (socket_ == -1) return false;
    address = address_;
    port    = ntohs(port_);
    return true;
}

int CConnection::connect() {
    closeSocket();
    clearFailure();
    // Non-blocking throughout: every wait goes through the wait rules.
    socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (socket_ == -1) return static_cast<int>(failed(TransferFailure::Error, errno));
    sockaddr_in peer{};
    peer.sin_family      = AF_INET;
    peer.sin_port        = port_;
    peer.sin_addr.s_addr = address_;
    if (::connect(socket_, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0) return 0;
    if (errno != EINPROGRESS) return static_cast<int>(failed(TransferFailure::Error, errno));
    if (WaitEnd end = waitForSocket(socket_, POLLOUT, rules_); end != WaitEnd::Ready)
        return static_cast<int>(failed(failureOf(end), errorOf(end)));
    int error      = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(socket_, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
    if (error != 0) return static_cast<int>(failed(TransferFailure::Error, error));
    return 0;
}

int CConnection::setSpeed(int bytesPerSecond) {
    return std::exchange(speed_, bytesPerSecond);
}

long CConnection::rawSend(const char* data, std::size_t length) {
    if (length == 0) return 0;
    if (socket_ == -1) return failed(TransferFailure::Error, ENOTCONN);
    // A peer that keeps pace would otherwise never let a waiting loop see the stop.
    if (rules_.aborted()) return failed(TransferFailure::Aborted, ECANCELED);
    if (rules_.pastDeadline()) return failed(TransferFailure::TimedOut, ETIMEDOUT);
    for (;;) {
        ssize_t sent = ::send(socket_, data, length, MSG_NOSIGNAL);
        if (sent >= 0) return sent;
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return failed(TransferFailure::Error, errno);
        if (WaitEnd end = waitForSocket(socket_, POLLOUT, rules_); end != WaitEnd::Ready)
            return failed(failureOf(end), errorOf(end));
    }
}

long CConnection::rawReceive(char* buffer, std::size_t size) {
    if (size == 0) return 0;
    if (socket_ == -1) return failed(TransferFailure::Error, ENOTCONN);
    if (rules_.aborted()) return failed(TransferFailure::Aborted, ECANCELED);
    if (rules_.pastDeadline()) return failed(TransferFailure::TimedOut, ETIMEDOUT);
    for (;;) {
        ssize_t received = ::recv(socket_, buffer, size, 0);
        if (received > 0) return received;
        if (received == 0) {
            closeSocket();
            return 0;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return failed(TransferFailure::Error, errno);
        if (WaitEnd end = waitForSocket(socket_, POLLIN, rules_); end != WaitEnd::Ready)
            return failed(failureOf(end), errorOf(end));
    }
}

long CConnection::limited(bool sending, char* data, std::size_t length) {
    if (length == 0) return 0;
    const auto start = Clock::now();
    long result;
    if (ssl_)
        result = sending ? ssl_->write(data, length) : ssl_->read(data, length);
    else
        result = sending ? rawSend(data, length) : rawReceive(data, length);
    if (result <= 0) {
        closeSocket();
        return result;
    }
    if (speed_ > 0) {
        // Each call pays for its own bytes only: the time they are due at this speed, less
        // the time the transfer took, in steps of 10 ms.
        long elapsed = static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
        long due   = static_cast<long>(static_cast<long long>(result) * 1000 / speed_);
        long delay = due - elapsed;
        if (delay > 0 && delay % 10 != 0) delay += 10 - delay % 10;
        if (delay > 0 && delay <= kLongestPauseMs) {
            const auto pauseStart = Clock::now();
            if (!pause(static_cast<int>(delay), rules_)) {
                failed(TransferFailure::Aborted, ECANCELED);
                return -1;
            }
            // The emulated line is slow, not the server: its pauses do not use up the limit.
            if (rules_.deadline != Clock::time_point::max())
                rules_.deadline += Clock::now() - pauseStart;
        }
    }
    return result;
}

long CConnection::send(const char* data, std::size_t length) {
    return limited(true, const_cast<char*>(data), length);
}

long CConnection::receive(char* buffer, std::size_t size) {
    if (size == 0) return 0;
    if (bufferStart_ < bufferEnd_) {
        std::size_t n = std::min(size, bufferEnd_ - bufferStart_);
        std::memcpy(buffer, buffer_.get() + bufferStart_, n);
        bufferStart_ += n;
        return static_cast<long>(n);
    }
    return limited(false, buffer, size);
}

long CConnection::fill() {
    if (bufferStart_ < bufferEnd_) return static_cast<long>(bufferEnd_ - bufferStart_);
    bufferStart_ = bufferEnd_ = 0;
    long received             = limited(false, buffer_.get(), kBufferSize);
    if (received > 0) bufferEnd_ = static_cast<std::size_t>(received);
    return received;
}

long CConnection::awaitData() {
    return fill();
}

bool CConnection::awaitReadable() {
    // TLS may hold decrypted bytes that poll cannot see, bandwidth emulation counts the wait
    // into the duration of the receive that follows, and that receive reports a closed socket.
    if (ssl_ || speed_ > 0 || socket_ == -1 || bufferStart_ < bufferEnd_) return true;
    WaitEnd end = waitForSocket(socket_, POLLIN, rules_);
    if (end == WaitEnd::Ready) return true;
    failed(failureOf(end), errorOf(end));
    return false;
}

int CConnection::readLine(char* buffer, std::size_t size) {
    if (size == 0) return -1;
    std::size_t stored = 0;
    while (stored + 1 < size) {
        if (fill() <= 0) return -1;
        const char* available = buffer_.get() + bufferStart_;
        std::size_t n         = std::min(bufferEnd_ - bufferStart_, size - 1 - stored);
        const void* lineFeed  = std::memchr(available, '\n', n);
        if (lineFeed)
            n = static_cast<std::size_t>(static_cast<const char*>(lineFeed) - available) + 1;
        std::memcpy(buffer + stored, available, n);
        stored += n;
        bufferStart_ += n;
        if (lineFeed) break;
    }
    buffer[stored] = '\0';
    return static_cast<int>(stored);
}

int CConnection::activateSsl(int sslver, const std::string& serverName) {
    if (socket_ == -1 || ssl_) return -1;
    ssl_ = CSslChannel::connect(*this, sslver, serverName);
    if (ssl_) return 0;
    closeSocket();
    return -1;
}

void CConnection::close() {
    if (ssl_) {
        if (socket_ != -1) ssl_->shutdown();
        ssl_.reset();
    }
    closeSocket();
}

void CConnection::closeSocket() {
    if (socket_ != -1) ::close(socket_);
    socket_      = -1;
    bufferStart_ = bufferEnd_ = 0;
}

long CConnection::failed(TransferFailure why, int error) {
    // The first failure is the cause; TLS may try to write an alert on the closed socket after.
    if (socket_ != -1 || failure_ == TransferFailure::None) {
        failure_ = why;
        error_   = error;
    }
    closeSocket();
    return -1;
}

void CConnection::beginExchange() {
    rules_.deadline = rules_.responseLimitMs < 0
                          ? Clock::time_point::max()
                          : Clock::now() + std::chrono::milliseconds(rules_.responseLimitMs);
}

void CConnection::endExchange() {
    rules_.deadline = Clock::time_point::max();
}

void CConnection::clearFailure() {
    failure_ = TransferFailure::None;
    error_   = 0;
}

} // namespace torvex
