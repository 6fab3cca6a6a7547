#include "recorder/RequestRowTexts.h"

#include "model/Request.h"

namespace torvex {

std::string requestUrlText(const CRequest& request) {
    std::string text;
    if (!request.server.empty()) {
        if (request.scheme == CRequest::kHttps) text = "https://";
        if (request.scheme == CRequest::kHttp) text = "http://";
        text += request.server;
    }
    return text + "/" + request.uri;
}

std::string requestDataText(const CRequest& request) {
    std::string text;
    for (const CReqParam& param : request.params) {
        text += param.name + "=" + param.valueText(true, "&") + "&";
    }
    // Every trailing '&' goes, also one that ends the last value.
    const std::size_t end = text.find_last_not_of('&');
    text.erase(end == std::string::npos ? 0 : end + 1);
    return text;
}

std::string requestDelayText(const CRequest& request) {
    if (request.delayMin < request.delayMax) {
        return std::to_string(request.delayMin) + "-" + std::to_string(request.delayMax) + " sec";
    }
    return std::to_string(request.delayMin) + " sec";
}

} // namespace torvex
