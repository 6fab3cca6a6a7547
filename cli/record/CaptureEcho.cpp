#include "CaptureEcho.h"

#include "ConsoleLines.h"
#include "model/RequestsContainer.h"

#include <mutex>

std::string describeRecordedRequest(const torvex::CRequest& request) {
    using torvex::CRequest;
    std::string line = request.method == CRequest::kPost ? "POST " : "GET ";
    if (!request.server.empty()) {
        if (request.scheme == CRequest::kHttps) line += "https://";
        if (request.scheme == CRequest::kHttp) line += "http://";
        line += request.server;
    }
    line += "/" + request.uri;
    const std::size_t count = request.params.size();
    line += " (" + std::to_string(count) + (count == 1 ? " parameter)" : " parameters)");
    return line;
}

void CaptureEcho::OnRequestCaptured() {
    std::string line;
    {
        std::lock_guard guard(requests_);
        const auto& nodes = requests_.nodes();
        if (nodes.empty()) return;
        line = describeRecordedRequest(*nodes.back()->request);
    }
    console_.out(line);
}
