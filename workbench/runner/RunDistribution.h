#pragma once

#include <functional>

namespace torvex {

// How the run controller's runs are spread over several processes that run the same scenario
// together (torvex-run --mpi), each with a share of the virtual users. Every process calls the
// same operations in the same order, from its controller's worker thread (shareUsers also from
// StartRun): each one may wait for the other processes.
class RunDistribution {
public:
    virtual ~RunDistribution() = default;

    // Gives this process its share of `users` virtual users on the test set. False when the test
    // set refused it.
    virtual bool shareUsers(void* testSet, int users) = 0;
    // Whether every process goes on with the next run: false when a stop was asked for on any of
    // them (`stopHere` on this one).
    virtual bool allGoOn(bool stopHere) = 0;

    struct Outcome {
        int completed = 0;     // RunTest's result for the whole run: 1 when every share completed
        bool stopped  = false; // a stop was asked for on some process while it ran
    };
    // Runs the test set together with the other processes: they start at once, `stopHere` is
    // asked a few times a second, a stop on any process aborts the run on all, and `progress`
    // receives the requests done, failed and expected of all processes (on the process that
    // shows them).
    virtual Outcome
    runTogether(void* testSet, const std::function<bool()>& stopHere,
                const std::function<void(int done, int errors, int total)>& progress) = 0;
    // After a completed run: the test set whose results describe the whole run on the process
    // that collects them (it stays valid until the next call), null on the others.
    virtual void* wholeRun(void* testSet) = 0;
};

} // namespace torvex
