#include "runner/TestRunner.h"

#include "http/support/FixtureServer.h"
#include "model/GlobalSettings.h"
#include "model/RunLog.h"
#include "model/Scenario.h"
#include "runner/RunNotifier.h"
#include "support/TestSetHandle.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sstream>

using namespace torvex;
using namespace std::chrono_literals;
using test::FixtureServer;
using test::httpResponse;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

// Keeps what the worker tells, for the test thread to wait on and look at.
class RecordingNotifier : public RunNotifier {
public:
    void runProgress(std::optional<std::pair<int, int>> counts,
                     std::optional<std::string> text) override {
        std::lock_guard guard(lock_);
        progress.push_back({counts, text});
    }
    void batchFirstRunDone() override {
        std::lock_guard guard(lock_);
        ++firstRunsDone;
    }
    void runFinished(bool interrupted) override {
        std::lock_guard guard(lock_);
        finished.push_back(interrupted);
        changed_.notify_all();
    }
    void logChanged() override {
        std::lock_guard guard(lock_);
        ++logChanges;
        changed_.notify_all();
    }

    bool waitFinished(std::chrono::seconds limit = 20s) {
        std::unique_lock lock(lock_);
        return changed_.wait_for(lock, limit, [&] { return !finished.empty(); });
    }
    template <class Predicate> bool waitFor(Predicate predicate, std::chrono::seconds limit = 20s) {
        std::unique_lock lock(lock_);
        return changed_.wait_for(lock, limit, predicate);
    }

    std::vector<std::pair<std::optional<std::pair<int, int>>, std::optional<std::string>>> progress;
    int firstRunsDone = 0;
    int logChanges    = 0;
    std::vector<bool> finished;

private:
    std::mutex lock_;
    std::condition_variable changed_;
};

std::vector<std::string> logLines(const CRunLog& log) {
    std::vector<std::string> lines;
    std::istringstream in(log.text());
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

int countStartingWith(const std::vector<std::string>& lines, const std::string& prefix) {
    int n = 0;
    for (const std::string& line : lines) n += line.rfind(prefix, 0) == 0;
    return n;
}

class TestRunnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        server.route("/", FixtureServer::reply(httpResponse(200, "home")));
        auto request    = std::make_unique<CRequest>();
        request->name   = "home";
        request->method = CRequest::kGet;
        request->scheme = CRequest::kHttp;
        request->server = "127.0.0.1:" + std::to_string(server.port());
        scenario.requests.append(std::move(request));
        CRunSection& run             = scenario.run;
        run.iterations               = 1;
        run.staggerStart             = 0;
        run.pauseBetweenRuns         = 0;
        run.saveTimings              = 1; // detailed, so that records show users and iterations
        scenario.general.projectName = "shop";
        runner.Initialize(notifier);
        runner.SetLogTarget(&scenario.log);
    }
    void TearDown() override { runner.Shutdown(); }

    bool start() {
        std::string script;
        scenario.generateScript(GlobalSettingsValues{}, script);
        return runner.StartRun(script, scenario.general.projectName,
                               BatchSettings::of(scenario.run), scenario);
    }
    void batchByUsers(int from, int to, int step) {
        scenario.run.batchRun  = 1;
        scenario.run.batchBy   = 0;
        scenario.run.batchFrom = from;
        scenario.run.batchTo   = to;
        scenario.run.batchStep = step;
    }
    std::vector<int> batchValues() {
        std::vector<int> values;
        for (int i = 0; i < runner.results().GetCount(); ++i)
            values.push_back(runner.results().GetAt(i)->batchValue);
        return values;
    }

    FixtureServer server;
    CScenario scenario;
    RecordingNotifier notifier;
    CTestRunner runner;
};

} // namespace

TEST_F(TestRunnerTest, BatchByUsersFromOneToTwentyCollectsEveryRun) {
    batchByUsers(1, 20, 1);
    ASSERT_TRUE(start());
    ASSERT_TRUE(notifier.waitFinished(60s));
    EXPECT_THAT(notifier.finished, ElementsAre(false));
    EXPECT_EQ(notifier.firstRunsDone, 1);
    EXPECT_FALSE(runner.running());

    std::vector<std::string> lines = logLines(scenario.log);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.front(), "MESSAGE>   Cycling: Virtual users=1");
    // One more "Cycling" line before each of the other 19 runs.
    EXPECT_EQ(countStartingWith(lines, "MESSAGE>   Cycling: Virtual users="), 20);
    EXPECT_EQ(countStartingWith(lines, "MESSAGE>   Running..."), 20);
    EXPECT_EQ(countStartingWith(lines, "MESSAGE>   Finished \"shop - Virtual users="), 20);
    EXPECT_EQ(lines[lines.size() - 2], "MESSAGE>   All tasks finished");
    EXPECT_EQ(lines.back(), "");

    ASSERT_EQ(runner.results().GetCount(), 20);
    for (int i = 0; i < 20; ++i) {
        ResultsRecord record = runner.results().GetAt(i);
        EXPECT_EQ(record->runId, i + 1);
        EXPECT_EQ(record->batchNumber, 1);
        EXPECT_EQ(record->batchValue, i + 1);
        EXPECT_EQ(record->userCount, i + 1);
        EXPECT_EQ(record->batchLabel, "Virtual users");
        EXPECT_THAT(record->GetTitle(),
                    ::testing::EndsWith(" - shop - Virtual users=" + std::to_string(i + 1)));
    }
    EXPECT_EQ(server.requests().size(), 210u); // 1 + 2 + ... + 20 users, one request each
}

TEST_F(TestRunnerTest, DescendingAndOddBatchesAndTheBatchCounter) {
    batchByUsers(20, 1, -5);
    ASSERT_TRUE(start());
    ASSERT_TRUE(notifier.waitFinished());
    EXPECT_THAT(batchValues(), ElementsAre(20, 15, 10, 5));
    EXPECT_EQ(runner.results().GetAt(3)->userCount, 5);

    notifier.finished.clear();
    batchByUsers(5, 15, 10);
    ASSERT_TRUE(start());
    ASSERT_TRUE(notifier.waitFinished());
    EXPECT_THAT(batchValues(), ElementsAre(5, 15));

    notifier.finished.clear();
    batchByUsers(5, 14, 10);
    ASSERT_TRUE(start());
    ASSERT_TRUE(notifier.waitFinished());
    EXPECT_THAT(batchValues(), ElementsAre(5));
    // The list was emptied for the new batch; the run ids go on; the batch counter counts batches.
    EXPECT_EQ(runner.results().GetAt(0)->runId, 7);
    EXPECT_EQ(runner.results().GetAt(0)->batchNumber, 3);

    notifier.finished.clear();
    scenario.run.batchBy     = 1;
    scenario.run.batchFrom   = 2;
    scenario.run.batchTo     = 9;
    scenario.run.batchStep   = 0;
    scenario.run.saveTimings = 1; // detailed timings, so the record shows the iterations
    ASSERT_TRUE(start());
    ASSERT_TRUE(notifier.waitFinished());
    ASSERT_EQ(runner.results().GetCount(), 1);
    ResultsRecord record = runner.results().GetAt(0);
    EXPECT_EQ(record->batchValue, 2);
    EXPECT_EQ(record->iterationCount, 2);
    EXPECT_EQ(record->batchLabel, "Iterations");
    EXPECT_THAT(scenario.log.text(), HasSubstr("Cycling: Iterations=2\r\n"));
}

TEST_F(TestRunnerTest, SingleRunIsNamedAfterTheTest) {
    scenario.run.batchRun = 0;
    scenario.run.users    = 3;
    ASSERT_TRUE(start());
    ASSERT_TRUE(notifier.waitFinished());
    EXPECT_THAT(notifier.finished, ElementsAre(false));
    EXPECT_EQ(notifier.firstRunsDone, 0);
    ASSERT_EQ(runner.results().GetCount(), 1);
    ResultsRecord record = runner.results().GetAt(0);
    EXPECT_EQ(record->batchNumber, 0);
    EXPECT_EQ(record->userCount, 3);
    EXPECT_THAT(record->GetTitle(), ::testing::MatchesRegex("[0-9][0-9]:[0-9][0-9] - shop"));
    EXPECT_THAT(scenario.log.text(), HasSubstr("MESSAGE>   Finished \"shop\"\r\n"));
    EXPECT_THAT(scenario.log.text(), ::testing::Not(HasSubstr("Cycling")));
    // The progress display: "Running...", the report, then hidden.
    ASSERT_FALSE(notifier.progress.empty());
    EXPECT_EQ(notifier.progress.front().first, std::make_pair(0, 0));
    EXPECT_EQ(notifier.progress.front().second, "Running...");
    EXPECT_EQ(notifier.progress.back().first, std::nullopt);
    EXPECT_EQ(notifier.progress.back().second, std::nullopt);
}

TEST_F(TestRunnerTest, PauseBetweenRunsAndAStopDuringIt) {
    batchByUsers(1, 2, 1);
    scenario.run.pauseBetweenRuns = 1;
    scenario.run.pauseSeconds     = 1;
    ASSERT_TRUE(start());
    ASSERT_TRUE(notifier.waitFinished());
    EXPECT_THAT(logLines(scenario.log), ::testing::Contains("MESSAGE>   Waiting 1 second..."));
    EXPECT_EQ(runner.results().GetCount(), 2);

    scenario.log.clear();
    notifier.finished.clear();
    batchByUsers(1, 5, 1);
    scenario.run.pauseSeconds = 3;
    auto started              = std::chrono::steady_clock::now();
    ASSERT_TRUE(start());
    ASSERT_TRUE(notifier.waitFor(
        [&] { return scenario.log.text().find("Waiting 3 seconds...") != std::string::npos; }));
    runner.StopRun();
    EXPECT_FALSE(runner.running());
    EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);
    // A stop in the pause ends the batch as finished normally, with what was collected.
    EXPECT_THAT(notifier.finished, ElementsAre(false));
    EXPECT_EQ(runner.results().GetCount(), 1);
    std::vector<std::string> lines = logLines(scenario.log);
    EXPECT_THAT(lines, ::testing::Contains("WARNING>   Process was terminated by user"));
    EXPECT_EQ(countStartingWith(lines, "MESSAGE>   Running..."), 1);
}

TEST_F(TestRunnerTest, StopDuringARunKeepsNoResults) {
    server.route("/", FixtureServer::silent());
    batchByUsers(2, 4, 1);
    ASSERT_TRUE(start());
    ASSERT_TRUE(server.waitForRequests(2, 10s));
    runner.StopRun();
    EXPECT_FALSE(runner.running());
    EXPECT_THAT(notifier.finished, ElementsAre(true));
    EXPECT_EQ(runner.results().GetCount(), 0);
    EXPECT_THAT(scenario.log.text(), HasSubstr("WARNING>   Process was terminated by user\r\n"));
    EXPECT_THAT(scenario.log.text(), ::testing::Not(HasSubstr("Cycling: Virtual users=3")));
}

TEST_F(TestRunnerTest, FailedRunEndsTheBatch) {
    scenario.requests.clear();
    auto request    = std::make_unique<CRequest>();
    request->name   = "closed";
    request->method = CRequest::kGet;
    request->server = "127.0.0.1:1"; // nothing listens there
    scenario.requests.append(std::move(request));
    // Every user fails in its initial sequence, so the run completes no request.
    scenario.run.initialSeqOn = 1;
    scenario.run.initialSeq   = {"closed"};
    scenario.run.mainSeq      = {"closed"};
    batchByUsers(1, 3, 1);
    ASSERT_TRUE(start());
    ASSERT_TRUE(notifier.waitFinished());
    EXPECT_THAT(notifier.finished, ElementsAre(true));
    EXPECT_EQ(notifier.firstRunsDone, 0);
    EXPECT_EQ(runner.results().GetCount(), 0);
    std::vector<std::string> lines = logLines(scenario.log);
    EXPECT_THAT(lines, ::testing::Contains("WARNING>   Errors occured during test"));
    EXPECT_EQ(countStartingWith(lines, "MESSAGE>   Running..."), 1);
    EXPECT_EQ(countStartingWith(lines, "MESSAGE>   Finished"), 0);
}

TEST_F(TestRunnerTest, RefusedScriptStartsNothing) {
    EXPECT_FALSE(runner.StartRun("[General]\r\nclients=2\r\n\r\n[a]\r\nx=$Foo(1)\r\n", "bad",
                                 BatchSettings::of(scenario.run), scenario));
    EXPECT_FALSE(runner.running());
    EXPECT_TRUE(notifier.finished.empty());
    EXPECT_FALSE(scenario.log.text().empty()); // the engine's explanation
    EXPECT_THAT(scenario.log.text(), ::testing::StartsWith("MESSAGE>   "));

    // While one run goes on, another does not start.
    server.route("/", FixtureServer::silent());
    ASSERT_TRUE(start());
    EXPECT_FALSE(start());
    runner.StopRun();
}

TEST_F(TestRunnerTest, BatchValueTheEngineRefusesIsLoggedAndTheRunGoesOn) {
    // A scenario file may hold a value the run settings would never accept.
    batchByUsers(-1, -1, 0);
    scenario.run.users = 2;
    ASSERT_TRUE(start());
    ASSERT_TRUE(notifier.waitFinished());
    std::vector<std::string> lines = logLines(scenario.log);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1], "WARNING>   Failed to set parameter clients=-1");
    EXPECT_THAT(notifier.finished, ElementsAre(false));
    ASSERT_EQ(runner.results().GetCount(), 1);
    EXPECT_EQ(runner.results().GetAt(0)->userCount, 2); // the script's own number of users
}

TEST_F(TestRunnerTest, RateOverrideFollowsTheUsersOfEachRun) {
    batchByUsers(4, 4, 1);
    scenario.run.loadLevelMode     = 1;
    scenario.run.requestsPerSecond = 10;
    ASSERT_TRUE(start());
    ASSERT_TRUE(notifier.waitFinished());
    // The test set now holds what "rate=9000" sets.
    test::TestSetHandle expected(CreateTestSet(0));
    ASSERT_TRUE(ParseGeneralParam(expected.get(), "rate", "9000"));
    EXPECT_EQ(static_cast<CTestSet*>(runner.testSet())->delay, test::internals(expected).delay);
}

TEST_F(TestRunnerTest, ProgressIsClampedAndUnknownTotalsAreLogged) {
    CTestRunner::onProgress(&runner, 12, 10);
    ASSERT_EQ(notifier.progress.size(), 1u);
    EXPECT_EQ(notifier.progress[0].first, std::make_pair(10, 10));
    EXPECT_EQ(notifier.progress[0].second, "Request: 10/10");
    CTestRunner::onProgress(&runner, 7, -1);
    CTestRunner::onOutput(&runner, "from the engine");
    CTestRunner::onOutput(&runner, nullptr);
    EXPECT_EQ(scenario.log.text(),
              "MESSAGE>   Requests made so far: 7\r\nMESSAGE>   from the engine\r\n");
    runner.SetLogTarget(nullptr);
    CTestRunner::onOutput(&runner, "dropped");
    EXPECT_EQ(notifier.logChanges, 3);
    EXPECT_EQ(scenario.log.text().find("dropped"), std::string::npos);
}
