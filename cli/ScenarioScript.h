#pragma once

#include <string>

namespace torvex {
class CScenario;
}

// Prints the test script that the scenario file `path` generates with the user's global
// settings. Returns the exit status: 0, 1 when a request cannot be generated, 2 when the file
// cannot be read or is damaged.
int printScenarioScript(const std::string& path);

// The first request that cannot become part of a test script (it has no method), by name.
std::string requestWithoutMethod(const torvex::CScenario& scenario);
