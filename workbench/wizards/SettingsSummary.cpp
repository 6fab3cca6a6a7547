#include "wizards/SettingsSummary.h"

namespace torvex {
namespace {

constexpr int kMaxPort = 65535;

const char* const kIndent = "      ";

// The name at `index`, or nothing for an index no list entry has.
template <std::size_t N> std::string nameAt(const std::array<const char*, N>& names, int index) {
    return index >= 0 && static_cast<std::size_t>(index) < N ? names[index] : "";
}

// One "*" per character, counting a UTF-8 sequence as one character.
std::string masked(const std::string& password) {
    std::string stars;
    for (unsigned char byte : password)
        if ((byte & 0xC0) != 0x80) stars += '*';
    return stars;
}

std::string proxyPart(const GlobalSettingsValues& v) {
    if (!v.useProxy) return "+ Do not use proxy\r\n\r\n";
    std::string out = "+ Use proxy:\r\n";
    if (v.customProxy) {
        out += kIndent + std::string("Type: ") + nameAt(kProxyTypeNames, v.proxyType) + "\r\n";
        out += kIndent + std::string("Server: ") + v.proxyServer + "\r\n";
        out += kIndent + std::string("Port: ") + std::to_string(v.proxyPort) + "\r\n";
        if (v.proxyAuth) {
            out += kIndent + std::string("User: ") + v.proxyUser + "\r\n";
            out += kIndent + std::string("Password: ") + masked(v.proxyPassword);
        } else {
            out += kIndent + std::string("No authentication");
        }
        out += "\r\n";
    } else {
        out += kIndent + std::string("System proxy settings\r\n");
    }
    return out + "\r\n";
}

} // namespace

std::string settingsSummary(const GlobalSettingsValues& v) {
    std::string out = proxyPart(v);
    out += "+ Protocols versions:\r\n";
    out +=
        kIndent + std::string("HTTP version: ") + nameAt(kHttpVersionNames, v.httpVersion) + "\r\n";
    out += kIndent + std::string("SSL version: ") + nameAt(kSslVersionNames, v.sslVersion) +
           "\r\n\r\n";
    out += "+ Timeout: " + std::to_string(v.timeout) + " sec\r\n\r\n";
    return out;
}

ProxyPageFault firstProxyPageFault(const GlobalSettingsValues& v) {
    if (!v.useProxy || !v.customProxy) return ProxyPageFault::None;
    if (nameAt(kProxyTypeNames, v.proxyType).empty()) return ProxyPageFault::Type;
    if (v.proxyServer.empty()) return ProxyPageFault::Server;
    if (v.proxyPort <= 0 || v.proxyPort > kMaxPort) return ProxyPageFault::Port;
    if (v.proxyAuth && v.proxyUser.empty()) return ProxyPageFault::User;
    if (v.proxyAuth && v.proxyPassword.empty()) return ProxyPageFault::Password;
    return ProxyPageFault::None;
}

const char* proxyPageFaultMessage(ProxyPageFault fault) {
    switch (fault) {
    case ProxyPageFault::None:
        return "";
    case ProxyPageFault::Type:
        return "Please select a proxy type.";
    case ProxyPageFault::Server:
        return "Please type an address of proxy server.";
    case ProxyPageFault::Port:
        return "Please select a proxy port.";
    case ProxyPageFault::User:
        return "Please type a user name.";
    case ProxyPageFault::Password:
        return "Please type a password.";
    }
    return "";
}

} // namespace torvex
