// Virtual users driven by JavaScript through the object "torvex", in whole runs against a
// fixture server: requests and their records, parameters, options, new requests, the user log,
// stops, script errors and the report's script section.

#include "torvexcore.h"

#include "api/TestSet.h"
#include "http/support/FixtureServer.h"
#include "run/UserLogFile.h"
#include "run/UserSession.h"
#include "support/CapturedOutput.h"
#include "support/TempDir.h"
#include "support/TestSetHandle.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <future>
#include <mutex>
#include <regex>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using torvex::test::CapturedOutput;
using torvex::test::fileText;
using torvex::test::FixtureServer;
using torvex::test::httpResponse;
using torvex::test::RecordedRequest;
using torvex::test::TempDir;
using torvex::test::TestSetHandle;

namespace {

class ScriptedUsers : public ::testing::Test {
protected:
    ScriptedUsers() {
        server.route("/a", FixtureServer::reply(httpResponse(200, "page a")));
        server.route("/missing", FixtureServer::reply(httpResponse(404, "gone")));
    }

    // A test set whose users run `script` (JavaScript) from the file `scriptName`, with
    // `options`; the user logs go to the temporary folder.
    TestSetHandle load(const std::string& script, const std::string& options = "",
                       const std::string& scriptName = "run.js") {
        std::ofstream(dir.path / scriptName) << script;
        return loadText("script=" + (dir.path / scriptName).string() + "\n" + options);
    }
    TestSetHandle loadText(const std::string& rest) {
        std::string text = "[General]\nserver=127.0.0.1\nport=" + std::to_string(server.port()) +
                           "\nlog=1\nlogdir=" + dir.path.string() + "\n" + rest +
                           "\n[a]\n$uri=/a\n[form]\n$uri=/form\nx=1\n";
        TestSetHandle ts(CreateTestSet(0));
        EXPECT_EQ(ParseTest(ts.get(), "scripted", text.c_str()), 1) << text;
        return ts;
    }
    TestSetHandle run(const std::string& script, const std::string& options = "",
                      const std::string& scriptName = "run.js") {
        TestSetHandle ts = load(script, options, scriptName);
        RunTest(ts.get());
        return ts;
    }
    TestSetHandle runText(const std::string& rest) {
        TestSetHandle ts = loadText(rest);
        RunTest(ts.get());
        return ts;
    }
    std::string logOf(const TestSetHandle& ts, int user = 0) {
        return fileText(torvex::UserLogFile::pathFor(internals(ts), user));
    }
    // The engine's messages but the count of requests that ends every run.
    std::vector<std::string> messages() const {
        std::vector<std::string> kept;
        for (const std::string& m : out.messages())
            if (!m.starts_with("Requests made so far")) kept.push_back(m);
        return kept;
    }
    std::vector<std::string> targets() const {
        std::vector<std::string> all;
        for (const RecordedRequest& r : server.requests()) all.push_back(r.target);
        return all;
    }

    FixtureServer server;
    TempDir dir;
    CapturedOutput out;
};

// The notice Logit writes around a text.
std::string notice(const std::string& text) {
    return "--- notice from script ---\n" + text + "\n--- end of notice ---\n";
}

TEST_F(ScriptedUsers, RequestsAreRecordedAndCountedAndTheResponseIsReadable) {
    TestSetHandle ts = run("var r = [Request('a'), torvex.Request('a'), Request('nope')];\n"
                           "Logit('results ' + r.join(','));\n"
                           "Logit('body ' + Response());\n"
                           "Logit('failed ' + Request(42) + ' [' + Response() + ']');\n");
    EXPECT_THAT(targets(), ElementsAre("/a", "/a"));
    std::string log = logOf(ts);
    EXPECT_THAT(log, HasSubstr(notice("results 1,1,0")));
    EXPECT_THAT(log, HasSubstr(notice("body page a")));
    // Request converts a number to its text: no request "42", nothing sent.
    EXPECT_THAT(log, HasSubstr(notice("failed 0 [page a]")));

    const auto& results = internals(ts).users[0]->results.scriptResults;
    ASSERT_EQ(results.size(), 2u);
    for (const auto& result : results) {
        EXPECT_EQ(result.requestName, "a");
        EXPECT_GE(result.value, 0);
        EXPECT_GT(result.start, 0);
        EXPECT_GE(result.end, result.start);
    }
    auto* row = static_cast<std::int32_t**>(GetResults(ts.get(), 0));
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row[0][0], 2);
    EXPECT_EQ(row[0][1], results[0].value);
    TorvexProgress progress{};
    GetRunProgress(ts.get(), &progress);
    EXPECT_EQ(progress.done, 2);
    EXPECT_EQ(progress.errors, 0);
    EXPECT_EQ(progress.total, -1);
    EXPECT_THAT(messages(), ::testing::IsEmpty());
}

TEST_F(ScriptedUsers, AFailedRequestReturnsZeroLeavesNoResponseAndCountsAsAnError) {
    TestSetHandle ts = run("AddRequest('m', '/missing');\n"
                           "Request('a');\n"
                           "Logit('missing ' + Request('m') + ' [' + Response() + ']');\n");
    EXPECT_THAT(logOf(ts), HasSubstr(notice("missing 0 []")));
    const auto& results = internals(ts).users[0]->results.scriptResults;
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[1].value, -2);
    TorvexProgress progress{};
    GetRunProgress(ts.get(), &progress);
    EXPECT_EQ(progress.done, 1);
    EXPECT_EQ(progress.errors, 1);
}

TEST_F(ScriptedUsers, ParametersOverridesAndRequestOptionsChangeWhatIsSent) {
    server.route("/form", FixtureServer::reply(httpResponse(200, "form")));
    server.route("/other", FixtureServer::reply(httpResponse(200, "other")));
    TestSetHandle ts =
        run("var r = [];\n"
            "r.push(SetParam('form', 'x', 7)); Request('form');\n"
            "r.push(SetParam('form', 'x')); Request('form');\n"
            "r.push(SetParam('nope', 'x', 'y'));\n"
            "r.push(AddParam('form', 'y', 'a&b')); r.push(AddParam('form', 'y', 'c'));\n"
            "Request('form');\n"
            "ResetRequest('form'); Request('form');\n"
            "r.push(SetRequestOpt('form', '$uri=/other,$method=POST'));\n"
            "r.push(SetRequestOpt('nope', '$uri=/x')); Request('form');\n"
            "r.push(AddParam('nope', 'y', '1'));\n"
            "Logit(r.join(','));\n");
    EXPECT_THAT(logOf(ts), HasSubstr(notice("1,1,0,1,0,1,0,0")));
    std::vector<RecordedRequest> seen = server.requests();
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[0].target, "/form?x=7");
    EXPECT_EQ(seen[1].target, "/form?x=1");
    EXPECT_EQ(seen[2].target, "/form?x=1&y=ab");
    EXPECT_EQ(seen[3].target, "/form?x=1");
    EXPECT_EQ(seen[4].method, "POST");
    EXPECT_EQ(seen[4].target, "/other");
    EXPECT_EQ(seen[4].body, "x=1");
}

TEST_F(ScriptedUsers, RequestsExportTheirVariablesAndPauseTheirMinimumDelayOnly) {
    server.route("/sid", FixtureServer::reply(httpResponse(200, "sid=abc123")));
    server.route("/use", FixtureServer::reply(httpResponse(200, "used")));
    std::mutex lock;
    std::vector<std::chrono::steady_clock::time_point> arrivals;
    server.route("/timed", [&](torvex::test::ReplyChannel& reply, const RecordedRequest&) {
        {
            std::lock_guard guard(lock);
            arrivals.push_back(std::chrono::steady_clock::now());
        }
        reply.send(httpResponse(200, "timed"));
    });
    TestSetHandle ts = runText("script=$inline.js\nsoftdelay=1\n[script]\n"
                               "Request('use'); Request('exp'); Request('use');\n"
                               "AddRequest('t', '/timed'); SetRequestOpt('t', '$delay=300-5000');\n"
                               "Request('t'); Request('t');\n[/script]\n"
                               "[exp]\n$uri=/sid\n$exportvar=sid,/sid=([a-z0-9]+)/,$1\n"
                               "[use]\n$uri=/use\nv=$var(sid,none)\n");
    EXPECT_THAT(targets(), ElementsAre("/use?v=none", "/sid", "/use?v=abc123", "/timed", "/timed"));
    std::lock_guard guard(lock);
    ASSERT_EQ(arrivals.size(), 2u);
    // The minimum delay spaces the starts (softdelay); the maximum plays no part.
    auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(arrivals[1] - arrivals[0]);
    EXPECT_GE(gap.count(), 280);
    EXPECT_LT(gap.count(), 1500);
}

TEST_F(ScriptedUsers, GetOptAnswersTheUserIndexOptionsAndUndefined) {
    TestSetHandle ts = run("Logit([GetOpt('clid'), GetOpt('CLID'), GetOpt('clients'),\n"
                           "       GetOpt('method'), GetOpt('round'), GetOpt('logdir') != '',\n"
                           "       typeof GetOpt('nosuchoption'),\n"
                           "       typeof GetOpt(new Array(65).join('x'))].join('|'));\n",
                           "clients=2\nmethod=POST\nround=0.25\n");
    for (int user : {0, 1}) {
        SCOPED_TRACE(user);
        EXPECT_THAT(logOf(ts, user),
                    HasSubstr(notice(std::to_string(user) + "|" + std::to_string(user) +
                                     "|2|POST|0.250000|true|undefined|undefined")));
    }
}

TEST_F(ScriptedUsers, AddRequestTakesHostPortAndPathAndRefusesOtherSchemes) {
    server.route("/a/b", FixtureServer::reply(httpResponse(200, "ab")));
    std::string port = std::to_string(server.port());
    TestSetHandle ts =
        run("var r = [AddRequest('r2', '127.0.0.1:" + port +
                "/a/b'),\n"
                "         AddRequest('r3', 'HTTP://127.0.0.1:" +
                port +
                "'),\n"
                "         AddRequest('r4', 'https://127.0.0.1/'),\n"
                "         AddRequest('a', '/x'), AddRequest('r5', '')];\n"
                "r.push(Request('r2'), Request('r3'), Request('r4'), Request('r5'));\n"
                "Logit(r.join(','));\n",
            "uri=/a\ndelay=0\n");
    EXPECT_THAT(logOf(ts), HasSubstr(notice("1,1,0,0,1,1,1,0,1")));
    EXPECT_THAT(targets(), ElementsAre("/a/b", "/a", "/a"));
    // Requests a script adds belong to its user alone.
    EXPECT_EQ(internals(ts).definitions.find("r2"), nullptr);
}

TEST_F(ScriptedUsers, WrongArgumentsThrowScriptErrorsThatTheScriptCanCatch) {
    TestSetHandle ts = run("function name(f) { try { f(); return 'none'; } catch (e) {\n"
                           "  return e.name; } }\n"
                           "Logit([name(function () { Request(); }),\n"
                           "       name(function () { Request('a', 'b'); }),\n"
                           "       name(function () { SetParam('a'); }),\n"
                           "       name(function () { SetParam('a', 'x', 1, 2); }),\n"
                           "       name(function () { GetOpt(5); }),\n"
                           "       name(function () { Logit(); }),\n"
                           "       name(function () { AddParam('a', 'b', 3); }),\n"
                           "       name(function () { ResetRequest(null); }),\n"
                           "       name(function () { Logit(Symbol('x')); }),\n"
                           "       name(function () { torvex.IsAborting(1); })].join(','));\n"
                           "\n"
                           "GetOpt(5);\n");
    EXPECT_THAT(logOf(ts), HasSubstr(notice("TypeError,TypeError,TypeError,TypeError,TypeError,"
                                            "TypeError,TypeError,TypeError,TypeError,TypeError")));
    EXPECT_TRUE(server.requests().empty());
    // Uncaught, the error names the script's line.
    EXPECT_THAT(messages(), ElementsAre("Script Error: (14,0): TypeError: GetOpt: argument 1 must "
                                        "be a string"));
}

TEST_F(ScriptedUsers, TextsPastTheBasicPlaneCrossBetweenScriptAndEngineAsUtf8) {
    const std::string smile = "\xF0\x9F\x98\x80"; // U+1F600 in UTF-8
    server.route("/smile", FixtureServer::reply(httpResponse(200, "<" + smile + ">")));
    TestSetHandle ts = run("AddRequest('s', '/smile'); Request('s');\n"
                           "Logit('" +
                           smile +
                           "' + Response().length);\n"
                           "SetParam('form', 'x', Response().substring(1, 3)); Request('form');\n"
                           "var kept = {}; Duktape.fin(kept, function () { Request('form'); });\n");
    EXPECT_THAT(logOf(ts), HasSubstr(notice(smile + "4")));
    std::vector<RecordedRequest> seen = server.requests();
    ASSERT_EQ(seen.size(), 2u); // none from the finalizer, which runs after the script's end
    EXPECT_EQ(seen[1].target, "/form?x=" + smile);
}

TEST_F(ScriptedUsers, ScriptErrorsAreReportedWithTheirLine) {
    {
        SCOPED_TRACE("syntax error: nothing runs");
        TestSetHandle ts = run("Request('a');\nvar x = ;\n");
        EXPECT_TRUE(server.requests().empty());
        ASSERT_EQ(messages().size(), 1u);
        EXPECT_THAT(messages()[0], ::testing::StartsWith("Script Error: (2,0): SyntaxError"));
    }
    out.clear();
    {
        SCOPED_TRACE("run-time error: what ran before stays");
        TestSetHandle ts = run("Request('a');\n\nnoSuchFunction();\nRequest('a');\n");
        EXPECT_EQ(server.requests().size(), 1u);
        ASSERT_EQ(messages().size(), 1u);
        EXPECT_THAT(messages()[0], ::testing::StartsWith("Script Error: (3,0): ReferenceError"));
        EXPECT_EQ(internals(ts).users[0]->results.scriptResults.size(), 1u);
    }
}

TEST_F(ScriptedUsers, ScriptsThatRecurseDeeplyEndWithAnErrorInsteadOfACrash) {
    std::string nested = std::string(3000, '(') + "1" + std::string(3000, ')');
    std::string groups = std::string(9000, '(') + "a" + std::string(9000, ')');
    TestSetHandle ts =
        run("function f(n) { return n ? [n].map(function () { return f(n - 1); })[0] : 0; }\n"
            "var errors = [];\n"
            "function attempt(g) { try { g(); } catch (e) { errors.push(e.name); } }\n"
            "attempt(function () { eval('var x = " +
            nested +
            ";'); });\n"
            "attempt(function () { f(5000); });\n"
            "attempt(function () { new RegExp('" +
            groups +
            "').test('a'); });\n"
            "attempt(function () { /(a|b)*c/.test(new Array(200000).join('ab')); });\n"
            "Logit(errors.join(','));\n");
    EXPECT_THAT(logOf(ts), HasSubstr(notice("RangeError,RangeError,RangeError,RangeError")));
}

TEST_F(ScriptedUsers, InlineScriptsAndScriptsWithoutAnEngine) {
    {
        SCOPED_TRACE("inline");
        TestSetHandle ts = runText("script=$INLINE.js\n[script]\nRequest('a');\n"
                                   "Logit('inline ' + GetOpt('clid'));\n[/script]\n");
        EXPECT_THAT(targets(), ElementsAre("/a"));
        EXPECT_THAT(logOf(ts), HasSubstr(notice("inline 0")));
    }
    {
        SCOPED_TRACE("inline, but no engine for its name");
        std::size_t before = server.requests().size();
        TestSetHandle ts   = runText("script=$inline.vbs\n[script]\nRequest('a');\n[/script]\n");
        EXPECT_EQ(server.requests().size(), before);
    }
    for (const char* name : {"login.vbs", "logic.pl", "plain.txt"}) {
        SCOPED_TRACE(name);
        std::size_t before = server.requests().size();
        TestSetHandle ts   = run("Request('a');\n", "", name);
        EXPECT_EQ(server.requests().size(), before);
        EXPECT_TRUE(internals(ts).users[0]->results.scriptResults.empty());
        EXPECT_THAT(messages(), ::testing::IsEmpty());
    }
}

TEST_F(ScriptedUsers, IsAbortingTurnsOneWhenTheRunIsStoppedAndNoRequestStartsAfterwards) {
    server.route("/wait", [](torvex::test::ReplyChannel& reply, const RecordedRequest&) {
        if (reply.pause(5s)) reply.send(httpResponse(200, "late"));
    });
    TestSetHandle ts =
        load("AddRequest('wait', '/wait');\n"
             "var n = 0;\n"
             "while (!IsAborting() && n < 100) { Request('a'); Request('wait'); ++n; }\n"
             "Logit('stopped ' + IsAborting() + ' ' + Request('a') + ' ' + n);\n",
             "clients=2\n");
    auto result  = std::async(std::launch::async, [&] { return RunTest(ts.get()); });
    bool waiting = server.waitForRequests(4, 5s);
    AbortRun(ts.get());
    ASSERT_TRUE(waiting);
    ASSERT_EQ(result.wait_for(3s), std::future_status::ready);
    for (int user : {0, 1}) {
        EXPECT_THAT(logOf(ts, user), HasSubstr(notice("stopped 1 0 1")));
        // The request cut short by the stop is not recorded.
        EXPECT_EQ(internals(ts).users[user]->results.scriptResults.size(), 1u);
    }
}

TEST_F(ScriptedUsers, AStopEndsAScriptThatNeverLooksAtIsAborting) {
    TestSetHandle ts = load("Request('a');\n"
                            "while (true) { try { Request('a'); } catch (e) {} }\n",
                            "clients=2\n");
    auto result      = std::async(std::launch::async, [&] { return RunTest(ts.get()); });
    bool busy        = server.waitForRequests(10, 5s);
    AbortRun(ts.get());
    ASSERT_TRUE(busy);
    ASSERT_EQ(result.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(result.get(), 1);
    // Ended by the stop, not by an error of its own: nothing to report.
    EXPECT_THAT(messages(), ::testing::IsEmpty());
}

TEST_F(ScriptedUsers, TheReportListsEachUsersScriptRequests) {
    for (int timestamp : {0, 1}) {
        SCOPED_TRACE(timestamp);
        TestSetHandle ts        = run("Request('a'); AddRequest('m', '/missing'); Request('m');\n",
                                      "timestamp=" + std::to_string(timestamp) + "\n");
        std::string report      = torvex::test::reportOf(ts);
        const std::string clock = "[0-9]{2}:[0-9]{2}:[0-9]{2}";
        std::string pattern =
            timestamp ? "--- Client 0 ---\na\tIteration start\tIteration end\t[0-9]+\\.[0-9]+\t" +
                            clock + "\t" + clock + "\nm\tIteration start\tIteration end\t[^\n]*\t" +
                            clock + "\t" + clock + "\n"
                      : "--- Client 0 ---\na\t[0-9]+\\.[0-9]+\nm\t[^\n]+\n";
        EXPECT_TRUE(std::regex_search(report, std::regex(pattern))) << report;
    }
}

} // namespace
