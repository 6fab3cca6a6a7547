#pragma once

#include <ctime>
#include <string>

namespace torvex {

class CTestSet;

// Expands the "outfile" template for the given local time: %c clients, %d day, %m month,
// %t hhmmss, %y year, %f test name without folders, %n the same without extension, %p port,
// %r iterations, %s server, %% a percent sign. Unknown macros are dropped with a warning.
std::string resultsFileName(const CTestSet& testSet, const std::tm& now);

// Writes `text` into the results file in "reportdir" (appending with "appendresult").
// Returns false when nothing was written.
bool saveResultsToFile(const CTestSet& testSet, const char* text);

} // namespace torvex
