#include "runner/BatchCycle.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>

using namespace torvex;
using ::testing::ElementsAre;
using ::testing::Pair;

namespace {

std::vector<int> batchValues(int from, int to, int step) {
    std::vector<int> values{from};
    // Bounded: no batch in these tests has more than a few dozen runs.
    for (std::optional<int> next = nextBatchValue(from, step, to); next && values.size() < 100;
         next                    = nextBatchValue(*next, step, to))
        values.push_back(*next);
    return values;
}

} // namespace

TEST(BatchCycle, RunsFromTheFirstValueWhileTheNextStaysWithinTheLast) {
    std::vector<int> upByOne = batchValues(1, 20, 1);
    EXPECT_EQ(upByOne.size(), 20u);
    EXPECT_EQ(upByOne.back(), 20);
    EXPECT_THAT(batchValues(20, 1, -5), ElementsAre(20, 15, 10, 5));
    EXPECT_THAT(batchValues(5, 15, 10), ElementsAre(5, 15));
    EXPECT_THAT(batchValues(5, 14, 10), ElementsAre(5));
    EXPECT_THAT(batchValues(3, 10, 0), ElementsAre(3));
    EXPECT_THAT(batchValues(7, 7, 1), ElementsAre(7));
}

TEST(BatchCycle, BatchVariableByUsersOrIterations) {
    EXPECT_STREQ(batchVariable(0).option, "clients");
    EXPECT_STREQ(batchVariable(0).displayName, "Virtual users");
    EXPECT_STREQ(batchVariable(1).option, "requests");
    EXPECT_STREQ(batchVariable(1).displayName, "Iterations");
}

TEST(PerRunOverrides, RateIsSpreadOverTheUsers) {
    LoadLimits limits;
    limits.loadLevelMode     = 1;
    limits.requestsPerSecond = 10;
    limits.requestCount      = 3;
    limits.batchTo           = 20;
    EXPECT_THAT(perRunOverrides(limits, 4), ElementsAre(Pair("rate", "9000")));
    limits.loadLevelMode = 0;
    EXPECT_TRUE(perRunOverrides(limits, 4).empty());
}

TEST(PerRunOverrides, IterationsReachTheRequestOrTimeLimit) {
    LoadLimits limits;
    limits.requestCount  = 3;
    limits.batchTo       = 20;
    limits.limitRequests = 1;
    limits.maxRequests   = 100;
    // 100 requests over 3 requests x 4 users: 9 iterations (rounded up).
    EXPECT_THAT(perRunOverrides(limits, 4), ElementsAre(Pair("requests", "9")));
    // Past the batch's last value the iterations are sized for that many users.
    EXPECT_THAT(perRunOverrides(limits, 50), ElementsAre(Pair("requests", "2")));
    limits.limitTime  = 1;
    limits.maxMinutes = 2;
    // 2 minutes at 1200 requests a minute over 3 requests: 800, more than 9.
    EXPECT_THAT(perRunOverrides(limits, 4), ElementsAre(Pair("requests", "800")));
    limits.maxMinutes = INT_MAX;
    EXPECT_THAT(perRunOverrides(limits, 4), ElementsAre(Pair("requests", "2147483647")));
}

TEST(PerRunOverrides, ZeroUsersOrRequestsLeaveTheOptionAlone) {
    LoadLimits limits;
    limits.loadLevelMode     = 1;
    limits.requestsPerSecond = 10;
    limits.limitRequests     = 1;
    limits.maxRequests       = 100;
    limits.limitTime         = 1;
    limits.maxMinutes        = 1;
    limits.batchTo           = 20;
    limits.requestCount      = 0;
    EXPECT_THAT(perRunOverrides(limits, 4), ElementsAre(Pair("rate", "9000")));
    limits.requestCount = 2;
    // No rate for no users; the time limit still gives 600 iterations.
    EXPECT_THAT(perRunOverrides(limits, 0), ElementsAre(Pair("requests", "600")));
}
