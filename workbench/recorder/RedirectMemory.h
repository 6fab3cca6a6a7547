#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace torvex {

struct ResponseHead;

// Where server redirects led. A browser follows a redirect by itself, and so does playback, so
// the request that follows one is no navigation of the tester's: the proxy remembers its URL
// when the redirect passes and lets that request through unreported. Shared by every connection
// of one proxy, as redirects often change host and connection; safe to use from any thread.
class RedirectMemory {
public:
    using Clock = std::chrono::steady_clock;
    // A browser follows at once; an entry that waits longer belongs to a redirect it dropped.
    static constexpr std::chrono::seconds kLifetime{30};
    // Beyond this the oldest entry goes, so a site that redirects endlessly holds no memory.
    static constexpr std::size_t kCapacity = 64;

    // When `answer` (the final answer to the request for `requestUrl`) is a redirect with a
    // Location, remembers where it leads.
    void noteAnswer(std::string_view requestUrl, const ResponseHead& answer, Clock::time_point now);
    // Whether a request to `url` follows a remembered redirect; the entry is forgotten then.
    bool takeTarget(std::string_view url, Clock::time_point now);

private:
    struct Entry {
        std::string url;
        Clock::time_point since;
    };
    void forgetExpired(Clock::time_point now);

    std::mutex lock_;
    std::deque<Entry> entries_; // in the order noted
};

// 301, 302, 303, 307 and 308: the answers browsers follow to their Location.
bool isRedirectStatus(int status);

// `location` resolved against `requestUrl` ("scheme://host[:port]/path?query") as a browser
// resolves it before following: absolute, scheme-relative ("//host/x"), absolute-path,
// relative-path and query-only references; the fragment dropped, dot segments removed, the host
// in lower case, spaces and other bytes browsers escape percent-encoded, and written as the
// proxy writes URLs, the default port left out. Nothing when the result is no http or https URL.
std::optional<std::string> resolveLocation(std::string_view requestUrl, std::string_view location);

} // namespace torvex
