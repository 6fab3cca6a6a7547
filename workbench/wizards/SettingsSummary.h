#pragma once

#include "model/GlobalSettings.h"

#include <array>
#include <string>

namespace torvex {

// Display names of the settings' indexes, in index order.
inline constexpr std::array<const char*, 4> kProxyTypeNames = {"HTTP", "HTTPS", "SOCKS4", "SOCKS5"};
inline constexpr std::array<const char*, 2> kHttpVersionNames = {"HTTP 1.0", "HTTP 1.1"};
inline constexpr std::array<const char*, 2> kSslVersionNames  = {"SSL 2.0", "SSL 3.0"};

// The settings wizard's closing overview of what Finish will store, lines ending in CR LF.
std::string settingsSummary(const GlobalSettingsValues& values);

// What keeps the wizard's proxy page from being left, in the order the checks are made.
enum class ProxyPageFault { None, Type, Server, Port, User, Password };

// The first fault of a custom proxy; None when no proxy or the system's proxy is used.
ProxyPageFault firstProxyPageFault(const GlobalSettingsValues& values);

// The message shown for `fault`; empty for None.
const char* proxyPageFaultMessage(ProxyPageFault fault);

} // namespace torvex
