#pragma once

namespace torvex {

class HeaderList;

// Tells navigations (pages and frames) from the pictures, scripts and style sheets a page loads.
class NavigationFilter {
public:
    // markedOnly: only requests the embedded browser marked count.
    explicit NavigationFilter(bool markedOnly) : markedOnly_(markedOnly) {}

    // Takes the embedded browser's mark off `headers` (it never goes further) and tells whether
    // the request is a navigation. A mark counts when it says "main" or "frame". Unmarked
    // requests count, unless markedOnly, when they carry "Sec-Fetch-Mode: navigate" or, from a
    // browser that sends no Sec-Fetch headers, an Accept header beginning with "text/html".
    bool takeNavigation(HeaderList& headers) const;

private:
    bool markedOnly_;
};

} // namespace torvex
