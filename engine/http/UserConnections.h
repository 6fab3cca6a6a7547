#pragma once

#include "http/ProxySelection.h"

#include <memory>
#include <string>

namespace torvex {

class CConnection;
struct HttpSession;

// Where one request goes: its server, and the proxy in front of it when there is one.
struct RequestTarget {
    std::string host; // the server the request is for
    int port    = 80;
    bool secure = false;
    ProxyChoice proxy; // a secure request never has kind kHttpProxy: it tunnels instead

    // The host and port the TCP connection goes to.
    const std::string& hopHost() const { return proxy.kind == kDirect ? host : proxy.host; }
    int hopPort() const { return proxy.kind == kDirect ? port : proxy.port; }
};

// The proxy choice of the test set for `host`; secure requests through an HTTP proxy tunnel.
ProxyChoice proxyFor(const HttpSession& session, const std::string& host, bool secure);

// The user's kept connection when it leads to the target's first hop (still open) and on to the
// same place (tunnel target, TLS or not), otherwise a new, unconnected one. None when the first
// hop's name does not resolve.
std::unique_ptr<CConnection> acquireConnection(HttpSession& session, const RequestTarget& target);

// Makes an acquired connection ready for the request: bandwidth emulation, and for a new one the
// connect, the proxy's handshake and TLS, each step logged. Returns 0; or -1 (-4 when a wait
// timed out), with the connection released.
int establishConnection(HttpSession& session, std::unique_ptr<CConnection>& connection,
                        const RequestTarget& target);

// Keeps an open connection as the user's one kept connection (closing the one kept before);
// deletes a closed one.
void releaseConnection(HttpSession& session, std::unique_ptr<CConnection> connection);

} // namespace torvex
