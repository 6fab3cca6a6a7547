#pragma once

#include "recorder/Channel.h"
#include "recorder/HttpHead.h"
#include "recorder/Origin.h"
#include "recorder/ServerConnector.h"

#include <optional>
#include <string>

namespace torvex {

class ProxyShared;

// One browser connection to the proxy. It reads requests one after the other: absolute-form
// requests for plain HTTP, and after CONNECT, TLS with a certificate of Torvex's authority (or
// plain HTTP when the browser starts no handshake) and origin-form requests inside the tunnel. Each
// request goes on to its server (a connection to it is kept while the server allows) and the answer
// streams back unchanged in its framing.
class ProxyConnection {
public:
    ProxyConnection(ProxyShared& shared, int clientFd);
    ~ProxyConnection();

    // Serves until the browser leaves or stays idle, an error ends the connection, or the
    // proxy stops.
    void run();

private:
    enum class After { KeepAlive, Close };

    After serve(RequestHead& request);
    After openTunnel(const RequestHead& request);
    After forward(RequestHead& request, const Origin& origin, const std::string& pathAndQuery);
    // Sends the request and reads the first answer's head.
    IoStatus exchange(const RequestHead& request, const std::string& pathAndQuery,
                      const std::optional<std::string>& body, const BodyFraming& framing,
                      std::string& responseBlock, std::string& error);
    After answer(const RequestHead& request, bool clientKeepsAlive, bool upgrading,
                 std::string responseBlock);
    After answerServerFailure(const Origin& origin, IoStatus status, const std::string& error,
                              bool requestRead);
    // An answer made here; `close` adds "Connection: close" and ends the connection.
    After reply(int status, const char* reason, const std::string& text, bool close);
    void closeGently();

    ProxyShared& shared_;
    Channel client_;
    std::optional<Origin> tunnel_; // set inside a CONNECT tunnel
    std::string tunnelHost_;       // the certificate's name when the browser sends no SNI
    std::string serverName_;       // the name the browser asked for through SNI
    ServerLink server_;            // kept between requests while the server allows
};

} // namespace torvex
