#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace torvex {

// A recorded outcome: 0 or more is the time of a request in microseconds, below 0 an error
// class (-1 network, -2 HTTP, -3 content, -4 time-out) or kNotExecuted.
constexpr std::int32_t kNotExecuted = -255;

// The index of an error outcome in the error counts (HTTP, network, content, time-out), or -1
// for a time or kNotExecuted.
inline int errorClassIndex(std::int32_t outcome) {
    switch (outcome) {
    case -2:
        return 0;
    case -1:
        return 1;
    case -3:
        return 2;
    case -4:
        return 3;
    default:
        return -1;
    }
}

// Start and end of one iteration in calendar seconds; 0 when not recorded.
struct IterationStamp {
    std::int32_t start = 0;
    std::int32_t end   = 0;
};

// Minimum, maximum, count and sum of the successful times of one test-sequence entry. The count
// is wide so that merging many users does not overflow it; merge saturates all the same, as
// merged values may come from another process.
struct RequestAggregate {
    std::int32_t minimum = 0x7FFFFFFF;
    std::int32_t maximum = 0;
    std::int64_t count   = 0;
    std::uint64_t sum    = 0;

    void add(std::int32_t time) {
        if (time < minimum) minimum = time;
        if (time > maximum) maximum = time;
        ++count;
        sum += static_cast<std::uint64_t>(time);
    }
    void merge(const RequestAggregate& other) {
        if (other.minimum < minimum) minimum = other.minimum;
        if (other.maximum > maximum) maximum = other.maximum;
        count = other.count > INT64_MAX - count ? INT64_MAX : count + other.count;
        sum   = other.sum > UINT64_MAX - sum ? UINT64_MAX : sum + other.sum;
    }
};

// One request executed by a user's script.
struct ScriptResult {
    std::string requestName;
    std::int32_t value = kNotExecuted;
    std::int32_t start = 0; // calendar seconds; 0 when not recorded
    std::int32_t end   = 0;
};

// What one virtual user records of a run, in the form the run's options choose: every outcome
// (detailed), per-entry aggregates (option nodetails), or the list of a script's requests.
struct UserResults {
    enum class Form { Detailed, Aggregate, Script };

    // Empties the storage and shapes it for a run.
    void prepare(Form storageForm, int entries, int iterations, bool withStamps);

    // The detailed outcome of entry `entry` in iteration `iteration`.
    std::int32_t& cell(int entry, int iteration) {
        return cells[static_cast<std::size_t>(entry) * static_cast<std::size_t>(iterations) +
                     static_cast<std::size_t>(iteration)];
    }
    std::int32_t cell(int entry, int iteration) const {
        return const_cast<UserResults*>(this)->cell(entry, iteration);
    }

    Form form      = Form::Detailed;
    int entries    = 0;
    int iterations = 0;
    // Detailed form: entries rows of iterations outcomes, kNotExecuted until recorded, and one
    // pointer per row (the shape GetResults hands out).
    std::vector<std::int32_t> cells;
    std::vector<std::int32_t*> rows;
    std::vector<IterationStamp> stamps;       // detailed form with option timestamp; else empty
    std::vector<RequestAggregate> aggregates; // aggregate form: one per entry
    std::vector<ScriptResult> scriptResults;  // script form, in the order they were added
};

} // namespace torvex
