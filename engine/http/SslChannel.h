#pragma once

#include <cstddef>
#include <memory>
#include <string>

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;

namespace torvex {

class CConnection;

// The TLS layer of one connection. OpenSSL reads and writes through a BIO of the engine's own
// that calls the connection's raw receive and send, so that TLS traffic obeys the same waits,
// time-outs and stop of the run as plain traffic. Each channel has its own context: no session
// is reused across connections, and certificates are not checked (a load test measures the
// server, it does not vet it).
class CSslChannel {
public:
    // Makes the channel and performs the handshake. Returns null when `sslver` is neither 0 nor
    // 1, or the handshake fails. Version 0 also allows the oldest protocols and ciphers OpenSSL
    // still offers.
    static std::unique_ptr<CSslChannel> connect(CConnection& connection, int sslver,
                                                const std::string& serverName);
    ~CSslChannel();
    CSslChannel(const CSslChannel&)            = delete;
    CSslChannel& operator=(const CSslChannel&) = delete;

    // SSL_read and SSL_write: the plaintext bytes moved, or 0 or less on close or failure.
    long read(char* buffer, std::size_t size);
    long write(const char* data, std::size_t length);

    // Sends close_notify once without waiting for the answer.
    void shutdown();

private:
    CSslChannel() = default;

    SSL_CTX* context_ = nullptr;
    SSL* ssl_         = nullptr;
};

} // namespace torvex
