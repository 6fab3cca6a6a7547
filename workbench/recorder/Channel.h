#pragma once

#include "recorder/Stream.h"

#include <cstdint>
#include <memory>
#include <string>

namespace torvex {

class Socket;
class TlsStream;

// One connection of the proxy, to the browser or to a server: the socket, TLS once started,
// and the bytes read ahead of what the HTTP layer has taken.
class Channel {
public:
    explicit Channel(std::unique_ptr<Socket> socket);
    ~Channel();
    Channel(const Channel&)            = delete;
    Channel& operator=(const Channel&) = delete;

    // Everything up to and including the blank line that ends a header block. TooLarge when
    // no blank line comes within `limit` bytes; Closed only when the peer closed before
    // sending anything.
    IoStatus readHead(std::string& head, std::size_t limit, Wait timeout);
    // One line without its CR LF.
    IoStatus readLine(std::string& line, std::size_t limit, Wait timeout);
    // Appends exactly `count` bytes.
    IoStatus read(std::size_t count, std::string& into, Wait timeout);
    // The next byte without taking it.
    IoStatus peek(char& next, Wait timeout);
    // Whatever is read ahead, or else the next bytes to arrive.
    IoStatus readSome(std::string& into, Wait timeout);
    IoStatus send(std::string_view bytes, Wait timeout);

    bool hasBuffered() const;
    // Bytes read ahead that nobody has taken yet; they are handed over and forgotten.
    std::string takeBuffered();

    // Replaces the plain stream with TLS over the same socket; the stream must not have
    // bytes read ahead except the handshake's (pass them from takeBuffered()).
    void useTls(std::unique_ptr<TlsStream> tls);
    TlsStream* tls() const { return tls_.get(); }
    Socket& socket() const { return *socket_; }
    Stream& stream() const;

    // The reason of the last Failed result.
    std::string error() const;
    void finish(Wait timeout);

private:
    IoStatus fill(Wait timeout);

    std::unique_ptr<Socket> socket_;
    std::unique_ptr<TlsStream> tls_;
    std::string buffer_;
    std::size_t start_ = 0; // what is taken already stays in buffer_ until the next fill
    std::string error_;
};

} // namespace torvex
