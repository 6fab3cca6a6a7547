#include "http/RequestComposer.h"

#include "api/CaseInsensitive.h"
#include "api/TestSet.h"
#include "http/Base64.h"
#include "http/DynamicUri.h"
#include "http/HttpSession.h"
#include "script/RequestDefinition.h"
#include "script/UserLog.h"

#include <cstdio>

namespace torvex {
namespace {

void appendNumber(TextBuffer& out, const char* format, int value) {
    char text[32];
    int n = std::snprintf(text, sizeof text, format, value);
    out.append({text, static_cast<std::size_t>(n)});
}

void appendBasicAuthorization(TextBuffer& out, std::string_view header, std::string_view secret) {
    std::string encoded;
    appendBase64(encoded, secret);
    out.append(header);
    out.append(": Basic ");
    out.append(encoded);
    out.append("\r\n");
}

// The client address a proxy in front of this user would report: the mask with $C1/$C2 (from
// the user's number) and $R1/$R2 (from its completed iterations) filled in.
void appendForwardedFor(TextBuffer& out, std::string_view mask, int user, int iterations) {
    out.append("X-Forwarded-For: ");
    for (std::size_t i = 0; i < mask.size();) {
        std::size_t dollar = mask.find('$', i);
        out.append(mask.substr(i, dollar - i));
        if (dollar == std::string_view::npos) break;
        std::string_view macro = mask.substr(dollar + 1, 2);
        if (macro == "C1")
            appendNumber(out, "%d", user % 254 + 1);
        else if (macro == "C2")
            appendNumber(out, "%d", user / 254 + 1);
        else if (macro == "R1")
            appendNumber(out, "%d", iterations % 254 + 1);
        else if (macro == "R2")
            appendNumber(out, "%d", iterations / 254 + 1);
        i = dollar + 3;
    }
    out.append("\r\n");
}

void appendConnectionHeader(TextBuffer& out, bool throughProxy, bool keepAlive) {
    out.append(throughProxy ? "Proxy-Connection: " : "Connection: ");
    out.append(keepAlive ? "Keep-Alive\r\n" : "close\r\n");
}

void logRequest(HttpSession& session, const char* heading) {
    if (UserLog* log = session.script.log) {
        log->write(heading);
        log->write(session.request.view());
        log->write("\r\n");
    }
}

// The directory of the current URL's path: up to and including its last '/' before any '?'.
std::string_view currentDirectory(std::string_view url) {
    std::size_t scheme = url.find("://");
    std::size_t start  = url.find('/', scheme == std::string_view::npos ? 0 : scheme + 3);
    if (start == std::string_view::npos) return "/";
    std::string_view path = url.substr(start);
    path                  = path.substr(0, path.find('?'));
    return path.substr(0, path.rfind('/') + 1);
}

} // namespace

RequestTarget targetOf(const HttpSession& session, const RequestDefinition& copy) {
    const CTestSet& t = session.testSet;
    RequestTarget target;
    target.host   = copy.server ? *copy.server : t.requestServer();
    target.port   = copy.port;
    target.secure = copy.secure == 0 ? t.secure != 0 : copy.secure == 2;
    target.proxy  = proxyFor(session, target.host, target.secure);
    return target;
}

void composeRequest(HttpSession& session, RequestDefinition& copy, const RequestTarget& target) {
    CTestSet& t         = session.testSet;
    TextBuffer& out     = session.request;
    TextBuffer& body    = session.script.body;
    const bool post     = copy.posts();
    const bool viaProxy = target.proxy.kind == kHttpProxy;
    out.clear();

    out.append(post ? "POST " : "GET ");
    if (viaProxy) {
        out.append("http://");
        out.append(target.host);
        const bool ownServer = copy.server.has_value();
        const int port       = ownServer ? copy.port : t.requestPort();
        const bool secure    = ownServer ? target.secure : t.secure != 0;
        const bool omitted =
            port == 80 || (ownServer && port == 0) || (!post && port == 443 && secure);
        if (!omitted) appendNumber(out, ":%d", port);
    }
    std::string resolved;
    std::string_view uri = copy.uri;
    if (uri.starts_with('$')) {
        if (resolveDynamicUri(uri, session.previousBody(), session.script.variables, resolved))
            uri = resolved;
        else
            uri = t.uri.view();
    }
    out.append(uri);
    if (!post && body.length() > 0) {
        out.append("?");
        out.append(body.view());
    }
    appendNumber(out, " HTTP/1.%d\r\n", t.httpver);

    if (post) {
        if (copy.content) {
            if (copy.headers) out.append(copy.headers->view());
        } else if (copy.multipart) {
            out.append("Content-Type: multipart/form-data; boundary=");
            out.append(copy.boundary);
            out.append("\r\n");
        } else {
            out.append("Content-Type: application/x-www-form-urlencoded\r\n");
        }
        appendNumber(out, "Content-Length: %d\r\n", static_cast<int>(body.length()));
    }
    appendCommonHeaders(session, target.host, copy.port);
    if (!t.authorization.empty())
        appendBasicAuthorization(out, "Authorization", t.authorization.view());
    if (viaProxy && !target.proxy.credentials.empty())
        appendBasicAuthorization(out, "Proxy-Authorization", target.proxy.credentials);
    if (t.httpver == 1)
        appendConnectionHeader(out, viaProxy, copy.keepalive != 0);
    else
        copy.keepalive = 0;
    out.append("\r\n");
    if (post) out.append(body.view());

    char url[512];
    const bool defaultPort = copy.port == (target.secure ? 443 : 80);
    char port[16]          = "";
    if (!defaultPort) std::snprintf(port, sizeof port, ":%d", copy.port);
    std::snprintf(url, sizeof url, "%s://%s%s%.*s", target.secure ? "https" : "http",
                  target.host.c_str(), port, static_cast<int>(uri.size()), uri.data());
    session.currentUrl.set(url);
    logRequest(session, "Request:\r\n");
}

bool redirectTarget(const HttpSession& session, std::string_view location,
                    RedirectPosition& position, std::string& path, RequestTarget& target) {
    std::string_view rest = location;
    const bool plain      = startsWithIgnoringCase(rest, "http://");
    if (plain || startsWithIgnoringCase(rest, "https://")) {
        position.secure = !plain;
        position.port   = plain ? 80 : 443;
        rest.remove_prefix(plain ? 7 : 8);
        std::size_t hostEnd = rest.find_first_of("/:\\");
        position.host       = std::string(rest.substr(0, hostEnd));
        rest                = hostEnd == std::string_view::npos ? "" : rest.substr(hostEnd);
        if (rest.starts_with(':')) {
            rest.remove_prefix(1);
            int port = 0;
            for (std::size_t i = 0; i < rest.size() && rest[i] >= '0' && rest[i] <= '9'; ++i) {
                port = port * 10 + (rest[i] - '0');
                if (port > 65535) return false;
            }
            position.port         = port;
            std::size_t pathStart = rest.find_first_of("/\\");
            rest = pathStart == std::string_view::npos ? "" : rest.substr(pathStart);
        }
    }
    if (rest.empty())
        path = "/";
    else if (rest.starts_with('/'))
        path = std::string(rest);
    else
        path = std::string(currentDirectory(session.currentUrl.view())) + std::string(rest);
    for (char& c : path)
        if (c == ' ') c = '+';

    target.host   = position.host;
    target.port   = position.port;
    target.secure = position.secure;
    target.proxy  = proxyFor(session, target.host, target.secure);
    return true;
}

void composeRedirect(HttpSession& session, const RequestTarget& target, std::string_view path) {
    CTestSet& t     = session.testSet;
    TextBuffer& out = session.request;
    out.clear();
    out.append("GET ");
    if (target.proxy.kind == kHttpProxy) {
        out.append("http://");
        out.append(target.host);
        if (target.port != 80) appendNumber(out, ":%d", target.port);
    }
    out.append(path);
    appendNumber(out, " HTTP/1.%d\r\n", t.httpver);
    appendCommonHeaders(session, target.host, target.port);
    if (t.httpver == 1) appendConnectionHeader(out, !t.proxy.empty(), t.keepalive != 0);
    out.append("\r\n");
    logRequest(session, "\r\nRedirect:\r\n");
    if (UserLog* log = session.script.log) log->flush();
}

void appendCommonHeaders(HttpSession& session, const std::string& host, int port) {
    CTestSet& t     = session.testSet;
    TextBuffer& out = session.request;
    t.storeRequestTarget(host, port);

    out.append("Host: ");
    out.append(host);
    if (port != 80 && port != 443) appendNumber(out, ":%d", port);
    out.append("\r\n");
    if (!session.currentUrl.empty()) {
        out.append("Referer: ");
        out.append(session.currentUrl.view());
        out.append("\r\n");
    }
    session.cookies.appendHeader(out);
    for (const SequenceEntry& line : t.headerlines.entries()) {
        out.append(line.name);
        out.append("\r\n");
    }
    if (t.proxynocache) out.append("Pragma: no-cache\r\n");
    if (t.proxyemulation)
        appendForwardedFor(out, t.proxymask.view(), session.script.userIndex,
                           session.completedIterations);
}

} // namespace torvex
