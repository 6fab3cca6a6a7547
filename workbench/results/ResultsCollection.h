#pragma once

#include "results/ResultsStore.h"

#include <functional>
#include <string>

namespace torvex {

// Where a run stood in a batch.
struct BatchPosition {
    int number = 0;    // the controller's batch counter; 0 for a single run
    int value  = 0;    // the batch variable's value of this run
    std::string label; // "Virtual users" or "Iterations"
    int by = 0;        // 0 users, 1 iterations
};

// A record of the engine test set's last successful run: its report (also stored through
// SaveResultsToFile), summary figures, shape and timings. The title and the run id are left to
// the caller. `reportWritten` is called once the report is made and stored, before the results are
// read. Call it from one thread at a time, after RunTest returned: the engine's result buffers are
// shared.
ResultsRecord collectResults(void* testSet, const BatchPosition& batch,
                             const std::function<void()>& reportWritten = {});

} // namespace torvex
