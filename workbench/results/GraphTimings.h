#pragma once

#include "results/ResultsStore.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace torvex {

// Bounds-checked reading of a record's timings for the graphs. Records come from files of other
// machines and from script-driven runs whose entries differ in length, so every read goes through
// the entry's own size and a missing group or entry reads as "no values".

// A summary-only minimum that no request produced.
inline constexpr std::int32_t kUnsetMinimum = 2147483647;
// The starting minimum of a search; still there afterwards means "no valid time".
inline constexpr double kNoMinimum = 1e10;

// The times of one user's entry for a request, without the terminating 0; empty when the record
// has no such group or entry.
std::span<const std::int32_t> entryTimes(const CResultsStore& record, std::size_t group,
                                         int request);

// Minimum, sum, count and maximum of a summary-only record's entry; none when the entry is
// missing or too short.
struct SummaryEntry {
    std::int32_t minimum = 0, sum = 0, count = 0, maximum = 0;
    double average() const { return count > 0 ? double(sum) / count : 0; }
};
std::optional<SummaryEntry> summaryEntry(const CResultsStore& record, int request);

// The valid (0 or more) times seen, in microseconds.
struct TimeStats {
    double maximum  = 0;          // 0 when none
    double minimum  = kNoMinimum; // kNoMinimum when none
    double sum      = 0;
    long long count = 0;

    // skipUnset leaves kUnsetMinimum out of the minimum.
    void add(std::int32_t time, bool skipUnset);
    double average() const { return count > 0 ? sum / double(count) : 0; }
    double minimumOrZero() const { return minimum == kNoMinimum ? 0 : minimum; }
};

// The longest entry of the request over the groups, in times.
std::size_t longestEntry(const CResultsStore& record, int request);
// The times of every user at one iteration (0-based) of the request.
TimeStats iterationStats(const CResultsStore& record, int request, std::size_t iteration,
                         bool skipUnset);
// Every time of the request over all users and iterations.
TimeStats requestStats(const CResultsStore& record, int request, bool skipUnset);
// The last iteration (1-based) in which any user has a valid time for any request; 0 when none.
std::size_t lastIterationWithTimes(const CResultsStore& record);

} // namespace torvex
