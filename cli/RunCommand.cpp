#include "RunCommand.h"

#include "EngineSession.h"
#include "ErrorOutput.h"
#include "ExitStatus.h"
#include "ProgressLine.h"
#include "ReportOutput.h"
#include "ScriptFile.h"
#include "ScriptLoading.h"
#include "SignalWatch.h"
#include "torvexcore.h"

#include <optional>

#include <unistd.h>

namespace {

// Runs the loaded test with the progress display; a first SIGINT or SIGTERM stops it. Returns
// whether it completed without errors or a stop.
bool runLoad(void* testSet, SignalWatch& signals, ErrorOutput& errors) {
    signals.setStopAction([&] {
        errors.message("Stopping the run... (once more to quit at once)");
        AbortRun(testSet);
    });
    int completedAny = 0;
    {
        ProgressLine progress(progressOf(testSet), errors, isatty(STDERR_FILENO));
        completedAny = RunTest(testSet);
    }
    signals.setStopAction({});
    TorvexProgress progress{};
    GetRunProgress(testSet, &progress);
    return completedAny && progress.errors == 0 && !signals.stopRequested();
}

} // namespace

int runTestScript(const RunRequest& request) {
    SignalWatch signals; // first, so that every thread started later leaves the signals to it
    ErrorOutput errors;

    std::optional<std::string> script = readScriptFile(request.file);
    if (!script) {
        errors.message("Cannot open file " + request.file);
        return exit_status::kUsage;
    }
    ReportOutput report;
    if (!report.open(request.reportFile, errors)) return exit_status::kUsage;

    EngineSession engine(errors);
    void* testSet = engine.testSet();
    if (!loadTestScript(testSet, request, *script, errors)) return exit_status::kUsage;
    // A stop asked for before the run began would be lost: RunTest clears the engine's flag.
    if (signals.stopRequested()) {
        errors.message("Stopped before the run began");
        return exit_status::kFailed;
    }

    bool clean    = runLoad(testSet, signals, errors);
    bool reported = report.writeRunReport(testSet, errors);
    return clean && reported ? exit_status::kClean : exit_status::kFailed;
}
