#pragma once

#include "recorder/Stream.h"

#include <memory>
#include <string>

namespace torvex {

class StopSignal;

// A non-blocking TCP socket whose waits poll the socket together with the proxy's stop signal.
// Writes never raise SIGPIPE.
class Socket : public Stream {
public:
    // Takes the descriptor over.
    Socket(int fd, const StopSignal& stop);
    ~Socket() override;
    Socket(const Socket&)            = delete;
    Socket& operator=(const Socket&) = delete;

    // Connects to the first address of `host` that answers; nullptr with `error` set.
    static std::unique_ptr<Socket> connect(const std::string& host, int port, Wait timeout,
                                           const StopSignal& stop, std::string& error);

    IoStatus receive(char* buffer, std::size_t capacity, std::size_t& received,
                     Wait timeout) override;
    IoStatus sendAll(std::string_view bytes, Wait timeout) override;
    bool hasPending() const override { return false; }
    void finish(Wait timeout) override;
    int fd() const override { return fd_; }
    const std::string& error() const override { return error_; }

    // Waits until poll() reports `events` on the socket.
    IoStatus waitFor(short events, Wait timeout);

private:
    IoStatus failed(int code);

    int fd_;
    const StopSignal& stop_;
    std::string error_;
};

} // namespace torvex
