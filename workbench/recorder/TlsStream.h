#pragma once

#include "recorder/OpenSslHandles.h"
#include "recorder/Stream.h"

namespace torvex {

class Socket;

// TLS over a Socket. OpenSSL works on memory buffers and every byte on the wire passes through
// the Socket, so waits see the stop signal, writes raise no SIGPIPE, and bytes read from the
// socket before the handshake began still count.
class TlsStream : public Stream {
public:
    enum class Handshake {
        Done,
        Abandoned, // the peer went away, timed out or refused our certificate with an alert
        Failed,    // anything else; error() says what
    };

    // `session` is set up as client or server already (see TlsContexts).
    TlsStream(Socket& socket, SslPtr session);
    ~TlsStream() override = default;

    // `pending`: bytes already read from the socket that belong to the handshake.
    Handshake handshake(std::string_view pending, Wait timeout);
    // The name the client asked for through SNI; empty when it named none.
    std::string serverName() const;

    IoStatus receive(char* buffer, std::size_t capacity, std::size_t& received,
                     Wait timeout) override;
    IoStatus sendAll(std::string_view bytes, Wait timeout) override;
    bool hasPending() const override;
    void finish(Wait timeout) override;
    int fd() const override;
    const std::string& error() const override { return error_; }

private:
    IoStatus flush(Wait timeout);
    IoStatus pull(Wait timeout);
    IoStatus failed(const std::string& what);

    Socket& socket_;
    SslPtr session_;
    BIO* fromPeer_ = nullptr; // owned by the session
    BIO* toPeer_   = nullptr;
    std::string error_;
};

} // namespace torvex
