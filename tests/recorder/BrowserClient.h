#pragma once

#include <openssl/ssl.h>

#include <optional>
#include <string>
#include <string_view>

namespace torvex::test {

// One answer as a browser reads it.
struct BrowserReply {
    int status = 0;
    std::string head;    // status line and fields, up to and including the blank line
    std::string raw;     // everything after the head as it arrived, chunk framing included
    std::string body;    // chunk framing removed
    bool closed = false; // the proxy closed the connection after it

    std::string header(std::string_view name) const; // first value; empty when absent
};

// A browser's side of a connection to the recording proxy over loopback: plain requests,
// CONNECT and TLS that trusts one authority only. Every call gives up after five seconds.
class BrowserClient {
public:
    explicit BrowserClient(int proxyPort);
    ~BrowserClient();
    BrowserClient(const BrowserClient&)            = delete;
    BrowserClient& operator=(const BrowserClient&) = delete;

    bool connected() const { return connected_; }
    bool send(std::string_view bytes);

    // Reads one answer; 1xx answers are read as answers of their own. `headRequest`: the
    // answer has no body whatever its fields say.
    std::optional<BrowserReply> read(bool headRequest = false);
    // send() and read() in one.
    std::optional<BrowserReply> exchange(std::string_view request, bool headRequest = false);

    // CONNECT to `authority`, then TLS that trusts only `authorityPem` and checks the
    // certificate names `host` (a name or an IP address); SNI names `sniName` when not empty.
    // An empty `authorityPem` accepts any certificate, to look at what the proxy presents.
    // False with `error` set.
    bool openTunnel(const std::string& authority, const std::string& authorityPem,
                    const std::string& host, const std::string& sniName, std::string& error);
    // The certificate the proxy presented in the tunnel.
    X509* peerCertificate() const;
    // Whether the proxy closes the connection (discarding what still arrives) within the wait.
    bool closedByPeer();

private:
    bool fill();
    std::optional<std::string> readLine();

    int fd_           = -1;
    bool connected_   = false;
    bool ended_       = false; // the proxy closed its side (close_notify under TLS)
    SSL_CTX* context_ = nullptr;
    SSL* session_     = nullptr;
    std::string buffer_;
};

} // namespace torvex::test
