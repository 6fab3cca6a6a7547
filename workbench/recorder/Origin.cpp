#include "recorder/Origin.h"

#include "recorder/HttpHead.h"

#include <algorithm>
#include <charconv>

namespace torvex {
namespace {

bool validHost(std::string_view host) {
    return !host.empty() && host.size() <= 255 &&
           std::none_of(host.begin(), host.end(), [](char c) {
               return static_cast<unsigned char>(c) <= ' ' || c == 0x7f ||
                      std::string_view("/?#@[]\\\"<>`{}|^%").find(c) != std::string_view::npos;
           });
}

bool parsePort(std::string_view text, int& port) {
    if (text.empty() || text.size() > 5) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    return error == std::errc() && end == text.data() + text.size() && port > 0 && port <= 65535;
}

} // namespace

std::string bracketed(const std::string& host) {
    return host.find(':') == std::string::npos ? host : "[" + host + "]";
}

std::string Origin::authority() const {
    return bracketed(host) + ":" + std::to_string(port);
}

std::string Origin::url() const {
    std::string text = scheme + "://" + bracketed(host);
    if (port != defaultPort()) text += ":" + std::to_string(port);
    return text;
}

bool parseAuthority(std::string_view text, int defaultPort, std::string& host, int& port) {
    std::string_view name = text;
    std::string_view rest;
    if (text.starts_with('[')) {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos) return false;
        name = text.substr(1, close - 1);
        rest = text.substr(close + 1);
        if (name.find(':') == std::string_view::npos || (!rest.empty() && !rest.starts_with(':')))
            return false;
        if (name.find_first_not_of("0123456789abcdefABCDEF:.") != std::string_view::npos)
            return false;
    } else if (const std::size_t colon = text.find(':'); colon != std::string_view::npos) {
        name = text.substr(0, colon);
        rest = text.substr(colon);
        if (!validHost(name)) return false;
    } else if (!validHost(name)) {
        return false;
    }
    if (name.empty()) return false;
    port = defaultPort;
    if (!rest.empty() && !parsePort(rest.substr(1), port)) return false;
    host = name;
    return true;
}

bool parseAbsoluteUrl(std::string_view url, Origin& origin, std::string& pathAndQuery) {
    if (startsWithNoCase(url, "http://")) {
        origin.scheme = "http";
        url.remove_prefix(7);
    } else if (startsWithNoCase(url, "https://")) {
        origin.scheme = "https";
        url.remove_prefix(8);
    } else {
        return false;
    }
    const std::size_t end = url.find_first_of("/?#");
    if (!parseAuthority(url.substr(0, end), origin.defaultPort(), origin.host, origin.port))
        return false;
    std::string_view rest = end == std::string_view::npos ? std::string_view() : url.substr(end);
    rest                  = rest.substr(0, rest.find('#')); // a fragment is never sent on
    pathAndQuery          = rest.starts_with('/') ? std::string(rest) : "/" + std::string(rest);
    return true;
}

} // namespace torvex
