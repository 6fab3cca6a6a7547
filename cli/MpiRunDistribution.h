#pragma once

#include "ErrorOutput.h"
#include "MpiSession.h"
#include "UserShare.h"
#include "runner/RunDistribution.h"
#include "torvexcore.h"

#include <mutex>
#include <optional>

// Runs spread over the processes of an MPI job: each process runs its share of the users, they
// start together, exchange their progress and stop requests four times a second, and rank 0
// merges the results of all into its own test set. Only the thread that runs the runs calls it.
class MpiRunDistribution : public torvex::RunDistribution {
public:
    MpiRunDistribution(MpiSession& mpi, ErrorOutput& errors) : mpi_(mpi), errors_(errors) {}

    bool shareUsers(void* testSet, int users) override;
    bool allGoOn(bool stopHere) override;
    Outcome
    runTogether(void* testSet, const std::function<bool()>& stopHere,
                const std::function<void(int done, int errors, int total)>& progress) override;
    void* wholeRun(void* testSet) override;

    int allUsers() const { return allUsers_; }
    // The progress of all processes at the last exchange of the current or last run; false
    // before the first exchange.
    bool latest(TorvexProgress& progress);
    // Errors of the last run, summed over all processes.
    long long allErrors() const { return allErrors_; }

private:
    bool applyShare(void* testSet) const;

    MpiSession& mpi_;
    ErrorOutput& errors_;
    int allUsers_ = 0;
    UserShare share_;
    long long allErrors_ = 0;
    std::mutex latestLock_;
    std::optional<TorvexProgress> latest_;
};
