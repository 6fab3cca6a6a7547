#pragma once

#include <string>

// Loads the test script in `path` into a fresh test set to see whether the engine accepts it.
// The engine's messages go to standard error as they arrive; "PATH: OK" goes to standard output
// when the script is good. Returns the exit status of torvex-run: 0 for a good script, 1 for a bad
// one or a file that cannot be read.
int checkScript(const std::string& path);
