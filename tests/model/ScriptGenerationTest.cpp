#include "model/ScriptGeneration.h"
#include "model/GlobalSettings.h"
#include "model/ReqParam.h"
#include "model/ReqParamFunction.h"
#include "model/Request.h"
#include "model/Scenario.h"

#include "api/TestSet.h"
#include "script/ScriptParser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace torvex;

namespace {

// Whatever the workbench generates is handed to the engine, so it must read all of it.
void expectEngineReads(const std::string& text) {
    CTestSet testSet;
    EXPECT_EQ(parseScript(testSet, text), 1) << text;
}

std::string scriptOf(CScenario& scenario, const GlobalSettingsValues& settings = {}) {
    std::string out = "stale text";
    EXPECT_TRUE(scenario.generateScript(settings, out));
    expectEngineReads(out);
    return out;
}

std::string definitionOf(const CRequest& request) {
    std::string out;
    EXPECT_TRUE(request.definitionText(out));
    expectEngineReads(out);
    return out;
}

CRequest& addGet(CScenario& scenario, const std::string& name) {
    auto request    = std::make_unique<CRequest>();
    request->name   = name;
    request->method = CRequest::kGet;
    request->server = "h";
    return scenario.requests.append(std::move(request));
}

void addRequestsUpTo(CScenario& scenario, int total) {
    while (scenario.requests.count() < total)
        addGet(scenario, "r" + std::to_string(scenario.requests.count() + 1));
}

CReqParamFunction component(int kind, const std::string& text, const std::string& text2 = "",
                            std::uint32_t from = 0, std::uint32_t to = 0, std::uint32_t shift = 0) {
    CReqParamFunction f;
    f.setKind(kind);
    f.setText(text);
    f.setText2(text2);
    f.setFrom(from);
    f.setTo(to);
    f.setShift(shift);
    return f;
}

CReqParam param(const std::string& name, bool encode, std::vector<CReqParamFunction> components) {
    CReqParam p;
    p.setNameAndEncode(name, encode);
    p.components = std::move(components);
    return p;
}

const std::string kDefaultGeneral = "\r\n[General]\r\n"
                                    "timeout=120\r\n"
                                    "httpver=1.1\r\n"
                                    "sslver=1\r\n"
                                    "keepalive=0\r\n"
                                    "ignoreerrors=1\r\n"
                                    "proxyemulation=0\r\n"
                                    "projectname=\r\n"
                                    "clients=20\r\n"
                                    "requests=5\r\n"
                                    "nowait=0\r\n"
                                    "outfile=%n-%cx%r.xls\r\n"
                                    "objectiveid=0\r\n"
                                    "softdelay=1\r\n"
                                    "nodetails=1\r\n"
                                    "timestamp=0\r\n"
                                    "delaystart=10\r\n"
                                    "timingmode=0\r\n"
                                    "round=0.01\r\n"
                                    "log=0\r\n";

const std::string kHomeRequest = "\r\n[home]\r\n"
                                 "$method=GET\r\n"
                                 "$server=h\r\n"
                                 "$port=80\r\n"
                                 "$uri=/\r\n"
                                 "$secure=0\r\n"
                                 "$header=Content-Type: \r\n"
                                 "\r\n";

// ---- General text -----------------------------------------------------------------------------

TEST(GeneralText, DefaultScenarioWithOneGetRequest) {
    CScenario scenario;
    addGet(scenario, "home");
    EXPECT_EQ(generalText(scenario, {}), kDefaultGeneral);
    EXPECT_EQ(scriptOf(scenario), kDefaultGeneral + kHomeRequest);

    // The test sequence appears only once it has entries.
    scenario.run.mainSeq = {"home"};
    EXPECT_EQ(scriptOf(scenario), kDefaultGeneral + "\r\n[TestSeq]\r\nhome\r\n" + kHomeRequest);
}

// A change to a one-request default scenario and what the script must then hold: a fragment (with
// its neighbours, so the position is checked too) and no line starting with an absent key.
struct LineCase {
    const char* what;
    std::function<void(CScenario&, GlobalSettingsValues&)> change;
    std::string fragment;
    std::vector<std::string> absent = {};
};

void checkCases(const std::vector<LineCase>& cases) {
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.what);
        CScenario scenario;
        addGet(scenario, "r1");
        GlobalSettingsValues settings;
        c.change(scenario, settings);
        std::string script = scriptOf(scenario, settings);
        EXPECT_NE(script.find(c.fragment), std::string::npos) << c.fragment << "\nin\n" << script;
        for (const std::string& key : c.absent)
            EXPECT_EQ(script.find("\n" + key), std::string::npos) << key << "\nin\n" << script;
    }
}

TEST(GeneralText, EveryOptionSwitchedOn) {
    CScenario scenario;
    addGet(scenario, "r1");
    GlobalSettingsValues g;
    g.timeout                = 30;
    g.useProxy               = 1;
    g.customProxy            = 1;
    g.proxyType              = 1;
    g.proxyServer            = "h";
    g.proxyPort              = 8080;
    g.proxyAuth              = 1;
    g.proxyUser              = "user";
    g.proxyPassword          = "password";
    g.proxyExceptions        = "10.;intranet";
    g.httpVersion            = 0;
    g.sslVersion             = 0;
    CGeneralSection& general = scenario.general;
    general.keepAlive        = 1;
    general.ignoreErrors     = 0;
    general.addForwardedFor  = 1;
    general.basicAuth        = 1;
    general.userName         = "bob";
    general.password         = "s:cret";
    general.projectName      = "Shop 1";
    general.speed            = 56000;
    general.customUserAgent  = 1;
    general.userAgent        = "Mozilla/5.0 (X11)";
    CRunSection& run         = scenario.run;
    run.saveLog              = 1;
    run.logDir               = "/var/log/tv";
    run.saveReports          = 1;
    run.reportDir            = "/srv/reports";
    run.batchRun             = 0;
    run.limitRequests        = 1;
    run.limitTime            = 1;
    run.maxMinutes           = 2;
    run.timeoutCheck         = 0;
    run.comment              = "Nightly run";
    run.objectiveId          = 3;
    run.loadLevelMode        = 1;
    run.requestsPerSecond    = 2;
    run.saveTimings          = 1;
    run.timingsKind          = 1;
    run.staggerMs            = 250;
    run.timingMode           = 2;
    run.timingRounding       = 1;
    run.initialSeqOn         = 1;
    run.initialSeq           = {"a", "", "b"};
    run.mainSeq              = {"", "r1"};
    run.finalSeqOn           = 1;
    run.finalSeq             = {"d"};

    const std::string expected = "\r\n[General]\r\n"
                                 "timeout=30\r\n"
                                 "customproxy=1\r\n"
                                 "proxy=httpc://user:password@h:8080\r\n"
                                 "bypassproxy=1\r\n"
                                 "proxyexceptions=10.;intranet\r\n"
                                 "httpver=1.0\r\n"
                                 "sslver=0\r\n"
                                 "keepalive=1\r\n"
                                 "ignoreerrors=0\r\n"
                                 "proxyemulation=1\r\n"
                                 "proxymask=192.168.$C2.$C1\r\n"
                                 "authorization=bob:s:cret\r\n"
                                 "projectname=Shop 1\r\n"
                                 "maxspeed=56000\r\n"
                                 "logdir=/var/log/tv\r\n"
                                 "reportdir=/srv/reports\r\n"
                                 "clients=20\r\n"
                                 "requests=2400\r\n"
                                 "maxrequests=100\r\n"
                                 "maxtime=120\r\n"
                                 "nowait=1\r\n"
                                 "outfile=%n-%cx%r.xls\r\n"
                                 "description=Nightly run\r\n"
                                 "objectiveid=3\r\n"
                                 "softdelay=1\r\n"
                                 "rate=360\r\n"
                                 "nodetails=0\r\n"
                                 "timestamp=1\r\n"
                                 "delaystart=250\r\n"
                                 "timingmode=2\r\n"
                                 "round=0.1\r\n"
                                 "log=1\r\n"
                                 "\r\n[InitSeq]\r\na\r\nb\r\n"
                                 "\r\n[TestSeq]\r\nr1\r\n"
                                 "\r\n[FinalSeq]\r\nd\r\n"
                                 "\r\n[Header]\r\nUser-Agent: Mozilla/5.0 (X11)\r\n";
    EXPECT_EQ(generalText(scenario, g), expected);
    EXPECT_EQ(scriptOf(scenario, g).substr(0, expected.size() + 6), expected + "\r\n[r1]");
}

TEST(GeneralText, LinesLeftOutOrVaried) {
    using S                                  = CScenario;
    using G                                  = GlobalSettingsValues;
    const std::vector<std::string> proxyKeys = {
        "customproxy=", "proxy=", "bypassproxy=", "proxyexceptions="};
    checkCases({
        {"proxy off, whatever the other proxy values",
         [](S&, G& g) {
             g.customProxy     = 1;
             g.proxyServer     = "h";
             g.proxyExceptions = "10.";
         },
         "[General]\r\ntimeout=120\r\nhttpver=1.1\r\n", proxyKeys},
        {"proxy on, system proxy settings",
         [](S&, G& g) {
             g.useProxy    = 1;
             g.proxyServer = "h";
             g.proxyPort   = 8080;
         },
         "timeout=120\r\ncustomproxy=0\r\nhttpver=1.1\r\n"},
        {"custom SOCKS5 proxy, local addresses not bypassed, no exceptions",
         [](S&, G& g) {
             g.useProxy    = 1;
             g.customProxy = 1;
             g.proxyType   = 3;
             g.proxyServer = "s";
             g.proxyPort   = 1080;
             g.bypassProxy = 0;
         },
         "customproxy=1\r\nproxy=socks5://s:1080\r\nbypassproxy=0\r\nproxyexceptions=\r\n"
         "httpver=1.1\r\n"},
        {"any HTTP version but 0 is 1.1", [](S&, G& g) { g.httpVersion = 2; },
         "timeout=120\r\nhttpver=1.1\r\nsslver=1\r\n"},
        {"credentials without basic authorization",
         [](S& s, G&) {
             s.general.userName = "bob";
             s.general.password = "pw";
         },
         "proxyemulation=0\r\nprojectname=\r\n",
         {"authorization="}},
        {"speed set but not limited",
         [](S& s, G&) {
             s.general.limitSpeed = 0;
             s.general.speed      = 28800;
         },
         "projectname=\r\nclients=20\r\n",
         {"maxspeed="}},
        {"report folder without the log",
         [](S& s, G&) {
             s.run.saveReports = 1;
             s.run.reportDir   = "/srv/reports";
         },
         "projectname=\r\nreportdir=/srv/reports\r\nclients=20\r\n",
         {"logdir=", "log=1"}},
        {"no report name pattern",
         [](S& s, G&) { s.run.reportNamePattern.clear(); },
         "nowait=0\r\nobjectiveid=0\r\n",
         {"outfile="}},
        {"durations saved", [](S& s, G&) { s.run.saveTimings = 1; },
         "softdelay=1\r\nnodetails=0\r\ntimestamp=0\r\ndelaystart=10\r\n"},
        {"timings kind without saving timings", [](S& s, G&) { s.run.timingsKind = 1; },
         "softdelay=1\r\nnodetails=1\r\ntimestamp=0\r\ndelaystart=10\r\n"},
        {"saved timings of an unknown kind",
         [](S& s, G&) {
             s.run.saveTimings = 1;
             s.run.timingsKind = 2;
         },
         "softdelay=1\r\ndelaystart=10\r\n",
         {"nodetails=", "timestamp="}},
        {"simultaneous start",
         [](S& s, G&) { s.run.staggerStart = 0; },
         "timestamp=0\r\ntimingmode=0\r\n",
         {"delaystart="}},
        {"rounding 1 ms", [](S& s, G&) { s.run.timingRounding = 2; },
         "timingmode=0\r\nround=1\r\nlog=0\r\n"},
        {"unknown rounding",
         [](S& s, G&) { s.run.timingRounding = 3; },
         "timingmode=0\r\nlog=0\r\n",
         {"round="}},
        {"negative rounding",
         [](S& s, G&) { s.run.timingRounding = -1; },
         "timingmode=0\r\nlog=0\r\n",
         {"round="}},
        {"sequences switched off",
         [](S& s, G&) {
             s.run.initialSeq = {"a"};
             s.run.mainSeqOn  = 0;
             s.run.mainSeq    = {"r1"};
         },
         "log=0\r\n\r\n[r1]\r\n"},
        {"final sequence switched off", [](S& s, G&) { s.run.finalSeq = {"d"}; },
         "log=0\r\n\r\n[r1]\r\n"},
        {"sequences switched on but empty",
         [](S& s, G&) {
             s.run.initialSeqOn = 1;
             s.run.finalSeqOn   = 1;
         },
         "log=0\r\n\r\n[r1]\r\n"},
        {"a list holding only an empty entry is not empty",
         [](S& s, G&) {
             s.run.initialSeqOn = 1;
             s.run.initialSeq   = {""};
         },
         "log=0\r\n\r\n[InitSeq]\r\n\r\n[r1]\r\n"},
        {"default user agent", [](S& s, G&) { s.general.customUserAgent = 1; },
         "log=0\r\n\r\n[Header]\r\nUser-Agent: * Torvex *\r\n\r\n[r1]\r\n"},
        {"user agent text without its switch",
         [](S& s, G&) { s.general.userAgent = "Mozilla"; },
         "log=0\r\n\r\n[r1]\r\n",
         {"[Header]", "User-Agent:"}},
    });
}

// "a=1 b=2" as script lines.
std::string lines(std::string words) {
    if (words.empty()) return words;
    std::string out;
    for (std::size_t start = 0, end; start < words.size(); start = end + 1) {
        end = std::min(words.find(' ', start), words.size());
        out += words.substr(start, end - start) + "\r\n";
    }
    return out;
}

std::string between(const std::string& text, const std::string& before, const std::string& after) {
    std::size_t start = text.find(before);
    if (start == std::string::npos) return "<no " + before + ">";
    start += before.size();
    return text.substr(start, text.find(after, start) - start);
}

TEST(GeneralText, LoadVolumeAndRate) {
    struct Case {
        int batchRun, batchBy, users, batchFrom, batchTo, iterations, requests;
        int limitRequests, maxRequests, limitTime, maxMinutes, loadLevelMode, requestsPerSecond;
        const char* volume; // the lines between projectname and nowait
        const char* rate;
    } cases[] = {
        // A = ceil(100 / (3 * 20)) = 2 is below the iterations.
        {0, 0, 20, 1, 20, 5, 3, 1, 100, 0, 1, 0, 1, "clients=20 requests=5 maxrequests=100", ""},
        {0, 0, 20, 1, 20, 1, 3, 1, 1201, 0, 1, 0, 1, "clients=20 requests=21 maxrequests=1201", ""},
        {0, 0, 20, 1, 20, 1, 3, 1, 1200, 0, 1, 0, 1, "clients=20 requests=20 maxrequests=1200", ""},
        // B = 2 * 1200 / 4.
        {1, 0, 20, 1, 20, 5, 4, 0, 100, 1, 2, 0, 1, "clients=20 requests=600 maxtime=120", ""},
        {1, 0, 20, 1, 20, 5, 7, 0, 100, 1, 1, 0, 1, "clients=20 requests=171 maxtime=60", ""},
        {0, 0, 2, 1, 20, 5, 1, 1, 100, 1, 1, 0, 1,
         "clients=2 requests=1200 maxrequests=100 maxtime=60", ""},
        // A batch by users counts its smaller bound, one by iterations the users.
        {1, 0, 20, 10, 4, 1, 1, 1, 100, 0, 1, 0, 1, "clients=20 requests=25 maxrequests=100", ""},
        {1, 0, 20, 4, 10, 1, 1, 1, 100, 0, 1, 0, 1, "clients=20 requests=25 maxrequests=100", ""},
        {1, 1, 20, 4, 10, 1, 1, 1, 100, 0, 1, 0, 1, "clients=20 requests=5 maxrequests=100", ""},
        {0, 0, 50, 4, 10, 1, 1, 1, 100, 0, 1, 0, 1, "clients=50 requests=2 maxrequests=100", ""},
        // Limits switched on with zero amounts, amounts without their switches.
        {1, 0, 20, 1, 20, 5, 1, 1, 0, 1, 0, 0, 1, "clients=20 requests=5", ""},
        {1, 0, 20, 1, 20, 5, 1, 0, 5000, 0, 30, 0, 1, "clients=20 requests=5", ""},
        {1, 0, 20, 1, 20, 0, 1, 1, 100, 0, 1, 0, 1, "clients=20 maxrequests=100", ""},
        {1, 0, 0, 1, 20, 5, 1, 0, 100, 0, 1, 0, 1, "requests=5", ""},
        // rate = requests per second * 3600 / U.
        {0, 0, 7, 1, 20, 5, 1, 0, 100, 0, 1, 1, 5, "clients=7 requests=5", "rate=2571"},
        {1, 0, 20, 8, 3, 5, 1, 0, 100, 0, 1, 1, 5, "clients=20 requests=5", "rate=6000"},
        {1, 1, 20, 3, 20, 5, 1, 0, 100, 0, 1, 1, 5, "clients=20 requests=5", "rate=900"},
        {1, 0, 20, 1, 20, 5, 1, 0, 100, 0, 1, 2, 5, "clients=20 requests=5", ""},
        // A divisor of 0 (no requests, or no users) leaves its line out.
        {1, 0, 20, 1, 20, 5, 0, 1, 100, 0, 1, 0, 1, "clients=20 maxrequests=100", ""},
        {1, 0, 20, 1, 20, 5, 0, 0, 100, 1, 1, 0, 1, "clients=20 maxtime=60", ""},
        {0, 0, 0, 1, 20, 5, 1, 1, 100, 0, 1, 1, 1, "maxrequests=100", ""},
        {1, 0, 20, 0, 20, 5, 1, 1, 100, 0, 1, 1, 1, "clients=20 maxrequests=100", ""},
        {1, 0, 20, 1, 0, 5, 1, 1, 100, 0, 1, 1, 1, "clients=20 maxrequests=100", ""},
        // Without a limit nothing is divided: the iterations stand even without requests.
        {1, 0, 20, 1, 20, 5, 0, 0, 100, 0, 1, 0, 1, "clients=20 requests=5", ""},
    };
    for (std::size_t row = 0; row < std::size(cases); ++row) {
        SCOPED_TRACE("row " + std::to_string(row));
        const Case& c = cases[row];
        CScenario scenario;
        addRequestsUpTo(scenario, c.requests);
        CRunSection& run      = scenario.run;
        run.batchRun          = c.batchRun;
        run.batchBy           = c.batchBy;
        run.users             = c.users;
        run.batchFrom         = c.batchFrom;
        run.batchTo           = c.batchTo;
        run.iterations        = c.iterations;
        run.limitRequests     = c.limitRequests;
        run.maxRequests       = c.maxRequests;
        run.limitTime         = c.limitTime;
        run.maxMinutes        = c.maxMinutes;
        run.loadLevelMode     = c.loadLevelMode;
        run.requestsPerSecond = c.requestsPerSecond;
        std::string script    = scriptOf(scenario);
        EXPECT_EQ(between(script, "\r\nprojectname=\r\n", "nowait="), lines(c.volume));
        EXPECT_EQ(between(script, "\r\nsoftdelay=1\r\n", "nodetails="), lines(c.rate));
    }
}

// ---- Request definitions ----------------------------------------------------------------------

TEST(RequestDefinition, LoginExample) {
    CRequest login;
    login.name        = "login";
    login.method      = CRequest::kPost;
    login.server      = "shop:8080";
    login.uri         = "cgi/login";
    login.scheme      = CRequest::kHttp;
    login.useDelay    = 1;
    login.delayMin    = 2;
    login.delayMax    = 5;
    login.contentType = "application/x-www-form-urlencoded";
    login.params.push_back(param("user", true, {component(CReqParamFunction::kStatic, "J Doe")}));
    login.params.push_back(
        param("pwd", true, {component(CReqParamFunction::kNumeric, "x", "", 1, 99)}));

    EXPECT_EQ(definitionOf(login), "\r\n[login]\r\n"
                                   "$method=POST\r\n"
                                   "$server=shop\r\n"
                                   "$port=8080\r\n"
                                   "$delay=2000-5000\r\n"
                                   "$uri=/cgi/login\r\n"
                                   "$secure=1\r\n"
                                   "$header=Content-Type: application/x-www-form-urlencoded\r\n"
                                   "user=J+Doe\r\n"
                                   "pwd=$NRand(1,99,x)\r\n"
                                   "\r\n");
}

TEST(RequestDefinition, RequestWithoutMethodFailsGeneration) {
    for (int method : {0, 3, -1}) {
        SCOPED_TRACE(method);
        CRequest request;
        request.method = method;
        std::string out;
        EXPECT_FALSE(request.definitionText(out));

        CScenario scenario;
        addGet(scenario, "good");
        addGet(scenario, "bad").method = method;
        addGet(scenario, "after");
        std::string script;
        EXPECT_FALSE(scenario.generateScript({}, script));
        EXPECT_EQ(script, generalText(scenario, {})); // not even the good request
        expectEngineReads(script);
    }
}

TEST(RequestDefinition, UnnamedRequestUsesItsId) {
    CRequest request;
    request.id     = 42;
    request.name   = "";
    request.method = CRequest::kGet;
    EXPECT_EQ(definitionOf(request).substr(0, 13), "\r\n[req_42]\r\n$");
}

TEST(RequestDefinition, RequestsInPreOrderAfterTheGeneralText) {
    CScenario scenario;
    addGet(scenario, "a");
    addGet(scenario, "b");
    // A file can nest requests: a child comes right after its parent and counts as a request.
    auto child             = std::make_unique<CRequestsContainer::Node>();
    child->request         = std::make_unique<CRequest>();
    child->request->name   = "c";
    child->request->method = CRequest::kPost;
    scenario.requests.nodes().front()->children.push_back(std::move(child));
    scenario.run.limitTime = 1;

    std::string script = scriptOf(scenario);
    EXPECT_NE(script.find("\r\nrequests=400\r\n"), std::string::npos);
    std::size_t a = script.find("\r\n[a]\r\n"), c = script.find("\r\n[c]\r\n");
    std::size_t b = script.find("\r\n[b]\r\n");
    EXPECT_LT(a, c);
    EXPECT_LT(c, b);
    EXPECT_NE(b, std::string::npos);
    EXPECT_EQ(script.substr(0, a), generalText(scenario, {}));
}

TEST(RequestDefinition, HostAndPort) {
    struct Case {
        std::string server;
        int scheme;
        std::string expected;
    } cases[] = {
        {"host", CRequest::kUnknownScheme, "$server=host\r\n$port=80\r\n$uri=/\r\n$secure=0\r\n"},
        {"host", CRequest::kHttp, "$server=host\r\n$port=80\r\n$uri=/\r\n$secure=1\r\n"},
        {"host", CRequest::kHttps, "$server=host\r\n$port=443\r\n$uri=/\r\n$secure=2\r\n"},
        {"host:8443", CRequest::kHttps, "$server=host\r\n$port=8443\r\n$uri=/\r\n$secure=2\r\n"},
        {"host:", CRequest::kHttps, "$server=host\r\n$port=\r\n$uri=/\r\n$secure=2\r\n"},
        {"a:1:2", CRequest::kHttp, "$server=a\r\n$port=1:2\r\n$uri=/\r\n$secure=1\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.server + " scheme " + std::to_string(c.scheme));
        CRequest request;
        request.name   = "r";
        request.method = CRequest::kGet;
        request.server = c.server;
        request.scheme = c.scheme;
        EXPECT_EQ(definitionOf(request),
                  "\r\n[r]\r\n$method=GET\r\n" + c.expected + "$header=Content-Type: \r\n\r\n");
    }
}

TEST(RequestDefinition, DelaysInMilliseconds) {
    struct Case {
        int useDelay, delayMin, delayMax;
        std::string expected; // between $port and $uri
    } cases[] = {
        {1, 2, 5, "$delay=2000-5000\r\n"},
        {1, 3, 3, "$delay=3000\r\n"},
        {1, 4, 1, "$delay=4000\r\n"},
        {1, 0, 0, "$delay=0\r\n"},
        {0, 2, 5, ""},
        // Seconds from a file can be past what milliseconds fit in 32 bits.
        {1, 3000000, 4000000, "$delay=3000000000-4000000000\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        CRequest request;
        request.name     = "r";
        request.method   = CRequest::kGet;
        request.server   = "h";
        request.useDelay = c.useDelay;
        request.delayMin = c.delayMin;
        request.delayMax = c.delayMax;
        EXPECT_NE(definitionOf(request).find("$port=80\r\n" + c.expected + "$uri=/\r\n"),
                  std::string::npos);
    }
}

TEST(RequestDefinition, UriLine) {
    struct Case {
        std::string uri, expected;
    } cases[] = {
        {"$href()", "$uri=$href()\r\n"},
        {"/a", "$uri=/a\r\n"},
        {"a", "$uri=/a\r\n"},
        {"", "$uri=/\r\n"},
        {"\\a", "$uri=\\a\r\n"},
        {"cgi/x?q=1&r=2", "$uri=/cgi/x?q=1&r=2\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.uri);
        CRequest request;
        request.name   = "r";
        request.method = CRequest::kPost;
        request.server = "h";
        request.uri    = c.uri;
        EXPECT_NE(definitionOf(request).find("$port=80\r\n" + c.expected + "$secure=0\r\n"),
                  std::string::npos);
    }
}

// ---- Parameters -------------------------------------------------------------------------------

TEST(ScriptEncoding, PercentEncoding) {
    struct Case {
        std::string text;
        bool keepCommas;
        std::string expected;
    } cases[] = {
        {"J Doe", false, "J+Doe"},
        {"100%", false, "100%%"},
        {"caf\xE9", false, "caf%e9"},
        {"a,b", false, "a%2cb"},
        {"a,b", true, "a,b"},
        {"%2c", true, "%%2c"},
        {"AZaz09_-.", false, "AZaz09_-."},
        {"/?&=+~", true, "%2f%3f%26%3d%2b%7e"},
        {std::string("\x01\x7f\xff\0", 4), false, "%01%7f%ff%00"},
        {"", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(scriptEncoded(c.text, c.keepCommas), c.expected);
    }
}

TEST(ParameterExpression, EveryKind) {
    using F = CReqParamFunction;
    struct Case {
        const char* what;
        F component;
        bool unescape, encode;
        std::string expected;
    } cases[] = {
        {"static as stored", component(F::kStatic, "x y,z"), false, false, "x y%2cz"},
        {"static unescaped", component(F::kStatic, "x y,z"), true, false, "x y,z"},
        {"static encoded", component(F::kStatic, "x y,z"), false, true, "x+y%%2cz"},
        // Encoding works on the stored text, whatever the unescape flag says.
        {"static encoded and unescaped", component(F::kStatic, "x y,z"), true, true, "x+y%%2cz"},
        {"numeric random", component(F::kNumeric, "x y,z", "", 1, 99), false, false,
         "$NRand(1,99,x y%2cz)"},
        {"numeric random encoded", component(F::kNumeric, "x y,z", "", 1, 99), false, true,
         "$NRand(1,99,x+y%%2cz)"},
        {"numeric random encoded and unescaped", component(F::kNumeric, "x y,z", "", 1, 99), true,
         true, "$NRand(1,99,x+y%2cz)"},
        {"numeric random without prefix", component(F::kNumeric, "", "", 0, 4294967295u), false,
         true, "$NRand(0,4294967295)"},
        {"alphanumeric random", component(F::kAlphanumeric, "ignored", "too", 3, 8, 2), false, true,
         "$ARand(3,8)"},
        {"random from list", component(F::kRandomList, "a b,c"), false, false, "$LRand(a b%2cc)"},
        {"random from list encoded", component(F::kRandomList, "a b,c"), false, true,
         "$LRand(a+b%%2cc)"},
        {"random from list unescaped and encoded", component(F::kRandomList, "a b,c"), true, true,
         "$LRand(a+b,c)"},
        {"ordered list unescaped", component(F::kOrderedList, "a b,c"), true, false,
         "$List(a b,c)"},
        {"sequence", component(F::kSequence, "id-", "", 100, 999, 5), false, false,
         "$Seq(id-,100,5)"},
        {"sequence encoded", component(F::kSequence, "a b,", "", 7, 0, 0), false, true,
         "$Seq(a+b%%2c,7,0)"},
        {"URL parameter never encoded", component(F::kUrl, "q x,y"), false, true,
         "$UrlParam(q x%2cy)"},
        {"URL parameter unescaped", component(F::kUrl, "q x,y"), true, true, "$UrlParam(q x,y)"},
        {"hidden never encoded", component(F::kHidden, "view state"), false, true,
         "$Hidden(view state)"},
        {"user number", component(F::kUserNumber, "u"), false, true, "$clid(u)"},
        {"user number with postfix", component(F::kUserNumber, "a b", "@x,y"), false, true,
         "$clid(a b,@x%2cy)"},
        {"user number unescaped", component(F::kUserNumber, "a b", "@x,y"), true, true,
         "$clid(a b,@x,y)"},
        {"file", component(F::kFile, "/tmp/a b.txt"), false, true, "$File(/tmp/a b.txt)"},
        {"file with type", component(F::kFile, "a,b", "text/plain"), true, false,
         "$File(a,b,text/plain)"},
        {"unknown kind", component(10, "text", "text2", 1, 2, 3), false, true, ""},
        {"negative kind", component(-1, "text"), false, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.component.expressionText(c.unescape, c.encode), c.expected);
    }
}

TEST(ParameterExpression, StoredCommas) {
    CReqParamFunction list;
    list.setKind(CReqParamFunction::kOrderedList);
    list.setListText("red\r\ngreen,blue\r\n");
    ASSERT_EQ(list.storedText(), "red,green%2cblue");
    EXPECT_EQ(list.expressionText(false, true), "$List(red,green%%2cblue)");
    EXPECT_EQ(list.expressionText(false, false), "$List(red,green%2cblue)");

    // Recorded values are stored as they came; an escaped comma stays one, a bare one is escaped.
    CReqParamFunction recorded;
    recorded.makeStatic("a%2cb");
    EXPECT_EQ(recorded.expressionText(false, true), "a%%2cb");
    recorded.makeStatic("a,b");
    EXPECT_EQ(recorded.expressionText(false, true), "a%2cb");
    EXPECT_EQ(recorded.expressionText(false, false), "a,b");

    CReqParamFunction typed;
    typed.setText("a,b");
    EXPECT_EQ(typed.expressionText(false, true), "a%%2cb");
}

TEST(ParameterValue, JoinsNonEmptyParts) {
    using F = CReqParamFunction;
    struct Case {
        std::vector<std::string> texts;
        std::string expected;
    } cases[] = {
        {{"a", "b"}, "a&b"},     {{"", "b"}, "b"}, {{"a", ""}, "a"},
        {{"a", "", "c"}, "a&c"}, {{"", ""}, ""},   {{}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        CReqParam p;
        p.setNameAndEncode("name", false);
        for (const std::string& text : c.texts) p.components.push_back(component(F::kStatic, text));
        EXPECT_EQ(p.valueText(false, "&"), c.expected);
    }

    CReqParam p = param("name", false, {component(F::kStatic, "a,b"), component(F::kStatic, "c")});
    EXPECT_EQ(p.valueText(true, " | "), "a,b | c");
    EXPECT_EQ(p.valueText(false, "&"), "a%2cb&c");
}

TEST(ParameterValue, LinesOfADefinition) {
    using F = CReqParamFunction;
    CRequest request;
    request.name   = "all";
    request.method = CRequest::kPost;
    request.server = "h";
    request.params.push_back(
        param("two", true, {component(F::kStatic, "a"), component(F::kStatic, "b")}));
    request.params.push_back(
        param("emptyFirst", true, {component(F::kStatic, ""), component(F::kStatic, "b")}));
    request.params.push_back(param("plain", false, {component(F::kStatic, "J Doe,1")}));
    request.params.push_back(param("header$", true, {component(F::kStatic, "X-Test: a b")}));
    request.params.push_back(
        param("mixed", true,
              {component(F::kStatic, "id "), component(F::kSequence, "s", "", 1, 0, 2),
               component(F::kAlphanumeric, "", "", 4, 6)}));
    request.params.push_back(param(
        "lists", true, {component(F::kRandomList, "a b,c"), component(F::kOrderedList, "x")}));
    request.params.push_back(param("others", true,
                                   {component(F::kUrl, "q"), component(F::kHidden, "v"),
                                    component(F::kUserNumber, "u", "@x")}));
    request.params.push_back(param("upload", true, {component(F::kFile, "/tmp/f", "text/plain")}));

    EXPECT_FALSE(request.params[3].encode); // captured header lines are never encoded
    EXPECT_EQ(definitionOf(request), "\r\n[all]\r\n$method=POST\r\n$server=h\r\n$port=80\r\n"
                                     "$uri=/\r\n$secure=0\r\n$header=Content-Type: \r\n"
                                     "two=a&b\r\n"
                                     "emptyFirst=b\r\n"
                                     "plain=J Doe%2c1\r\n"
                                     "header$=X-Test: a b\r\n"
                                     "mixed=id+&$Seq(s,1,2)&$ARand(4,6)\r\n"
                                     "lists=$LRand(a+b%%2cc)&$List(x)\r\n"
                                     "others=$UrlParam(q)&$Hidden(v)&$clid(u,@x)\r\n"
                                     "upload=$File(/tmp/f,text/plain)\r\n"
                                     "\r\n");
}

} // namespace
