#pragma once

#include "RunCommand.h"

// Runs a scenario file as the workbench's Run Test command does: the user's global settings, the
// checks before a run, the generated test script, then a single run or a batch. The run log goes
// to standard error, each run's report to standard output (or the --report file), and --results
// saves the results list. Returns an exit status (ExitStatus.h).
int runScenario(const RunRequest& request);
