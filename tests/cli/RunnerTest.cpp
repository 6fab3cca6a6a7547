// torvex-run running test scripts as a user runs it, as a child process against a fixture server
// on loopback: arguments for the engine, --set and --report, exit statuses, results files, stops
// by signal and the progress line on a terminal.

#include "cli/RunnerProcess.h"
#include "http/support/FixtureServer.h"
#include "support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using torvex::test::fileText;
using torvex::test::FixtureServer;
using torvex::test::httpResponse;
using torvex::test::RecordedRequest;
using torvex::test::ReplyChannel;
using torvex::test::RunnerProcess;
using torvex::test::RunnerResult;
using torvex::test::runRunner;
using torvex::test::TempDir;

namespace {

constexpr const char* kReportStart = "--- Basic statistics ---";

class RunnerTest : public ::testing::Test {
protected:
    // A script in the temporary folder whose requests go to the fixture server.
    std::string script(const std::string& body, const std::string& name = "load.tvt") {
        std::string path = (folder.path / name).string();
        std::ofstream(path) << "[general]\nserver=127.0.0.1\nport=" << server.port() << "\n"
                            << body;
        return path;
    }
    std::string describe(const RunnerResult& r) {
        return "stdout:\n" + r.out + "\nstderr:\n" + r.err;
    }

    FixtureServer server;
    TempDir folder;
};

} // namespace

TEST_F(RunnerTest, ArgumentsAfterTheFileReachTheScriptAndSetOverridesIt) {
    server.route("/find", FixtureServer::reply(httpResponse(200, "found")));
    // The file's own port is wrong on purpose: $gvar takes the one from the command line.
    std::string path = (folder.path / "globals.tvt").string();
    std::ofstream(path) << "[general]\nserver=$gvar(host)\nport=$gvar(port,1)\nclients=1\n"
                           "requests=5\n[find]\n$uri=/$gvar(path)\n";

    RunnerResult r =
        runRunner({"--set", "clients=2", "--set", "requests=3", path, "-host=127.0.0.1",
                   "/port=" + std::to_string(server.port()), "-path=find?q=a=b", "nightly"});
    ASSERT_EQ(r.status, 0) << describe(r);
    EXPECT_THAT(r.out, HasSubstr("Virtual users: 2\nIterations: 3\n"));
    EXPECT_THAT(r.out, HasSubstr("Code\tCount\n200\t6\n"));
    EXPECT_EQ(r.err, ""); // no warning, and no progress line for a run this short
    std::vector<RecordedRequest> seen = server.requests();
    ASSERT_EQ(seen.size(), 6u);
    for (const RecordedRequest& request : seen) EXPECT_EQ(request.target, "/find?q=a=b");
}

TEST_F(RunnerTest, ReportFileAndResultsFileHoldTheSameReport) {
    server.route("/", FixtureServer::reply(httpResponse(200, "home")));
    std::string path       = script("reportdir=" + folder.path.string() +
                                    "/\noutfile=%n-%c-%%.txt\n"
                                          "clients=2\n[home]\n$uri=/\n");
    std::string reportPath = (folder.path / "report.txt").string();

    RunnerResult r = runRunner({"--report", reportPath, path});
    ASSERT_EQ(r.status, 0) << describe(r);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    std::string report = fileText(reportPath);
    EXPECT_THAT(report, HasSubstr(kReportStart));
    // Without a projectname of its own the run is named after the test.
    EXPECT_EQ(fileText(folder.path / "load-2-%.txt"), report);
}

TEST_F(RunnerTest, RefusedArgumentsEndWithStatusTwoBeforeAnyRequest) {
    server.route("/", FixtureServer::reply(httpResponse(200)));
    std::string good      = script("[home]\n$uri=/\n");
    std::string duplicate = script("[a]\n$uri=/\n[a]\n$uri=/\n", "duplicate.tvt");
    std::string missing   = (folder.path / "missing.tvt").string();
    struct Case {
        std::vector<std::string> arguments;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {{missing}, {"Cannot open file " + missing}},
        {{folder.path.string()}, {"Cannot open file " + folder.path.string()}},
        {{duplicate}, {"Duplicate request definition: a", duplicate + ": not a valid test script"}},
        {{good, "-port=1", "-verbose"}, {"Invalid command line option -verbose!"}},
        {{"--set", "bogus=1", good}, {"--set bogus=1"}},
        {{"--set", "clients=x", good},
         {"Integer number expected as a value of clients", "--set clients=x"}},
        {{"--set", "clients", good}, {"--set clients"}},
        {{"--bogus", good}, {"--bogus"}},
        {{"--report", (folder.path / "no" / "r.txt").string(), good}, {"no/r.txt"}},
        {{"--check", good, "extra"}, {"--check"}},
        {{"--set", "clients=2"}, {"FILE"}},
    };
    for (const Case& c : cases) {
        RunnerResult r = runRunner(c.arguments);
        SCOPED_TRACE(c.arguments.front() + " " + c.arguments.back());
        EXPECT_EQ(r.status, 2) << describe(r);
        EXPECT_EQ(r.out, "");
        for (const std::string& message : c.messages) EXPECT_THAT(r.err, HasSubstr(message));
    }
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(RunnerTest, FailedRequestsEndWithStatusOneAndAReport) {
    server.route("/error", FixtureServer::reply(httpResponse(500, "Internal error")));
    server.route("/drop", FixtureServer::closeImmediately());
    struct Case {
        std::string script, errors;
    };
    const Case cases[] = {
        {"requests=2\n[error]\n$uri=/error\n", "HTTP: 2\n"},
        {"requests=2\n[drop]\n$uri=/drop\n", "Net: 2\n"},
        // Nothing runs when the sequence names no request: no request completed.
        {"[testseq]\nnowhere\n[home]\n$uri=/\n", "Request nowhere not found!"},
    };
    for (const Case& c : cases) {
        RunnerResult r = runRunner({script(c.script)});
        SCOPED_TRACE(c.script);
        EXPECT_EQ(r.status, 1) << describe(r);
        EXPECT_THAT(r.out, HasSubstr(kReportStart));
        EXPECT_THAT(r.out + r.err, HasSubstr(c.errors));
    }
}

TEST_F(RunnerTest, FirstSignalStopsTheRunAndKeepsTheReport) {
    server.route("/wait", FixtureServer::silent());
    RunnerProcess runner({script("clients=2\nrequests=3\n[wait]\n$uri=/wait\n")});
    ASSERT_TRUE(server.waitForRequests(2, 5s));
    runner.signal(SIGINT);
    RunnerResult r = runner.finish(5s);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 1) << describe(r);
    EXPECT_THAT(r.out, HasSubstr(kReportStart));
    EXPECT_THAT(r.err, HasSubstr("Stopping the run"));
}

TEST_F(RunnerTest, SecondSignalQuitsAtOnce) {
    // Without abortseq users finish their request first, which a silent server never answers.
    server.route("/wait", FixtureServer::silent());
    RunnerProcess runner({script("abortseq=0\ntimeout=30\n[wait]\n$uri=/wait\n")});
    ASSERT_TRUE(server.waitForRequests(1, 5s));
    runner.signal(SIGINT);
    runner.signal(SIGTERM);
    RunnerResult r = runner.finish(5s);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 130) << describe(r);
    EXPECT_EQ(r.out, "");
}

TEST_F(RunnerTest, TerminalShowsProgressInPlaceAndClearsItAtTheEnd) {
    server.route("/slow", [](ReplyChannel& channel, const RecordedRequest&) {
        if (channel.pause(300ms)) channel.send(httpResponse(200, "late"));
    });
    RunnerProcess runner({script("requests=4\nkeepalive=1\n[slow]\n$uri=/slow\n")}, true);
    RunnerResult r = runner.finish(10s);
    ASSERT_EQ(r.status, 0) << describe(r);
    EXPECT_THAT(r.err, HasSubstr("/4 requests, "));
    EXPECT_THAT(r.err, HasSubstr(" 0 errors, 0:0"));
    EXPECT_THAT(r.err, EndsWith("\r\033[K")); // the last line was removed
    EXPECT_THAT(r.out, HasSubstr(kReportStart));
}

TEST_F(RunnerTest, ScriptedUsersRunAndTraceTheScriptHostOnTheDebugChannel) {
    server.route("/", FixtureServer::reply(httpResponse(200, "home")));
    std::string js     = script("script=$inline.js\n[script]\nRequest('home');\n[/script]\n"
                                    "[home]\n$uri=/\n");
    std::string vbs    = script("script=$inline.vbs\n[script]\nRequest('home')\n[/script]\n"
                                   "[home]\n$uri=/\n",
                                "vbs.tvt");
    RunnerResult quiet = runRunner({js});
    EXPECT_EQ(quiet.status, 0) << describe(quiet);
    EXPECT_EQ(quiet.err, "");
    EXPECT_THAT(quiet.out, HasSubstr("--- Client 0 ---\nhome\t"));

    setenv("TORVEX_DEBUG", "1", 1);
    RunnerResult traced   = runRunner({js});
    RunnerResult noEngine = runRunner({vbs});
    unsetenv("TORVEX_DEBUG");
    EXPECT_EQ(traced.status, 0) << describe(traced);
    EXPECT_THAT(traced.err, HasSubstr("CScriptedFrame::InitializeScriptedFrame\n"
                                      "CScriptedFrame::OnStateChange\nState: Initialized.\n"));
    EXPECT_THAT(traced.err, HasSubstr("CScriptedFrame::RunScript\n"));
    EXPECT_THAT(traced.err, HasSubstr("CTorvexObject::Invoke\nCTorvexObject::Request\n"));
    // No engine for VBScript: the user makes no request, which ends the run with status 1.
    EXPECT_EQ(noEngine.status, 1) << describe(noEngine);
    EXPECT_THAT(noEngine.err, HasSubstr("Failed to create scripting engine.\n"));
    EXPECT_EQ(server.requests().size(), 2u);
}
