#include "run/LoadRun.h"

#include "api/Output.h"
#include "api/TestSet.h"
#include "http/WaitRules.h"
#include "run/RunPreparation.h"
#include "run/Ticks.h"
#include "run/TimingWindow.h"
#include "run/UserSession.h"
#include "run/UserThreads.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>

namespace torvex {
namespace {

constexpr std::uint32_t kProgressIntervalMs = 2000;

// Requests the run is expected to make: clients x test-sequence length x iterations, or
// maxrequests when that is smaller; -1 when a script drives the users.
int expectedTotal(const CTestSet& t) {
    if (t.scriptMode()) return -1;
    long long total = static_cast<long long>(std::max(t.clients, 0)) *
                      static_cast<long long>(t.testsequence.entries().size()) *
                      static_cast<long long>(std::max(t.requests, 0));
    if (t.maxrequests > 0 && t.maxrequests < total) total = t.maxrequests;
    return static_cast<int>(std::min<long long>(total, INT_MAX));
}

// Watches a running test from the caller's thread: progress reports and the maxtime limit.
class RunWatch {
public:
    explicit RunWatch(CTestSet& t) : t_(t), total_(t.expected.load()), startTick_(tickCount()) {}

    std::uint32_t startTick() const { return startTick_; }

    void report() {
        reportProgress(t_.made.load(), total_);
        std::fflush(stdout);
        lastReport_ = tickCount();
    }

    // Sets the abort flag once more whole seconds than maxtime have passed.
    void enforceTimeLimit() {
        if (t_.maxtime > 0 && elapsedMs() / 1000 > static_cast<std::uint32_t>(t_.maxtime))
            t_.abort();
    }

    // How long the next wait may last: until the next progress report, or sooner when the time
    // limit runs out first.
    std::uint32_t nextWaitMs() const {
        std::uint32_t wait = kProgressIntervalMs;
        if (t_.maxtime > 0 && !t_.abortflag.load()) {
            std::uint64_t limit = (static_cast<std::uint64_t>(t_.maxtime) + 1) * 1000;
            std::uint32_t spent = elapsedMs();
            wait                = static_cast<std::uint32_t>(
                std::min<std::uint64_t>(wait, limit - std::min<std::uint64_t>(spent, limit)));
        }
        return wait;
    }

    bool reportDue() const { return tickCount() - lastReport_ >= kProgressIntervalMs; }

private:
    std::uint32_t elapsedMs() const { return tickCount() - startTick_; }

    CTestSet& t_;
    int total_;
    std::uint32_t startTick_;
    std::uint32_t lastReport_ = tickCount();
};

// Sleeps between two thread starts. A stop of the run ends the ramp-up; progress and the time
// limit are still looked after while it lasts.
void rampUpPause(CTestSet& t, RunWatch& watch) {
    WaitRules rules;
    rules.abortFlag      = &t.abortflag;
    rules.stopFd         = t.stopSignal.fd();
    std::uint32_t begin  = tickCount();
    std::uint32_t length = static_cast<std::uint32_t>(t.delaystart);
    for (std::uint32_t spent = 0; spent < length && !t.abortflag.load();
         spent               = tickCount() - begin) {
        pause(static_cast<int>(std::min(length - spent, watch.nextWaitMs())), rules);
        watch.enforceTimeLimit();
        if (watch.reportDue()) watch.report();
    }
}

void noteEnd(CTestSet& t, const RunWatch& watch) {
    t.elapsed = static_cast<int>(tickCount() - watch.startTick());
    t.endtime = calendarNow();
}

void startAndWait(CTestSet& t) {
    t.starttime = calendarNow();
    UserThreads threads(t.delaystart == 0);
    RunWatch watch(t);
    try {
        for (auto& user : t.users) {
            if (t.abortflag.load()) break; // users not started yet would stop at once
            if (!threads.start(*user)) message("Session thread creating error!\n\n");
            if (t.delaystart > 0) rampUpPause(t, watch);
        }
        threads.openGate();
        bool allEnded;
        do {
            allEnded = threads.waitForAll(std::chrono::milliseconds(watch.nextWaitMs()));
            watch.report();
            watch.enforceTimeLimit();
        } while (!allEnded);
    } catch (...) {
        t.abort(); // the users still running stop before the threads are joined
        threads.joinAll();
        noteEnd(t, watch);
        throw;
    }
    threads.joinAll();
    noteEnd(t, watch);
}

} // namespace

int runLoadTest(CTestSet& t) {
    t.abortflag = 0;
    t.stopSignal.clear();
    t.made     = 0;
    t.failed   = 0;
    t.sent     = 0;
    t.expected = expectedTotal(t);
    if (!prepareRun(t)) return 0;
    // Secure requests go to the HTTPS port unless the script chose another one.
    if (t.secure && t.port == 80) t.storeRequestTarget(t.requestServer(), 443);
    startAndWait(t);
    return t.made.load() > 0 ? 1 : 0;
}

void releaseRun(CTestSet& t) {
    t.users.clear();
    t.partWindows.clear();
}

} // namespace torvex
