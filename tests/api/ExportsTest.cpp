// The exported functions as a caller uses them, linked statically.

#include "torvexcore.h"

#include "api/TestSet.h"
#include "support/CapturedOutput.h"
#include "support/TestSetHandle.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

using torvex::test::CapturedOutput;

namespace {

using torvex::test::TestSetHandle;

TestSetHandle newTestSet() {
    return TestSetHandle(CreateTestSet(0));
}

} // namespace

TEST(Exports, FreshTestSetHasTheDocumentedDefaults) {
    TestSetHandle ts          = newTestSet();
    const torvex::CTestSet& t = internals(ts);
    EXPECT_STREQ(t.server.c_str(), "localhost");
    EXPECT_STREQ(t.uri.c_str(), "/");
    EXPECT_STREQ(t.outfile.c_str(), "%n-%s-%cx%r.xls");
    EXPECT_STREQ(t.proxymask.c_str(), "192.168.$C2.$C1");
    EXPECT_STREQ(t.endofscript.c_str(), "[/script]");
    EXPECT_STREQ(t.httperrorsymbol.c_str(), "HTTPERR");
    EXPECT_STREQ(t.socketerrorsymbol.c_str(), "NETERR");
    EXPECT_STREQ(t.failerrorsymbol.c_str(), "FAIL");
    EXPECT_STREQ(t.timeouterrorsymbol.c_str(), "TIMEOUT");
    EXPECT_EQ(t.port, 80);
    EXPECT_EQ(t.clients, 1);
    EXPECT_EQ(t.requests, 1);
    EXPECT_EQ(t.httpver, 1);
    EXPECT_EQ(t.sslver, 1);
    EXPECT_EQ(t.abortseq, 1);
    EXPECT_EQ(t.sumredirecttime, 1);
    EXPECT_EQ(t.ignoreerrors, 1);
    EXPECT_EQ(t.exacttiminginterval, 1000);
    EXPECT_EQ(t.reportinfo, 1);
    EXPECT_EQ(t.summarytimes, 1);
    EXPECT_EQ(t.timeout, 30);
    EXPECT_EQ(t.showbadresults, 1);
    EXPECT_DOUBLE_EQ(t.round, 10.0);
    EXPECT_EQ(t.delaystart, 1);
    EXPECT_EQ(t.customproxy, 1);
    EXPECT_EQ(t.bypassproxy, 1);
    EXPECT_EQ(t.method + t.delay + t.maxtime + t.maxrequests + t.noredir + t.secure + t.log +
                  t.keepalive + t.nodetails + t.objectiveid + t.testcount + t.definitioncount,
              0);
}

TEST(Exports, RunOfAnEmptyTestSetFailsWithAMessage) {
    CapturedOutput out;
    TestSetHandle ts = newTestSet();
    EXPECT_EQ(RunTest(ts.get()), 0);
    EXPECT_EQ(out.only(), "Error: empty test sequence!");
    EXPECT_EQ(CleanHX(ts.get()), 0);
}

TEST(Exports, RunChecksThatEverySequenceEntryIsDefined) {
    CapturedOutput out;
    TestSetHandle ts = newTestSet();
    ASSERT_EQ(ParseTest(ts.get(), "t", "[initseq]\nlogin\n[a]\n[b]\n"), 1);
    EXPECT_EQ(RunTest(ts.get()), 0);
    EXPECT_EQ(out.only(), "Request login not found!");

    out.clear();
    TestSetHandle script = newTestSet();
    ASSERT_EQ(ParseTest(script.get(), "t", "script=drive.js\n[finalseq]\nlogout\n"), 1);
    EXPECT_EQ(RunTest(script.get()), 0); // a script needs no test sequence, but logout is unknown
    EXPECT_EQ(out.only(), "Request logout not found!");
}

TEST(Exports, SetPropertySplitsAtTheFirstEquals) {
    CapturedOutput out;
    TestSetHandle ts = newTestSet();
    EXPECT_EQ(SetProperty(ts.get(), "timeout=45"), 1);
    EXPECT_EQ(internals(ts).timeout, 45);
    EXPECT_EQ(SetProperty(ts.get(), "timeout"), 0);
    EXPECT_EQ(SetProperty(ts.get(), "clients = 5"), 0); // the name "clients " does not exist
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(SetProperty(ts.get(), "proxymask=10.0.$C1=x"), 1);
    EXPECT_STREQ(internals(ts).proxymask.c_str(), "10.0.$C1=x");
    EXPECT_EQ(SetProperty(ts.get(), "rate=60"), 1);
    EXPECT_EQ(internals(ts).delay, 60000);

    EXPECT_EQ(ParseGeneralParam(ts.get(), "Clients", "5"), 0);
    EXPECT_EQ(ParseGeneralParam(ts.get(), "clients", "5"), 1);
    EXPECT_EQ(internals(ts).clients, 5);
    EXPECT_TRUE(out.empty());
}

TEST(Exports, AbortReturnsThePreviousFlagAndRunClearsIt) {
    CapturedOutput out;
    TestSetHandle ts = newTestSet();
    EXPECT_EQ(AbortRun(ts.get()), 0);
    EXPECT_EQ(AbortRun(ts.get()), 1);
    RunTest(ts.get());
    EXPECT_EQ(AbortRun(ts.get()), 0);

    // Abort may come from any thread.
    std::thread other([&] { AbortRun(ts.get()); });
    other.join();
    EXPECT_EQ(AbortRun(ts.get()), 1);
}

TEST(Exports, VersionAndMemoryEstimate) {
    char version[64];
    EXPECT_EQ(GetCoreVersion(version), 20);
    EXPECT_STREQ(version, "2.0 date Jun  4 2003");

    EXPECT_EQ(Calculate3DArrayMemoryAmount("clients=20\nrequests=10\n[a]\n[b]\n[c]\n"), 2400u);
    // Past 32 bits: 4 x 1000 x 100000 x 100000.
    std::string big = "clients=100000\nrequests=100000\n[testseq]\n";
    for (int i = 0; i < 1000; ++i) big += "r\n";
    EXPECT_EQ(Calculate3DArrayMemoryAmount(big.c_str()), 40000000000000ull);
    EXPECT_EQ(Calculate3DArrayMemoryAmount(""), 0u);
}

TEST(Exports, InfoDescribesTheTestSequence) {
    TestSetHandle ts = newTestSet();
    TorvexInfo info{};
    EXPECT_EQ(GetInfo(ts.get(), &info), 0); // empty test sequence
    EXPECT_EQ(info.requestsPerIteration, 0);

    ASSERT_EQ(ParseTest(ts.get(), "t",
                        "clients=3\nrequests=4\nobjectiveid=77\nnodetails=1\n"
                        "[testseq]\nhome\nsearch($q=1)\n"),
              1);
    EXPECT_EQ(GetInfo(ts.get(), &info), 77);
    EXPECT_EQ(info.users, 3);
    EXPECT_EQ(info.iterations, 4);
    EXPECT_EQ(info.requestsPerIteration, 2);
    EXPECT_EQ(info.aggregate, 1);
    EXPECT_EQ(info.objective, 77);
    EXPECT_STREQ(info.requestNames[0], "home");
    EXPECT_STREQ(info.requestNames[1], "search");

    ASSERT_EQ(ParseGeneralParam(ts.get(), "script", "drive.js"), 1);
    EXPECT_EQ(GetInfo(ts.get(), &info), 77);
    EXPECT_EQ(info.iterations, -1);
    EXPECT_EQ(info.requestsPerIteration, 1);
    EXPECT_EQ(CleanupHX(), 0);
}

TEST(Exports, NullArgumentsFailSafely) {
    CapturedOutput out;
    FreeTestSet(nullptr);
    EXPECT_EQ(ParseTest(nullptr, "x", "clients=1"), 0);
    EXPECT_EQ(ParseGeneralParam(nullptr, "clients", "1"), 0);
    EXPECT_EQ(SetProperty(nullptr, "clients=1"), 0);
    EXPECT_EQ(RunTest(nullptr), 0);
    EXPECT_EQ(GetInfo(nullptr, nullptr), 0);
    EXPECT_EQ(GetResults(nullptr, 0), nullptr);
    EXPECT_EQ(SaveResultsToFile(nullptr, "x"), 0);
    EXPECT_EQ(GetCoreVersion(nullptr), 0);
    EXPECT_EQ(out.messages().size(), 7u);

    TestSetHandle ts = newTestSet();
    EXPECT_EQ(ParseTest(ts.get(), nullptr, nullptr), 1);
    EXPECT_EQ(ParseGeneralParam(ts.get(), nullptr, "1"), 0);
    EXPECT_EQ(ParseGeneralParam(ts.get(), "projectname", nullptr), 1);
    EXPECT_EQ(SetProperty(ts.get(), nullptr), 0);
}

TEST(Exports, RefusedExportLeavesNoStaleBlock) {
    CapturedOutput out;
    TestSetHandle ts = newTestSet();
    char stale       = 'x';
    for (void* set : {static_cast<void*>(nullptr), ts.get()}) {
        char* data = &stale;
        int size   = 7;
        EXPECT_EQ(ExportRunResults(set, &data, &size), 0);
        EXPECT_EQ(data, nullptr);
        EXPECT_EQ(size, 0);
        data = &stale;
        EXPECT_EQ(ExportRunResults(set, &data, nullptr), 0);
        EXPECT_EQ(data, nullptr);
        size = 7;
        EXPECT_EQ(ExportRunResults(set, nullptr, &size), 0);
        EXPECT_EQ(size, 0);
    }
    ASSERT_FALSE(out.empty());
    EXPECT_NE(out.messages().back().find("no finished run"), std::string::npos);
}

TEST(Exports, ParseTestKeepsTheNameCutToItsField) {
    TestSetHandle ts = newTestSet();
    std::string name(400, 'x');
    EXPECT_EQ(ParseTest(ts.get(), name.c_str(), ""), 1);
    EXPECT_EQ(internals(ts).testname.view(), std::string(255, 'x'));
    EXPECT_EQ(ParseTest(ts.get(), nullptr, ""), 1); // a null name keeps the old one
    EXPECT_EQ(internals(ts).testname.view(), std::string(255, 'x'));
}
