// Records filled from real engine runs against a fixture server on loopback: a detailed run, a
// summary-only run and a script-driven run.

#include "torvexcore.h"

#include "http/support/FixtureServer.h"
#include "results/ResultsCollection.h"
#include "support/CapturedOutput.h"
#include "support/TempDir.h"
#include "support/TestSetHandle.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using torvex::BatchPosition;
using torvex::collectResults;
using torvex::ResultsRecord;
using torvex::test::CapturedOutput;
using torvex::test::fileText;
using torvex::test::FixtureServer;
using torvex::test::httpResponse;
using torvex::test::TempDir;
using torvex::test::TestSetHandle;

namespace {

class CollectResults : public ::testing::Test {
protected:
    CollectResults() {
        server.route("/a", FixtureServer::reply(httpResponse(200, "page a")));
        server.route("/b", FixtureServer::reply(httpResponse(200, "page b")));
    }

    // Runs two requests, a and b, with `options`; the engine stores its report in the folder.
    TestSetHandle run(const std::string& options) {
        std::string text = "[General]\nserver=127.0.0.1\nport=" + std::to_string(server.port()) +
                           "\nsummarytimes=1\ntimeout=5\nobjectiveid=4\noutfile=run.xls\n"
                           "reportdir=" +
                           dir.path.string() + "\n" + options + "\n[a]\n$uri=/a\n[b]\n$uri=/b\n";
        TestSetHandle ts(CreateTestSet(0));
        EXPECT_EQ(ParseTest(ts.get(), "collect", text.c_str()), 1) << text;
        EXPECT_EQ(RunTest(ts.get()), 1);
        return ts;
    }

    // What every record of these runs shares: the report with CR LF only, stored by the engine
    // with LF before the conversion, and the summary figures of a run without errors (a script's
    // report has no traffic and request figures: `requests` is then -1).
    void expectReportAndSummary(const torvex::CResultsStore& r, int requests) {
        EXPECT_THAT(r.reportText, HasSubstr("\r\n"));
        std::string stored = r.reportText;
        for (std::size_t at; (at = stored.find("\r\n")) != std::string::npos;) stored.erase(at, 1);
        EXPECT_EQ(stored.find('\r'), std::string::npos);
        EXPECT_EQ(fileText(dir.path / "run.xls"), stored);
        EXPECT_EQ(r.errorCount, 0);
        if (requests >= 0) {
            EXPECT_EQ(r.requestsMade, requests);
            EXPECT_GT(r.serverBandwidth, 0);
            EXPECT_DOUBLE_EQ(r.userBandwidth * 2, r.serverBandwidth); // two users each run
        }
        EXPECT_EQ(r.objectiveId, 4);
        EXPECT_EQ(r.runId, 0);
        EXPECT_EQ(r.GetTitle(), "");
    }

    FixtureServer server;
    TempDir dir;
    CapturedOutput out; // keeps the engine's messages off the test's output
};

} // namespace

TEST_F(CollectResults, DetailedRunGivesAGroupPerUserOfTimesEndedByZero) {
    TestSetHandle ts = run("clients=2\nrequests=3\nnodetails=0");
    ResultsRecord r  = collectResults(ts.get(), BatchPosition{2, 5, "Virtual users", 0});
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->userCount, 2);
    EXPECT_EQ(r->seqLength, 2);
    EXPECT_EQ(r->iterationCount, 3);
    EXPECT_EQ(r->summaryOnly, 0);
    EXPECT_THAT(r->requestNames, ElementsAre("a", "b"));
    EXPECT_EQ(r->batchNumber, 2);
    EXPECT_EQ(r->batchValue, 5);
    EXPECT_EQ(r->batchLabel, "Virtual users");
    EXPECT_GT(r->requestsPerSec, 0);
    expectReportAndSummary(*r, 12);
    ASSERT_EQ(r->timings.size(), 2u);
    for (const auto& group : r->timings) {
        ASSERT_EQ(group.size(), 2u);
        for (const auto& entry : group) {
            ASSERT_EQ(entry.size(), 4u);
            for (int i = 0; i < 3; ++i) EXPECT_GE(entry[i], 0);
            EXPECT_EQ(entry[3], 0);
        }
    }
}

TEST_F(CollectResults, SummaryOnlyRunGivesOneGroupOfMinimumSumCountMaximum) {
    TestSetHandle ts = run("clients=2\nrequests=3\nnodetails=1");
    ResultsRecord r  = collectResults(ts.get(), BatchPosition{});
    EXPECT_EQ(r->userCount, 1);
    EXPECT_EQ(r->iterationCount, 1);
    EXPECT_EQ(r->summaryOnly, 1);
    EXPECT_EQ(r->seqLength, 2);
    EXPECT_EQ(r->batchNumber, 0);
    EXPECT_EQ(r->batchLabel, "");
    expectReportAndSummary(*r, 12);
    ASSERT_EQ(r->timings.size(), 1u);
    ASSERT_EQ(r->timings[0].size(), 2u);
    for (const auto& entry : r->timings[0]) {
        ASSERT_EQ(entry.size(), 5u);
        EXPECT_GE(entry[0], 0);
        EXPECT_LE(entry[0], entry[3]);
        EXPECT_GE(entry[1], entry[3]);
        EXPECT_EQ(entry[2], 6); // 2 users x 3 iterations
        EXPECT_EQ(entry[4], 0);
    }
}

TEST_F(CollectResults, ScriptDrivenRunTakesEachUsersValuesAndTheLastUsersCount) {
    TestSetHandle ts = run("clients=2\nscript=$inline.js\n[script]\n"
                           "Request('a');\nif (GetOpt('clid') == 1) Request('b');\nRequest('a');\n"
                           "[/script]");
    ResultsRecord r  = collectResults(ts.get(), BatchPosition{});
    EXPECT_EQ(r->userCount, 2);
    EXPECT_EQ(r->seqLength, 1);
    EXPECT_EQ(r->iterationCount, 3);
    EXPECT_EQ(r->summaryOnly, 0);
    ASSERT_EQ(r->requestNames.size(), 1u);
    expectReportAndSummary(*r, -1);
    ASSERT_EQ(r->timings.size(), 2u);
    for (int u = 0; u < 2; ++u) {
        ASSERT_EQ(r->timings[u].size(), 1u);
        const auto& entry = r->timings[u][0];
        ASSERT_EQ(entry.size(), u == 0 ? 3u : 4u) << u;
        for (std::size_t i = 0; i + 1 < entry.size(); ++i) EXPECT_GE(entry[i], 0);
        EXPECT_EQ(entry.back(), 0);
    }
}
