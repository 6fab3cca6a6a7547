#pragma once

#include "run/TimingWindow.h"

#include <array>
#include <cstdint>
#include <vector>

namespace torvex {

class BlockReader;
class BlockWriter;
class CTestSet;

// The figures of a finished run beside its users' results: when it ran, how long it took, its
// counters, errors by class, responses by status code and the windows its rate is measured over.
struct RunFigures {
    std::int32_t starttime = 0; // calendar seconds
    std::int32_t endtime   = 0;
    std::int32_t elapsed   = 0; // milliseconds
    std::int32_t made      = 0;
    std::int32_t failed    = 0;
    std::int32_t expected  = 0; // -1 when unknown
    std::int32_t sent      = 0;
    std::array<std::int32_t, 4> errors{};
    std::array<std::int32_t, 1000> statuses{};
    std::vector<TimingWindow> windows;
};

RunFigures figuresOf(const CTestSet& testSet);

void writeFigures(BlockWriter& out, const RunFigures& figures);
// Throws BlockError when the figures are cut short, hold negative counts, name a status code
// outside 0-999 or twice, or have no timing window.
RunFigures readFigures(BlockReader& in);

// Adds a part of a run that ran side by side with the others: counts add up, the run lasted as
// long as its longest part, from the earliest start to the latest end.
void addFigures(RunFigures& total, const RunFigures& part);

// Makes the figures the test set's own, as if its last run had produced them. Cannot fail, so a
// merge can build everything first and then commit with this.
void applyFigures(CTestSet& testSet, RunFigures&& figures) noexcept;

} // namespace torvex
