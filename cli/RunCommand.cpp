#include "RunCommand.h"

#include "EngineSession.h"
#include "ErrorOutput.h"
#include "ExitStatus.h"
#include "ProgressLine.h"
#include "ReportOutput.h"
#include "ScriptFile.h"
#include "SignalWatch.h"
#include "torvexcore.h"

#include <filesystem>
#include <optional>

#include <unistd.h>

namespace {

// The plain argument that names the test (the last one, as the engine takes it), otherwise the
// file's base name: "shop" for "tests/shop.tvt".
std::string testName(const RunRequest& request) {
    std::string name = std::filesystem::path(request.file).stem().string();
    for (const std::string& argument : request.engineArguments)
        if (argument.empty() || (argument[0] != '-' && argument[0] != '/')) name = argument;
    return name;
}

// Global variables for $gvar and the test name; element 0 is the program, as the engine expects.
bool applyCommandLine(void* testSet, const RunRequest& request) {
    std::vector<std::string> arguments{"torvex-run"};
    arguments.insert(arguments.end(), request.engineArguments.begin(),
                     request.engineArguments.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    return ParseCommandLine(testSet, static_cast<int>(argv.size()), argv.data());
}

// The --set options, after the script so that they win over its [general] section. The engine
// explains a bad value but says nothing about an unknown name, hence the message of our own.
bool applySettings(void* testSet, const RunRequest& request, ErrorOutput& errors) {
    for (const std::string& setting : request.settings) {
        std::size_t equals = setting.find('=');
        if (equals == std::string::npos) {
            errors.message("--set " + setting + ": NAME=VALUE expected");
            return false;
        }
        std::string name = setting.substr(0, equals);
        if (!ParseGeneralParam(testSet, name.c_str(), setting.c_str() + equals + 1)) {
            errors.message("--set " + setting + ": not a general option, or a value it refuses");
            return false;
        }
    }
    return true;
}

int appendPiece(void* text, const char* piece) {
    static_cast<std::string*>(text)->append(piece);
    return 0;
}

// Runs the loaded test with the progress display; a first SIGINT or SIGTERM stops it. Returns
// whether it completed without errors or a stop.
bool runLoad(void* testSet, SignalWatch& signals, ErrorOutput& errors) {
    signals.setStopAction([&] {
        errors.message("Stopping the run... (once more to quit at once)");
        AbortRun(testSet);
    });
    int completedAny = 0;
    {
        ProgressLine progress(testSet, errors, isatty(STDERR_FILENO));
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
    // The command line comes first so that $gvar in the script sees its variables.
    if (!applyCommandLine(testSet, request)) return exit_status::kUsage;
    // The report, the results file name (%n) and the user logs are named after the project;
    // unless the script or --set names one, it is the test.
    ParseGeneralParam(testSet, "projectname", testName(request).c_str());
    if (!ParseTest(testSet, testName(request).c_str(), script->c_str())) {
        errors.message(request.file + ": not a valid test script");
        return exit_status::kUsage;
    }
    if (!applySettings(testSet, request, errors)) return exit_status::kUsage;
    // A stop asked for before the run began would be lost: RunTest clears the engine's flag.
    if (signals.stopRequested()) {
        errors.message("Stopped before the run began");
        return exit_status::kFailed;
    }

    bool clean = runLoad(testSet, signals, errors);
    std::string text;
    SaveResults(testSet, &text, &appendPiece, nullptr);
    bool reported = report.write(text, errors);
    // Writes nothing without "reportdir"; the engine reports a file it cannot open itself.
    SaveResultsToFile(testSet, text.c_str());
    return clean && reported ? exit_status::kClean : exit_status::kFailed;
}
