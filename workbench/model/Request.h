#pragma once

#include "model/ReqParam.h"

#include <string>
#include <vector>

namespace torvex {

// One request of a scenario, as recorded or edited. A copy keeps the id.
class CRequest {
public:
    enum Method : int { kNoMethod = 0, kGet = 1, kPost = 2 };
    enum Scheme : int { kUnknownScheme = 0, kHttp = 1, kHttps = 2 };

    // Takes the next request id and the name "req_<id>".
    CRequest();

    // Draws a new id and with it a new default name.
    void newId();

    // The request's section of the test script; false when it has no method.
    bool definitionText(std::string& out) const;

    int id = 0;
    std::string name;
    int delayMin = 0; // seconds
    int delayMax = 0;
    int useDelay = 0;
    int method   = kNoMethod;
    std::string server; // host, optionally ":" and a port
    std::string uri;    // path and query, usually without the leading '/'
    int scheme = kUnknownScheme;
    std::string contentType;
    std::vector<CReqParam> params;
};

} // namespace torvex
