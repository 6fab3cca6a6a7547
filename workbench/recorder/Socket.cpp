#include "recorder/Socket.h"

#include "recorder/StopSignal.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace torvex {
namespace {

int clampedMilliseconds(Wait timeout) {
    if (timeout.count() < 0) return 0;
    if (timeout.count() > 24 * 3600 * 1000) return 24 * 3600 * 1000;
    return static_cast<int>(timeout.count());
}

// Waits for `events` on `fd` or for the stop signal; errno is kept for a Failed result.
IoStatus pollFor(int fd, short events, Wait timeout, const StopSignal& stop) {
    pollfd entries[2] = {{fd, events, 0}, {stop.fd(), POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(entries, 2, clampedMilliseconds(timeout));
        if (ready < 0 && errno == EINTR) continue; // rare; the wait restarts whole
        if (ready < 0) return IoStatus::Failed;
        if (ready == 0) return IoStatus::TimedOut;
        if (entries[1].revents != 0) return IoStatus::Stopped;
        return IoStatus::Ok; // errors and hang-ups surface in the call that follows
    }
}

// One attempt at one address: a connected descriptor, or -1 and the reason.
int connectOne(const addrinfo& address, Wait timeout, const StopSignal& stop, IoStatus& status,
               std::string& error) {
    const int fd = ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                            address.ai_protocol);
    if (fd < 0) {
        status = IoStatus::Failed;
        error  = std::strerror(errno);
        return -1;
    }
    status   = IoStatus::Ok;
    int code = ::connect(fd, address.ai_addr, address.ai_addrlen) == 0 ? 0 : errno;
    if (code == EINPROGRESS) {
        status         = pollFor(fd, POLLOUT, timeout, stop);
        code           = status == IoStatus::Failed ? errno : 0;
        socklen_t size = sizeof code;
        if (status == IoStatus::Ok && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &code, &size) != 0)
            code = errno;
    }
    if (code != 0) {
        status = IoStatus::Failed;
        error  = std::strerror(code);
    } else if (status == IoStatus::TimedOut) {
        error = "connection timed out";
    } else if (status == IoStatus::Stopped) {
        error = "the proxy is stopping";
    }
    if (status == IoStatus::Ok) return fd;
    ::close(fd);
    return -1;
}

} // namespace

Socket::Socket(int fd, const StopSignal& stop) : fd_(fd), stop_(stop) {
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags >= 0) ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
    // Headers and small bodies leave at once instead of waiting for an acknowledgement.
    int on = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

Socket::~Socket() {
    if (fd_ >= 0) ::close(fd_);
}

std::unique_ptr<Socket> Socket::connect(const std::string& host, int port, Wait timeout,
                                        const StopSignal& stop, std::string& error) {
    addrinfo hints{};
    hints.ai_family           = AF_UNSPEC;
    hints.ai_socktype         = SOCK_STREAM;
    hints.ai_flags            = AI_ADDRCONFIG;
    addrinfo* found           = nullptr;
    const std::string service = std::to_string(port);
    if (const int code = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found); code != 0) {
        error = std::string("cannot resolve the name: ") + ::gai_strerror(code);
        return nullptr;
    }
    std::unique_ptr<Socket> connected;
    error = "no address";
    for (const addrinfo* address = found; address != nullptr; address = address->ai_next) {
        IoStatus status = IoStatus::Failed;
        const int fd    = connectOne(*address, timeout, stop, status, error);
        if (fd >= 0) {
            connected = std::make_unique<Socket>(fd, stop);
            break;
        }
        if (status == IoStatus::Stopped) break;
    }
    ::freeaddrinfo(found);
    return connected;
}

IoStatus Socket::waitFor(short events, Wait timeout) {
    const IoStatus status = pollFor(fd_, events, timeout, stop_);
    return status == IoStatus::Failed ? failed(errno) : status;
}

IoStatus Socket::receive(char* buffer, std::size_t capacity, std::size_t& received, Wait timeout) {
    received = 0;
    for (;;) {
        const ssize_t got = ::recv(fd_, buffer, capacity, 0);
        if (got > 0) {
            received = static_cast<std::size_t>(got);
            return IoStatus::Ok;
        }
        if (got == 0) return IoStatus::Closed;
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return failed(errno);
        if (const IoStatus waited = waitFor(POLLIN, timeout); waited != IoStatus::Ok) return waited;
    }
}

IoStatus Socket::sendAll(std::string_view bytes, Wait timeout) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return failed(errno);
        if (const IoStatus waited = waitFor(POLLOUT, timeout); waited != IoStatus::Ok)
            return waited;
    }
    return IoStatus::Ok;
}

void Socket::finish(Wait) {
    ::shutdown(fd_, SHUT_WR);
}

IoStatus Socket::failed(int code) {
    error_ = std::strerror(code);
    return IoStatus::Failed;
}

} // namespace torvex
