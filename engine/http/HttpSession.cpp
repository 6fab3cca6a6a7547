#include "http/HttpSession.h"

#include "api/TestSet.h"

#include <algorithm>
#include <climits>

namespace torvex {

HttpSession::HttpSession(CTestSet& owner) : testSet(owner), waits(waitRulesOf(owner)) {}

void HttpSession::reset() {
    keptConnection.reset();
    cookies.clear();
    hasPreviousBody     = false;
    previousBodyOffset  = 0;
    requestCount        = 0;
    completedIterations = 0;
    traffic             = {};
    currentUrl.clear();
    waits = waitRulesOf(testSet);
}

char* HttpSession::ioBuffer() {
    if (!io) io = std::make_unique<char[]>(kIoBufferSize);
    return io.get();
}

ResponseText HttpSession::previousBody() {
    if (!hasPreviousBody) return {};
    const char* text = response.text();
    return {text + previousBodyOffset, response.length() - previousBodyOffset};
}

WaitRules waitRulesOf(const CTestSet& testSet) {
    WaitRules rules;
    if (testSet.timeout > 0 && testSet.nowait == 0) {
        rules.timeoutMs = static_cast<int>(std::min<long long>(testSet.timeout * 1000LL, INT_MAX));
        rules.responseLimitMs = static_cast<int>(
            std::min<long long>(testSet.timeout * 1000LL * kResponseLimitInTimeouts, INT_MAX));
    }
    if (testSet.abortseq) {
        rules.abortFlag = &testSet.abortflag;
        rules.stopFd    = testSet.stopSignal.fd();
    }
    return rules;
}

} // namespace torvex
