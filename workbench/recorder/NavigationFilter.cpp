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

NavigationFilter::Verdict NavigationFilter::judge(HeaderList& headers, std::string_view url) const {
    const bool navigation = takeNavigation(headers);
    // Also an unmarked request takes its entry: the embedded browser leaves redirects unmarked,
    // and a chain of them is followed only while each step is known.
    if (redirects_.takeTarget(url, RedirectMemory::Clock::now())) return Verdict::Redirected;
    return navigation ? Verdict::Report : Verdict::Pass;
}

void NavigationFilter::noteAnswer(Verdict verdict, std::string_view url,
                                  std::string_view responseHead) const {
    if (verdict == Verdict::Pass) return;
    ResponseHead answer;
    if (parseResponseHead(responseHead, answer))
        redirects_.noteAnswer(url, answer, RedirectMemory::Clock::now());
}

} // namespace torvex
