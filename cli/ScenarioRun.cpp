#include "ScenarioRun.h"

#include "ConsoleRunNotifier.h"
#include "ErrorOutput.h"
#include "ExitStatus.h"
#include "GraphOutput.h"
#include "ReportOutput.h"
#include "ScenarioScript.h"
#include "SignalWatch.h"
#include "UserSettings.h"
#include "model/Scenario.h"
#include "model/ScenarioFile.h"
#include "runner/RunChecks.h"
#include "runner/TestRunner.h"

#include <cstdio>
#include <memory>

#include <unistd.h>

namespace {

// The Run Test command's checks; the console has nobody to ask, so timings that would not fit
// into memory are switched off with a warning, as answering "Yes" does.
bool prepare(torvex::CScenario& scenario, const std::string& path,
             const torvex::GlobalSettingsValues& settings, ErrorOutput& errors) {
    if (std::optional<torvex::RunCheckFailure> failure = torvex::checkBeforeRun(scenario)) {
        errors.message(path + ": " + failure->message);
        return false;
    }
    std::string script;
    if (scenario.run.saveTimings && scenario.generateScript(settings, script) &&
        torvex::timingsExceedMemory(script)) {
        errors.message(path + ": the request timings of this run would not fit into the " +
                       "available memory; they are not saved.");
        scenario.run.saveTimings = 0;
    }
    return true;
}

bool saveResults(torvex::CTestRunner& runner, const std::string& path, ErrorOutput& errors) {
    if (path.empty()) return true;
    std::string error;
    if (runner.results().SaveToFile(path, error)) return true;
    errors.message(error);
    return false;
}

bool everyRunWithoutErrors(torvex::CResultsContainer& results) {
    for (int i = 0; i < results.GetCount(); ++i)
        if (results.GetAt(i)->errorCount != 0) return false;
    return results.GetCount() > 0;
}

} // namespace

int runScenario(const RunRequest& request) {
    SignalWatch signals; // first, so that every thread started later leaves the signals to it
    ErrorOutput errors;
    return runScenarioPart(request, signals, errors, nullptr);
}

int runScenarioPart(const RunRequest& request, SignalWatch& signals, ErrorOutput& errors,
                    const DistributedPart* part) {
    const torvex::GlobalSettingsValues settings = userSettings();
    torvex::CScenario scenario;
    std::string script;
    ReportOutput report;
    auto ready = [&] {
        if (!request.engineArguments.empty() || !request.settings.empty()) {
            errors.message(request.file + " is a scenario: -name=value arguments, a test name " +
                           "and --set apply to test scripts only.");
            return false;
        }
        std::string error;
        if (!torvex::openScenarioFile(scenario, request.file, error)) {
            errors.message(error);
            return false;
        }
        scenario.general.projectName = documentTitle(request.file);
        if (!prepare(scenario, request.file, settings, errors)) return false;
        // As in the workbench, a request that cannot be written leaves the script without
        // request definitions; the engine then explains what is missing.
        if (!scenario.generateScript(settings, script))
            errors.message(request.file + ": request " + requestWithoutMethod(scenario) +
                           " has neither GET nor POST as its method");
        return !(part && !part->speaks) ? report.open(request.reportFile, errors) : true;
    }();
    // Processes running together start only when every one of them can.
    if (part ? !part->allReady(ready) : !ready) return exit_status::kUsage;

    // Only the process that speaks for a distributed run shows its log and reports.
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> nowhere(
        part && !part->speaks ? std::fopen("/dev/null", "w") : nullptr, &std::fclose);
    ErrorOutput quiet(nowhere ? nowhere.get() : stderr);
    ErrorOutput& shown = nowhere ? quiet : errors;
    torvex::CTestRunner runner;
    ConsoleRunNotifier notifier(runner, scenario.log, shown, report,
                                &shown == &errors && isatty(STDERR_FILENO),
                                part ? part->progress : ProgressSource{});
    runner.Initialize(notifier);
    // The runner lets go of the notifier before it goes, however this function is left.
    struct Shutdown {
        torvex::CTestRunner& runner;
        ~Shutdown() { runner.Shutdown(); }
    } shutdown{runner};
    runner.SetLogTarget(&scenario.log);
    if (part) runner.SetDistribution(&part->distribution);
    if (!runner.StartRun(script, scenario.general.projectName,
                         torvex::BatchSettings::of(scenario.run), scenario)) {
        errors.message(request.file + ": the engine did not accept the scenario's test script");
        return exit_status::kUsage;
    }
    signals.setStopAction([&] {
        errors.message("Stopping the run... (once more to quit at once)");
        runner.RequestStop();
    });
    if (signals.stopRequested()) runner.RequestStop(); // a signal before the action was set
    bool interrupted = notifier.waitUntilFinished();
    signals.setStopAction({});

    const bool speaks = !part || part->speaks;
    bool saved        = !speaks || saveResults(runner, request.resultsFile, errors);
    if (speaks && !request.graphsFolder.empty())
        saved = writeGraphs(runner.results(), request.graphsFolder, errors) && saved;
    bool clean =
        !interrupted && !signals.stopRequested() && everyRunWithoutErrors(runner.results());
    int status =
        clean && saved && notifier.reportsWritten() ? exit_status::kClean : exit_status::kFailed;
    return part ? part->commonStatus(status) : status;
}
