#pragma once

#include <string>
#include <string_view>

namespace torvex {

// How a request reaches its server.
enum ProxyKind : int {
    kDirect       = 0,
    kHttpProxy    = 1, // the request goes to the proxy in absolute form
    kConnectProxy = 2, // an HTTP proxy asked for a CONNECT tunnel
    kSocks4Proxy  = 3,
    kSocks5Proxy  = 4,
};

// The proxy chosen for one request; kind kDirect leaves the other fields empty.
struct ProxyChoice {
    int kind = kDirect;
    std::string host;        // at most 255 characters
    std::string credentials; // "user:password", or empty
    int port = 0;
};

// The proxy options of a test set.
struct ProxySettings {
    std::string_view proxy;      // proxy string; empty: no proxy
    std::string_view exceptions; // ';'-separated wildcard patterns of hosts reached directly
    bool bypassLocal = true;     // hosts without a '.' inside their name go direct
};

// Reads "[kind:][//][credentials@]host[:port]". The kind prefixes are "http:", "httpc:",
// "socks4:" and "socks5:" (case matters); without one the string names a plain HTTP proxy.
// Returns false for an empty host or one of 256 characters or more.
bool parseProxyString(std::string_view text, ProxyChoice& out);

// The proxy for a request to `host`: direct for local names (with bypassLocal), for hosts that
// match an exception, when the exception list holds no pattern at all, without a proxy string,
// and when the proxy string cannot be read.
ProxyChoice selectProxy(const ProxySettings& settings, std::string_view host);

// Matches the whole of `text` against a pattern of '*', '?', '[set]', '[!set]', '[a-z]' and
// plain characters, compared without regard to case unless `caseSensitive`. A null or empty text
// never matches; a null or empty pattern always matches.
bool wildcardMatch(const char* text, const char* pattern, bool caseSensitive);

} // namespace torvex
