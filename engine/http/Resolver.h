#pragma once

#include <cstdint>

namespace torvex {

// The IPv4 address (network byte order) of a dotted address or host name. Nothing is cached: a
// load test resolves every request's host the way a browser without a cache would. Fails for
// names that do not resolve and for the addresses 0.0.0.0 and 255.255.255.255.
bool resolveHost(const char* host, std::uint32_t& address);

} // namespace torvex
