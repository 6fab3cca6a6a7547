#include "recorder/RedirectMemory.h"

#include "recorder/HttpHead.h"
#include "recorder/Origin.h"

#include <algorithm>
#include <vector>

namespace torvex {
namespace {

// What browsers escape besides controls, spaces and bytes beyond ASCII.
constexpr std::string_view kPathEscapes  = "\"<>`{}";
constexpr std::string_view kQueryEscapes = "\"<>'";

struct UrlParts {
    Origin origin;
    std::string path;  // begins with '/'
    std::string query; // with its '?', or empty
};

bool splitAbsolute(std::string_view url, UrlParts& parts) {
    std::string pathAndQuery;
    if (!parseAbsoluteUrl(url, parts.origin, pathAndQuery)) return false;
    const std::size_t mark = pathAndQuery.find('?');
    parts.path             = pathAndQuery.substr(0, mark);
    parts.query            = mark == std::string::npos ? std::string() : pathAndQuery.substr(mark);
    return true;
}

bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Whether the reference begins with "scheme:", so that it is absolute.
bool hasScheme(std::string_view reference) {
    const std::size_t colon = reference.find(':');
    if (colon == std::string_view::npos || colon == 0 || !isAsciiLetter(reference[0])) return false;
    return std::all_of(reference.begin(), reference.begin() + colon, [](char c) {
        return isAsciiLetter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
    });
}

// "/a/./b/../c" becomes "/a/c"; a final "." or ".." leaves the path ending in '/'.
std::string removeDotSegments(std::string_view path) {
    std::vector<std::string_view> kept;
    std::size_t start = 1; // after the leading '/'
    for (;;) {
        const std::size_t end = path.find('/', start);
        const std::string_view segment =
            path.substr(start, end == std::string_view::npos ? end : end - start);
        const bool dots = segment == "." || segment == "..";
        if (segment == "..") {
            if (!kept.empty()) kept.pop_back();
        } else if (!dots) {
            kept.push_back(segment);
        }
        if (end == std::string_view::npos) {
            if (dots) kept.emplace_back();
            break;
        }
        start = end + 1;
    }
    std::string result;
    for (const std::string_view segment : kept) result.append("/").append(segment);
    return result.empty() ? "/" : result;
}

std::string escaped(std::string_view text, std::string_view extras) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string result;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7f || extras.find(c) != std::string_view::npos) {
            result += '%';
            result += kHex[byte >> 4];
            result += kHex[byte & 0xf];
        } else {
            result += c;
        }
    }
    return result;
}

} // namespace

bool isRedirectStatus(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::optional<std::string> resolveLocation(std::string_view requestUrl, std::string_view location) {
    UrlParts base;
    if (!splitAbsolute(requestUrl, base)) return std::nullopt;
    std::string reference(trimmed(location.substr(0, location.find('#'))));
    // Browsers read a backslash before the query as a slash in http and https URLs.
    const auto queryStart = reference.begin() + std::min(reference.find('?'), reference.size());
    std::replace(reference.begin(), queryStart, '\\', '/');

    UrlParts target;
    if (reference.starts_with("//")) {
        if (!splitAbsolute(base.origin.scheme + ":" + reference, target)) return std::nullopt;
    } else if (hasScheme(reference)) {
        if (!splitAbsolute(reference, target)) return std::nullopt;
    } else {
        const std::size_t mark = reference.find('?');
        const std::string path = reference.substr(0, mark);
        target.origin          = base.origin;
        if (mark != std::string::npos)
            target.query = reference.substr(mark);
        else if (path.empty())
            target.query = base.query;
        if (path.empty())
            target.path = base.path;
        else if (path.starts_with('/'))
            target.path = path;
        else
            target.path = base.path.substr(0, base.path.rfind('/') + 1) + path;
    }
    std::string& host = target.origin.host;
    std::transform(host.begin(), host.end(), host.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return target.origin.url() + escaped(removeDotSegments(target.path), kPathEscapes) +
           escaped(target.query, kQueryEscapes);
}

void RedirectMemory::noteAnswer(std::string_view requestUrl, const ResponseHead& answer,
                                Clock::time_point now) {
    if (!isRedirectStatus(answer.status)) return;
    const std::string* location = answer.headers.find("Location");
    if (location == nullptr) return;
    std::optional<std::string> target = resolveLocation(requestUrl, *location);
    if (!target) return;
    std::lock_guard guard(lock_);
    forgetExpired(now);
    if (entries_.size() >= kCapacity) entries_.pop_front();
    entries_.push_back({std::move(*target), now});
}

bool RedirectMemory::takeTarget(std::string_view url, Clock::time_point now) {
    std::lock_guard guard(lock_);
    forgetExpired(now);
    const auto found = std::find_if(entries_.begin(), entries_.end(),
                                    [url](const Entry& entry) { return entry.url == url; });
    if (found == entries_.end()) return false;
    entries_.erase(found);
    return true;
}

void RedirectMemory::forgetExpired(Clock::time_point now) {
    // Threads note answers in any order, so every entry is looked at.
    std::erase_if(entries_, [now](const Entry& entry) { return now - entry.since >= kLifetime; });
}

} // namespace torvex
