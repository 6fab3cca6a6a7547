#pragma once

#include <string>
#include <vector>

// What "torvex-run [options] FILE [-name=value ...] [testname]" asks for; FILE is a test script
// or a scenario file.
struct RunRequest {
    std::string file;                         // the test script
    std::vector<std::string> engineArguments; // everything after FILE, for the engine as it stands
    std::vector<std::string> settings;        // "--set name=value", applied after the script
    std::string reportFile;                   // "--report"; empty for standard output
    std::string resultsFile;                  // "--results": the results list of a scenario run
    std::string graphsFolder;                 // "--graphs": pictures of a scenario run's results
    bool distributed = false;                 // "--mpi": one process of an MPI job
};

// Runs the test script as a load test: the engine's messages and the progress go to standard
// error, the text report to standard output or the report file, and the results file is written
// where the options "reportdir" and "outfile" say. Returns an exit status (ExitStatus.h).
int runTestScript(const RunRequest& request);
