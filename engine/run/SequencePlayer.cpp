#include "run/SequencePlayer.h"

#include "api/TestSet.h"
#include "http/RequestPerformer.h"
#include "http/WaitRules.h"
#include "run/Ticks.h"
#include "run/UserSession.h"
#include "script/SequenceArguments.h"
#include "script/UserLog.h"
#include "script/VariableExport.h"
#include "script/WorkingCopy.h"

#include <cstdint>

namespace torvex {
namespace {

enum class Phase { Initial, Test, Final };

const char* phaseName(Phase phase) {
    switch (phase) {
    case Phase::Initial:
        return "InitSeq";
    case Phase::Test:
        return "TestSeq";
    case Phase::Final:
        return "FinalSeq";
    }
    return "";
}

class SequencePlayer {
public:
    explicit SequencePlayer(CUserSession& user)
        : user_(user), t_(user.testSet), pauseEnd_(tickCount()) {}

    void play() {
        if (!t_.initsequence.empty()) {
            playPhase(Phase::Initial, t_.initsequence, 1);
            if (runOver() || user_.lastOutcome == -1) return;
        }
        playPhase(Phase::Test, t_.testsequence, user_.results.iterations);
        if (runOver() || t_.finalsequence.empty()) return;
        playPhase(Phase::Final, t_.finalsequence, 1);
    }

private:
    bool stopNow() const { return t_.abortflag.load() && t_.abortseq; }
    bool pastRequestLimit() const { return t_.maxrequests != 0 && t_.sent.load() > t_.maxrequests; }
    bool runOver() const { return pastRequestLimit() || t_.abortflag.load(); }

    void playPhase(Phase phase, const SequenceList& sequence, int iterations) {
        // A phase also ends at the request limit rather than counting empty iterations to its end.
        for (int l = 0; l < iterations && !t_.abortflag.load() && !pastRequestLimit(); ++l) {
            bool test = phase == Phase::Test;
            if (test) beginTestIteration(l);
            playIteration(phase, sequence, l);
            ++user_.http.completedIterations;
            if (test && !user_.results.stamps.empty()) user_.results.stamps[l].end = calendarNow();
            if (user_.lastOutcome < 0 && phase == Phase::Initial) return;
        }
    }

    void beginTestIteration(int l) {
        user_.testIterations = l + 1;
        if (!user_.results.stamps.empty()) user_.results.stamps[l].start = calendarNow();
    }

    void playIteration(Phase phase, const SequenceList& sequence, int l) {
        const auto& entries = sequence.entries();
        for (std::size_t j = 0; j < entries.size(); ++j) {
            if (stopNow() || pastRequestLimit()) return;
            const SequenceEntry& entry = entries[j];
            RequestDefinition& copy    = *user_.workingCopy(entry.name.c_str());
            writeLog(user_.http.script.log, "----- [%s]: %s(%d) -----\r\n", phaseName(phase),
                     entry.name.c_str(), l + 1);
            int outcome       = perform(entry, copy);
            user_.lastOutcome = outcome;
            if (stopNow()) return;
            if (outcome >= 0) exportVariables(user_.http.script, copy, user_.http.previousBody());
            bool test = phase == Phase::Test;
            if (test) record(static_cast<int>(j), l, outcome);
            if (test && errorClassIndex(outcome) >= 0) ++t_.failed;
            pauseAfter(copy);
            if (outcome < 0 && !t_.ignoreerrors) {
                // The entries this iteration will not execute still count as processed.
                if (test) t_.made += static_cast<int>(entries.size() - j);
                return;
            }
            if (test) ++t_.made;
        }
    }

    int perform(const SequenceEntry& entry, RequestDefinition& copy) {
        if (!entry.arguments) return performRequest(user_.http, copy);
        SavedRequest saved;
        saveRequest(copy, saved);
        applyArguments(copy, *entry.arguments);
        int outcome = performRequest(user_.http, copy);
        restoreRequest(copy, saved);
        return outcome;
    }

    void record(int entry, int iteration, int outcome) {
        UserResults& results = user_.results;
        switch (results.form) {
        case UserResults::Form::Detailed:
            results.cell(entry, iteration) = outcome;
            break;
        case UserResults::Form::Aggregate:
            if (outcome >= 0)
                results.aggregates[entry].add(outcome);
            else if (int index = errorClassIndex(outcome); index >= 0)
                ++t_.errorcounts[index];
            break;
        case UserResults::Form::Script:
            break;
        }
    }

    // With softdelay the delay runs from the end of the previous pause, so it spaces the
    // starts of requests instead of separating one's end from the next one's start.
    void pauseAfter(const RequestDefinition& copy) {
        long long delay = requestDelay(copy, user_.http.script.random);
        if (t_.softdelay) delay -= static_cast<std::uint32_t>(tickCount() - pauseEnd_);
        if (delay > 0) pause(static_cast<int>(delay), user_.http.waits);
        pauseEnd_ = tickCount();
    }

    CUserSession& user_;
    CTestSet& t_;
    std::uint32_t pauseEnd_;
};

} // namespace

void playSequences(CUserSession& user) {
    SequencePlayer(user).play();
}

} // namespace torvex
