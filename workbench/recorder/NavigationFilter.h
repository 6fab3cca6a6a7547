#pragma once

#include "recorder/RedirectMemory.h"

#include <string_view>

namespace torvex {

class HeaderList;

// Tells navigations (pages and frames) from the pictures, scripts and style sheets a page loads,
// and from the requests a browser makes on its own to follow a server's redirect.
class NavigationFilter {
public:
    // What becomes of one request.
    enum class Verdict {
        Pass,       // forwarded only
        Report,     // a navigation: reported, then forwarded
        Redirected, // follows a redirect answered to a Report or Redirected request: forwarded only
    };

    // markedOnly: only requests the embedded browser marked count.
    explicit NavigationFilter(bool markedOnly) : markedOnly_(markedOnly) {}

    // Takes the embedded browser's mark off `headers` (it never goes further) and tells whether
    // the request is a navigation. A mark counts when it says "main" or "frame". Unmarked
    // requests count, unless markedOnly, when they carry "Sec-Fetch-Mode: navigate" or, from a
    // browser that sends no Sec-Fetch headers, an Accept header beginning with "text/html".
    bool takeNavigation(HeaderList& headers) const;

    // takeNavigation for the request to `url` (absolute, the default port left out), except that
    // a request where a remembered redirect leads is Redirected whatever its fields say.
    Verdict judge(HeaderList& headers, std::string_view url) const;
    // Given the head of the final answer to a Report or Redirected request, remembers where a
    // redirect leads. Call it before the answer goes on, as the browser follows at once.
    void noteAnswer(Verdict verdict, std::string_view url, std::string_view responseHead) const;

private:
    bool markedOnly_;
    // Locks itself; the filter stays usable through a const reference on every proxy thread.
    mutable RedirectMemory redirects_;
};

} // namespace torvex
