#include "http/ProxySelection.h"

#include <array>
#include <cstddef>
#include <string>
#include <utility>

namespace torvex {
namespace {

constexpr std::size_t maxProxyText = 256; // host and credentials must be shorter

struct KindPrefix {
    std::string_view prefix;
    int kind;
    int defaultPort;
};

// Tried in this order; "http:" cannot swallow "httpc:" because the colon must follow at once.
constexpr std::array<KindPrefix, 4> kindPrefixes{{
    {"http:", kHttpProxy, 8000},
    {"httpc:", kConnectProxy, 8000},
    {"socks4:", kSocks4Proxy, 1080},
    {"socks5:", kSocks5Proxy, 1080},
}};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isWhiteSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

char foldCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

char otherCase(char c) {
    if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
    return foldCase(c);
}

// Whether `c`, or its other case when case is ignored, lies in [low, high].
bool inRange(char c, char low, char high, bool caseSensitive) {
    auto inside = [&](char x) {
        auto u = static_cast<unsigned char>(x);
        return u >= static_cast<unsigned char>(low) && u <= static_cast<unsigned char>(high);
    };
    return inside(c) || (!caseSensitive && inside(otherCase(c)));
}

// Tests one character of text against the single-character element of `pattern` at `p` ('?',
// a set or a plain character) and sets `next` past that element.
bool matchElement(std::string_view pattern, std::size_t p, char c, bool caseSensitive,
                  std::size_t& next) {
    char first = pattern[p];
    next       = p + 1;
    if (first == '?') return true;
    if (first != '[') return caseSensitive ? first == c : foldCase(first) == foldCase(c);

    std::size_t close = pattern.find(']', p + 1);
    if (close == std::string_view::npos) return false;
    next                 = close + 1;
    std::string_view set = pattern.substr(p + 1, close - p - 1);
    bool negated         = !set.empty() && set.front() == '!';
    if (negated) set.remove_prefix(1);
    if (set.empty()) return false;

    bool inSet = false;
    if (set.size() == 3 && set[1] == '-') {
        auto a = static_cast<unsigned char>(set[0]);
        auto b = static_cast<unsigned char>(set[2]);
        inSet  = inRange(c, static_cast<char>(a < b ? a : b), static_cast<char>(a < b ? b : a),
                         caseSensitive);
    } else if (set.find('-') != std::string_view::npos) {
        return false;
    } else {
        for (char member : set) inSet = inSet || inRange(c, member, member, caseSensitive);
    }
    return inSet != negated;
}

// Reads the port after the host's ':'. No digits there gives the default port; a number past
// the last TCP port makes the proxy string unusable rather than naming some other port.
bool readPort(std::string_view text, int defaultPort, int& port) {
    if (text.empty() || !isDigit(text.front())) {
        port = defaultPort;
        return true;
    }
    long long value = 0;
    for (std::size_t i = 0; i < text.size() && isDigit(text[i]); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 65535) return false;
    }
    port = static_cast<int>(value);
    return true;
}

bool isLocalName(std::string_view host) {
    std::size_t dot = host.find('.');
    return dot == std::string_view::npos || dot + 1 == host.size();
}

// Whether the exception list sends `host` direct: when it matches a pattern, and also when the
// list, once empty pieces are dropped, holds no pattern at all.
bool isException(std::string_view exceptions, std::string_view host) {
    std::string text(host);
    bool anyPattern = false;
    while (!exceptions.empty()) {
        std::size_t end        = exceptions.find(';');
        std::string_view piece = exceptions.substr(0, end);
        exceptions.remove_prefix(end == std::string_view::npos ? exceptions.size() : end + 1);
        while (!piece.empty() && isWhiteSpace(piece.front())) piece.remove_prefix(1);
        if (piece.empty()) continue;
        anyPattern = true;
        if (wildcardMatch(text.c_str(), std::string(piece).c_str(), false)) return true;
    }
    return !anyPattern;
}

} // namespace

bool parseProxyString(std::string_view text, ProxyChoice& out) {
    ProxyChoice choice;
    choice.kind     = kHttpProxy;
    int defaultPort = 8000;
    for (const KindPrefix& k : kindPrefixes) {
        if (!text.starts_with(k.prefix)) continue;
        choice.kind = k.kind;
        defaultPort = k.defaultPort;
        text.remove_prefix(k.prefix.size());
        while (!text.empty() && (text.front() == '/' || text.front() == ':')) text.remove_prefix(1);
        break;
    }

    // Credentials too long to keep are dropped; the host still starts after the '@'.
    if (std::size_t at = text.find('@'); at != std::string_view::npos) {
        if (at < maxProxyText) choice.credentials = text.substr(0, at);
        text.remove_prefix(at + 1);
    }

    std::size_t colon     = text.find(':');
    std::string_view host = text.substr(0, colon);
    if (host.empty() || host.size() >= maxProxyText) return false;
    choice.host = host;

    choice.port = defaultPort;
    if (colon != std::string_view::npos &&
        !readPort(text.substr(colon + 1), defaultPort, choice.port))
        return false;
    out = std::move(choice);
    return true;
}

ProxyChoice selectProxy(const ProxySettings& settings, std::string_view host) {
    if (settings.bypassLocal && isLocalName(host)) return {};
    if (!settings.exceptions.empty() && isException(settings.exceptions, host)) return {};
    ProxyChoice choice;
    if (settings.proxy.empty() || !parseProxyString(settings.proxy, choice)) return {};
    return choice;
}

bool wildcardMatch(const char* text, const char* pattern, bool caseSensitive) {
    if (text == nullptr || *text == '\0') return false;
    if (pattern == nullptr || *pattern == '\0') return true;
    std::string_view t(text);
    std::string_view p(pattern);

    // Only the latest '*' needs revisiting: each other element takes exactly one character, so
    // letting an earlier '*' take more can never succeed where the latest one failed.
    std::size_t ti = 0, pi = 0;
    std::size_t starPattern = std::string_view::npos, starText = 0;
    while (ti < t.size()) {
        if (pi < p.size() && p[pi] == '*') {
            while (pi < p.size() && p[pi] == '*') ++pi;
            if (pi == p.size()) return true;
            starPattern = pi;
            starText    = ti;
            continue;
        }
        std::size_t next = 0;
        if (pi < p.size() && matchElement(p, pi, t[ti], caseSensitive, next)) {
            pi = next;
            ++ti;
            continue;
        }
        if (starPattern == std::string_view::npos) return false;
        pi = starPattern;
        ti = ++starText;
    }
    while (pi < p.size() && p[pi] == '*') ++pi;
    return pi == p.size();
}

} // namespace torvex
