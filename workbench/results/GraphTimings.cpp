#include "results/GraphTimings.h"

#include <algorithm>

namespace torvex {

namespace {

const std::vector<std::int32_t>* entry(const CResultsStore& record, std::size_t group,
                                       int request) {
    if (request < 0 || group >= record.timings.size()) return nullptr;
    const auto& entries = record.timings[group];
    if (std::size_t(request) >= entries.size()) return nullptr;
    return &entries[std::size_t(request)];
}

} // namespace

std::span<const std::int32_t> entryTimes(const CResultsStore& record, std::size_t group,
                                         int request) {
    const auto* values = entry(record, group, request);
    if (!values || values->empty()) return {};
    // The last value is the entry's terminator, not a time.
    return std::span<const std::int32_t>(values->data(), values->size() - 1);
}

std::optional<SummaryEntry> summaryEntry(const CResultsStore& record, int request) {
    const auto* values = entry(record, 0, request);
    if (!values || values->size() < 4) return std::nullopt;
    return SummaryEntry{(*values)[0], (*values)[1], (*values)[2], (*values)[3]};
}

void TimeStats::add(std::int32_t time, bool skipUnset) {
    if (time < 0) return; // error marks and requests that did not run
    maximum = std::max(maximum, double(time));
    if (!(skipUnset && time == kUnsetMinimum)) minimum = std::min(minimum, double(time));
    sum += time;
    ++count;
}

std::size_t longestEntry(const CResultsStore& record, int request) {
    std::size_t longest = 0;
    for (std::size_t group = 0; group < record.timings.size(); ++group)
        longest = std::max(longest, entryTimes(record, group, request).size());
    return longest;
}

TimeStats iterationStats(const CResultsStore& record, int request, std::size_t iteration,
                         bool skipUnset) {
    TimeStats stats;
    for (std::size_t group = 0; group < record.timings.size(); ++group) {
        auto times = entryTimes(record, group, request);
        if (iteration < times.size()) stats.add(times[iteration], skipUnset);
    }
    return stats;
}

TimeStats requestStats(const CResultsStore& record, int request, bool skipUnset) {
    TimeStats stats;
    for (std::size_t group = 0; group < record.timings.size(); ++group)
        for (std::int32_t time : entryTimes(record, group, request)) stats.add(time, skipUnset);
    return stats;
}

std::size_t lastIterationWithTimes(const CResultsStore& record) {
    std::size_t last = 0;
    for (std::size_t group = 0; group < record.timings.size(); ++group)
        for (std::size_t request = 0; request < record.timings[group].size(); ++request) {
            auto times = entryTimes(record, group, int(request));
            for (std::size_t i = times.size(); i > last; --i)
                if (times[i - 1] >= 0) {
                    last = i;
                    break;
                }
        }
    return last;
}

} // namespace torvex
