// torvex-run --mpi as one job of three processes under mpirun on this machine, against a fixture
// server on loopback: one report that matches a single process running the same users, users
// numbered across the processes, and a stop on rank 0 that ends every process.
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
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using torvex::test::FixtureServer;
using torvex::test::httpResponse;
using torvex::test::RunnerProcess;
using torvex::test::RunnerResult;
using torvex::test::TempDir;

namespace {

RunnerProcess mpirun(int processes, const std::vector<std::string>& runnerArguments) {
    std::vector<std::string> arguments{"--oversubscribe", "-n", std::to_string(processes),
                                       TORVEX_RUN_PATH, "--mpi"};
    arguments.insert(arguments.end(), runnerArguments.begin(), runnerArguments.end());
    return RunnerProcess(arguments, false, "mpirun");
}

// Rank 0 of a job: the child of mpirun whose environment says so; -1 when there is none yet.
pid_t rankZeroOf(const RunnerProcess& job) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream environ(entry.path() / "environ");
        std::string variables((std::istreambuf_iterator<char>(environ)), {});
        std::ifstream stat(entry.path() / "stat");
        std::string pid, name, state, parent;
        stat >> pid >> name >> state >> parent;
        if (parent == std::to_string(job.pid()) &&
            variables.find(std::string("OMPI_COMM_WORLD_RANK=0") + '\0') != std::string::npos)
            return std::stoi(pid);
    }
    return -1;
}

// The lines of the report's section that starts with `heading`, up to the next heading.
std::vector<std::string> section(const std::string& report, const std::string& heading) {
    std::vector<std::string> lines;
    std::istringstream in(report.substr(std::min(report.find(heading), report.size())));
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line) && line.rfind("---", 0) != 0) {
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

// What must not differ between one process and several: everything but the times.
struct ReportShape {
    std::string users, requestsMade, codes;
    std::vector<std::string> rows;    // "001/00001" ... of the individual requests table
    std::vector<std::string> perUser; // user number and request count of each user
};

ReportShape shapeOf(const std::string& report) {
    ReportShape shape;
    std::smatch match;
    if (std::regex_search(report, match, std::regex("Virtual users: (\\d+)")))
        shape.users = match[1];
    if (std::regex_search(report, match, std::regex("Total requests made:\\s*(\\d+)")))
        shape.requestsMade = match[1];
    for (const std::string& line : section(report, "--- HTTP response codes details ---"))
        shape.codes += line + "\n";
    for (const std::string& line : section(report, "--- Individual requests processing time ---"))
        if (std::isdigit(static_cast<unsigned char>(line[0])))
            shape.rows.push_back(line.substr(0, 9));
    for (const std::string& line : section(report, "--- Summary times ---")) {
        if (std::regex_match(line, match, std::regex("(\\d+)\\t(\\d+)\\t.*")))
            shape.perUser.push_back(match[1].str() + ":" + match[2].str());
    }
    return shape;
}

class MpiRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        // This machine runs its tests as root, which OpenMPI refuses unless told twice.
        setenv("OMPI_ALLOW_RUN_AS_ROOT", "1", 1);
        setenv("OMPI_ALLOW_RUN_AS_ROOT_CONFIRM", "1", 1);
    }
    std::string script(const std::string& body) {
        std::string path = (folder.path / "spread.tvt").string();
        std::ofstream(path) << "[general]\nserver=127.0.0.1\nport=" << server.port() << "\n"
                            << body;
        return path;
    }
    // A scenario of one request to the fixture server, run as a batch.
    std::string scenario(int batchBy, int from, int to, int users, int pauseSeconds = 0) {
        setenv("XDG_CONFIG_HOME", folder.path.c_str(), 1); // not the user's own settings
        torvex::CScenario made;
        auto request    = std::make_unique<torvex::CRequest>();
        request->name   = "home";
        request->method = torvex::CRequest::kGet;
        request->scheme = torvex::CRequest::kHttp;
        request->server = "127.0.0.1:" + std::to_string(server.port());
        made.requests.append(std::move(request));
        torvex::CRunSection& run = made.run;
        run.users                = users;
        run.iterations           = 2;
        run.staggerStart         = 0;
        run.pauseBetweenRuns     = pauseSeconds > 0;
        run.pauseSeconds         = pauseSeconds;
        run.saveTimings          = 1;
        run.batchBy              = batchBy;
        run.batchFrom            = from;
        run.batchTo              = to;
        std::string path         = (folder.path / "batch.tvs").string(), error;
        EXPECT_TRUE(torvex::saveScenarioFile(made, path, error)) << error;
        return path;
    }
    std::string describe(const RunnerResult& r) {
        return "stdout:\n" + r.out + "\nstderr:\n" + r.err;
    }
    FixtureServer server;
    TempDir folder;
};

} // namespace

TEST_F(MpiRunTest, ThreeProcessesReportLikeOneWithUsersNumberedAcrossThem) {
    server.route("/page", FixtureServer::reply(httpResponse(200, "page")));
    server.route("/missing", FixtureServer::reply(httpResponse(404, "gone")));
    // Seven users do not split evenly over three processes: 3, 2 and 2.
    const std::string path = script("clients=7\nrequests=2\nignoreerrors=1\n"
                                    "[page]\n$uri=/page\nuser=$clid(u,x)\n"
                                    "[missing]\n$uri=/missing\n");
    RunnerResult single    = RunnerProcess({path}).finish(60s);
    ASSERT_EQ(single.status, 1) << describe(single); // the 404s are errors
    const std::size_t singleRequests = server.requests().size();

    RunnerResult spread = mpirun(3, {path}).finish(120s);
    ASSERT_FALSE(spread.timedOut);
    EXPECT_EQ(spread.status, 1) << describe(spread);
    EXPECT_THAT(spread.err, HasSubstr("Running 7 virtual users on 3 processes"));

    const ReportShape one = shapeOf(single.out), three = shapeOf(spread.out);
    EXPECT_EQ(three.users, "7");
    EXPECT_EQ(three.requestsMade, one.requestsMade);
    EXPECT_EQ(three.codes, one.codes);
    EXPECT_EQ(three.rows, one.rows);
    EXPECT_EQ(three.perUser, one.perUser);
    EXPECT_EQ(three.rows.size(), 14u);
    EXPECT_THAT(spread.out, HasSubstr("HTTP: 14"));

    // Every user number was used once per iteration, by whichever process ran it.
    std::multiset<std::string> clients;
    const std::vector<torvex::test::RecordedRequest> all = server.requests();
    for (std::size_t i = singleRequests; i < all.size(); ++i) {
        std::smatch match;
        if (std::regex_search(all[i].target, match, std::regex("user=(u\\d+x)")))
            clients.insert(match[1]);
    }
    ASSERT_EQ(clients.size(), 14u);
    for (int user = 0; user < 7; ++user)
        EXPECT_EQ(clients.count("u" + std::to_string(user) + "x"), 2u) << user;
}

TEST_F(MpiRunTest, MoreProcessesThanUsersLeaveTheRestIdle) {
    server.route("/page", FixtureServer::reply(httpResponse(200, "page")));
    RunnerResult r = mpirun(3, {script("clients=2\nrequests=1\n[page]\n$uri=/page\n")}).finish(60s);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 0) << describe(r);
    EXPECT_EQ(shapeOf(r.out).rows, (std::vector<std::string>{"001/00001", "002/00001"}));
    EXPECT_EQ(server.requests().size(), 2u);
}

TEST_F(MpiRunTest, AScriptThatDoesNotLoadStopsEveryProcessBeforeAnyRequest) {
    const std::string path = script("[page]\n$uri=/page\n[page]\n$uri=/again\n");
    RunnerResult r         = mpirun(3, {path}).finish(60s);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 2) << describe(r);
    EXPECT_THAT(r.err, HasSubstr("not a valid test script"));
    EXPECT_TRUE(server.requests().empty());
}

// Ctrl+C reaches the runner of rank 0 (mpirun's own handling of it would kill the processes
// before they report): every process stops, and rank 0 still writes the report.
TEST_F(MpiRunTest, AStopOnRankZeroStopsEveryProcess) {
    server.route("/wait", FixtureServer::silent());
    RunnerProcess job = mpirun(3, {script("clients=3\nrequests=5\n[wait]\n$uri=/wait\n")});
    ASSERT_TRUE(server.waitForRequests(3, 30s));

    const pid_t rankZero = rankZeroOf(job);
    ASSERT_GT(rankZero, 0);
    kill(rankZero, SIGINT);
    RunnerResult r = job.finish(30s);
    ASSERT_FALSE(r.timedOut) << describe(r);
    EXPECT_EQ(r.status, 1) << describe(r);
    EXPECT_THAT(r.err, HasSubstr("Stopping the run on every process"));
    EXPECT_THAT(r.out, HasSubstr("--- Basic statistics ---"));
    EXPECT_EQ(server.requests().size(), 3u);
}

TEST_F(MpiRunTest, AScenarioBatchByUsersStepsEveryProcessTogether) {
    server.route("/", FixtureServer::reply(httpResponse(200, "home")));
    const std::string results = (folder.path / "batch.rlt").string();
    RunnerResult r = mpirun(3, {"--results", results, scenario(0, 1, 3, 0)}).finish(120s);
    ASSERT_FALSE(r.timedOut);
    ASSERT_EQ(r.status, 0) << describe(r);
    // Rank 0 alone shows the log and the reports.
    std::size_t at = 0;
    for (const char* line :
         {"MESSAGE>   Cycling: Virtual users=1\n", "MESSAGE>   Cycling: Virtual users=2\n",
          "MESSAGE>   Cycling: Virtual users=3\n",
          "MESSAGE>   Finished \"batch.tvs - Virtual users=3\"\n",
          "MESSAGE>   All tasks finished\n"}) {
        at = r.err.find(line, at);
        ASSERT_NE(at, std::string::npos) << line << describe(r);
    }
    EXPECT_EQ(r.err.find("Cycling: Virtual users=1", r.err.find("Cycling: Virtual users=1") + 1),
              std::string::npos);
    for (const char* users : {"Virtual users: 1\n", "Virtual users: 2\n", "Virtual users: 3\n"})
        EXPECT_THAT(r.out, HasSubstr(users));
    EXPECT_EQ(server.requests().size(), 12u); // (1 + 2 + 3) users x 2 iterations

    torvex::CResultsContainer loaded;
    std::string error;
    ASSERT_TRUE(loaded.LoadFromFile(results, error)) << error;
    ASSERT_EQ(loaded.GetCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(loaded.GetAt(i)->userCount, i + 1);
        EXPECT_EQ(loaded.GetAt(i)->requestsMade, 2 * (i + 1));
        EXPECT_EQ(loaded.GetAt(i)->batchValue, i + 1);
    }
}

TEST_F(MpiRunTest, AScenarioBatchByIterationsKeepsTheUsersSharedOut) {
    server.route("/", FixtureServer::reply(httpResponse(200, "home")));
    RunnerResult r = mpirun(3, {scenario(1, 1, 2, 4)}).finish(120s);
    ASSERT_FALSE(r.timedOut);
    ASSERT_EQ(r.status, 0) << describe(r);
    EXPECT_THAT(r.out, HasSubstr("Virtual users: 4\nIterations: 1\n"));
    EXPECT_THAT(r.out, HasSubstr("Virtual users: 4\nIterations: 2\n"));
    EXPECT_EQ(server.requests().size(), 12u); // 4 users x (1 + 2) iterations
}

// A stop in the pause between two runs of a batch: every process leaves the batch, none waits
// for the others at the next run.
TEST_F(MpiRunTest, AStopBetweenBatchRunsEndsTheBatchOnEveryProcess) {
    server.route("/", FixtureServer::reply(httpResponse(200, "home")));
    RunnerProcess job = mpirun(3, {scenario(0, 3, 6, 0, 10)});
    ASSERT_TRUE(server.waitForRequests(6, 30s)); // the first run: 3 users x 2 iterations
    std::this_thread::sleep_for(1s);             // into the pause
    const pid_t rankZero = rankZeroOf(job);
    ASSERT_GT(rankZero, 0);
    kill(rankZero, SIGINT);
    RunnerResult r = job.finish(30s);
    ASSERT_FALSE(r.timedOut) << describe(r);
    EXPECT_EQ(r.status, 1) << describe(r);
    EXPECT_THAT(r.err, HasSubstr("Process was terminated by user"));
    EXPECT_EQ(r.out.find("Virtual users: 4"), std::string::npos) << describe(r);
    EXPECT_EQ(server.requests().size(), 6u);
}
