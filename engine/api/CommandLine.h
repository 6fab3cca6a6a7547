#pragma once

namespace torvex {

class CTestSet;

// Takes -name=value and /name=value as global variables (the last value of a name wins) and a
// plain argument as the test name. argv[0] is skipped. Stops with 0 at an option without '='.
int parseCommandLine(CTestSet& testSet, int argc, const char* const* argv);

} // namespace torvex
