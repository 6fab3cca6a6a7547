#pragma once

namespace torvex {

class CTestSet;

// The last run's results of one user in the form they were kept (see GetResults in
// torvexcore.h): the timings rows, the script row, or the aggregate over all users. The memory
// belongs to the test set (timings) or to the engine (script row, aggregates) and is reused by
// the next call. Null when there are no results or the user does not exist.
void* resultsOf(CTestSet& testSet, int user);

// Frees the engine-wide buffers of resultsOf.
void releaseResultBuffers();

} // namespace torvex
