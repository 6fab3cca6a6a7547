#include "recorder/NavigationFilter.h"

#include "recorder/HttpHead.h"
#include "recorder/RecordingProxy.h"

namespace torvex {

bool NavigationFilter::takeNavigation(HeaderList& headers) const {
    bool marked = false;
    for (const auto& [name, value] : headers.fields())
        if (equalsNoCase(name, RecordingProxy::kNavigationMark))
            marked = marked || equalsNoCase(value, "main") || equalsNoCase(value, "frame");
    headers.remove(RecordingProxy::kNavigationMark);
    if (marked || markedOnly_) return marked;

    if (headers.hasPrefix("Sec-Fetch-")) {
        const std::string* mode = headers.find("Sec-Fetch-Mode");
        return mode != nullptr && equalsNoCase(*mode, "navigate");
    }
    const std::string* accept = headers.find("Accept");
    return accept != nullptr && startsWithNoCase(*accept, "text/html");
}

} // namespace torvex
