#pragma once

#include "results/GraphModel.h"

#include <string>

namespace torvex {

// Pieces shared by the request graph and the batch graphs.

// Microseconds of the timings to the milliseconds shown.
inline constexpr double kMsPerMicrosecond = 0.001;

// A chart with no series and the label formats every chart uses.
GraphChart startChart();
// "Number of virtual users = %d" with userCount, or "Number of iterations = %d" with
// iterationCount.
std::string countCaption(const CResultsStore& record, bool users);
// The records that are there: a list built elsewhere may hold empty references.
ResultsList presentRecords(const ResultsList& list);
// The largest y of every series, 0 when none is above it.
double largestY(const GraphChart& chart);
// The x axis of a batch graph: the batch value of the first record to the largest one.
void applyBatchX(GraphAxis& x, const ResultsList& records);

} // namespace torvex
