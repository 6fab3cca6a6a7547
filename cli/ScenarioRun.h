#pragma once

#include "ProgressLine.h"
#include "RunCommand.h"

#include <functional>

// Runs a scenario file as the workbench's Run Test command does: the user's global settings, the
// checks before a run, the generated test script, then a single run or a batch. The run log goes
// to standard error, each run's report to standard output (or the --report file), and --results
// saves the results list. Returns an exit status (ExitStatus.h).
int runScenario(const RunRequest& request);

class ErrorOutput;
class SignalWatch;
namespace torvex {
class RunDistribution;
}

// What one process of a run spread over several adds to running a scenario.
struct DistributedPart {
    torvex::RunDistribution& distribution;
    bool speaks; // shows the log, writes the reports and the results file (rank 0)
    // Whether every process is ready to run, given this one's readiness.
    std::function<bool(bool ready)> allReady;
    // The exit status of the whole run, the same on every process.
    std::function<int(int status)> commonStatus;
    // The progress of all processes, for the progress line.
    ProgressSource progress;
};

// runScenario with the caller's signal watch and error output; `part` for a process of a
// distributed run, null otherwise.
int runScenarioPart(const RunRequest& request, SignalWatch& signals, ErrorOutput& errors,
                    const DistributedPart* part);
