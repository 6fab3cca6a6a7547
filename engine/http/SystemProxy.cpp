#include "http/SystemProxy.h"

#include <cctype>
#include <string_view>

namespace torvex {
namespace {

constexpr std::string_view whitespace = " \t\r\n";

std::string_view trim(std::string_view s) {
    std::size_t first = s.find_first_not_of(whitespace);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(whitespace) - first + 1);
}

const char* variable(EnvironmentLookup lookup, std::string lowerName) {
    if (const char* v = lookup(lowerName.c_str()); v && *v) return v;
    for (char& c : lowerName) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (const char* v = lookup(lowerName.c_str()); v && *v) return v;
    return nullptr;
}

// The proxy kind word for an all_proxy URL: its scheme decides, SOCKS 5 when it has none.
std::string allProxyKind(std::string_view scheme) {
    if (scheme.starts_with("socks4")) return "socks4";
    if (scheme == "http" || scheme == "https") return "http";
    return "socks5";
}

// Turns "[scheme://][user:password@]host[:port][/...]" into a proxy string of the given kind
// (for all_proxy, of the kind its scheme names). Empty when it names no host or a bad port.
std::string proxyString(std::string_view url, std::string kind) {
    url = trim(url);
    std::string_view scheme;
    if (std::size_t sep = url.find("://"); sep != std::string_view::npos) {
        scheme = url.substr(0, sep);
        url.remove_prefix(sep + 3);
    }
    if (kind.empty()) kind = allProxyKind(scheme);
    url = url.substr(0, url.find('/'));

    std::string_view credentials;
    if (std::size_t at = url.rfind('@'); at != std::string_view::npos) {
        credentials = url.substr(0, at);
        url.remove_prefix(at + 1);
    }
    std::string_view host = url.substr(0, url.find(':'));
    if (host.empty()) return {};

    int port = scheme == "https" ? 443 : 1080; // as curl does when the URL has no port
    if (std::size_t colon = url.find(':'); colon != std::string_view::npos) {
        std::string_view digits = url.substr(colon + 1);
        if (digits.empty() || digits.size() > 5) return {};
        port = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') return {};
            port = port * 10 + (c - '0');
        }
        if (port < 1 || port > 65535) return {};
    }

    std::string result = kind + "://";
    if (!credentials.empty()) result.append(credentials).append("@");
    result.append(host).append(":").append(std::to_string(port));
    return result;
}

// no_proxy is comma-separated; ".example.com" (any host in the domain) becomes "*.example.com".
std::string exceptionList(const char* noProxy) {
    std::string list;
    std::string_view rest = noProxy ? noProxy : "";
    while (!rest.empty()) {
        std::size_t comma      = rest.find(',');
        std::string_view entry = trim(rest.substr(0, comma));
        rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
        if (entry.empty()) continue;
        if (!list.empty()) list += ';';
        if (entry.front() == '.') list += '*';
        list.append(entry);
    }
    return list;
}

} // namespace

std::optional<SystemProxy> readSystemProxy(EnvironmentLookup lookup) {
    static const struct {
        const char* variable;
        const char* kind; // empty: taken from the URL's scheme
    } sources[] = {{"http_proxy", "http"}, {"https_proxy", "httpc"}, {"all_proxy", ""}};

    for (const auto& source : sources) {
        const char* url = variable(lookup, source.variable);
        if (!url) continue;
        std::string proxy = proxyString(url, source.kind);
        if (proxy.empty()) continue;
        SystemProxy result;
        result.proxy       = std::move(proxy);
        result.exceptions  = exceptionList(variable(lookup, "no_proxy"));
        result.bypassLocal = result.exceptions.find("<local>") != std::string::npos;
        return result;
    }
    return std::nullopt;
}

} // namespace torvex
