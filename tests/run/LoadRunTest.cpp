// Whole load runs through the exported functions against fixture servers on loopback: sequences,
// errors, stops, start-up, progress, user logs, the three result forms and the text report.

#include "torvexcore.h"

#include "api/TestSet.h"
#include "http/support/FixtureServer.h"
#include "run/Report.h"
#include "run/UserSession.h"
#include "support/CapturedOutput.h"
#include "support/TempDir.h"
#include "support/TestSetHandle.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using ::testing::Not;
using torvex::test::CapturedOutput;
using torvex::test::fileText;
using torvex::test::FixtureServer;
using torvex::test::httpResponse;
using torvex::test::RecordedRequest;
using torvex::test::ReplyChannel;
using torvex::test::TempDir;
using torvex::test::TestSetHandle;
using torvex::test::internals;
using torvex::test::reportOf;
using Clock = std::chrono::steady_clock;

namespace {

using Table = std::vector<std::vector<std::int32_t>>; // [entry][iteration]

// One user's detailed results, copied out of the engine's table.
Table detailed(const TestSetHandle& ts, int user, int entries, int iterations) {
    auto* rows = static_cast<std::int32_t**>(GetResults(ts.get(), user));
    if (!rows) return {};
    Table table(static_cast<std::size_t>(entries));
    for (int j = 0; j < entries; ++j) table[j].assign(rows[j], rows[j] + iterations);
    return table;
}

// Cell `index` of the tab-separated cells after `label` on its line; "" when there is none.
std::string cellAfter(const std::string& text, const std::string& label, std::size_t index) {
    std::size_t at = text.find(label);
    if (at == std::string::npos) return {};
    std::size_t from = at + label.size();
    std::istringstream line(text.substr(from, text.find('\n', from) - from));
    std::vector<std::string> cells;
    for (std::string cell; std::getline(line, cell, '\t');) cells.push_back(cell);
    return index < cells.size() ? cells[index] : std::string();
}

std::string milliseconds(std::int32_t microseconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", microseconds * 0.001);
    return text;
}

// RunTest on another thread, as the workbench calls it.
class BackgroundRun {
public:
    explicit BackgroundRun(const TestSetHandle& ts)
        : result_(std::async(std::launch::async, [t = ts.get()] { return RunTest(t); })) {}
    bool endsWithin(std::chrono::milliseconds limit) {
        return result_.wait_for(limit) == std::future_status::ready;
    }
    int result() { return result_.get(); }

private:
    std::future<int> result_;
};

// A fixture server, captured messages and recorded progress for each test.
class LoadRunFixture : public ::testing::Test {
protected:
    LoadRunFixture() { SetProgressReporter(this, &LoadRunFixture::progressed); }
    ~LoadRunFixture() override { SetProgressReporter(nullptr, nullptr); }

    // A test set from general options for the fixture server followed by `rest`.
    TestSetHandle load(const std::string& rest) {
        std::string text = "[General]\nserver=127.0.0.1\nport=" + std::to_string(server.port()) +
                           "\nround=0.01\n" + rest;
        TestSetHandle ts(CreateTestSet(0));
        EXPECT_EQ(ParseTest(ts.get(), "testlog", text.c_str()), 1) << text;
        return ts;
    }
    void ok(const std::string& target, const std::string& body = "ok") {
        server.route(target, FixtureServer::reply(httpResponse(200, body)));
    }
    std::vector<std::string> targets() const {
        std::vector<std::string> all;
        for (const RecordedRequest& r : server.requests()) all.push_back(r.target);
        return all;
    }
    std::vector<std::pair<int, int>> reports() {
        std::lock_guard guard(progressLock);
        return progress;
    }

    FixtureServer server;
    CapturedOutput out;
    std::mutex progressLock;
    std::vector<std::pair<int, int>> progress; // (done, total) as reported

private:
    static void progressed(void* ctx, int done, int total) {
        auto* self = static_cast<LoadRunFixture*>(ctx);
        std::lock_guard guard(self->progressLock);
        self->progress.emplace_back(done, total);
    }
};

using LoadRunSequences = LoadRunFixture;
using LoadRunErrors    = LoadRunFixture;
using LoadRunStop      = LoadRunFixture;
using LoadRunStart     = LoadRunFixture;
using LoadRunResults   = LoadRunFixture;
using LoadRunReport    = LoadRunFixture;

} // namespace

TEST_F(LoadRunSequences, UsersPlayInitialTestAndFinalSequencesInOrder) {
    for (const char* target : {"/login", "/a", "/b", "/logout"}) ok(target);
    TestSetHandle ts = load("clients=3\nrequests=2\nkeepalive=1\nobjectiveid=7\n"
                            "[InitSeq]\nlogin\n[TestSeq]\na\nb\n[FinalSeq]\nlogout\n"
                            "[login]\n$uri=/login\n[a]\n$uri=/a\n[b]\n$uri=/b\n"
                            "[logout]\n$uri=/logout\n");
    ASSERT_EQ(RunTest(ts.get()), 1);

    // Each user keeps its connection, so a connection shows one user's requests in order.
    std::map<int, std::vector<std::string>> byConnection;
    for (const RecordedRequest& r : server.requests())
        byConnection[r.connection].push_back(r.target);
    ASSERT_EQ(byConnection.size(), 3u);
    for (const auto& [connection, seen] : byConnection)
        EXPECT_THAT(seen, ::testing::ElementsAre("/login", "/a", "/b", "/a", "/b", "/logout"));

    const torvex::CTestSet& t = internals(ts);
    EXPECT_EQ(t.made.load(), 12); // test-sequence entries only
    EXPECT_EQ(t.sent.load(), 18);
    EXPECT_EQ(t.statuscounts[200].load(), 18);
    for (int u = 0; u < 3; ++u) {
        EXPECT_EQ(t.users[u]->http.completedIterations, 4) << u; // 1 + 2 + 1
        EXPECT_EQ(t.users[u]->http.requestCount, 6) << u;
        for (const auto& row : detailed(ts, u, 2, 2))
            for (std::int32_t value : row) EXPECT_GE(value, 0) << "user " << u;
    }

    TorvexInfo info{};
    EXPECT_EQ(GetInfo(ts.get(), &info), 7);
    EXPECT_EQ(info.users, 3);
    EXPECT_EQ(info.iterations, 2);
    EXPECT_EQ(info.requestsPerIteration, 2);
    EXPECT_EQ(info.aggregate, 0);
    EXPECT_STREQ(info.requestNames[0], "a");
    EXPECT_STREQ(info.requestNames[1], "b");

    // Progress: the expected total is clients x sequence length x iterations, ending at done.
    auto seen = reports();
    ASSERT_FALSE(seen.empty());
    for (auto [done, total] : seen) EXPECT_EQ(total, 12);
    EXPECT_EQ(seen.back().first, 12);
    EXPECT_THAT(reportOf(ts), Not(HasSubstr("--- Errors report ---")));
}

TEST_F(LoadRunErrors, FailedRequestsEndTheIterationOnlyWithoutIgnoreErrors) {
    ok("/a");
    ok("/c");
    server.route("/bad", FixtureServer::reply(httpResponse(500, "no")));
    for (int ignore : {1, 0}) {
        SCOPED_TRACE(ignore);
        std::size_t before = server.requests().size();
        TestSetHandle ts   = load("requests=2\nignoreerrors=" + std::to_string(ignore) +
                                  "\n[a]\n$uri=/a\n[bad]\n$uri=/bad\n[c]\n$uri=/c\n");
        EXPECT_EQ(RunTest(ts.get()), 1);
        std::vector<std::string> seen = targets();
        seen.erase(seen.begin(), seen.begin() + static_cast<long>(before));
        if (ignore)
            EXPECT_THAT(seen, ::testing::ElementsAre("/a", "/bad", "/c", "/a", "/bad", "/c"));
        else
            EXPECT_THAT(seen, ::testing::ElementsAre("/a", "/bad", "/a", "/bad"));
        EXPECT_EQ(internals(ts).made.load(), 6); // skipped entries count as processed
        TorvexProgress progress{};
        ASSERT_EQ(GetRunProgress(ts.get(), &progress), 1);
        EXPECT_EQ(progress.done, 6);
        EXPECT_EQ(progress.errors, 2); // the skipped entries are not errors
        EXPECT_EQ(progress.total, 6);
        EXPECT_EQ(progress.running, 0);
        EXPECT_EQ(internals(ts).users[0]->http.completedIterations, 2);
        Table table = detailed(ts, 0, 3, 2);
        ASSERT_EQ(table.size(), 3u);
        for (int l = 0; l < 2; ++l) {
            EXPECT_GE(table[0][l], 0);
            EXPECT_EQ(table[1][l], -2);
            if (ignore)
                EXPECT_GE(table[2][l], 0);
            else
                EXPECT_EQ(table[2][l], -255);
        }
    }
}

TEST_F(LoadRunErrors, NetworkErrorInTheInitialSequenceEndsTheUser) {
    ok("/a");
    server.route("/gone", FixtureServer::closeImmediately());
    server.route("/refused", FixtureServer::reply(httpResponse(500)));
    // A network error ends the user; an HTTP error still lets the test phase run.
    for (const char* login : {"/gone", "/refused"}) {
        SCOPED_TRACE(login);
        std::size_t before = server.requests().size();
        TestSetHandle ts   = load(std::string("clients=2\nrequests=2\n[InitSeq]\nlogin\n[TestSeq]\n"
                                                "a\n[FinalSeq]\na\n[login]\n$uri=") +
                                  login + "\n[a]\n$uri=/a\n");
        bool network       = std::string(login) == "/gone";
        EXPECT_EQ(RunTest(ts.get()), network ? 0 : 1);
        EXPECT_EQ(server.requests().size() - before, network ? 2u : 8u);
        const torvex::CTestSet& t = internals(ts);
        EXPECT_EQ(t.made.load(), network ? 0 : 4);
        for (int u = 0; u < 2; ++u) {
            EXPECT_EQ(t.users[u]->http.completedIterations, network ? 1 : 4);
            for (const auto& row : detailed(ts, u, 1, 2))
                for (std::int32_t value : row)
                    EXPECT_TRUE(network ? value == -255 : value >= 0) << value;
        }
    }
}

TEST_F(LoadRunErrors, ContentCheckFailureAndTimeOutAreRecordedAndReported) {
    ok("/check", "sorry, sold out");
    server.route("/slow", FixtureServer::silent());
    TestSetHandle ts = load("timeout=1\n[check]\n$uri=/check\n$fail=/sorry/\n[slow]\n$uri=/slow\n");
    auto start       = Clock::now();
    EXPECT_EQ(RunTest(ts.get()), 1);
    EXPECT_LT(Clock::now() - start, 5s); // the time-out ended the blocked wait
    Table table = detailed(ts, 0, 2, 1);
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0][0], -3);
    EXPECT_EQ(table[1][0], -4);
    std::string report = reportOf(ts);
    EXPECT_THAT(report, HasSubstr("\n--- Errors report ---\n\nTotal 2 errors!!!\nFail: 1\n"
                                  "Timeout: 1\n\n"));
    EXPECT_THAT(report, HasSubstr("\nCode\tCount\n200\t1\n\n"));
    EXPECT_THAT(report, HasSubstr("001/00001\tFAIL\tTIMEOUT\t\n"));
}

TEST_F(LoadRunStop, AbortEndsWaitsOnASilentServerAndTheRunRefusesToBeFreed) {
    server.route("/wait", FixtureServer::silent());
    TestSetHandle ts = load("clients=3\nrequests=5\ntimeout=10\n[wait]\n$uri=/wait\n");
    BackgroundRun run(ts);
    bool waiting = server.waitForRequests(3, 5s);
    if (!waiting) AbortRun(ts.get());
    ASSERT_TRUE(waiting);

    // The run's state belongs to RunTest until it returns.
    FreeTestSet(ts.get());
    EXPECT_EQ(CleanHX(ts.get()), 0);
    EXPECT_EQ(GetResults(ts.get(), 0), nullptr);
    EXPECT_EQ(reportOf(ts), "");
    EXPECT_EQ(RunTest(ts.get()), 0);
    // The users read the options and sequences while they run: changing them is refused too.
    EXPECT_EQ(ParseGeneralParam(ts.get(), "requests", "50"), 0);
    EXPECT_EQ(SetProperty(ts.get(), "requests=50"), 0);
    EXPECT_EQ(ParseTest(ts.get(), "t", "[other]\n"), 0);
    EXPECT_EQ(SaveResultsToFile(ts.get(), "x"), 0);
    std::string refusals;
    for (const std::string& m : out.messages()) refusals += m + "\n";
    for (const char* name : {"FreeTestSet", "CleanHX", "GetResults", "SaveResults",
                             "ParseGeneralParam", "SetProperty", "ParseTest", "SaveResultsToFile"})
        EXPECT_THAT(refusals, HasSubstr(std::string("Error: ") + name + " cannot be used while"));
    EXPECT_THAT(refusals,
                HasSubstr("Error: RunTest cannot start while the test is already running!"));

    EXPECT_EQ(AbortRun(ts.get()), 0);
    EXPECT_EQ(AbortRun(ts.get()), 1);
    ASSERT_TRUE(run.endsWithin(5s));
    EXPECT_EQ(run.result(), 0); // users left before recording anything
    EXPECT_EQ(server.requests().size(), 3u);
    for (int u = 0; u < 3; ++u)
        EXPECT_THAT(detailed(ts, u, 1, 5), ::testing::ElementsAre(::testing::Each(-255)));
}

TEST_F(LoadRunStop, WithoutAbortSeqUsersFinishTheirIterationFirst) {
    std::atomic<bool> released{false};
    // /a answers only once the run has been aborted, so every user is inside iteration 1.
    server.route("/a", [&](ReplyChannel& channel, const RecordedRequest&) {
        for (int i = 0; i < 500 && !released; ++i)
            if (!channel.pause(10ms)) return;
        channel.send(httpResponse(200, "ok"));
    });
    ok("/b");
    ok("/c");
    TestSetHandle ts = load("clients=2\nrequests=5\nabortseq=0\n[a]\n$uri=/a\n[b]\n$uri=/b\n"
                            "[c]\n$uri=/c\n");
    BackgroundRun run(ts);
    bool inside = server.waitForRequests(2, 5s);
    AbortRun(ts.get());
    released = true;
    ASSERT_TRUE(inside);
    ASSERT_TRUE(run.endsWithin(10s));
    EXPECT_EQ(run.result(), 1);
    EXPECT_EQ(server.requests().size(), 6u);
    EXPECT_EQ(internals(ts).made.load(), 6);
    for (int u = 0; u < 2; ++u)
        for (const auto& row : detailed(ts, u, 3, 5)) {
            EXPECT_GE(row[0], 0);
            EXPECT_THAT(std::vector<std::int32_t>(row.begin() + 1, row.end()),
                        ::testing::Each(-255));
        }
}

TEST_F(LoadRunStop, MaxtimeAndMaxrequestsEndTheRun) {
    ok("/a");
    ok("/b");
    {
        TestSetHandle ts = load("clients=2\nrequests=1000\nmaxtime=1\n[a]\n$uri=/a\n$delay=300\n");
        auto start       = Clock::now();
        EXPECT_EQ(RunTest(ts.get()), 1);
        auto took = Clock::now() - start;
        // The limit is noticed once more than one whole second has passed.
        EXPECT_GE(internals(ts).elapsed, 2000);
        EXPECT_GE(took, 1900ms);
        EXPECT_LT(took, 5s);
    }
    {
        progress.clear();
        std::size_t before = server.requests().size();
        TestSetHandle ts   = load("clients=3\nrequests=100\nmaxrequests=10\n[a]\n$uri=/a\n[b]\n"
                                    "$uri=/b\n");
        EXPECT_EQ(RunTest(ts.get()), 1);
        // Users stop once more than 10 were sent; each may have started one more.
        int sent = internals(ts).sent.load();
        EXPECT_GE(sent, 11);
        EXPECT_LE(sent, 13);
        EXPECT_EQ(server.requests().size() - before, static_cast<std::size_t>(sent));
        auto seen = reports();
        ASSERT_FALSE(seen.empty());
        for (auto [done, total] : seen) EXPECT_EQ(total, 10);
    }
}

TEST_F(LoadRunStart, DelaystartZeroStartsUsersTogetherAndAPositiveOneSpacesThem) {
    std::mutex lock;
    std::vector<Clock::time_point> arrivals;
    server.route("/a", [&](ReplyChannel& channel, const RecordedRequest&) {
        {
            std::lock_guard guard(lock);
            arrivals.push_back(Clock::now());
        }
        channel.send(httpResponse(200, "ok"));
    });
    for (int delaystart : {0, 400}) {
        SCOPED_TRACE(delaystart);
        arrivals.clear();
        TestSetHandle ts =
            load("clients=4\ndelaystart=" + std::to_string(delaystart) + "\n[a]\n$uri=/a\n");
        EXPECT_EQ(RunTest(ts.get()), 1);
        std::lock_guard guard(lock);
        ASSERT_EQ(arrivals.size(), 4u);
        auto [first, last] = std::minmax_element(arrivals.begin(), arrivals.end());
        if (delaystart == 0)
            EXPECT_LT(*last - *first, 500ms);
        else
            EXPECT_GE(*last - *first, 900ms); // three pauses of 400 ms between four starts
    }
}

TEST_F(LoadRunStart, SoftDelaySpacesTheStartsOfRequestsInsteadOfFollowingEachOne) {
    // Every answer takes 250 ms; the delay after each request is 500 ms.
    std::mutex lock;
    std::vector<Clock::time_point> arrivals;
    server.route("/slow", [&](ReplyChannel& channel, const RecordedRequest&) {
        {
            std::lock_guard guard(lock);
            arrivals.push_back(Clock::now());
        }
        channel.pause(250ms);
        channel.send(httpResponse(200, "ok"));
    });
    for (int softdelay : {1, 0}) {
        SCOPED_TRACE(softdelay);
        arrivals.clear();
        TestSetHandle ts = load("requests=3\nkeepalive=1\nsoftdelay=" + std::to_string(softdelay) +
                                "\n[slow]\n$uri=/slow\n$delay=500\n");
        EXPECT_EQ(RunTest(ts.get()), 1);
        std::lock_guard guard(lock);
        ASSERT_EQ(arrivals.size(), 3u);
        for (std::size_t i = 1; i < arrivals.size(); ++i) {
            auto gap = arrivals[i] - arrivals[i - 1];
            if (softdelay) {
                EXPECT_GE(gap, 480ms); // the pause makes up the rest of the 500 ms
                EXPECT_LT(gap, 730ms);
            } else {
                EXPECT_GE(gap, 745ms); // 250 ms of answer, then the whole pause
            }
        }
    }
}

TEST_F(LoadRunResults, UserLogsNameEveryRequestAndAnUnwritableFolderIsSkipped) {
    ok("/login");
    ok("/a");
    ok("/b");
    TempDir dir;
    TestSetHandle ts =
        load("clients=2\nrequests=2\nlog=1\nprojectname=shop.tvs\nlogdir=" + dir.path.string() +
             "/\n[InitSeq]\nlogin\n[TestSeq]\na\nb\n"
             "[login]\n$uri=/login\n[a]\n$uri=/a\n[b]\n$uri=/b\n");
    ASSERT_EQ(RunTest(ts.get()), 1);
    for (int u = 1; u <= 2; ++u) {
        std::string log  = fileText(dir.path / ("shop-2x2-user" + std::to_string(u) + ".log"));
        std::size_t init = log.find("----- [InitSeq]: login(1) -----\r\n");
        std::size_t a1   = log.find("----- [TestSeq]: a(1) -----\r\n");
        std::size_t b2   = log.find("----- [TestSeq]: b(2) -----\r\n");
        EXPECT_NE(init, std::string::npos) << log;
        EXPECT_NE(b2, std::string::npos) << log;
        EXPECT_LT(init, a1);
        EXPECT_LT(a1, b2);
    }

    // A folder below a plain file cannot exist: the users run without logs, without a word.
    std::ofstream(dir.path / "plain") << "x";
    ASSERT_EQ(CleanHX(ts.get()), 0);
    ASSERT_EQ(ParseGeneralParam(ts.get(), "logdir", (dir.path / "plain" / "logs").c_str()), 1);
    out.clear();
    EXPECT_EQ(RunTest(ts.get()), 1);
    EXPECT_EQ(internals(ts).made.load(), 8);
    EXPECT_TRUE(out.empty()) << out.messages().front();
}

TEST_F(LoadRunResults, AggregateTimestampAndScriptForms) {
    ok("/a");
    ok("/check", "sorry");
    server.route("/bad", FixtureServer::reply(httpResponse(500)));
    {
        SCOPED_TRACE("aggregate");
        TestSetHandle ts = load("clients=2\nrequests=3\nnodetails=1\n[a]\n$uri=/a\n[bad]\n"
                                "$uri=/bad\n[check]\n$uri=/check\n$fail=/sorry/\n");
        EXPECT_EQ(RunTest(ts.get()), 1);
        struct Aggregate {
            std::int32_t minimum, sum, count, maximum;
        };
        const auto* records = static_cast<const Aggregate*>(GetResults(ts.get(), 0));
        ASSERT_NE(records, nullptr);
        EXPECT_EQ(records[0].count, 6);
        EXPECT_LE(records[0].minimum, records[0].maximum);
        EXPECT_GE(records[0].sum / records[0].count, records[0].minimum);
        EXPECT_LE(records[0].sum / records[0].count, records[0].maximum);
        for (int j : {1, 2}) {
            EXPECT_EQ(records[j].minimum, 0x7FFFFFFF);
            EXPECT_EQ(records[j].sum + records[j].count + records[j].maximum, 0);
        }
        EXPECT_EQ(internals(ts).errorcounts[0].load(), 6); // HTTP
        EXPECT_EQ(internals(ts).errorcounts[2].load(), 6); // content
        TorvexInfo info{};
        GetInfo(ts.get(), &info);
        EXPECT_EQ(info.aggregate, 1);
        std::string report = reportOf(ts);
        EXPECT_THAT(report, HasSubstr("\nTotal 12 errors!!!\nHTTP: 6\nFail: 6\n\n"));
        EXPECT_THAT(report, HasSubstr("\nMin request processing time:\t" +
                                      milliseconds(records[0].minimum) + "\t?\t?\t\n"));
        EXPECT_THAT(report, Not(HasSubstr("--- Individual requests")));
    }
    {
        SCOPED_TRACE("timestamp");
        TestSetHandle ts = load("requests=2\ntimestamp=1\n[a]\n$uri=/a\n");
        EXPECT_EQ(RunTest(ts.get()), 1);
        for (const torvex::IterationStamp& stamp : internals(ts).users[0]->results.stamps) {
            EXPECT_GT(stamp.start, 0);
            EXPECT_GE(stamp.end, stamp.start);
        }
        std::string report = reportOf(ts);
        EXPECT_THAT(report, HasSubstr("User/Iteration\ta\tPass start\tPass end\n"));
        EXPECT_TRUE(std::regex_search(
            report, std::regex("\n001/00002\t[0-9]+\\.[0-9]{2}\t[0-9]{2}:[0-9]{2}:[0-9]{2}\t"
                               "[0-9]{2}:[0-9]{2}:[0-9]{2}\n")))
            << report;
    }
    {
        SCOPED_TRACE("script");
        progress.clear();
        TestSetHandle ts   = load("clients=2\nscript=x.js\n[a]\n$uri=/a\n");
        std::size_t before = server.requests().size();
        EXPECT_EQ(RunTest(ts.get()), 0);
        EXPECT_EQ(server.requests().size(), before);
        auto* row = static_cast<std::int32_t**>(GetResults(ts.get(), 1));
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row[0][0], 0);
        TorvexInfo info{};
        GetInfo(ts.get(), &info);
        EXPECT_EQ(info.iterations, -1);
        EXPECT_EQ(info.requestsPerIteration, 1);
        auto seen = reports();
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen.back(), std::make_pair(0, -1));
        std::string report = reportOf(ts);
        EXPECT_THAT(report, HasSubstr("--- Client 0 ---\n--- Client 1 ---\n"));
        EXPECT_THAT(report, Not(HasSubstr("--- Basic statistics ---")));
    }
}

TEST_F(LoadRunReport, ReportOfARealRunSectionBySectionAndItsFile) {
    ok("/home", "welcome home");
    ok("/cart", "cart");
    server.route("/bad", FixtureServer::reply(httpResponse(500)));
    TestSetHandle ts = load("clients=2\nrequests=3\nreportinfo=1\nprojectname=shop.tvs\n"
                            "description=nightly run\n[home]\n$uri=/home\n[cart]\n$uri=/cart\n"
                            "[bad]\n$uri=/bad\n");
    ASSERT_EQ(RunTest(ts.get()), 1);
    torvex::ReportSummary summary{};
    std::string report        = reportOf(ts, &summary);
    const torvex::CTestSet& t = internals(ts);

    const std::string weekday = "[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9:]{8} [0-9]{4}\n";
    EXPECT_TRUE(std::regex_search(report, std::regex("^Report generated by Torvex v2\\.0\n\n"
                                                     "Test started at: " +
                                                     weekday + "Test finished at: " + weekday +
                                                     "Scenario name: shop\\.tvs\n")))
        << report;
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    EXPECT_THAT(report, HasSubstr("Scenario name: shop.tvs\nTest run comment: nightly run\n"
                                  "Virtual users: 2\nIterations: 3\nTest executed by: "));
    EXPECT_THAT(report, HasSubstr(std::string("\nTest executed at: ") + host + "\n\n"));
    EXPECT_THAT(report, Not(HasSubstr("Connection speed limit")));

    // Basic statistics agree with the recorded times; bad never succeeded.
    EXPECT_THAT(report, HasSubstr("\n--- Basic statistics ---\n\nRequest name:\t\t\thome\tcart\t"
                                  "bad\nMin request processing time:\t"));
    for (int j = 0; j < 2; ++j) {
        std::int32_t lowest = INT32_MAX, highest = 0;
        double sum = 0;
        for (int u = 0; u < 2; ++u) {
            Table values = detailed(ts, u, 3, 3);
            for (std::int32_t v : values.at(j)) {
                lowest  = std::min(lowest, v);
                highest = std::max(highest, v);
                sum += v;
            }
        }
        EXPECT_EQ(cellAfter(report, "\nMin request processing time:\t", j), milliseconds(lowest));
        EXPECT_EQ(cellAfter(report, "\nMax request processing time:\t", j), milliseconds(highest));
        std::string average = cellAfter(report, "\nAvg request processing time:\t", j);
        EXPECT_NEAR(std::atof(average.c_str()), sum / 6 * 0.001, 0.011) << average;
    }
    for (const char* line : {"\nMin", "\nAvg", "\nMax"})
        EXPECT_EQ(cellAfter(report, std::string(line) + " request processing time:\t", 2), "?");

    std::uint64_t sent = 0, received = 0;
    for (const auto& user : t.users) {
        sent += user->http.traffic.bytesSent;
        received += user->http.traffic.bytesReceived;
    }
    EXPECT_GT(sent, 0u);
    EXPECT_GT(received, 0u);
    EXPECT_THAT(report, HasSubstr("--- Network traffic details ---\n\nTotal bytes sent:\t" +
                                  std::to_string(sent) + "\nTotal bytes received:\t" +
                                  std::to_string(received) +
                                  "\n\nAverage server bandwidth (Kbits/sec):\t"));

    EXPECT_THAT(report, HasSubstr("\n--- Summary times ---\n\nVirtual Users statistics:\n"
                                  "User\tReqs\tTime\tAR/S\tAT/R\n1\t9\t"));
    EXPECT_THAT(report, HasSubstr("\n2\t9\t"));
    EXPECT_THAT(report, HasSubstr("\nTotal work time:\t" + std::to_string(t.elapsed) +
                                  "\nTotal requests made:\t18\n\nTotal average requests per "
                                  "second:\t"));
    // The users worked for far less than the one-second timing interval.
    EXPECT_THAT(report, HasSubstr("\nWARNING: approximation used!\nNot enough requests per "
                                  "client for exact timing!\n"));

    EXPECT_THAT(report, HasSubstr("\n--- Errors report ---\n\nTotal 6 errors!!!\nHTTP: 6\n\n"));
    EXPECT_THAT(report, Not(HasSubstr("\nNet: ")));
    EXPECT_THAT(report, HasSubstr("\n--- HTTP response codes details ---\n\nCode\tCount\n200\t12\n"
                                  "500\t6\n\n"));

    std::string table = "--- Individual requests processing time ---\n\nUser/Iteration\thome\t"
                        "cart\tbad\n";
    for (int u = 0; u < 2; ++u) {
        Table values = detailed(ts, u, 3, 3);
        ASSERT_EQ(values.size(), 3u);
        for (int l = 0; l < 3; ++l) {
            char prefix[16];
            std::snprintf(prefix, sizeof prefix, "%03d/%05d\t", u + 1, l + 1);
            table += prefix + milliseconds(values[0][l]) + "\t" + milliseconds(values[1][l]) +
                     "\tHTTPERR\t\n";
        }
    }
    EXPECT_TRUE(report.ends_with(table)) << report;

    EXPECT_EQ(summary.totalRequests, 18);
    EXPECT_EQ(summary.totalErrors, 6);
    EXPECT_GT(summary.serverBandwidth, 0);
    EXPECT_DOUBLE_EQ(summary.userBandwidth, summary.serverBandwidth / 2);

    // The results file takes its name from the template, with the project's base name.
    TempDir dir;
    ASSERT_EQ(ParseGeneralParam(ts.get(), "reportdir", dir.path.c_str()), 1);
    ASSERT_EQ(ParseGeneralParam(ts.get(), "outfile", "%n-%s-%cx%r.xls"), 1);
    EXPECT_EQ(SaveResultsToFile(ts.get(), report.c_str()), 1);
    EXPECT_EQ(fileText(dir.path / "shop-127.0.0.1-2x3.xls"), report);
}

TEST_F(LoadRunReport, EachRunAndEachReportCountsItsOwnRun) {
    std::atomic<bool> failing{true};
    ok("/a");
    server.route("/flaky", [&](ReplyChannel& channel, const RecordedRequest&) {
        channel.send(httpResponse(failing ? 500 : 200, "x"));
    });
    TestSetHandle ts = load("requests=2\nreportinfo=0\n[a]\n$uri=/a\n[flaky]\n$uri=/flaky\n");
    ASSERT_EQ(RunTest(ts.get()), 1);
    std::string first = reportOf(ts);
    EXPECT_EQ(reportOf(ts), first); // a second report of the same run counts the same
    EXPECT_THAT(first, HasSubstr("\nTotal 2 errors!!!\nHTTP: 2\n\n"));
    EXPECT_THAT(first, HasSubstr("\nCode\tCount\n200\t2\n500\t2\n\n"));

    failing = false;
    ASSERT_EQ(CleanHX(ts.get()), 0);
    ASSERT_EQ(ParseGeneralParam(ts.get(), "clients", "2"), 1);
    ASSERT_EQ(RunTest(ts.get()), 1);
    torvex::ReportSummary summary{};
    std::string second = reportOf(ts, &summary);
    EXPECT_TRUE(second.starts_with("\n--- Basic statistics ---\n\n")) << second;
    EXPECT_THAT(second, Not(HasSubstr("--- Errors report ---")));
    EXPECT_THAT(second, HasSubstr("\nCode\tCount\n200\t8\n\n"));
    EXPECT_THAT(second, HasSubstr("\nTotal requests made:\t8\n"));
    EXPECT_EQ(summary.totalErrors, 0);
    EXPECT_EQ(summary.totalRequests, 8);
    TorvexInfo info{};
    GetInfo(ts.get(), &info);
    EXPECT_EQ(info.users, 2);
}
