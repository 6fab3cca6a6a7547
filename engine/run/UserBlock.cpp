#include "run/UserBlock.h"

#include "api/TestSet.h"
#include "run/ByteBlock.h"
#include "run/UserSession.h"

#include <climits>
#include <cmath>

namespace torvex {
namespace {

// Smallest encoded sizes, to bound counts before anything is allocated for them.
constexpr std::size_t kAggregateBytes    = 24;
constexpr std::size_t kScriptResultBytes = 16;

void writeResults(BlockWriter& out, const UserResults& r) {
    out.u8(static_cast<std::uint8_t>(r.form));
    out.i32(r.entries);
    out.i32(r.iterations);
    switch (r.form) {
    case UserResults::Form::Detailed:
        out.u32(static_cast<std::uint32_t>(r.cells.size()));
        for (std::int32_t value : r.cells) out.i32(value);
        out.u32(static_cast<std::uint32_t>(r.stamps.size()));
        for (const IterationStamp& stamp : r.stamps) {
            out.i32(stamp.start);
            out.i32(stamp.end);
        }
        break;
    case UserResults::Form::Aggregate:
        out.u32(static_cast<std::uint32_t>(r.aggregates.size()));
        for (const RequestAggregate& a : r.aggregates) {
            out.i32(a.minimum);
            out.i32(a.maximum);
            out.i64(a.count);
            out.u64(a.sum);
        }
        break;
    case UserResults::Form::Script:
        out.u32(static_cast<std::uint32_t>(r.scriptResults.size()));
        for (const ScriptResult& result : r.scriptResults) {
            out.text(result.requestName);
            out.i32(result.value);
            out.i32(result.start);
            out.i32(result.end);
        }
        break;
    }
}

void expect(bool condition, const char* what) {
    if (!condition) throw BlockError(what);
}

bool validTime(double ms) {
    return std::isfinite(ms) && ms >= 0;
}

// A user records each entry at most once per iteration, and only times of 0 or more; an
// aggregate without any time keeps the empty minimum, maximum and sum.
void checkAggregate(const RequestAggregate& a, int iterations) {
    expect(a.count >= 0 && a.count <= iterations, "a user's aggregate count is out of range");
    if (a.count == 0) {
        RequestAggregate empty;
        expect(a.minimum == empty.minimum && a.maximum == empty.maximum && a.sum == 0,
               "a user's empty aggregate holds times");
        return;
    }
    expect(a.minimum >= 0 && a.minimum <= a.maximum,
           "a user's aggregate minimum is negative or above its maximum");
    auto count = static_cast<std::uint64_t>(a.count);
    expect(a.sum >= count * static_cast<std::uint64_t>(a.minimum) &&
               a.sum <= count * static_cast<std::uint64_t>(a.maximum),
           "a user's aggregate sum does not fit its count, minimum and maximum");
}

void readResults(BlockReader& in, UserResults& r, const UserShape& shape) {
    expect(in.u8() == static_cast<std::uint8_t>(shape.form), "a user's results form differs");
    expect(in.i32() == shape.entries, "a user's number of requests per iteration differs");
    expect(in.i32() == shape.iterations, "a user's number of iterations differs");
    r.prepare(shape.form, shape.entries, shape.iterations, shape.stamps);
    switch (shape.form) {
    case UserResults::Form::Detailed: {
        expect(in.count(4) == r.cells.size(), "a user's timings table has the wrong size");
        for (std::int32_t& value : r.cells) value = in.i32();
        expect(in.count(8) == r.stamps.size(),
               "a user's iteration time stamps have the wrong size");
        for (IterationStamp& stamp : r.stamps) {
            stamp.start = in.i32();
            stamp.end   = in.i32();
        }
        break;
    }
    case UserResults::Form::Aggregate:
        expect(in.count(kAggregateBytes) == r.aggregates.size(),
               "a user's aggregates have the wrong size");
        for (RequestAggregate& a : r.aggregates) {
            a.minimum = in.i32();
            a.maximum = in.i32();
            a.count   = in.i64();
            a.sum     = in.u64();
            checkAggregate(a, shape.iterations);
        }
        break;
    case UserResults::Form::Script: {
        std::size_t n = in.count(kScriptResultBytes);
        r.scriptResults.reserve(n);
        for (std::size_t i = 0; i < n; ++i) {
            ScriptResult result;
            result.requestName = in.text();
            result.value       = in.i32();
            result.start       = in.i32();
            result.end         = in.i32();
            r.scriptResults.push_back(std::move(result));
        }
        break;
    }
    }
}

} // namespace

void writeUser(BlockWriter& out, const CUserSession& user) {
    out.i32(user.index());
    out.i32(user.http.requestCount);
    out.i32(user.http.completedIterations);
    out.u64(user.http.traffic.bytesSent);
    out.u64(user.http.traffic.bytesReceived);
    out.f64(user.http.traffic.sendTimeMs);
    out.f64(user.http.traffic.receiveTimeMs);
    out.u32(user.startTick);
    out.u32(user.endTick);
    out.i32(user.sentAtStart);
    out.i32(user.sentAtEnd);
    out.i32(user.testIterations);
    out.i32(user.lastOutcome);
    writeResults(out, user.results);
}

std::unique_ptr<CUserSession> readUser(BlockReader& in, CTestSet& owner, const UserShape& shape) {
    std::int32_t index = in.i32();
    expect(index >= 0 && index < INT_MAX, "a user's index is out of range");
    auto user                        = std::make_unique<CUserSession>(owner, index);
    user->http.requestCount          = in.i32();
    user->http.completedIterations   = in.i32();
    user->http.traffic.bytesSent     = in.u64();
    user->http.traffic.bytesReceived = in.u64();
    user->http.traffic.sendTimeMs    = in.f64();
    user->http.traffic.receiveTimeMs = in.f64();
    user->startTick                  = in.u32();
    user->endTick                    = in.u32();
    user->sentAtStart                = in.i32();
    user->sentAtEnd                  = in.i32();
    user->testIterations             = in.i32();
    user->lastOutcome                = in.i32();
    expect(user->http.requestCount >= 0 && user->http.completedIterations >= 0 &&
               user->sentAtStart >= 0 && user->sentAtEnd >= 0,
           "a user's request or iteration counts are negative");
    expect(user->testIterations >= 0 && user->testIterations <= shape.iterations,
           "a user's test iterations are out of range");
    expect(validTime(user->http.traffic.sendTimeMs) && validTime(user->http.traffic.receiveTimeMs),
           "a user's traffic times are negative or not numbers");
    readResults(in, user->results, shape);
    return user;
}

} // namespace torvex
