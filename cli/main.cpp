// torvex-run: the console runner of the Torvex load engine.

#include "DistributedRun.h"
#include "ExitStatus.h"
#include "GraphOutput.h"
#include "HelpText.h"
#include "RunCommand.h"
#include "ScenarioRun.h"
#include "ScenarioScript.h"
#include "ScriptCheck.h"
#include "model/ScenarioFile.h"
#include "torvexcore.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <string>

namespace {

void printVersion() {
    char version[64];
    GetCoreVersion(version);
    std::printf("%s\n", version);
}

// --results and --graphs keep the results list of a scenario's runs, which a test script's run
// does not make. Returns 0 when neither is given.
int refuseScenarioOptions(const RunRequest& run) {
    for (const auto& [option, value] :
         {std::pair{"--results", &run.resultsFile}, std::pair{"--graphs", &run.graphsFolder}}) {
        if (value->empty()) continue;
        std::fprintf(stderr, "%s needs a scenario file; %s is a test script.\n", option,
                     run.file.c_str());
        return exit_status::kUsage;
    }
    return 0;
}

int startDistributedRun(const RunRequest& run) {
#ifdef TORVEX_WITH_MPI
    if (!torvex::isScenarioFile(run.file)) {
        if (int status = refuseScenarioOptions(run)) return status;
    }
    return runDistributed(run);
#else
    (void)run;
    std::fputs("--mpi: this torvex-run was built without MPI (install libopenmpi-dev and "
               "build again).\n",
               stderr);
    return exit_status::kUsage;
#endif
}

// Starts the run from what CLI11 left over: FILE and everything after it, or an option it did not
// know before FILE. A "--" lets a file name that starts with '-' through.
int startRun(std::vector<std::string> rest, RunRequest& run) {
    bool marked = !rest.empty() && rest.front() == "--";
    if (marked) rest.erase(rest.begin());
    if (rest.empty()) {
        std::fputs("A test script FILE to run is missing.\n", stderr);
        return exit_status::kUsage;
    }
    if (!marked && rest.front().size() > 1 && rest.front()[0] == '-') {
        std::fprintf(stderr, "Unknown option: %s\nRun with --help for more information.\n",
                     rest.front().c_str());
        return exit_status::kUsage;
    }
    run.file = rest.front();
    run.engineArguments.assign(rest.begin() + 1, rest.end());
    if (isResultsFileName(run.file) && !torvex::isScenarioFile(run.file)) {
        if (!run.graphsFolder.empty()) return drawResultsFile(run);
        std::fprintf(stderr, "%s is a results file: draw its graphs with --graphs DIR.\n",
                     run.file.c_str());
        return exit_status::kUsage;
    }
    if (run.distributed) return startDistributedRun(run);
    if (torvex::isScenarioFile(run.file)) return runScenario(run);
    if (int status = refuseScenarioOptions(run)) return status;
    return runTestScript(run);
}

int runMain(int argc, char** argv) {
    CLI::App app{"Torvex console runner: runs load tests headless.", "torvex-run"};
    describeUsage(app);
    // Everything from the first plain argument (FILE) on is left alone: the engine reads
    // "-host=a=b" and "/port=8080" itself, and CLI11 would take "-h..." for --help.
    app.prefix_command();

    bool showVersion = false;
    std::string checkFile;
    std::string scenarioFile;
    RunRequest run;
    CLI::Option* versionFlag =
        app.add_flag("-V,--version", showVersion, "Print the engine version and exit");
    app.add_option("--check", checkFile, "Load the test script FILE, report whether it is valid")
        ->type_name("FILE")
        ->excludes(versionFlag);
    app.add_option("--script", scenarioFile,
                   "Print the test script that the scenario FILE.tvs generates with your settings")
        ->type_name("FILE.tvs")
        ->excludes(versionFlag)
        ->excludes("--check");
    app.add_option("--set", run.settings,
                   "Set a general option of the run, over the script's own value (repeatable)")
        ->type_name("NAME=VALUE")
        ->allow_extra_args(false);
    app.add_option("--report", run.reportFile,
                   "Write the text report to FILE instead of standard output")
        ->type_name("FILE");
    app.add_flag("--mpi", run.distributed,
                 "Run as one process of an MPI job started with mpirun: the users are shared out "
                 "and rank 0 writes the one report");
    app.add_option("--results", run.resultsFile,
                   "Save the results of a scenario's runs to FILE.rlt for the workbench")
        ->type_name("FILE.rlt");
    app.add_option("--graphs", run.graphsFolder,
                   "Draw the graphs of a scenario's runs, or of FILE.rlt, as PNG files in DIR")
        ->type_name("DIR");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? exit_status::kClean : exit_status::kUsage;
    }

    std::vector<std::string> rest = app.remaining();
    bool otherCommand             = showVersion || app.count("--check") || app.count("--script");
    bool runArguments             = !rest.empty() || app.count("--set") || app.count("--report") ||
                        app.count("--results") || app.count("--graphs") || app.count("--mpi");
    if (otherCommand && runArguments) {
        std::fputs("--version, --check and --script run no test: FILE, --set, --report, "
                   "--results and --graphs do not go with them.\n",
                   stderr);
        return exit_status::kUsage;
    }
    if (showVersion) {
        printVersion();
        return 0;
    }
    if (app.count("--check")) return checkScript(checkFile);
    if (app.count("--script")) return printScenarioScript(scenarioFile);
    if (!runArguments) {
        std::fputs(app.help().c_str(), stdout);
        return 0;
    }
    return startRun(rest, run);
}

} // namespace

int main(int argc, char** argv) {
    try {
        return runMain(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "torvex-run: %s\n", e.what());
        return exit_status::kFailed;
    }
}
