#pragma once

#include <string>
#include <string_view>

namespace torvex {

// Where a request goes: scheme, host and port.
struct Origin {
    std::string scheme; // "http" or "https"
    std::string host;   // an IPv6 address without its brackets
    int port = 0;

    int defaultPort() const { return scheme == "https" ? 443 : 80; }
    // "host:port", an IPv6 address in brackets.
    std::string authority() const;
    // "scheme://host[:port]", the default port left out.
    std::string url() const;
    bool operator==(const Origin&) const = default;
};

// "host", "host:port", "[v6]" or "[v6]:port"; false when malformed or the port is out of range.
bool parseAuthority(std::string_view text, int defaultPort, std::string& host, int& port);

// "http://host[:port]/path?query" (or https) into its origin and "/path?query"; a URL without a
// path gets "/". The scheme is returned in lower case.
bool parseAbsoluteUrl(std::string_view url, Origin& origin, std::string& pathAndQuery);

// A host for a URL or an authority: an IPv6 address goes in brackets.
std::string bracketed(const std::string& host);

} // namespace torvex
