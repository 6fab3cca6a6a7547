// The text report of a finished run, made through SaveResults from results filled by hand.

#include "torvexcore.h"

#include "api/FixedText.h"
#include "api/TestSet.h"
#include "run/Report.h"
#include "run/UserSession.h"
#include "script/ScriptParser.h"
#include "support/DecimalCommaLocale.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <pwd.h>
#include <string>
#include <unistd.h>
#include <vector>

using torvex::CTestSet;
using torvex::CUserSession;
using torvex::kNotExecuted;
using torvex::ReportSummary;
using Form = torvex::UserResults::Form;

namespace {

int collect(void* ctx, const char* piece) {
    static_cast<std::vector<std::string>*>(ctx)->emplace_back(piece);
    return 0;
}

std::string clockOf(std::int32_t seconds) {
    std::time_t clock = seconds;
    std::tm local{};
    localtime_r(&clock, &local);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

std::string ctimeOf(std::int32_t seconds) {
    std::time_t clock = seconds;
    char text[64];
    return ctime_r(&clock, text);
}

const std::string kStatusCodes =
    "\n--- HTTP response codes details ---\n\nCode\tCount\n200\t7\n500\t1\n\n";
const std::string kTableHead =
    "--- Individual requests processing time ---\n\nUser/Iteration\thome\tlogin";

} // namespace

class Report : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(torvex::parseScript(t, "clients=2\nrequests=2\nreportinfo=0\n"
                                         "[home]\n[login]\n[testseq]\nhome\nlogin\n"),
                  1);
        t.statuscounts[200] = 7;
        t.statuscounts[500] = 1;
    }

    CUserSession& addUser(Form form = Form::Detailed) {
        auto& user = *t.users.emplace_back(
            std::make_unique<CUserSession>(t, static_cast<int>(t.users.size())));
        user.results.prepare(form, static_cast<int>(t.testsequence.entries().size()), t.requests,
                             t.timestamp != 0);
        return user;
    }
    static void work(CUserSession& user, std::uint32_t start, std::uint32_t end, int sentAtStart,
                     int sentAtEnd, int requests) {
        user.startTick         = start;
        user.endTick           = end;
        user.sentAtStart       = sentAtStart;
        user.sentAtEnd         = sentAtEnd;
        user.http.requestCount = requests;
    }
    static void row(CUserSession& user, int entry, std::vector<std::int32_t> values) {
        for (std::size_t i = 0; i < values.size(); ++i)
            user.results.cell(entry, static_cast<int>(i)) = values[i];
    }

    // Two users: the first had an HTTP error in its first iteration, the second was stopped
    // after one iteration; its request count (5, redirects included) would suggest two rows.
    void twoUsers() {
        CUserSession& first = addUser();
        row(first, 0, {1500, 2500});
        row(first, 1, {-2, 3000});
        work(first, 1000, 5000, 0, 4, 4);
        first.testIterations             = 2;
        first.http.traffic.bytesSent     = 1000;
        first.http.traffic.bytesReceived = 5000000000ull;
        CUserSession& second             = addUser();
        row(second, 0, {1000});
        row(second, 1, {2000});
        work(second, 1200, 4600, 1, 7, 5);
        second.testIterations             = 1;
        second.http.traffic.bytesSent     = 500;
        second.http.traffic.bytesReceived = 20000;
        t.elapsed                         = 5000;
        t.sent                            = 9;
        t.errorcounts[0]                  = 5; // the aggregate counts play no part here
    }

    std::string report(ReportSummary* summary = nullptr) {
        pieces.clear();
        EXPECT_EQ(SaveResults(&t, &pieces, collect, summary), 0);
        std::string text;
        for (const std::string& piece : pieces) {
            EXPECT_LE(piece.size(), 4095u);
            EXPECT_EQ(torvex::utf8CompleteLength(piece), piece.size()) << "cut inside a character";
            text += piece;
        }
        return text;
    }

    // The report from the summary times on, up to the errors or the status codes.
    std::string summaryTimes(ReportSummary* summary = nullptr) {
        std::string text = report(summary);
        std::size_t from = text.find("\n--- Summary times");
        std::size_t to   = text.find("\n--- ", from + 1);
        return from == std::string::npos ? "" : text.substr(from, to - from);
    }

    CTestSet t;
    std::vector<std::string> pieces;
};

TEST_F(Report, DetailedFormWritesEverySection) {
    twoUsers();
    ReportSummary summary{};
    EXPECT_EQ(report(&summary),
              "\n--- Basic statistics ---\n\n"
              "Request name:\t\t\thome\tlogin"
              "\nMin request processing time:\t1.00\t2.00\t"
              "\nAvg request processing time:\t1.67\t2.50\t"
              "\nMax request processing time:\t2.50\t3.00\t"
              "\n\n"
              "--- Network traffic details ---\n\n"
              "Total bytes sent:\t1500\nTotal bytes received:\t5000020000\n\n"
              "Average server bandwidth (Kbits/sec):\t8000034.40\n"
              "Average user bandwidth (Kbits/sec):\t4000017.20\n"
              "\n--- Summary times ---\n\n"
              "Virtual Users statistics:\nUser\tReqs\tTime\tAR/S\tAT/R\n"
              "1\t4\t4000\t1.00\t1000.00\n"
              "2\t5\t3400\t1.47\t680.00\n"
              "\nTotal work time:\t5000\nTotal requests made:\t9\n\n"
              // The window runs from tick 1200 (sent 1) to tick 4600 (sent 7): 3400 ms / 6.
              "Total average requests per second:\t1.76\n"
              "\n--- Errors report ---\n\nTotal 1 error !!!\nHTTP: 1\n\n" +
                  kStatusCodes + kTableHead +
                  "\n"
                  "001/00001\t1.50\tHTTPERR\t\n"
                  "001/00002\t2.50\t3.00\t\n"
                  "002/00001\t1.00\t2.00\t\n");
    EXPECT_EQ(summary.requestsPerSecond, 1764);
    EXPECT_EQ(summary.msPerRequest, 566666);
    EXPECT_DOUBLE_EQ(summary.serverBandwidth, 5000021500.0 / 5000);
    EXPECT_DOUBLE_EQ(summary.userBandwidth, 5000021500.0 / 5000 / 2);
    EXPECT_EQ(summary.totalRequests, 9);
    EXPECT_EQ(summary.totalErrors, 1);
}

TEST_F(Report, NumbersKeepTheirDecimalPointInACommaLocale) {
    twoUsers();
    torvex::test::DecimalCommaLocale german;
    if (!german.available()) GTEST_SKIP() << "localedef cannot build de_DE here";
    std::string text = report();
    EXPECT_NE(text.find("Min request processing time:\t1.00\t2.00\t"), std::string::npos);
    EXPECT_NE(text.find("Total average requests per second:\t1.76\n"), std::string::npos);
    EXPECT_EQ(text.find(','), std::string::npos);
}

TEST_F(Report, EveryReportCountsItsOwnRunAnew) {
    twoUsers();
    ReportSummary first{}, second{};
    std::string text = report(&first);
    EXPECT_EQ(report(&second), text);
    EXPECT_EQ(std::memcmp(&first, &second, sizeof first), 0);

    // The next run had no error: its report says so, whatever the previous one counted.
    t.users.clear();
    CUserSession& user = addUser();
    row(user, 0, {1000, 1000});
    row(user, 1, {1000, 1000});
    work(user, 0, 4000, 0, 4, 4);
    user.testIterations = 2;
    text                = report(&second);
    EXPECT_EQ(text.find("Errors report"), std::string::npos);
    EXPECT_EQ(second.totalErrors, 0);
}

TEST_F(Report, WithoutShowBadResultsAFailedIterationDisappears) {
    twoUsers();
    t.showbadresults = 0;
    ReportSummary summary{};
    std::string text = report(&summary);
    EXPECT_NE(text.find("\nMin request processing time:\t1.00\t2.00\t"
                        "\nAvg request processing time:\t1.75\t2.50\t"
                        "\nMax request processing time:\t2.50\t3.00\t\n\n"),
              std::string::npos);
    EXPECT_EQ(text.find("Errors report"), std::string::npos);
    EXPECT_EQ(summary.totalErrors, 0);
    EXPECT_EQ(text.substr(text.find(kTableHead)),
              kTableHead + "\n001/00002\t2.50\t3.00\t\n002/00001\t1.00\t2.00\t\n");
}

TEST_F(Report, ErrorClassesAddUpAndAnEntryWithoutSuccessShowsQuestionMarks) {
    t.requests         = 3;
    CUserSession& user = addUser();
    row(user, 0, {1000, -3, -4});
    row(user, 1, {-1, -1, kNotExecuted});
    work(user, 0, 3000, 0, 5, 5);
    user.testIterations = 3;
    ReportSummary summary{};
    std::string text = report(&summary);
    EXPECT_NE(text.find("\nMin request processing time:\t1.00\t?\t"
                        "\nAvg request processing time:\t1.00\t?\t"
                        "\nMax request processing time:\t1.00\t?\t\n\n"),
              std::string::npos);
    EXPECT_NE(text.find("\n--- Errors report ---\n\nTotal 4 errors!!!\nNet: 2\nFail: 1\n"
                        "Timeout: 1\n\n\n--- HTTP"),
              std::string::npos);
    EXPECT_EQ(summary.totalErrors, 4);
    EXPECT_EQ(text.substr(text.find("001/")), "001/00001\t1.00\tNETERR\t\n"
                                              "001/00002\tFAIL\tNETERR\t\n"
                                              "001/00003\tTIMEOUT\tN/A\t\n");
}

TEST_F(Report, TableRowsFollowTheIterationsEachUserBegan) {
    t.timestamp = 1;
    t.requests  = 3;
    // Redirects made 9 requests in one iteration; the second user had an error that cut its
    // second iteration short; the third claims more iterations than the run had.
    CUserSession& redirected = addUser();
    row(redirected, 0, {1000});
    row(redirected, 1, {2000});
    work(redirected, 0, 100, 0, 9, 9);
    redirected.testIterations    = 1;
    redirected.results.stamps[0] = {1700000000, 1700000065};
    CUserSession& cutShort       = addUser();
    row(cutShort, 0, {1000, -1});
    row(cutShort, 1, {2000});
    work(cutShort, 0, 100, 0, 3, 3);
    cutShort.testIterations    = 2;
    cutShort.results.stamps[0] = {1700000000, 1700000001};
    CUserSession& overcounted  = addUser();
    overcounted.testIterations = 7;
    std::string text           = report();
    std::string start          = clockOf(1700000000);
    EXPECT_EQ(text.substr(text.find(kTableHead)),
              kTableHead + "\tPass start\tPass end\n" + "001/00001\t1.00\t2.00\t" + start + "\t" +
                  clockOf(1700000065) + "\n" + "002/00001\t1.00\t2.00\t" + start + "\t" +
                  clockOf(1700000001) + "\n" + "002/00002\tNETERR\tN/A\tNONE\tNONE\n" +
                  "003/00001\tN/A\tN/A\tNONE\tNONE\n003/00002\tN/A\tN/A\tNONE\tNONE\n"
                  "003/00003\tN/A\tN/A\tNONE\tNONE\n");
}

TEST_F(Report, SummaryTimesUseTheTimingWindowOrTheWholeRun) {
    CUserSession& user = addUser();
    work(user, 100, 600, 0, 4, 4);
    t.elapsed = 800;
    t.sent    = 8;
    ReportSummary summary{};
    // 500 ms of work is shorter than exacttiminginterval: the whole run, 800 ms for 8 requests.
    EXPECT_EQ(summaryTimes(&summary), "\n--- Summary times ---\n\n"
                                      "Virtual Users statistics:\nUser\tReqs\tTime\tAR/S\tAT/R\n"
                                      "1\t4\t500\t8.00\t125.00\n"
                                      "\nTotal work time:\t800\nTotal requests made:\t4\n\n"
                                      "Total average requests per second:\t10.00\n"
                                      "\nWARNING: approximation used!\n"
                                      "Not enough requests per client for exact timing!\n");
    EXPECT_EQ(summary.requestsPerSecond, 10000);
    EXPECT_EQ(summary.msPerRequest, 100000);
    EXPECT_EQ(summary.totalRequests, 4);

    // With a shorter interval the user's own window counts: 500 ms for 4 requests.
    t.exacttiminginterval = 400;
    std::string text      = summaryTimes(&summary);
    EXPECT_NE(text.find("second:\t8.00\n"), std::string::npos);
    EXPECT_EQ(text.find("WARNING"), std::string::npos);
    EXPECT_EQ(summary.msPerRequest, 125000);

    // Ticks are unsigned 32-bit: a window across the wrap of the tick counter is 1280 ms long.
    work(user, 0xFFFFFF00u, 0x400u, 10, 12, 2);
    text = summaryTimes(&summary);
    EXPECT_NE(text.find("\n1\t2\t1280\t1.56\t640.00\n"), std::string::npos);
    EXPECT_NE(text.find("second:\t1.56\n"), std::string::npos);
    EXPECT_EQ(text.find("WARNING"), std::string::npos);
    EXPECT_EQ(summary.msPerRequest, 640000);
}

TEST_F(Report, NothingDividesByZero) {
    // A run of no measurable length, reported for a test set that now has no clients.
    t.clients          = 0;
    CUserSession& user = addUser();
    work(user, 100, 100, 0, 3, 3);
    addUser(); // a user that sent nothing has no line
    t.elapsed = 0;
    t.sent    = 3;
    ReportSummary summary{};
    std::string text = report(&summary);
    EXPECT_NE(text.find("Total bytes received:\t0\n\n"
                        "Average server bandwidth (KB/sec):\tN/A\n"
                        "Average user bandwidth (KB/sec):\tN/A\n\n--- Summary"),
              std::string::npos);
    EXPECT_NE(text.find("AT/R\n1\t3\t0\t0.00\t0.00\n\nTotal work time:\t0\n"), std::string::npos);
    EXPECT_NE(text.find("second:\t0.00\n\nWARNING"), std::string::npos);
    EXPECT_EQ(summary.serverBandwidth, 0);
    EXPECT_EQ(summary.userBandwidth, 0);
    EXPECT_EQ(summary.requestsPerSecond, 0);
    EXPECT_EQ(summary.msPerRequest, 0);

    // Traffic over a measured run but no clients: the user bandwidth stays 0.
    t.elapsed                       = 10;
    user.http.traffic.bytesReceived = 100;
    text                            = report(&summary);
    EXPECT_NE(text.find("(Kbits/sec):\t80.00\nAverage user bandwidth (Kbits/sec):\t0.00\n"),
              std::string::npos);
    EXPECT_DOUBLE_EQ(summary.serverBandwidth, 10.0);
    EXPECT_EQ(summary.userBandwidth, 0);
}

TEST_F(Report, AggregateFormMergesTheUsersAndTakesTheRunsErrorCounts) {
    t.nodetails         = 1;
    t.summarytimes      = 0;
    CUserSession& first = addUser(Form::Aggregate);
    first.results.aggregates[0].add(1000);
    first.results.aggregates[0].add(3000);
    CUserSession& second = addUser(Form::Aggregate);
    second.results.aggregates[0].add(2000);
    work(second, 0, 5000, 0, 6, 6);
    second.http.traffic.bytesSent = 400;
    t.errorcounts[0]              = 1;
    t.errorcounts[1]              = 1;
    t.elapsed                     = 100;
    ReportSummary summary;
    std::memset(&summary, 0x55, sizeof summary);
    EXPECT_EQ(report(&summary),
              "\n--- Basic statistics ---\n\nRequest name:\t\t\thome\tlogin"
              "\nMin request processing time:\t1.00\t?\t"
              "\nAvg request processing time:\t2.00\t?\t"
              "\nMax request processing time:\t3.00\t?\t\n\n"
              "--- Network traffic details ---\n\n"
              "Total bytes sent:\t400\nTotal bytes received:\t0\n\n"
              "Average server bandwidth (Kbits/sec):\t32.00\n"
              "Average user bandwidth (Kbits/sec):\t16.00\n"
              "\n--- Errors report ---\n\nTotal 2 errors!!!\nHTTP: 1\nNet: 1\n\n" +
                  kStatusCodes);
    // Without summarytimes the rates and the request total are 0.
    EXPECT_EQ(summary.requestsPerSecond, 0);
    EXPECT_EQ(summary.msPerRequest, 0);
    EXPECT_EQ(summary.totalRequests, 0);
    EXPECT_DOUBLE_EQ(summary.serverBandwidth, 4.0);
    EXPECT_DOUBLE_EQ(summary.userBandwidth, 2.0);
    EXPECT_EQ(summary.totalErrors, 2);
}

TEST_F(Report, ScriptModeListsEachClientsRequests) {
    t.script.set("$inline");
    CUserSession& user = addUser(Form::Script);
    user.results.scriptResults.push_back({"login", 12340, 1700000000, 1700000002});
    user.results.scriptResults.push_back({"search", -4, 1700000002, 1700000032});
    user.results.scriptResults.push_back({"logout", kNotExecuted, 0, 0});
    work(user, 0, 5000, 0, 3, 3);
    addUser(Form::Script);
    t.elapsed = 5000;
    ReportSummary summary{};
    const std::string errors = "\n--- Errors report ---\n\nTotal 1 error !!!\nTimeout: 1\n\n";
    EXPECT_EQ(report(&summary), "--- Client 0 ---\nlogin\t12.34\nsearch\tTIMEOUT\nlogout\tN/A\n"
                                "--- Client 1 ---\n" +
                                    errors + kStatusCodes);
    EXPECT_EQ(summary.totalErrors, 1);
    EXPECT_EQ(summary.totalRequests, 0);
    EXPECT_EQ(summary.serverBandwidth, 0);

    // With time stamps a request without times keeps the columns with a tab before NONE.
    t.timestamp = 1;
    EXPECT_EQ(report(), "--- Client 0 ---\n"
                        "login\tIteration start\tIteration end\t12.34\t" +
                            clockOf(1700000000) + "\t" + clockOf(1700000002) +
                            "\nsearch\tIteration start\tIteration end\tTIMEOUT\t" +
                            clockOf(1700000002) + "\t" + clockOf(1700000032) +
                            "\nlogout\tIteration start\tIteration end\tN/A\tNONE\tNONE\n"
                            "--- Client 1 ---\n" +
                            errors + kStatusCodes);
}

TEST_F(Report, HeaderDescribesTheRunWhenAskedFor) {
    twoUsers();
    t.reportinfo = 1;
    t.projectname.set("shop.tvs");
    t.description.set("nightly");
    t.starttime = 1700000000;
    t.endtime   = 1700000300;
    t.maxspeed  = 56000;
    std::string expected =
        "Report generated by Torvex v2.0\n\nTest started at: " + ctimeOf(1700000000) +
        "Test finished at: " + ctimeOf(1700000300) +
        "Scenario name: shop.tvs\nTest run comment: nightly\nVirtual users: 2\nIterations: 2\n"
        "Connection speed limit: 56000 bits/sec\n";
    const passwd* account = getpwuid(geteuid());
    char host[256]        = {};
    gethostname(host, sizeof host - 1);
    std::string executed = std::string("Test executed by: ") + (account ? account->pw_name : "") +
                           "\nTest executed at: " + host + "\n\n\n--- Basic statistics ---";
    std::string text = report();
    EXPECT_EQ(text.substr(0, expected.size() + executed.size()), expected + executed);

    t.maxspeed = 0;
    EXPECT_EQ(report().find("Connection speed limit"), std::string::npos);
}

TEST_F(Report, PiecesNeverExceed4095Characters) {
    // A request name of 6000 bytes in two-byte characters, in both name lists of the report.
    std::string name;
    for (int i = 0; i < 3000; ++i) name += "\xC3\xA9";
    t.testsequence.setTailOpen(true);
    t.testsequence.append({name, std::nullopt});
    twoUsers();
    std::string text = report(); // report() checks the size and the ends of every piece
    EXPECT_GT(pieces.size(), 2u);
    EXPECT_NE(text.find("Request name:\t\t\thome\tlogin\t" + name + "\n"), std::string::npos);
    EXPECT_NE(text.find("User/Iteration\thome\tlogin\t" + name + "\n"), std::string::npos);
    EXPECT_NE(text.find("001/00002\t2.50\t3.00\tN/A\t\n"), std::string::npos);
}

TEST_F(Report, WithoutWriterNothingHappens) {
    twoUsers();
    t.testname.set("before");
    t.projectname.set("after");
    ReportSummary summary;
    std::memset(&summary, 0x55, sizeof summary);
    ReportSummary untouched = summary;
    EXPECT_EQ(SaveResults(&t, &pieces, nullptr, &summary), 0);
    EXPECT_TRUE(pieces.empty());
    EXPECT_EQ(std::memcmp(&summary, &untouched, sizeof summary), 0);
    // A report without a summary record is still written.
    EXPECT_EQ(SaveResults(&t, &pieces, collect, nullptr), 0);
    EXPECT_FALSE(pieces.empty());
}

TEST_F(Report, ResultsFileIsNamedAfterTheScenarioOnceReported) {
    torvex::test::TempDir dir;
    t.reportdir.set(dir.path.string());
    t.server.set("www");
    t.testname.set("/tmp/loaded-under-another-name.txt");
    t.projectname.set("shop.tvs");
    twoUsers();
    std::string text = report();
    EXPECT_STREQ(t.testname.c_str(), "shop.tvs");
    EXPECT_EQ(SaveResultsToFile(&t, text.c_str()), 1);
    EXPECT_EQ(torvex::test::fileText(dir.path / "shop-www-2x2.xls"), text);
}
