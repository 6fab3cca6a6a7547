#pragma once

#include "ErrorOutput.h"
#include "RunCommand.h"

#include <string>

// The test named on the command line (the last plain argument after FILE), otherwise the file's
// base name: "shop" for "tests/shop.tvt".
std::string testName(const RunRequest& request);

// Loads `script` into `testSet` as a run of `request` needs it: the command line's global
// variables first (so that $gvar in the script sees them), the project named after the test
// unless the script names one, the script, then the --set options over it. False after a message.
bool loadTestScript(void* testSet, const RunRequest& request, const std::string& script,
                    ErrorOutput& errors);
