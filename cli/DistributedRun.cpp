#include "DistributedRun.h"

#include "EngineSession.h"
#include "ErrorOutput.h"
#include "ExitStatus.h"
#include "MpiSession.h"
#include "ProgressLine.h"
#include "ReportOutput.h"
#include "ScriptFile.h"
#include "ScriptLoading.h"
#include "SignalWatch.h"
#include "UserShare.h"
#include "torvexcore.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How often the processes exchange their progress and stop requests.
constexpr milliseconds kExchangeInterval{250};
constexpr milliseconds kPlainLineInterval{5000};

// Loads the script with this process's share of the users. False when it cannot (the message
// is written by this process; the others learn it from the start vote).
bool loadShare(void* testSet, const RunRequest& request, const std::string& script, MpiSession& mpi,
               ErrorOutput& errors, int& allUsers, UserShare& share) {
    if (!loadTestScript(testSet, request, script, errors)) return false;
    TorvexInfo info{};
    GetInfo(testSet, &info);
    allUsers = info.users;
    share    = shareOf(allUsers, mpi.size(), mpi.rank());
    return share.count == 0 ||
           (ParseGeneralParam(testSet, "clients", std::to_string(share.count).c_str()) &&
            ParseGeneralParam(testSet, "firstuser", std::to_string(share.first).c_str()));
}

// What every process tells the others while the run goes on.
enum Figure { kDone, kErrors, kTotal, kRunning, kStop, kCompleted, kFigures };

// Runs this process's share on a worker thread while this thread exchanges the figures with the
// others: rank 0 shows their sum, and a stop asked for anywhere aborts every process. Returns the
// figures summed over all processes at the end.
std::array<long long, kFigures> runTogether(void* testSet, bool hasUsers, MpiSession& mpi,
                                            SignalWatch& signals, ErrorOutput& errors) {
    std::atomic<bool> finished{!hasUsers};
    std::atomic<int> completed{0};
    mpi.barrier();
    std::thread worker;
    if (hasUsers) {
        worker = std::thread([&] {
            completed = RunTest(testSet);
            finished  = true;
        });
    }

    const bool terminal             = mpi.rank() == 0 && isatty(STDERR_FILENO);
    const Clock::time_point start   = Clock::now();
    Clock::time_point nextPlainLine = start + kPlainLineInterval;
    bool aborted                    = false;
    std::array<long long, kFigures> all{};
    for (;;) {
        std::this_thread::sleep_for(kExchangeInterval);
        TorvexProgress progress{};
        if (hasUsers) GetRunProgress(testSet, &progress);
        const bool done = finished.load();
        all = mpi.sum<kFigures>({progress.done, progress.errors, hasUsers ? progress.total : 0,
                                 done ? 0 : 1, signals.stopRequested() ? 1 : 0,
                                 done && completed.load() ? 1 : 0});
        if (all[kStop] > 0 && !aborted) {
            if (mpi.rank() == 0) errors.message("Stopping the run on every process...");
            if (hasUsers) AbortRun(testSet);
            aborted = true;
        }
        if (all[kRunning] == 0) break;
        if (mpi.rank() != 0) continue;
        const Clock::time_point now = Clock::now();
        TorvexProgress sum{static_cast<int32_t>(all[kDone]), static_cast<int32_t>(all[kErrors]),
                           static_cast<int32_t>(all[kTotal]), 1};
        std::string line =
            ProgressLine::text(sum, std::chrono::duration_cast<milliseconds>(now - start));
        if (terminal) {
            errors.setStatus(std::move(line));
        } else if (now >= nextPlainLine) {
            errors.message(line);
            nextPlainLine += kPlainLineInterval;
        }
    }
    if (worker.joinable()) worker.join();
    if (terminal) errors.clearStatus();
    return all;
}

// Rank 0: a test set loaded like the parts but with every user, into which the parts' results
// are merged. False after a message.
bool mergeParts(void* merged, const RunRequest& request, const std::string& script,
                const std::vector<std::string>& parts, ErrorOutput& errors) {
    if (!loadTestScript(merged, request, script, errors)) return false;
    std::vector<const char*> blocks;
    std::vector<int> sizes;
    for (const std::string& part : parts) {
        if (part.empty()) continue; // a process without users
        blocks.push_back(part.data());
        sizes.push_back(static_cast<int>(part.size()));
    }
    if (!MergeRunResults(merged, blocks.data(), sizes.data(), static_cast<int>(blocks.size()))) {
        errors.message("The results of the processes could not be merged");
        return false;
    }
    return true;
}

std::string exportedResults(void* testSet, bool hasUsers) {
    char* data = nullptr;
    int size   = 0;
    if (!hasUsers || !ExportRunResults(testSet, &data, &size)) return {};
    std::string block(data, static_cast<std::size_t>(size));
    FreeRunResults(data);
    return block;
}

} // namespace

int runDistributedScript(const RunRequest& request) {
    SignalWatch signals; // first, so that every thread started later leaves the signals to it
    MpiSession mpi;
    ErrorOutput errors;

    std::optional<std::string> script = readScriptFile(request.file);
    ReportOutput report;
    EngineSession engine(errors);
    void* testSet = engine.testSet();
    int allUsers  = 0;
    UserShare share;
    bool ready = true;
    if (!script) {
        errors.message("Cannot open file " + request.file);
        ready = false;
    } else {
        ready = loadShare(testSet, request, *script, mpi, errors, allUsers, share) &&
                (mpi.rank() != 0 || report.open(request.reportFile, errors));
    }
    // Nobody starts unless everybody can: a process missing the file would leave the others
    // waiting for it forever.
    const long long unready = mpi.sum<1>({ready ? 0 : 1})[0];
    if (unready > 0) {
        if (ready && mpi.rank() == 0)
            errors.message("torvex-run: " + std::to_string(unready) +
                           " process(es) could not load " + request.file);
        return exit_status::kUsage;
    }
    if (mpi.rank() == 0)
        errors.message("Running " + std::to_string(allUsers) + " virtual users on " +
                       std::to_string(mpi.size()) + " processes");

    const bool hasUsers = share.count > 0;
    const std::array<long long, kFigures> all =
        runTogether(testSet, hasUsers, mpi, signals, errors);
    const std::vector<std::string> parts = mpi.gatherToFirst(exportedResults(testSet, hasUsers));

    int status = exit_status::kFailed;
    if (mpi.rank() == 0) {
        void* merged        = CreateTestSet(0);
        const bool reported = merged && mergeParts(merged, request, *script, parts, errors) &&
                              report.writeRunReport(merged, errors);
        FreeTestSet(merged);
        const bool clean = all[kCompleted] > 0 && all[kErrors] == 0 && all[kStop] == 0;
        status           = reported && clean ? exit_status::kClean : exit_status::kFailed;
    }
    return mpi.broadcastFromFirst(status);
}
