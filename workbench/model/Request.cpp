#include "model/Request.h"

#include "model/RequestIds.h"

namespace torvex {

CRequest::CRequest() {
    newId();
}

void CRequest::newId() {
    id   = nextRequestId();
    name = "req_" + std::to_string(id);
}

bool CRequest::definitionText(std::string& out) const {
    out += "\r\n[" + (name.empty() ? "req_" + std::to_string(id) : name) + "]\r\n";
    if (method == kGet)
        out += "$method=GET\r\n";
    else if (method == kPost)
        out += "$method=POST\r\n";
    else
        return false;

    std::size_t colon = server.find(':');
    if (colon != std::string::npos) {
        out += "$server=" + server.substr(0, colon) + "\r\n";
        out += "$port=" + server.substr(colon + 1) + "\r\n";
    } else {
        out += "$server=" + server + "\r\n";
        out += scheme == kHttps ? "$port=443\r\n" : "$port=80\r\n";
    }
    if (useDelay) {
        if (delayMax > delayMin)
            out += "$delay=" + std::to_string(delayMin * 1000LL) + "-" +
                   std::to_string(delayMax * 1000LL) + "\r\n";
        else
            out += "$delay=" + std::to_string(delayMin * 1000LL) + "\r\n";
    }
    if (uri.empty())
        out += "$uri=/\r\n";
    else if (uri.front() == '/' || uri.front() == '\\' || uri.front() == '$')
        out += "$uri=" + uri + "\r\n";
    else
        out += "$uri=/" + uri + "\r\n";
    out += "$secure=" + std::to_string(scheme) + "\r\n";
    out += "$header=Content-Type: " + contentType + "\r\n";
    for (const CReqParam& param : params)
        out += param.name + "=" + param.valueText(false, "&") + "\r\n";
    out += "\r\n";
    return true;
}

} // namespace torvex
