#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace torvex {

// The results of one finished run: its report, summary figures, request timings and where it
// stood in a batch. Filled once, then shared read-only between the results list and the views.
class CResultsStore {
public:
    std::int32_t runId     = 0; // given by CResultsContainer::Add; 0 before
    std::int32_t userCount = 0; // 1 for a summary-only run
    std::int32_t seqLength = 0; // test-sequence requests, the width of every group
    std::int32_t iterationCount =
        0;                        // 1 for a summary-only run; the last user's count when scripted
    std::int32_t summaryOnly = 0; // the run kept per-request summaries only ("nodetails")
    std::string reportText;       // the engine's text report, CR LF line ends
    std::int32_t batchNumber = 0; // the controller's batch counter; 0 for a single run
    std::int32_t batchValue  = 0; // the batch variable's value of this run
    std::string batchLabel;       // "Virtual users" or "Iterations"
    std::int32_t batchBy = 0;     // 0 users, 1 iterations
    float requestsPerSec = 0, msPerRequest = 0;
    double serverBandwidth = 0, userBandwidth = 0; // kilobytes per second
    std::int32_t requestsMade = 0, errorCount = 0, objectiveId = -1;
    // [group][request] -> the entry's values including the terminating 0: a user's times per
    // iteration in microseconds, or a script-driven user's values, or minimum, sum, count and
    // maximum of a summary-only run. An entry's value count is its size.
    std::vector<std::vector<std::vector<std::int32_t>>> timings;
    std::vector<std::string> requestNames;

    void SetTitle(std::string title);
    const std::string& GetTitle() const;

private:
    std::string title_;
};

// Shared by the results list and every view that draws the record, so a record outlives a
// clearing of the list while it is drawn.
using ResultsRecord = std::shared_ptr<CResultsStore>;

} // namespace torvex
