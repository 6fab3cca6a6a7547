#include "DistributedRun.h"

#include "EngineSession.h"
#include "ErrorOutput.h"
#include "ExitStatus.h"
#include "MpiRunDistribution.h"
#include "MpiSession.h"
#include "ProgressLine.h"
#include "ReportOutput.h"
#include "ScenarioRun.h"
#include "ScriptFile.h"
#include "ScriptLoading.h"
#include "SignalWatch.h"
#include "model/ScenarioFile.h"
#include "torvexcore.h"

#include <optional>
#include <string>

#include <unistd.h>

namespace {

// Whether every process can start; rank 0 tells how many cannot.
bool allReady(MpiSession& mpi, bool ready, const std::string& file, ErrorOutput& errors) {
    const long long unready = mpi.sum<1>({ready ? 0 : 1})[0];
    if (unready > 0 && ready && mpi.rank() == 0)
        errors.message("torvex-run: " + std::to_string(unready) + " process(es) could not load " +
                       file);
    return unready == 0;
}

int runScript(const RunRequest& request, SignalWatch& signals, MpiSession& mpi,
              ErrorOutput& errors) {
    MpiRunDistribution distribution(mpi, errors);
    std::optional<std::string> script = readScriptFile(request.file);
    ReportOutput report;
    EngineSession engine(errors);
    void* testSet = engine.testSet();
    bool ready    = false;
    if (!script) {
        errors.message("Cannot open file " + request.file);
    } else if (loadTestScript(testSet, request, *script, errors)) {
        TorvexInfo info{};
        GetInfo(testSet, &info);
        ready = distribution.shareUsers(testSet, info.users) &&
                (mpi.rank() != 0 || report.open(request.reportFile, errors));
    }
    if (!allReady(mpi, ready, request.file, errors)) return exit_status::kUsage;
    if (mpi.rank() == 0)
        errors.message("Running " + std::to_string(distribution.allUsers()) + " virtual users on " +
                       std::to_string(mpi.size()) + " processes");

    torvex::RunDistribution::Outcome outcome;
    {
        // Rank 0 alone shows the progress of all processes.
        std::optional<ProgressLine> progress;
        if (mpi.rank() == 0)
            progress.emplace([&](TorvexProgress& p) { return distribution.latest(p); }, errors,
                             isatty(STDERR_FILENO));
        outcome = distribution.runTogether(testSet, [&] { return signals.stopRequested(); }, {});
    }
    void* whole = distribution.wholeRun(testSet);
    int status  = exit_status::kFailed;
    if (mpi.rank() == 0) {
        const bool reported = whole && report.writeRunReport(whole, errors);
        const bool clean =
            outcome.completed == 1 && !outcome.stopped && distribution.allErrors() == 0;
        status = reported && clean ? exit_status::kClean : exit_status::kFailed;
    }
    return mpi.broadcastFromFirst(status);
}

} // namespace

int runDistributed(const RunRequest& request) {
    SignalWatch signals; // first, so that every thread started later leaves the signals to it
    MpiSession mpi;
    ErrorOutput errors;
    if (!torvex::isScenarioFile(request.file)) return runScript(request, signals, mpi, errors);

    MpiRunDistribution distribution(mpi, errors);
    const DistributedPart part{
        distribution, mpi.rank() == 0,
        [&](bool ready) { return allReady(mpi, ready, request.file, errors); },
        [&](int status) { return mpi.broadcastFromFirst(status); },
        [&](TorvexProgress& p) { return distribution.latest(p); }};
    return runScenarioPart(request, signals, errors, &part);
}
