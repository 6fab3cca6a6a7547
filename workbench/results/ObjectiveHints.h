#pragma once

#include <string>

namespace torvex {

// What to look at in the results for a scenario's testing objective (0 "Capacity" to 6
// "Scalability/Benchmarking"): paragraphs separated by CR LF CR LF. Empty for any other id.
std::string GetObjectiveResultsText(int objectiveId);

} // namespace torvex
