#pragma once

#include <string>
#include <vector>

namespace torvex {

// One name/value pair of a capture. A header line is held with the name "header$" and the whole
// line as its value. Values stay as they were sent (still percent-encoded).
struct CCapturedParam {
    std::string name;
    std::string value;
};

// One navigation as the recorder captured it, on its way into the scenario.
struct CCapturedRequest {
    int method = 1; // 1 GET, 2 POST
    std::string uri; // the URL up to the first '?': scheme, server and path
    std::string contentType = "text/html";
    int delay  = 0; // seconds since the previous capture; 0 for the first
    int scheme = 0; // 1 http, 2 https
    std::vector<CCapturedParam> pairs;
};

} // namespace torvex
