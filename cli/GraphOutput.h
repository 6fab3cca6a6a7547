#pragma once

#include "RunCommand.h"

#include <string>

class ErrorOutput;
namespace torvex {
class CResultsContainer;
}

// Draws every graph of the results list (each request's times, and a batch's six graphs) into
// PNG files in `folder`, and says on standard error how many and where. Returns false after
// telling why when the pictures cannot be made or written.
bool writeGraphs(const torvex::CResultsContainer& results, const std::string& folder,
                 ErrorOutput& errors);

// Whether FILE names a results file (".rlt"), which is drawn rather than run.
bool isResultsFileName(const std::string& path);

// "torvex-run --graphs DIR FILE.rlt": the graphs of saved results, without running anything.
// Returns an exit status (ExitStatus.h).
int drawResultsFile(const RunRequest& request);
