// torvex-run running scenario files as the workbench's Run Test command does, as a child process
// against a fixture server on loopback: batches with their run log, reports and results file, the
// checks before a run, and a stop by signal.

#include "cli/RunnerProcess.h"
#include "http/support/FixtureServer.h"
#include "model/Scenario.h"
#include "model/ScenarioFile.h"
#include "results/ResultsContainer.h"
#include "support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using torvex::test::FixtureServer;
using torvex::test::httpResponse;
using torvex::test::RunnerProcess;
using torvex::test::RunnerResult;
using torvex::test::runRunner;
using torvex::test::TempDir;

namespace {

int occurrences(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

class ScenarioRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The user's own global settings never reach these runs.
        setenv("XDG_CONFIG_HOME", folder.path.c_str(), 1);
        server.route("/", FixtureServer::reply(httpResponse(200, "home")));
        auto request    = std::make_unique<torvex::CRequest>();
        request->name   = "home";
        request->method = torvex::CRequest::kGet;
        request->scheme = torvex::CRequest::kHttp;
        request->server = "127.0.0.1:" + std::to_string(server.port());
        scenario.requests.append(std::move(request));
        torvex::CRunSection& run = scenario.run;
        run.iterations           = 2;
        run.staggerStart         = 0;
        run.pauseBetweenRuns     = 0;
        run.saveTimings          = 1;
        run.saveReports          = 1;
        run.reportDir            = (folder.path / "reports").string();
        run.reportNamePattern    = "%n-%c.txt";
        run.batchFrom            = 1;
        run.batchTo              = 3;
    }
    std::string save() {
        std::string path = (folder.path / "load.tvs").string(), error;
        EXPECT_TRUE(torvex::saveScenarioFile(scenario, path, error)) << error;
        return path;
    }
    static std::string describe(const RunnerResult& r) {
        return "stdout:\n" + r.out + "\nstderr:\n" + r.err;
    }

    TempDir folder;
    FixtureServer server;
    torvex::CScenario scenario;
};

} // namespace

TEST_F(ScenarioRunTest, BatchRunsLogReportAndSaveTheirResults) {
    std::string results = (folder.path / "load.rlt").string();
    RunnerResult r      = runRunner({"--results", results, save()});
    ASSERT_EQ(r.status, 0) << describe(r);

    // In this order; a busy machine may add processor load warnings in between.
    std::size_t at = 0;
    for (const char* line :
         {"MESSAGE>   Cycling: Virtual users=1\n", "MESSAGE>   Running...\n",
          "MESSAGE>   Finished \"load.tvs - Virtual users=1\"\n",
          "MESSAGE>   Cycling: Virtual users=2\n", "MESSAGE>   Cycling: Virtual users=3\n",
          "MESSAGE>   Finished \"load.tvs - Virtual users=3\"\n",
          "MESSAGE>   All tasks finished\n"}) {
        at = r.err.find(line, at);
        ASSERT_NE(at, std::string::npos) << line << describe(r);
    }
    EXPECT_EQ(occurrences(r.out, "--- Basic statistics ---"), 3);
    EXPECT_EQ(r.out.find('\r'), std::string::npos);
    EXPECT_THAT(r.out, HasSubstr("Scenario name: load.tvs\nTest run comment: \n"
                                 "Virtual users: 3\nIterations: 2\n"));
    EXPECT_EQ(server.requests().size(), 12u); // (1 + 2 + 3) users x 2 iterations

    for (const char* report : {"load-1.txt", "load-2.txt", "load-3.txt"})
        EXPECT_THAT(torvex::test::fileText(folder.path / "reports" / report),
                    HasSubstr("--- Basic statistics ---"))
            << report;
    torvex::CResultsContainer loaded;
    std::string error;
    ASSERT_TRUE(loaded.LoadFromFile(results, error)) << error;
    ASSERT_EQ(loaded.GetCount(), 3);
    std::vector<int> users;
    for (int i = 0; i < 3; ++i) users.push_back(loaded.GetAt(i)->userCount);
    EXPECT_THAT(users, ElementsAre(1, 2, 3));
    EXPECT_EQ(loaded.GetAt(2)->iterationCount, 2);
    EXPECT_EQ(loaded.GetAt(2)->batchLabel, "Virtual users");
    EXPECT_THAT(loaded.GetAt(2)->reportText, HasSubstr("Virtual users: 3\r\n"));
}

TEST_F(ScenarioRunTest, ChecksRefuseTheRunBeforeAnyRequest) {
    scenario.run.reportNamePattern = "%n/%c.txt";
    RunnerResult r                 = runRunner({save()});
    EXPECT_EQ(r.status, 2) << describe(r);
    EXPECT_THAT(r.err, HasSubstr("load.tvs: A filename cannot contain any of the following "
                                 "characters:\n\\/:*?\"<>|\n"));

    scenario.requests.clear();
    r = runRunner({save()});
    EXPECT_EQ(r.status, 2) << describe(r);
    EXPECT_THAT(r.err, HasSubstr("No requests in the test scenario. Test has stopped.\n"
                                 "Go to Recorder to add some requests to the test scenario.\n"));

    r = runRunner({"--set", "clients=2", (folder.path / "load.tvs").string()});
    EXPECT_EQ(r.status, 2) << describe(r);
    EXPECT_THAT(r.err, HasSubstr("--set apply to test scripts only"));
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(ScenarioRunTest, TimingsThatWouldNotFitIntoMemoryAreSwitchedOff) {
    // The script asks for 999999 users of 9999999 iterations (the memory check's figure), but
    // the batch runs one user, and the request limit makes that two iterations.
    scenario.run.users         = 999999;
    scenario.run.iterations    = 9999999;
    scenario.run.batchTo       = 1;
    scenario.run.limitRequests = 1;
    scenario.run.maxRequests   = 2;
    std::string results        = (folder.path / "summary.rlt").string();
    RunnerResult r             = runRunner({"--results", results, save()});
    ASSERT_EQ(r.status, 0) << describe(r);
    EXPECT_THAT(r.err, HasSubstr("load.tvs: the request timings of this run would not fit into "
                                 "the available memory; they are not saved.\n"));
    torvex::CResultsContainer loaded;
    std::string error;
    ASSERT_TRUE(loaded.LoadFromFile(results, error)) << error;
    ASSERT_EQ(loaded.GetCount(), 1);
    EXPECT_EQ(loaded.GetAt(0)->summaryOnly, 1);
    EXPECT_EQ(server.requests().size(), 2u);
}

TEST_F(ScenarioRunTest, SignalStopsTheBatchAndKeepsWhatWasCollected) {
    server.route("/", FixtureServer::silent());
    std::string results = (folder.path / "stopped.rlt").string();
    RunnerProcess runner({"--results", results, save()});
    ASSERT_TRUE(server.waitForRequests(1, 5s));
    runner.signal(SIGINT);
    RunnerResult r = runner.finish(5s);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 1) << describe(r);
    EXPECT_THAT(r.err, HasSubstr("WARNING>   Process was terminated by user\n"));
    EXPECT_EQ(r.out, "");
    torvex::CResultsContainer loaded;
    std::string error;
    ASSERT_TRUE(loaded.LoadFromFile(results, error)) << error;
    EXPECT_EQ(loaded.GetCount(), 0);
}
