#include "run/ReportStatistics.h"

#include "api/TestSet.h"
#include "run/UserSession.h"

#include <algorithm>

namespace torvex {
namespace {

std::size_t sequenceLength(const CTestSet& t) {
    return t.testsequence.entries().size();
}

// Iterations of the user's timings table the report reads: option requests, bounded by the
// table the run made.
int tableIterations(const CTestSet& t, const UserResults& results) {
    if (results.form != UserResults::Form::Detailed) return 0;
    return std::max(0, std::min(t.requests, results.iterations));
}

} // namespace

void ReportStatistics::count(int entry, std::int32_t outcome) {
    if (outcome >= 0) {
        if (entry >= 0 && static_cast<std::size_t>(entry) < entries.size())
            entries[static_cast<std::size_t>(entry)].add(outcome);
        return;
    }
    countError(outcome);
}

void ReportStatistics::countError(std::int32_t outcome) {
    int index = errorClassIndex(outcome);
    if (index < 0) return;
    ++errors[static_cast<std::size_t>(index)];
    ++totalErrors;
}

ReportStatistics aggregateStatistics(const CTestSet& t) {
    ReportStatistics statistics;
    statistics.entries.resize(sequenceLength(t));
    for (const auto& user : t.users) {
        const UserResults& results = user->results;
        if (results.form != UserResults::Form::Aggregate) continue;
        std::size_t n = std::min(statistics.entries.size(), results.aggregates.size());
        for (std::size_t i = 0; i < n; ++i) statistics.entries[i].merge(results.aggregates[i]);
    }
    for (std::size_t i = 0; i < statistics.errors.size(); ++i) {
        statistics.errors[i] = t.errorcounts[i].load();
        statistics.totalErrors += statistics.errors[i];
    }
    return statistics;
}

std::int32_t recordedOutcome(const UserResults& results, int entry, int iteration) {
    if (results.form != UserResults::Form::Detailed || entry < 0 || entry >= results.entries ||
        iteration < 0 || iteration >= results.iterations ||
        results.cells.size() < static_cast<std::size_t>(results.entries) *
                                   static_cast<std::size_t>(results.iterations))
        return kNotExecuted;
    return results.cell(entry, iteration);
}

bool iterationShown(const CTestSet& t, const UserResults& results, int iteration) {
    if (t.showbadresults) return true;
    int entries = static_cast<int>(sequenceLength(t));
    for (int j = 0; j < entries; ++j)
        if (recordedOutcome(results, j, iteration) < 0) return false;
    return true;
}

ReportStatistics detailedStatistics(const CTestSet& t) {
    ReportStatistics statistics;
    statistics.entries.resize(sequenceLength(t));
    int entries = static_cast<int>(statistics.entries.size());
    for (const auto& user : t.users) {
        const UserResults& results = user->results;
        int iterations             = tableIterations(t, results);
        for (int i = 0; i < iterations; ++i) {
            if (!iterationShown(t, results, i)) continue;
            for (int j = 0; j < entries; ++j) statistics.count(j, recordedOutcome(results, j, i));
        }
    }
    return statistics;
}

ReportStatistics scriptStatistics(const CTestSet& t) {
    ReportStatistics statistics;
    for (const auto& user : t.users)
        for (const ScriptResult& result : user->results.scriptResults)
            statistics.countError(result.value);
    return statistics;
}

int individualRows(const CTestSet& t, const CUserSession& user) {
    return std::max(0, std::min(user.testIterations, tableIterations(t, user.results)));
}

} // namespace torvex
