#pragma once

#include "results/ResultsContainer.h"
#include "runner/BatchCycle.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace torvex {

class CRunLog;
class CScenario;
class RunDistribution;
class RunNotifier;
struct CRunSection;

// How the runs of one Run Test command follow each other.
struct BatchSettings {
    int batchRun         = 0; // 0 one run, 1 a batch
    int batchBy          = 0; // 0 users, 1 iterations
    int batchFrom        = 0;
    int batchTo          = 0;
    int batchStep        = 0;
    int pauseBetweenRuns = 0;
    int pauseSeconds     = 0;

    static BatchSettings of(const CRunSection& run);
};

// The run controller: drives the engine for the program, one single run or batch at a time, on a
// worker thread. It writes the run log, reports progress, collects each run's results into its
// results list and tells a RunNotifier what happened. One exists per process; the engine's output
// and progress callbacks are process-wide and point at it between Initialize and Shutdown.
class CTestRunner {
public:
    CTestRunner() = default;
    ~CTestRunner(); // shuts down if the program did not
    CTestRunner(const CTestRunner&)            = delete;
    CTestRunner& operator=(const CTestRunner&) = delete;

    // Starts the engine and takes its callbacks; `notifier` must outlive Shutdown.
    void Initialize(RunNotifier& notifier);
    // Stops a run, frees the test set and the engine.
    void Shutdown();

    // Spreads the runs over processes that run them together; none (the default) for runs of
    // this process alone. Set it before StartRun; it must outlive the run.
    void SetDistribution(RunDistribution* distribution) { distribution_ = distribution; }
    // Where log lines go; none drops them. The scenario attaches its run log at every start.
    void SetLogTarget(CRunLog* log);

    // Loads `script` into a fresh test set and starts the worker. False, without a worker, when a
    // run is going on, the engine refuses the script (its messages are in the run log) or no
    // thread can be started.
    bool StartRun(const std::string& script, const std::string& testName,
                  const BatchSettings& batch, const CScenario& scenario);
    // Asks the run to stop and waits until the worker has finished.
    void StopRun();
    // Asks the run to stop without waiting, e.g. from a signal watcher while the run goes on (not
    // while StartRun or Shutdown run on another thread).
    void RequestStop();

    bool running() const { return running_.load(); }
    CResultsContainer& results() { return results_; }
    // The current test set, kept after a run so that its data can be read; null before the first.
    void* testSet() const { return testSet_; }

    // The engine's callbacks; `context` is the controller.
    static int onOutput(void* context, const char* text);
    static void onProgress(void* context, int done, int total);

private:
    void log(int level, const std::string& text);
    void work();
    int runBatch();
    bool setBatchVariable(int value);
    void applyPerRunOverrides(int users);
    bool pauseBeforeNextRun();
    int runOnce(bool& stopped);
    void collectRun(const std::string& runTitle);
    void finish(int code);

    CResultsContainer results_;
    RunNotifier* notifier_         = nullptr;
    RunDistribution* distribution_ = nullptr;
    void* testSet_                 = nullptr;
    std::string testName_;
    std::atomic<bool> running_{false};
    std::atomic<bool> stopping_{false};
    std::thread worker_;

    std::mutex logLock_;
    CRunLog* logTarget_ = nullptr;

    // Wakes the pause between runs when a stop is asked for.
    std::mutex pauseLock_;
    std::condition_variable pauseWake_;

    int batchNumber_ = 0;
    BatchSettings batch_;
    int current_ = 0;
    LoadLimits limits_;
};

} // namespace torvex
