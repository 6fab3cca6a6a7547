#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace torvex {

// The system's proxy settings, taken from the environment.
struct SystemProxy {
    std::string proxy;      // proxy string, "kind://[credentials@]host:port"
    std::string exceptions; // ';'-separated wildcard patterns of hosts reached directly
    bool bypassLocal = false;
};

using EnvironmentLookup = char* (*)(const char*);

// Reads http_proxy, then https_proxy, then all_proxy (each in lower, then upper case); the first
// one that names a host decides. Its exceptions come from no_proxy. Nothing found: no proxy.
std::optional<SystemProxy> readSystemProxy(EnvironmentLookup lookup = std::getenv);

} // namespace torvex
