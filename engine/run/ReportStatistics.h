#pragma once

#include "run/UserResults.h"

#include <array>
#include <cstdint>
#include <vector>

namespace torvex {

class CTestSet;
class CUserSession;

// What one report counted of the test set's last run: per test-sequence entry the successful
// times, and the errors by class (HTTP, network, content, time-out). Every report starts anew,
// so two reports of one run count the same, and the classes always add up to the total.
struct ReportStatistics {
    std::vector<RequestAggregate> entries;
    std::array<int, 4> errors{};
    int totalErrors = 0;

    // Counts one recorded outcome: a time updates its entry, an error its class.
    void count(int entry, std::int32_t outcome);
    // Counts one error outcome; anything else (a time, kNotExecuted) is ignored.
    void countError(std::int32_t outcome);
};

// Aggregate form (option nodetails): the users' aggregates merged per entry, and the run's
// error counts.
ReportStatistics aggregateStatistics(const CTestSet& testSet);

// Detailed form: every shown iteration of every user's timings table. Without option
// showbadresults an iteration with any negative value is left out entirely.
ReportStatistics detailedStatistics(const CTestSet& testSet);

// Script mode: the errors of the users' script result lists.
ReportStatistics scriptStatistics(const CTestSet& testSet);

// Whether iteration `iteration` of the user's timings table appears in the statistics and the
// individual requests table: always with option showbadresults, otherwise only when none of
// its values is negative (errors and requests not executed alike).
bool iterationShown(const CTestSet& testSet, const UserResults& results, int iteration);

// The detailed outcome of entry `entry` in iteration `iteration`, kNotExecuted for a cell the
// user's table does not hold.
std::int32_t recordedOutcome(const UserResults& results, int entry, int iteration);

// Rows of the user's individual requests table: the test-phase iterations the user began, never
// more than option requests nor than its timings table holds.
int individualRows(const CTestSet& testSet, const CUserSession& user);

} // namespace torvex
