#include "runner/TestRunner.h"

#include "runner/RunDistribution.h"

#include "model/RunLog.h"
#include "model/Scenario.h"
#include "results/ResultsCollection.h"
#include "runner/CpuUsageMonitor.h"
#include "runner/RunNotifier.h"
#include "torvexcore.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <system_error>

namespace torvex {
namespace {

std::string localHoursAndMinutes() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M", &local);
    return text;
}

std::string cpuUsageWarning(double percent) {
    char text[96];
    std::snprintf(text, sizeof text, "Average CPU usage during the test was at level: %.2f%%",
                  percent);
    return text;
}

} // namespace

BatchSettings BatchSettings::of(const CRunSection& run) {
    return {run.batchRun,  run.batchBy,          run.batchFrom,   run.batchTo,
            run.batchStep, run.pauseBetweenRuns, run.pauseSeconds};
}

CTestRunner::~CTestRunner() {
    Shutdown();
}

void CTestRunner::Initialize(RunNotifier& notifier) {
    notifier_ = &notifier;
    testName_.clear();
    testSet_ = nullptr;
    running_ = false;
    InitHX(nullptr, nullptr);
    SetOutFunc(this, &CTestRunner::onOutput);
    SetProgressReporter(this, &CTestRunner::onProgress);
    results_.SetListener([this] { notifier_->resultsChanged(); });
}

void CTestRunner::Shutdown() {
    if (!notifier_) return;
    StopRun();
    if (worker_.joinable()) worker_.join();
    SetOutFunc(nullptr, nullptr);
    SetProgressReporter(nullptr, nullptr);
    FreeTestSet(testSet_);
    testSet_ = nullptr;
    CleanupHX();
    results_.SetListener({});
    notifier_ = nullptr;
}

void CTestRunner::SetLogTarget(CRunLog* log) {
    std::lock_guard guard(logLock_);
    logTarget_ = log;
}

bool CTestRunner::StartRun(const std::string& script, const std::string& testName,
                           const BatchSettings& batch, const CScenario& scenario) {
    if (!notifier_ || running_) return false;
    // The previous worker has cleared `running` and is on its way out.
    if (worker_.joinable()) worker_.join();
    FreeTestSet(testSet_);
    testSet_ = CreateTestSet(0);
    if (!testSet_) return false;

    testName_ = testName;
    batch_    = batch;
    // Scenario files may hold any number here; all but iterations step the users.
    batch_.batchBy         = batch.batchBy == 1 ? 1 : 0;
    current_               = batch.batchFrom;
    stopping_              = false;
    const CRunSection& run = scenario.run;
    limits_ = {run.loadLevelMode, run.requestsPerSecond, run.limitRequests,         run.maxRequests,
               run.limitTime,     run.maxMinutes,        scenario.requests.count(), batch.batchTo};

    if (!ParseTest(testSet_, "testlog", script.c_str())) return false;
    // A batch by users shares out each run's users as it sets them; otherwise the script's.
    if (distribution_ && !(batch_.batchRun && batch_.batchBy == 0)) {
        TorvexInfo info{};
        GetInfo(testSet_, &info);
        distribution_->shareUsers(testSet_, info.users);
    }
    running_ = true;
    if (batch_.batchRun) {
        ++batchNumber_;
        BatchVariable variable = batchVariable(batch_.batchBy);
        if (setBatchVariable(current_))
            log(CRunLog::kMessage,
                std::string("Cycling: ") + variable.displayName + "=" + std::to_string(current_));
        else
            log(CRunLog::kWarning, std::string("Failed to set parameter ") + variable.option + "=" +
                                       std::to_string(current_));
        if (batch_.batchBy == 0) applyPerRunOverrides(current_);
    }
    results_.Clear();
    try {
        worker_ = std::thread(&CTestRunner::work, this);
    } catch (const std::system_error&) {
        FreeTestSet(testSet_);
        testSet_ = nullptr;
        running_ = false;
        return false;
    }
    return true;
}

void CTestRunner::RequestStop() {
    if (!running_) return;
    stopping_ = true;
    AbortRun(testSet_);
    std::lock_guard guard(pauseLock_);
    pauseWake_.notify_all();
}

void CTestRunner::StopRun() {
    if (!running_) return;
    RequestStop();
    // The engine forgets an abort that comes just before a run begins, so it is repeated while
    // the worker is still busy.
    notifier_->waitForStop([this] {
        if (!running_) return false;
        AbortRun(testSet_);
        return true;
    });
    if (worker_.joinable()) worker_.join();
    running_ = false;
}

int CTestRunner::onOutput(void* context, const char* text) {
    if (context && text) static_cast<CTestRunner*>(context)->log(CRunLog::kMessage, text);
    return 0;
}

void CTestRunner::onProgress(void* context, int done, int total) {
    if (!context) return;
    auto* runner = static_cast<CTestRunner*>(context);
    // The engine calls this on the worker thread every few seconds of a run; an abort that came
    // just before the run began, which the engine forgets, is repeated here.
    if (runner->stopping_) AbortRun(runner->testSet_);
    if (total == -1) {
        runner->log(CRunLog::kMessage, "Requests made so far: " + std::to_string(done));
        return;
    }
    // A distributed run shows the requests of all processes instead (see runOnce).
    if (runner->distribution_) return;
    done = std::min(done, total);
    runner->notifier_->runProgress(std::pair{done, total}, "Request: " + std::to_string(done) +
                                                               "/" + std::to_string(total));
}

void CTestRunner::log(int level, const std::string& text) {
    {
        std::lock_guard guard(logLock_);
        if (logTarget_) logTarget_->addLine(level, text);
    }
    if (notifier_) notifier_->logChanged();
}

bool CTestRunner::setBatchVariable(int value) {
    if (distribution_ && batch_.batchBy == 0) return distribution_->shareUsers(testSet_, value);
    return ParseGeneralParam(testSet_, batchVariable(batch_.batchBy).option,
                             std::to_string(value).c_str());
}

void CTestRunner::applyPerRunOverrides(int users) {
    for (const auto& [name, value] : perRunOverrides(limits_, users))
        ParseGeneralParam(testSet_, name.c_str(), value.c_str());
}

void CTestRunner::work() {
    finish(runBatch());
}

// One pass per run; returns 1 when a stop or a failed run ended the batch, 0 otherwise.
int CTestRunner::runBatch() {
    CCpuUsageMonitor monitor;
    bool first                   = true;
    const BatchVariable variable = batchVariable(batch_.batchBy);
    for (;;) {
        // Processes running together agree on a stop before each run.
        if (distribution_ && !distribution_->allGoOn(stopping_)) {
            stopping_ = true;
            log(CRunLog::kWarning, "Process was terminated by user");
            return 1;
        }
        if (monitor.Initialize()) monitor.Start();
        log(CRunLog::kMessage, "Running...");
        notifier_->runProgress(std::pair{0, 0}, "Running...");
        bool stopped  = false;
        int completed = runOnce(stopped);

        double load = monitor.Measure();
        if (load > 95.0) {
            log(CRunLog::kWarning, cpuUsageWarning(load));
            log(CRunLog::kWarning, "Results are somewhat lowered");
        }
        std::string title = testName_;
        if (batch_.batchRun)
            title += std::string(" - ") + variable.displayName + "=" + std::to_string(current_);
        if (completed == 1 && !stopped) collectRun(title);
        if (!distribution_) stopped = stopping_; // a stop during the collection ends it too
        if (stopped) {
            log(CRunLog::kWarning, "Process was terminated by user");
        } else if (completed != 1) {
            log(CRunLog::kWarning, "Errors occured during test");
            stopping_ = true;
        }
        if (stopped || completed != 1) return 1;
        log(CRunLog::kMessage, "Finished \"" + title + "\"");

        std::optional<int> next;
        if (batch_.batchRun) {
            if (first) {
                first = false;
                notifier_->batchFirstRunDone();
            }
            next = nextBatchValue(current_, batch_.batchStep, batch_.batchTo);
            if (!next) batch_.batchRun = 0;
        }
        if (!batch_.batchRun) return 0;

        current_ = *next;
        log(CRunLog::kMessage,
            std::string("Cycling: ") + variable.displayName + "=" + std::to_string(current_));
        CleanHX(testSet_);
        setBatchVariable(current_);
        if (batch_.batchBy == 0) applyPerRunOverrides(current_);
        // Processes running together agree on a stop before the next run instead.
        if (batch_.pauseBetweenRuns && !pauseBeforeNextRun() && !distribution_) {
            log(CRunLog::kWarning, "Process was terminated by user");
            return 0;
        }
    }
}

// RunTest's result for this run, alone or together with the other processes; `stopped` tells
// whether a stop ends it. Processes running together decide on what they all know after the
// run, so that none goes on to a run the others have left.
int CTestRunner::runOnce(bool& stopped) {
    if (!distribution_) {
        // A stop asked for just before the run began would be forgotten by the engine.
        const int completed = stopping_ ? 0 : RunTest(testSet_);
        stopped             = stopping_;
        return completed;
    }
    // Even a stop asked for since the agreement runs together: the run then ends at once.
    RunDistribution::Outcome outcome = distribution_->runTogether(
        testSet_, [this] { return stopping_.load(); },
        [this](int done, int, int total) {
            done = std::min(done, total);
            notifier_->runProgress(std::pair{done, total}, "Request: " + std::to_string(done) +
                                                               "/" + std::to_string(total));
        });
    if (outcome.stopped) stopping_ = true;
    stopped = outcome.stopped;
    return outcome.completed;
}

bool CTestRunner::pauseBeforeNextRun() {
    const int seconds = batch_.pauseSeconds;
    log(CRunLog::kMessage,
        "Waiting " + std::to_string(seconds) + " second" + (seconds == 1 ? "" : "s") + "...");
    std::unique_lock lock(pauseLock_);
    for (long long step = 0; step < 2LL * seconds; ++step)
        if (pauseWake_.wait_for(lock, std::chrono::milliseconds(500),
                                [this] { return stopping_.load(); }))
            return false;
    return !stopping_;
}

void CTestRunner::collectRun(const std::string& runTitle) {
    notifier_->runProgress(std::nullopt, "Generating report...");
    BatchPosition position;
    if (batch_.batchRun) {
        const BatchVariable variable = batchVariable(batch_.batchBy);
        position = {batchNumber_, current_, variable.displayName, batch_.batchBy};
    }
    void* whole = distribution_ ? distribution_->wholeRun(testSet_) : testSet_;
    if (!whole) {
        notifier_->runProgress(std::nullopt, std::nullopt);
        return;
    }
    ResultsRecord record = collectResults(
        whole, position, [this] { notifier_->runProgress(std::nullopt, std::nullopt); });
    record->SetTitle(localHoursAndMinutes() + " - " + runTitle);
    results_.Add(std::move(record));
}

void CTestRunner::finish(int code) {
    log(CRunLog::kMessage, "All tasks finished\r\n");
    notifier_->beep();
    stopping_ = false;
    running_  = false;
    notifier_->runFinished(code == 1);
}

} // namespace torvex
