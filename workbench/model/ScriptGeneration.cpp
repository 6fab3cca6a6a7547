#include "model/ScriptGeneration.h"

#include "model/GlobalSettings.h"
#include "model/Scenario.h"

#include <algorithm>

namespace torvex {
namespace {

void line(std::string& out, const std::string& name, const std::string& value) {
    out += name + "=" + value + "\r\n";
}

void line(std::string& out, const std::string& name, long long value) {
    line(out, name, std::to_string(value));
}

void sequence(std::string& out, const char* section, int on,
              const std::vector<std::string>& names) {
    if (!on || names.empty()) return;
    out += "\r\n[";
    out += section;
    out += "]\r\n";
    for (const std::string& name : names)
        if (!name.empty()) out += name + "\r\n";
}

// Enough iterations to reach the requested number of requests (A) or to fill the requested
// minutes at 1200 requests a minute (B); the engine's own limits then stop the run. Without
// requests or users the line is left out rather than dividing by zero.
bool iterationsFor(const CRunSection& run, int requestCount, int users, long long& iterations) {
    long long a = run.iterations;
    if (run.limitRequests && run.maxRequests > 0) {
        long long perIteration = static_cast<long long>(requestCount) * users;
        if (perIteration == 0) return false;
        a = (run.maxRequests + perIteration - 1) / perIteration;
    }
    long long b = run.iterations;
    if (run.limitTime && run.maxMinutes > 0) {
        if (requestCount == 0) return false;
        b = run.maxMinutes * 1200LL / requestCount;
    }
    iterations = std::max(a, b);
    return true;
}

} // namespace

std::string generalText(const CScenario& scenario, const GlobalSettingsValues& settings) {
    const CGeneralSection& g = scenario.general;
    const CRunSection& r     = scenario.run;
    std::string out          = "\r\n[General]\r\n";

    line(out, "timeout", settings.timeout);
    if (settings.useProxy) {
        line(out, "customproxy", settings.customProxy ? "1" : "0");
        if (settings.customProxy) {
            line(out, "proxy", settings.proxyString());
            line(out, "bypassproxy", settings.bypassProxy ? "1" : "0");
            line(out, "proxyexceptions", settings.proxyExceptions);
        }
    }
    line(out, "httpver", settings.httpVersion ? "1.1" : "1.0");
    line(out, "sslver", settings.sslVersion);
    line(out, "keepalive", g.keepAlive ? 1 : 0);
    line(out, "ignoreerrors", g.ignoreErrors ? 1 : 0);
    if (g.addForwardedFor) {
        line(out, "proxyemulation", 1);
        line(out, "proxymask", g.proxyMask);
    } else {
        line(out, "proxyemulation", 0);
    }
    if (g.basicAuth) line(out, "authorization", g.userName + ":" + g.password);
    line(out, "projectname", g.projectName);
    if (g.limitSpeed && g.speed != -1) line(out, "maxspeed", g.speed);
    if (r.saveLog) line(out, "logdir", r.logDir);
    if (r.saveReports) line(out, "reportdir", r.reportDir);
    if (r.users > 0) line(out, "clients", r.users);

    const int users =
        r.batchRun == 0 || r.batchBy == 1 ? r.users : std::min(r.batchFrom, r.batchTo);
    long long iterations = 0;
    if (r.iterations > 0 && iterationsFor(r, scenario.requests.count(), users, iterations))
        line(out, "requests", iterations);
    if (r.limitRequests && r.maxRequests > 0) line(out, "maxrequests", r.maxRequests);
    if (r.limitTime && r.maxMinutes > 0) line(out, "maxtime", r.maxMinutes * 60LL);
    line(out, "nowait", r.timeoutCheck ? 0 : 1);
    if (!r.reportNamePattern.empty()) line(out, "outfile", r.reportNamePattern);
    if (!r.comment.empty()) line(out, "description", r.comment);
    line(out, "objectiveid", r.objectiveId);
    line(out, "softdelay", 1);
    if (r.loadLevelMode == 1 && users != 0) line(out, "rate", r.requestsPerSecond * 3600LL / users);
    if (!r.saveTimings || r.timingsKind == 0 || r.timingsKind == 1) {
        line(out, "nodetails", r.saveTimings ? 0 : 1);
        line(out, "timestamp", r.saveTimings && r.timingsKind == 1 ? 1 : 0);
    }
    if (r.staggerStart) line(out, "delaystart", r.staggerMs);
    line(out, "timingmode", r.timingMode);
    static const char* const rounding[] = {"0.01", "0.1", "1"};
    if (r.timingRounding >= 0 && r.timingRounding <= 2)
        line(out, "round", rounding[r.timingRounding]);
    line(out, "log", r.saveLog ? 1 : 0);

    sequence(out, "InitSeq", r.initialSeqOn, r.initialSeq);
    sequence(out, "TestSeq", r.mainSeqOn, r.mainSeq);
    sequence(out, "FinalSeq", r.finalSeqOn, r.finalSeq);
    if (g.customUserAgent) out += "\r\n[Header]\r\nUser-Agent: " + g.userAgent + "\r\n";
    return out;
}

} // namespace torvex
