#include "run/TimingWindow.h"

#include "api/TestSet.h"
#include "run/UserSession.h"

namespace torvex {

double TimingWindow::msPerRequest() const {
    long long requests = static_cast<long long>(sentAtEnd) - sentAtBegin;
    if (requests <= 0) return 0;
    return static_cast<double>(static_cast<std::uint32_t>(end - begin)) /
           static_cast<double>(requests);
}

double TimingWindow::requestsPerSecond() const {
    double perRequest = msPerRequest();
    return perRequest > 0 ? 1000.0 / perRequest : 0;
}

TimingWindow timingWindow(const CTestSet& t) {
    TimingWindow window;
    bool found = false;
    for (const auto& user : t.users) {
        if (user->http.requestCount == 0) continue;
        if (!found || user->startTick > window.begin) {
            window.begin       = user->startTick;
            window.sentAtBegin = user->sentAtStart;
        }
        if (!found || user->endTick < window.end) {
            window.end       = user->endTick;
            window.sentAtEnd = user->sentAtEnd;
        }
        found = true;
    }
    // Ticks are unsigned 32-bit milliseconds and compared as such.
    std::uint32_t shortest = static_cast<std::uint32_t>(t.exacttiminginterval);
    if (!found || static_cast<std::uint32_t>(window.begin + shortest) > window.end) {
        window.begin        = 0;
        window.end          = static_cast<std::uint32_t>(t.elapsed);
        window.sentAtBegin  = 0;
        window.sentAtEnd    = t.sent.load();
        window.approximated = true;
    }
    return window;
}

std::vector<TimingWindow> runWindows(const CTestSet& t) {
    if (!t.partWindows.empty()) return t.partWindows;
    return {timingWindow(t)};
}

RunRate runRate(const CTestSet& t) {
    std::vector<TimingWindow> windows = runWindows(t);
    RunRate rate;
    if (windows.size() == 1) {
        // One window gives its own figures, without a round trip through the rate.
        rate.requestsPerSecond = windows.front().requestsPerSecond();
        rate.msPerRequest      = windows.front().msPerRequest();
        rate.approximated      = windows.front().approximated;
        return rate;
    }
    for (const TimingWindow& window : windows) {
        // A part in which no user sent a request measured nothing, so approximated nothing.
        if (window.sentAtEnd <= window.sentAtBegin) continue;
        rate.requestsPerSecond += window.requestsPerSecond();
        rate.approximated = rate.approximated || window.approximated;
    }
    rate.msPerRequest = rate.requestsPerSecond > 0 ? 1000.0 / rate.requestsPerSecond : 0;
    return rate;
}

} // namespace torvex
