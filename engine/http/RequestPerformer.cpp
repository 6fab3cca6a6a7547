#include "http/RequestPerformer.h"

#include "api/TestSet.h"
#include "http/Connection.h"
#include "http/Exchange.h"
#include "http/HttpSession.h"
#include "http/RequestComposer.h"
#include "http/ResponseHeaders.h"
#include "script/Materialiser.h"
#include "script/RequestDefinition.h"
#include "script/UserLog.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>
#include <string>

namespace torvex {
namespace {

// Browsers give up after this many redirects; a server that redirects forever would otherwise
// hold the user for good.
constexpr int kMostRedirects = 20;

bool accepted(int status) {
    return status == 100 || status == 200 || status == 301 || status == 302;
}

// The status of the stored response, counted in the test set. A response without a readable
// status line counts as status 0.
int countStatus(HttpSession& session) {
    int minor = 0, status = 0;
    if (std::sscanf(session.response.text(), "HTTP/1.%d %d", &minor, &status) != 2) status = 0;
    if (status >= 0 && status <= 999)
        session.testSet.statuscounts[static_cast<std::size_t>(status)].fetch_add(1);
    return status;
}

void logResponse(HttpSession& session) {
    if (UserLog* log = session.script.log) {
        log->write("Response:\r\n");
        log->write(session.response.view());
        log->write("\r\n");
    }
}

void countRequest(HttpSession& session) {
    ++session.requestCount;
    session.testSet.sent.fetch_add(1);
}

// One exchange on an acquired and established connection, which is released afterwards.
int exchangeAndRelease(HttpSession& session, std::unique_ptr<CConnection> connection,
                       bool keepAlive) {
    int result = exchange(session, *connection, keepAlive);
    releaseConnection(session, std::move(connection));
    return result;
}

bool contentCheckFails(const RequestDefinition& copy, ResponseText body) {
    if (!copy.failcheck) return false;
    int pairs[20];
    int pairCount = 10;
    bool found    = copy.failcheck->match(body.c_str() ? body.c_str() : "", pairs, pairCount);
    return found != (copy.failnegated != 0);
}

} // namespace

int performRequest(HttpSession& session, RequestDefinition& copy) {
    CTestSet& t                             = session.testSet;
    RequestTarget target                    = targetOf(session, copy);
    std::unique_ptr<CConnection> connection = acquireConnection(session, target);
    if (!connection) return -1;
    if (int failed = establishConnection(session, connection, target); failed != 0) return failed;

    materialise(session.script, copy, session.previousBody());
    composeRequest(session, copy, target);
    countRequest(session);
    int outcome = exchangeAndRelease(session, std::move(connection), copy.keepalive != 0);
    session.hasPreviousBody = false;
    if (outcome < 0) return outcome;
    logResponse(session);
    int status = countStatus(session);
    if (!accepted(status)) return -2;

    RedirectPosition position{target.host, target.port, target.secure};
    for (int redirects = 0;; ++redirects) {
        std::string location;
        session.previousBodyOffset =
            processHeaders(session.response.view(), status, session.cookies, location);
        session.hasPreviousBody = true;
        // A redirect without a Location is the final response.
        if ((status != 301 && status != 302) || t.noredir || location.empty()) break;

        if (redirects == kMostRedirects) {
            writeLog(session.script.log, "Error: more than %d redirects.\r\n", kMostRedirects);
            return -2;
        }
        if (session.waits.aborted()) return -1;
        std::string path;
        RequestTarget next;
        if (!redirectTarget(session, location, position, path, next)) {
            writeLog(session.script.log, "Error: bad port in redirect location %s.\r\n",
                     location.c_str());
            return -1;
        }
        countRequest(session);
        session.hasPreviousBody = false;
        connection              = acquireConnection(session, next);
        if (!connection) return -1;
        if (int failed = establishConnection(session, connection, next); failed != 0) return failed;
        composeRedirect(session, next, path);
        int redirectTime = exchangeAndRelease(session, std::move(connection), t.keepalive != 0);
        if (redirectTime < 0) return redirectTime;
        if (t.sumredirecttime)
            outcome = static_cast<int>(
                std::min<long long>(static_cast<long long>(outcome) + redirectTime, INT_MAX));
        status = countStatus(session);
        logResponse(session);
        if (!accepted(status)) return -2;
    }
    return contentCheckFails(copy, session.previousBody()) ? -3 : outcome;
}

} // namespace torvex
