// GetResults on results filled by hand: the aggregate merge and its scaling, and the script row.

#include "torvexcore.h"

#include "api/TestSet.h"
#include "run/UserSession.h"
#include "script/ScriptParser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

using torvex::CTestSet;
using torvex::CUserSession;
using Form = torvex::UserResults::Form;

namespace {

struct AggregateRecord {
    std::int32_t minimum, sum, count, maximum;
};

// A test set with a test sequence of `entries` requests and `users` users in the given form.
std::unique_ptr<CTestSet> runWith(Form form, int users, int entries) {
    auto t             = std::make_unique<CTestSet>();
    std::string script = "[TestSeq]\n";
    for (int i = 0; i < entries; ++i) script += "r" + std::to_string(i) + "\n";
    torvex::parseScript(*t, script.c_str());
    for (int i = 0; i < users; ++i) {
        t->users.push_back(std::make_unique<CUserSession>(*t, i));
        t->users.back()->results.prepare(form, entries, 1, false);
    }
    return t;
}

} // namespace

TEST(ResultsQuery, AggregatesMergeOverUsersAndScaleIntoThirtyTwoBits) {
    auto t = runWith(Form::Aggregate, 2, 3);
    // Entry 0: 5,000,000,000 microseconds over 1000 requests, split over both users.
    for (auto& user : t->users) {
        auto& a   = user->results.aggregates[0];
        a.minimum = user->index() == 0 ? 4000000 : 3000000;
        a.maximum = user->index() == 0 ? 6000000 : 7000000;
        a.count   = 500;
        a.sum     = 2500000000ull;
    }
    // Entry 2: more fast requests than fit into 32 bits, all rounded to 0 microseconds.
    t->users[0]->results.aggregates[2].add(0);
    t->users[0]->results.aggregates[2].count = 3000000000ll;

    auto* records = static_cast<const AggregateRecord*>(GetResults(t.get(), 7));
    ASSERT_NE(records, nullptr);
    EXPECT_EQ(records[0].minimum, 3000000);
    EXPECT_EQ(records[0].maximum, 7000000);
    EXPECT_EQ(records[0].sum, 1250000000); // halved twice, the average stays 5,000,000
    EXPECT_EQ(records[0].count, 250);
    // An entry that never succeeded.
    EXPECT_EQ(records[1].minimum, 0x7FFFFFFF);
    EXPECT_EQ(records[1].maximum, 0);
    EXPECT_EQ(records[1].count, 0);
    EXPECT_EQ(records[1].sum, 0);
    EXPECT_EQ(records[2].count, 1500000000);
    EXPECT_EQ(records[2].sum, 0);
}

TEST(ResultsQuery, ScriptAndDetailedRowsAndUnknownUsers) {
    auto script = runWith(Form::Script, 2, 0);
    for (int value : {1200, -2, 800})
        script->users[1]->results.scriptResults.push_back({"home", value, 0, 0});
    auto** row = static_cast<std::int32_t**>(GetResults(script.get(), 1));
    ASSERT_NE(row, nullptr);
    EXPECT_THAT(std::vector<std::int32_t>(row[0], row[0] + 4),
                ::testing::ElementsAre(3, 1200, -2, 800));
    row = static_cast<std::int32_t**>(GetResults(script.get(), 0));
    EXPECT_EQ(row[0][0], 0);

    auto detailed                          = runWith(Form::Detailed, 1, 2);
    detailed->users[0]->results.cell(1, 0) = 4500;
    auto** rows = static_cast<std::int32_t**>(GetResults(detailed.get(), 0));
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(rows[0][0], torvex::kNotExecuted);
    EXPECT_EQ(rows[1][0], 4500);

    EXPECT_EQ(GetResults(detailed.get(), 1), nullptr);
    EXPECT_EQ(GetResults(detailed.get(), -1), nullptr);
    CTestSet neverRun;
    EXPECT_EQ(GetResults(&neverRun, 0), nullptr);
}
