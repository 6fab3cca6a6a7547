#include "model/CapturedRequest.h"
#include "model/PercentDecoding.h"
#include "model/RequestsContainer.h"

#include <algorithm>
#include <memory>
#include <strings.h>

namespace torvex {
namespace {

bool startsWithIgnoringCase(const std::string& text, const char* prefix) {
    return strncasecmp(text.c_str(), prefix, std::char_traits<char>::length(prefix)) == 0;
}

// "scheme://server/uri" into the request's server ("host[:port]") and uri (the path without its
// leading '/'); a missing scheme is taken from the text.
void splitServerAndUri(std::string url, CRequest& request) {
    std::replace(url.begin(), url.end(), '\\', '/');
    if (request.scheme == CRequest::kUnknownScheme) {
        if (startsWithIgnoringCase(url, "https:"))
            request.scheme = CRequest::kHttps;
        else if (startsWithIgnoringCase(url, "http:"))
            request.scheme = CRequest::kHttp;
    }
    const std::size_t doubleSlash = url.find("//");
    const std::size_t start       = doubleSlash == std::string::npos ? 0 : doubleSlash + 2;
    const std::size_t slash       = url.find('/', start);
    request.server                = url.substr(start, slash - start);
    request.uri = slash == std::string::npos ? std::string() : url.substr(slash + 1);
}

CReqParam paramOf(const CCapturedParam& pair) {
    const bool header = strcasecmp(pair.name.c_str(), "header$") == 0;
    CReqParam param;
    param.name   = pair.name;
    param.encode = !header;
    CReqParamFunction text;
    text.makeStatic(header ? pair.value : percentDecoded(pair.value));
    param.components.push_back(std::move(text));
    return param;
}

} // namespace

void CRequestsContainer::AddCapturedRequest(const CCapturedRequest& captured) {
    std::lock_guard guard(*this);
    auto request         = std::make_unique<CRequest>();
    request->delayMin    = captured.delay;
    request->delayMax    = captured.delay;
    request->method      = captured.method;
    request->scheme      = captured.scheme;
    request->contentType = captured.contentType;
    // The time measured before this navigation is the think time after the previous page.
    if (lastCaptured) {
        lastCaptured->delayMin = lastCaptured->delayMax = captured.delay;
        request->delayMin = request->delayMax = 0;
    }
    splitServerAndUri(captured.uri, *request);
    request->useDelay = 0;
    for (const CCapturedParam& pair : captured.pairs) request->params.push_back(paramOf(pair));
    lastCaptured = &append(std::move(request));
}

} // namespace torvex
