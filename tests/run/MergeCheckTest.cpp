// What a merge of results blocks refuses, and that it changes the test set completely or not at
// all: forged counts and values, missing or repeated users, failed allocations, a run started
// meanwhile, and parts that sent no request.

#include "torvexcore.h"

#include "api/TestSet.h"
#include "run/DistributedRun.h"
#include "run/FailingAllocation.h"
#include "run/RunBlock.h"
#include "run/UserSession.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using ::testing::HasSubstr;
using torvex::CTestSet;
using torvex::CUserSession;
using torvex::RequestAggregate;
using torvex::test::DistributedRun;
using torvex::test::exportOf;
using torvex::test::internals;
using torvex::test::kForms;
using torvex::test::merge;
using torvex::test::reportOf;
using torvex::test::Summary;
using torvex::test::TestSetHandle;

namespace {

const auto& kDetailed  = kForms[0];
const auto& kAggregate = kForms[1];

std::uint32_t u32At(const std::string& block, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(block.at(at + i)))
                 << (8 * i);
    return value;
}

void setU32At(std::string& block, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) block.at(at + i) = static_cast<char>(value >> (8 * i));
}

// Where the status counts of a block begin: after the header, the signature and 11 numbers.
std::size_t statusOffset(const std::string& block) {
    return torvex::kRunBlockHeaderSize + 4 + u32At(block, torvex::kRunBlockHeaderSize) + 11 * 4;
}

// Where a run's results are now, for comparing before and after a refused merge.
std::string stateOf(const TestSetHandle& ts) {
    return exportOf(ts) + reportOf(ts) + std::to_string(internals(ts).clients);
}

// Records, at the first message, whether the test set counts as running and what a RunTest
// started then returns.
struct RunProbe {
    void* ts      = nullptr;
    int running   = -1;
    int runResult = -1;

    static int receive(void* ctx, const char*) {
        auto* probe = static_cast<RunProbe*>(ctx);
        if (probe->running >= 0) return 0;
        TorvexProgress progress{};
        GetRunProgress(probe->ts, &progress);
        probe->running   = progress.running;
        probe->runResult = RunTest(probe->ts);
        return 0;
    }
};

} // namespace

TEST(RequestAggregate, MergeSaturatesInsteadOfOverflowing) {
    RequestAggregate total, part;
    total.count = INT64_MAX - 1;
    total.sum   = UINT64_MAX - 1;
    part.add(7);
    part.add(9);
    total.merge(part);
    EXPECT_EQ(total.count, INT64_MAX);
    EXPECT_EQ(total.sum, UINT64_MAX);
    EXPECT_EQ(total.minimum, 7);
    EXPECT_EQ(total.maximum, 9);
}

TEST_F(DistributedRun, ForgedCountsAndValuesAreRefusedWithTheirReason) {
    TestSetHandle part   = runPart(kAggregate, 2, 0);
    const std::string ok = exportOf(part);
    TestSetHandle target = load(kAggregate);
    ASSERT_EQ(merge(target, {ok}), 1);
    const std::string state = stateOf(target);

    using Change = std::function<void(CTestSet&, CUserSession&, RequestAggregate&)>;
    const std::vector<std::pair<Change, std::string>> forged = {
        {[](auto&, auto&, auto& a) { a.count = INT64_MAX; }, "aggregate count is out of range"},
        {[](auto&, auto&, auto& a) { a.count = -1; }, "aggregate count is out of range"},
        {[](auto&, auto&, auto& a) { a.count = 4; }, "aggregate count is out of range"},
        {[](auto&, auto&, auto& a) { a.minimum = a.maximum + 1; }, "above its maximum"},
        {[](auto&, auto&, auto& a) { a.minimum = -1; }, "minimum is negative"},
        {[](auto&, auto&, auto& a) { a.sum = 3ull * static_cast<std::uint64_t>(a.maximum) + 1; },
         "sum does not fit"},
        {[](auto&, auto&, auto& a) { a = {}, a.sum = 5; }, "empty aggregate holds times"},
        {[](auto&, auto& u, auto&) { u.http.requestCount = -1; }, "counts are negative"},
        {[](auto&, auto& u, auto&) { u.http.completedIterations = -1; }, "counts are negative"},
        {[](auto&, auto& u, auto&) { u.testIterations = 4; }, "test iterations are out of range"},
        {[](auto&, auto& u, auto&) { u.http.traffic.sendTimeMs = NAN; }, "traffic times"},
        {[](auto& t, auto&, auto&) { t.made = -1; }, "the run's counts are negative"},
        {[](auto& t, auto&, auto&) { t.statuscounts[200] = -5; }, "count is not above 0"},
    };
    for (const auto& [change, reason] : forged) {
        SCOPED_TRACE(reason);
        TestSetHandle forger = load(kAggregate);
        ASSERT_EQ(merge(forger, {ok}), 1);
        CUserSession& user = *internals(forger).users.front();
        ASSERT_EQ(user.results.aggregates.front().count, 3);
        change(internals(forger), user, user.results.aggregates.front());
        std::string block = exportOf(forger);
        out.clear();
        EXPECT_EQ(merge(target, {block}), 0);
        EXPECT_THAT(out.only(), HasSubstr("cannot be merged: "));
        EXPECT_THAT(out.only(), HasSubstr(reason));
        EXPECT_EQ(stateOf(target), state);
    }

    // A status code counted twice in one block (users 0 to 3 saw 200 and 500).
    std::string twice = exportOf(runPart(kDetailed, 4, 0));
    std::size_t at    = statusOffset(twice);
    ASSERT_EQ(u32At(twice, at), 2u);
    ASSERT_EQ(u32At(twice, at + 4), 200u);
    ASSERT_EQ(u32At(twice, at + 12), 500u);
    setU32At(twice, at + 12, 200);
    TestSetHandle detailed = load(kDetailed);
    out.clear();
    EXPECT_EQ(merge(detailed, {twice}), 0);
    EXPECT_THAT(out.only(), HasSubstr("cannot be merged: status code 200 comes twice!"));
}

TEST_F(DistributedRun, UserCountsBeyondTheBoundAreRefusedBeforeAnythingIsRead) {
    const std::string real = exportOf(runPart(kDetailed, 2, 0));
    // A block of a test set that never ran ends with its user count, 0.
    TestSetHandle idle     = load(kDetailed);
    const std::string none = torvex::exportRun(internals(idle));
    ASSERT_EQ(u32At(none, none.size() - 4), 0u);
    auto claiming = [&](std::size_t users) {
        std::string block = none;
        setU32At(block, block.size() - 4, static_cast<std::uint32_t>(users));
        return block;
    };
    const std::size_t most  = torvex::kMostMergedUsers;
    const std::string above = "cannot be merged: the blocks hold more than 1000000 virtual users!";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{claiming(UINT32_MAX)}, "block 1 of 1 " + above},
        {{claiming(most + 1)}, "block 1 of 1 " + above},
        {{claiming(most)}, "block 1 of 1 cannot be merged: truncated!"},
        // The bound holds for all blocks together: the first already has two users.
        {{real, claiming(most - 1)}, "block 2 of 2 " + above},
        {{real, claiming(most - 2)}, "block 2 of 2 cannot be merged: truncated!"},
    };
    TestSetHandle target = load(kDetailed);
    for (const auto& [blocks, reason] : cases) {
        SCOPED_TRACE(reason);
        out.clear();
        EXPECT_EQ(merge(target, blocks), 0);
        EXPECT_THAT(out.only(), HasSubstr(reason));
    }
}

TEST_F(DistributedRun, MergedUsersMustBeNumberedFromZeroWithoutGapsOrRepeats) {
    std::vector<std::string> blocks;
    for (int p = 0; p < 3; ++p) blocks.push_back(exportOf(runPart(kDetailed, 2, 2 * p)));
    TestSetHandle repeated = load(kDetailed);
    ASSERT_EQ(merge(repeated, {blocks[0]}), 1);
    internals(repeated).users[1]->http.script.userIndex = 0;

    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{blocks[0], blocks[2]}, "Error: results blocks lack virtual user 3: the block of a part"},
        {{blocks[1]}, "Error: results blocks lack virtual user 1:"},
        {{blocks[2], blocks[1]}, "Error: results blocks lack virtual user 1:"},
        {{exportOf(repeated)}, "Error: results block 1 holds virtual user 1 twice!"},
    };
    TestSetHandle target = load(kDetailed);
    for (const auto& [parts, reason] : refused) {
        SCOPED_TRACE(reason);
        out.clear();
        EXPECT_EQ(merge(target, parts), 0);
        EXPECT_THAT(out.only(), HasSubstr(reason));
        EXPECT_TRUE(internals(target).users.empty());
    }
    ASSERT_EQ(merge(target, {blocks[2], blocks[0], blocks[1]}), 1) << out.only();
    EXPECT_EQ(internals(target).clients, 6);
}

TEST_F(DistributedRun, FailedAllocationLeavesTheTestSetAsItWas) {
    std::vector<std::string> blocks;
    for (int p = 0; p < 3; ++p) blocks.push_back(exportOf(runPart(kDetailed, 2, 2 * p)));
    TestSetHandle whole = load(kDetailed);
    ASSERT_EQ(merge(whole, blocks), 1);
    const std::string merged = stateOf(whole);
    TestSetHandle target     = load(kDetailed);
    ASSERT_EQ(merge(target, {blocks[0]}), 1);
    const std::string before = stateOf(target);

    // Arrays made before any allocation is made to fail.
    const char* data[] = {blocks[0].data(), blocks[1].data(), blocks[2].data()};
    const int sizes[]  = {static_cast<int>(blocks[0].size()), static_cast<int>(blocks[1].size()),
                          static_cast<int>(blocks[2].size())};
    bool completed     = false;
    for (long n = 0; n < 100000 && !completed; ++n) {
        out.clear();
        torvex::test::failAllocationAfter(n);
        int result = MergeRunResults(target.get(), data, sizes, 3);
        completed  = !torvex::test::allocationFailed();
        if (result == 1) {
            ASSERT_EQ(stateOf(target), merged) << n;
        } else {
            ASSERT_FALSE(completed);
            ASSERT_EQ(stateOf(target), before) << n;
            ASSERT_THAT(out.messages().front(), HasSubstr("Internal error")) << n;
        }
    }
    EXPECT_TRUE(completed);
    EXPECT_EQ(stateOf(target), merged);
}

TEST_F(DistributedRun, MergeAndExportHoldOffARunUntilTheyEnd) {
    TestSetHandle target = load(kDetailed);
    RunProbe probe;
    probe.ts = target.get();
    SetOutFunc(&probe, &RunProbe::receive);
    EXPECT_EQ(merge(target, {"damaged"}), 0);
    EXPECT_EQ(probe.running, 1);
    EXPECT_EQ(probe.runResult, 0);

    probe      = RunProbe{target.get()};
    char* data = nullptr;
    int size   = 0;
    EXPECT_EQ(ExportRunResults(target.get(), &data, &size), 0); // no run yet
    EXPECT_EQ(probe.running, 1);
    EXPECT_EQ(probe.runResult, 0);
    EXPECT_TRUE(internals(target).users.empty());

    // Both let go of the flag when they end.
    TorvexProgress progress{};
    ASSERT_EQ(GetRunProgress(target.get(), &progress), 1);
    EXPECT_EQ(progress.running, 0);
    EXPECT_EQ(RunTest(target.get()), 1);
}

TEST_F(DistributedRun, PartWithoutRequestsIsNoApproximation) {
    // One user per part, timed exactly; the second part finds no server at all.
    const std::string exact = "exacttiminginterval=0\n";
    TestSetHandle working   = runPart(kDetailed, 1, 0);
    ASSERT_EQ(ParseGeneralParam(working.get(), "exacttiminginterval", "0"), 1);
    Summary own{};
    ASSERT_THAT(reportOf(working, &own), ::testing::Not(HasSubstr("WARNING")));
    int closedPort = 0;
    {
        torvex::test::FixtureServer closed;
        closedPort = closed.port();
    }
    TestSetHandle idle =
        load(kDetailed, exact + "firstuser=1\nport=" + std::to_string(closedPort) + "\n");
    EXPECT_EQ(RunTest(idle.get()), 1);
    ASSERT_EQ(internals(idle).sent.load(), 0);
    ASSERT_THAT(reportOf(idle), HasSubstr("NETERR"));

    TestSetHandle target = load(kDetailed, exact);
    ASSERT_EQ(merge(target, {exportOf(working), exportOf(idle)}), 1) << out.only();
    Summary combined{};
    EXPECT_THAT(reportOf(target, &combined),
                ::testing::Not(HasSubstr("WARNING: approximation used!")));
    EXPECT_EQ(combined.requestsPerSecond, own.requestsPerSecond);
    EXPECT_EQ(combined.msPerRequest, own.msPerRequest);
}
