#include "run/RunFigures.h"

#include "api/TestSet.h"
#include "run/ByteBlock.h"

#include <algorithm>
#include <climits>
#include <string>
#include <utility>

namespace torvex {
namespace {

constexpr std::size_t kStatusBytes = 8;
constexpr std::size_t kWindowBytes = 17;

// Counts of many parts stay within the 32 bits the engine keeps them in.
std::int32_t saturatedSum(std::int32_t a, std::int32_t b) {
    long long sum = static_cast<long long>(a) + b;
    return static_cast<std::int32_t>(std::clamp<long long>(sum, INT_MIN, INT_MAX));
}

} // namespace

RunFigures figuresOf(const CTestSet& t) {
    RunFigures f;
    f.starttime = t.starttime;
    f.endtime   = t.endtime;
    f.elapsed   = t.elapsed;
    f.made      = t.made.load();
    f.failed    = t.failed.load();
    f.expected  = t.expected.load();
    f.sent      = t.sent.load();
    for (std::size_t i = 0; i < f.errors.size(); ++i) f.errors[i] = t.errorcounts[i].load();
    for (std::size_t i = 0; i < f.statuses.size(); ++i) f.statuses[i] = t.statuscounts[i].load();
    f.windows = runWindows(t);
    return f;
}

void writeFigures(BlockWriter& out, const RunFigures& f) {
    for (std::int32_t value :
         {f.starttime, f.endtime, f.elapsed, f.made, f.failed, f.expected, f.sent})
        out.i32(value);
    for (std::int32_t count : f.errors) out.i32(count);
    auto used = std::count_if(f.statuses.begin(), f.statuses.end(), [](int n) { return n != 0; });
    out.u32(static_cast<std::uint32_t>(used));
    for (std::size_t code = 0; code < f.statuses.size(); ++code) {
        if (f.statuses[code] == 0) continue;
        out.i32(static_cast<std::int32_t>(code));
        out.i32(f.statuses[code]);
    }
    out.u32(static_cast<std::uint32_t>(f.windows.size()));
    for (const TimingWindow& w : f.windows) {
        out.u32(w.begin);
        out.u32(w.end);
        out.i32(w.sentAtBegin);
        out.i32(w.sentAtEnd);
        out.u8(w.approximated ? 1 : 0);
    }
}

RunFigures readFigures(BlockReader& in) {
    RunFigures f;
    for (std::int32_t* value :
         {&f.starttime, &f.endtime, &f.elapsed, &f.made, &f.failed, &f.expected, &f.sent})
        *value = in.i32();
    for (std::int32_t& count : f.errors) count = in.i32();
    if (f.elapsed < 0 || f.made < 0 || f.failed < 0 || f.sent < 0 || f.expected < -1 ||
        std::any_of(f.errors.begin(), f.errors.end(), [](std::int32_t n) { return n < 0; }))
        throw BlockError("the run's counts are negative");
    std::size_t used = in.count(kStatusBytes);
    for (std::size_t i = 0; i < used; ++i) {
        std::int32_t code = in.i32();
        if (code < 0 || code >= static_cast<std::int32_t>(f.statuses.size()))
            throw BlockError("a status code is outside 0-999");
        std::int32_t& count = f.statuses[static_cast<std::size_t>(code)];
        if (count != 0) throw BlockError("status code " + std::to_string(code) + " comes twice");
        count = in.i32();
        if (count <= 0) throw BlockError("a status code's count is not above 0");
    }
    std::size_t windows = in.count(kWindowBytes);
    if (windows == 0) throw BlockError("the run has no timing window");
    f.windows.resize(windows);
    for (TimingWindow& w : f.windows) {
        w.begin        = in.u32();
        w.end          = in.u32();
        w.sentAtBegin  = in.i32();
        w.sentAtEnd    = in.i32();
        w.approximated = in.u8() != 0;
        if (w.sentAtBegin < 0 || w.sentAtEnd < 0)
            throw BlockError("a timing window's sent counts are negative");
    }
    return f;
}

void addFigures(RunFigures& total, const RunFigures& part) {
    total.starttime = std::min(total.starttime, part.starttime);
    total.endtime   = std::max(total.endtime, part.endtime);
    total.elapsed   = std::max(total.elapsed, part.elapsed);
    total.made      = saturatedSum(total.made, part.made);
    total.failed    = saturatedSum(total.failed, part.failed);
    total.expected =
        total.expected < 0 || part.expected < 0 ? -1 : saturatedSum(total.expected, part.expected);
    total.sent = saturatedSum(total.sent, part.sent);
    for (std::size_t i = 0; i < total.errors.size(); ++i)
        total.errors[i] = saturatedSum(total.errors[i], part.errors[i]);
    for (std::size_t i = 0; i < total.statuses.size(); ++i)
        total.statuses[i] = saturatedSum(total.statuses[i], part.statuses[i]);
    total.windows.insert(total.windows.end(), part.windows.begin(), part.windows.end());
}

void applyFigures(CTestSet& t, RunFigures&& f) noexcept {
    t.starttime = f.starttime;
    t.endtime   = f.endtime;
    t.elapsed   = f.elapsed;
    t.made      = f.made;
    t.failed    = f.failed;
    t.expected  = f.expected;
    t.sent      = f.sent;
    for (std::size_t i = 0; i < f.errors.size(); ++i) t.errorcounts[i] = f.errors[i];
    for (std::size_t i = 0; i < f.statuses.size(); ++i) t.statuscounts[i] = f.statuses[i];
    t.partWindows = std::move(f.windows);
}

} // namespace torvex
