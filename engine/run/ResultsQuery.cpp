#include "run/ResultsQuery.h"

#include "api/TestSet.h"
#include "run/UserSession.h"

#include <cstdint>
#include <mutex>
#include <vector>

namespace torvex {
namespace {

// One entry of the aggregate results as callers receive it.
struct AggregateRecord {
    std::int32_t minimum;
    std::int32_t sum;
    std::int32_t count;
    std::int32_t maximum;
};

// The engine-wide buffers: each call rebuilds the one it returns.
struct ResultBuffers {
    std::mutex lock;
    std::vector<AggregateRecord> aggregates;
    std::vector<std::int32_t> scriptRow;
    std::int32_t* scriptRowPointer = nullptr;
};

ResultBuffers& buffers() {
    static ResultBuffers instance;
    return instance;
}

void* mergedAggregates(const CTestSet& t) {
    std::vector<RequestAggregate> merged(t.users.front()->results.aggregates.size());
    for (const auto& user : t.users)
        for (std::size_t i = 0; i < merged.size() && i < user->results.aggregates.size(); ++i)
            merged[i].merge(user->results.aggregates[i]);

    ResultBuffers& b = buffers();
    std::lock_guard guard(b.lock);
    b.aggregates.clear();
    for (RequestAggregate& entry : merged) {
        // Halving both keeps sum / count the average while they come to fit in 32 bits.
        while (entry.sum > 0x7FFFFFFFu || entry.count > 0x7FFFFFFF) {
            entry.sum /= 2;
            entry.count /= 2;
        }
        b.aggregates.push_back({entry.minimum, static_cast<std::int32_t>(entry.sum),
                                static_cast<std::int32_t>(entry.count), entry.maximum});
    }
    return b.aggregates.data();
}

void* scriptRow(const UserResults& results) {
    ResultBuffers& b = buffers();
    std::lock_guard guard(b.lock);
    b.scriptRow.clear();
    b.scriptRow.push_back(static_cast<std::int32_t>(results.scriptResults.size()));
    for (const ScriptResult& result : results.scriptResults) b.scriptRow.push_back(result.value);
    b.scriptRowPointer = b.scriptRow.data();
    return &b.scriptRowPointer;
}

} // namespace

void* resultsOf(CTestSet& t, int user) {
    if (t.users.empty()) return nullptr;
    if (t.users.front()->results.form == UserResults::Form::Aggregate) return mergedAggregates(t);
    if (user < 0 || static_cast<std::size_t>(user) >= t.users.size()) return nullptr;
    UserResults& results = t.users[static_cast<std::size_t>(user)]->results;
    if (results.form == UserResults::Form::Script) return scriptRow(results);
    return results.rows.data();
}

void releaseResultBuffers() {
    ResultBuffers& b = buffers();
    std::lock_guard guard(b.lock);
    std::vector<AggregateRecord>().swap(b.aggregates);
    std::vector<std::int32_t>().swap(b.scriptRow);
    b.scriptRowPointer = nullptr;
}

} // namespace torvex
