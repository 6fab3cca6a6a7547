#pragma once

#include "api/TextBuffer.h"

#include <memory>
#include <optional>
#include <string>

namespace torvex {

// One request section of a test script. New definitions take their method, uri, delay, keepalive
// and port from the test set's general options at the moment they are created.
struct RequestDefinition {
    std::string name;
    std::string uri;                   // path and query
    std::optional<std::string> server; // none: the general option "server"
    int port      = 0;
    int method    = 0; // 0 GET, 1 POST
    int delaymin  = 0; // milliseconds
    int delaymax  = 0; // milliseconds; 0: no random part
    int keepalive = 0;
    int multipart = 0;
    int secure    = 0; // 0: the general option "secure"; 2: HTTPS; other: plain HTTP
    std::unique_ptr<TextBuffer> headers; // extra header lines, each ending "\r\n"
};

} // namespace torvex
