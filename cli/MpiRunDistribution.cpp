#include "MpiRunDistribution.h"

#include "torvexcore.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// How often the processes exchange their progress and stop requests.
constexpr std::chrono::milliseconds kExchangeInterval{250};

// What every process tells the others while a run goes on.
enum Figure { kDone, kErrors, kTotal, kRunning, kStop, kFailed, kFigures };

std::string exportedResults(void* testSet) {
    char* data = nullptr;
    int size   = 0;
    if (!ExportRunResults(testSet, &data, &size)) return {};
    std::string block(data, static_cast<std::size_t>(size));
    FreeRunResults(data);
    return block;
}

} // namespace

bool MpiRunDistribution::shareUsers(void* testSet, int users) {
    allUsers_ = users;
    share_    = shareOf(users, mpi_.size(), mpi_.rank());
    return applyShare(testSet);
}

// A merged run leaves the test set with every user; the next run needs the share again.
bool MpiRunDistribution::applyShare(void* testSet) const {
    if (share_.count == 0) return true; // this process sits the run out
    return ParseGeneralParam(testSet, "clients", std::to_string(share_.count).c_str()) &&
           ParseGeneralParam(testSet, "firstuser", std::to_string(share_.first).c_str());
}

bool MpiRunDistribution::allGoOn(bool stopHere) {
    return mpi_.sum<1>({stopHere ? 1 : 0})[0] == 0;
}

torvex::RunDistribution::Outcome
MpiRunDistribution::runTogether(void* testSet, const std::function<bool()>& stopHere,
                                const std::function<void(int, int, int)>& progress) {
    const bool hasUsers = share_.count > 0;
    if (hasUsers) applyShare(testSet);
    std::atomic<bool> finished{!hasUsers};
    std::atomic<int> completed{1};
    mpi_.barrier();
    std::thread worker;
    if (hasUsers) {
        worker = std::thread([&] {
            completed = RunTest(testSet);
            finished  = true;
        });
    }
    std::array<long long, kFigures> all{};
    bool announced = false;
    for (;;) {
        std::this_thread::sleep_for(kExchangeInterval);
        TorvexProgress mine{};
        if (hasUsers) GetRunProgress(testSet, &mine);
        const bool done = finished.load();
        all = mpi_.sum<kFigures>({mine.done, mine.errors, hasUsers ? mine.total : 0, done ? 0 : 1,
                                  stopHere() ? 1 : 0, done && completed.load() != 1 ? 1 : 0});
        if (all[kStop] > 0) {
            if (!announced && mpi_.rank() == 0)
                errors_.message("Stopping the run on every process...");
            announced = true;
            // Repeated: the engine forgets an abort that comes just before its run begins.
            if (hasUsers && !done) AbortRun(testSet);
        }
        {
            std::lock_guard guard(latestLock_);
            latest_ =
                TorvexProgress{static_cast<int32_t>(all[kDone]), static_cast<int32_t>(all[kErrors]),
                               static_cast<int32_t>(all[kTotal]), all[kRunning] > 0};
        }
        if (all[kRunning] == 0) break;
        if (mpi_.rank() == 0 && progress)
            progress(static_cast<int>(all[kDone]), static_cast<int>(all[kErrors]),
                     static_cast<int>(all[kTotal]));
    }
    if (worker.joinable()) worker.join();
    allErrors_ = all[kErrors];
    return {all[kFailed] == 0 ? 1 : 0, all[kStop] > 0};
}

bool MpiRunDistribution::latest(TorvexProgress& progress) {
    std::lock_guard guard(latestLock_);
    if (!latest_) return false;
    progress = *latest_;
    return true;
}

void* MpiRunDistribution::wholeRun(void* testSet) {
    const Clock::time_point start = Clock::now();
    const std::vector<std::string> parts =
        mpi_.gatherToFirst(share_.count > 0 ? exportedResults(testSet) : std::string());
    if (mpi_.rank() != 0) return nullptr;

    std::vector<const char*> blocks;
    std::vector<int> sizes;
    for (const std::string& part : parts) {
        if (part.empty()) continue; // a process without users
        blocks.push_back(part.data());
        sizes.push_back(static_cast<int>(part.size()));
    }
    if (!MergeRunResults(testSet, blocks.data(), sizes.data(), static_cast<int>(blocks.size()))) {
        errors_.message("The results of the processes could not be merged");
        return nullptr;
    }
    char line[96];
    std::snprintf(line, sizeof line, "Gathered and merged the results of %d processes in %.1f ms",
                  mpi_.size(),
                  std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    errors_.message(line);
    return testSet;
}
