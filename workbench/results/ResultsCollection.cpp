#include "results/ResultsCollection.h"

#include "torvexcore.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace torvex {
namespace {

// The summary record SaveResults fills: eight 32-bit values, of which 2-3 and 4-5 each hold a
// double (bytes per millisecond, which is kilobytes per second).
struct Summary {
    std::int32_t values[8] = {};

    double doubleAt(int index) const {
        double value;
        std::memcpy(&value, &values[index], sizeof value);
        return value;
    }
};

int appendToReport(void* ctx, const char* text) {
    static_cast<std::string*>(ctx)->append(text);
    return 0;
}

std::string withCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

// Per request: minimum, sum, count and maximum over all users, then the terminating 0.
void collectSummaries(void* testSet, CResultsStore& r) {
    r.summaryOnly = r.userCount = r.iterationCount = 1;
    const auto* records = static_cast<const std::int32_t*>(GetResults(testSet, 0));
    auto& group         = r.timings.emplace_back();
    for (int k = 0; k < r.seqLength; ++k) {
        auto& entry = group.emplace_back();
        if (records)
            entry.assign(records + 4 * k, records + 4 * k + 4);
        else // the shape of a request that never succeeded, so every entry has five values
            entry = {INT32_MAX, 0, 0, 0};
        entry.push_back(0);
    }
}

// Per user and request the times in iteration order, then 0. A script-driven user's row starts
// with its length; the record's iteration count becomes the last user's.
void collectDetails(void* testSet, CResultsStore& r) {
    const bool scripted = r.iterationCount < 0;
    for (int u = 0; u < r.userCount; ++u) {
        const auto* rows = static_cast<std::int32_t* const*>(GetResults(testSet, u));
        auto& group      = r.timings.emplace_back();
        for (int k = 0; k < r.seqLength; ++k) {
            auto& entry = group.emplace_back();
            if (rows && rows[k]) {
                const std::int32_t* row = rows[k];
                std::int32_t count      = scripted ? std::max(*row++, 0) : r.iterationCount;
                if (scripted) r.iterationCount = count;
                entry.assign(row, row + count);
            } else if (!scripted) {
                // Not executed, so every entry of a detailed run has its iterations.
                entry.assign(static_cast<std::size_t>(std::max(r.iterationCount, 0)), -255);
            }
            entry.push_back(0);
        }
    }
}

} // namespace

ResultsRecord collectResults(void* testSet, const BatchPosition& batch,
                             const std::function<void()>& reportWritten) {
    auto record      = std::make_shared<CResultsStore>();
    CResultsStore& r = *record;

    Summary summary;
    SaveResults(testSet, &r.reportText, &appendToReport, summary.values);
    SaveResultsToFile(testSet, r.reportText.c_str());
    if (reportWritten) reportWritten();

    TorvexInfo info{};
    GetInfo(testSet, &info);
    r.userCount      = info.users;
    r.seqLength      = info.requestsPerIteration;
    r.iterationCount = info.iterations;
    r.objectiveId    = info.objective;
    r.reportText     = withCrLf(r.reportText);

    r.requestsPerSec  = static_cast<float>(summary.values[0] * 0.001);
    r.msPerRequest    = static_cast<float>(summary.values[1] * 0.001);
    r.serverBandwidth = summary.doubleAt(2);
    r.userBandwidth   = summary.doubleAt(4);
    r.requestsMade    = summary.values[6];
    r.errorCount      = summary.values[7];

    r.batchNumber = batch.number;
    if (batch.number != 0) {
        r.batchValue = batch.value;
        r.batchLabel = batch.label;
        r.batchBy    = batch.by;
    }

    // The engine ends its names with a null entry; a shorter list leaves empty names.
    bool named = info.requestNames != nullptr;
    for (int k = 0; k < r.seqLength; ++k) {
        named = named && info.requestNames[k] != nullptr;
        r.requestNames.emplace_back(named ? info.requestNames[k] : "");
    }

    if (info.aggregate)
        collectSummaries(testSet, r);
    else
        collectDetails(testSet, r);
    return record;
}

} // namespace torvex
