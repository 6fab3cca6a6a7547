#pragma once

#include "torvexcore.h"

#include <cstdint>

namespace torvex {

class CTestSet;

// The summary of a report as SaveResults hands it to its caller (32 bytes).
struct ReportSummary {
    std::int32_t requestsPerSecond; // total average requests per second x 1000
    std::int32_t msPerRequest;      // average milliseconds per request in the timing window x 1000
    double serverBandwidth;         // bytes per millisecond sent and received by all users
    double userBandwidth;           // the same per user
    std::int32_t totalRequests;     // requests made by all users
    std::int32_t totalErrors;       // errors the report counted
};
static_assert(sizeof(ReportSummary) == 32);

// Writes the text report of the test set's last run through `sink`, in pieces of at most 4095
// characters, and fills `summary` when it is given. The test name becomes the project name, so
// that the results file name follows the scenario.
void writeReport(CTestSet& testSet, void* context, OutFunc sink, ReportSummary* summary);

} // namespace torvex
