#pragma once

#include <string>

namespace torvex {

class CConnection;

// Runs the proxy's handshake on a freshly connected socket so that the connection then leads to
// host:port: a CONNECT request (kind 2), SOCKS 4 (kind 3) or SOCKS 5 with optional user name and
// password (kind 4). Kinds 0 and 1 need no handshake. What the exchange should leave in the
// user's log is appended to `messages`. Returns 0, or -1 when the proxy refuses or fails.
int negotiateProxy(CConnection& connection, const std::string& host, int port,
                   const std::string& credentials, int kind, std::string& messages);

} // namespace torvex
