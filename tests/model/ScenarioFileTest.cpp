#include "model/ScenarioFile.h"
#include "model/Document.h"
#include "model/RequestIds.h"
#include "model/Scenario.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

using namespace torvex;
using ::testing::HasSubstr;

namespace {

// A scenario file written by hand: little-endian 32-bit numbers and length-prefixed strings.
struct Bytes {
    std::string out;

    Bytes& i32(std::int64_t value) {
        const auto u = static_cast<std::uint32_t>(value);
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
        return *this;
    }
    Bytes& ints(std::initializer_list<std::int64_t> values) {
        for (std::int64_t v : values) i32(v);
        return *this;
    }
    Bytes& str(std::string_view text) {
        i32(static_cast<std::int64_t>(text.size()));
        out += text;
        return *this;
    }
    Bytes& strs(std::initializer_list<std::string_view> texts) {
        i32(static_cast<std::int64_t>(texts.size()));
        for (std::string_view t : texts) str(t);
        return *this;
    }
    Bytes& add(const Bytes& more) {
        out += more.out;
        return *this;
    }
};

Bytes defaultGeneral(int version = 1) {
    Bytes b;
    b.ints({version, 1, 0, 0, 0, 0, 1, -1, 0}); // ignoreErrors .. useDelays
    return b.str("* Torvex *").str("").str("").str("192.168.$C2.$C1");
}

Bytes defaultRun(int version = 2, int objectiveId = 0, std::string_view comment = "") {
    const DefaultFolders folders = defaultFolders();
    Bytes b;
    // clang-format off
    b.ints({version, 1, 0, 0, 1, // timeoutCheck, finalSeqOn, initialSeqOn, mainSeqOn
            0, 0, 0, 0,          // loadLevelMode, saveLog, saveReports, saveTimings
            1, 0, 1, 1, 1, 1,    // staggerStart, batchBy, batchFrom, pause, pauseSeconds, rps
            0, 100, 5, 0, 1,     // limitRequests, maxRequests, iterations, limitTime, maxMinutes
            1, 10, 1, 0, 20, 20, // batchRun, staggerMs, batchStep, timingsKind, batchTo, users
            0, 0});              // timingMode, timingRounding
    // clang-format on
    if (version == 2) b.i32(objectiveId);
    b.str(comment).str(folders.logDir).str("%n-%cx%r.xls").str(folders.reportDir);
    return b.ints({0, 0, 0}); // final, initial, main sequences
}

// Every number of the run record is 100 + its row in the record's table; objectiveId is 129.
Bytes distinctRun(int version) {
    Bytes b;
    b.i32(version);
    for (int row = 2; row <= 28; ++row) b.i32(100 + row);
    if (version == 2) b.i32(129);
    b.str("comment").str("logs").str("%n.xls").str("reports");
    return b.strs({"f1"}).strs({"i1", "i2"}).strs({"m1", "m2", "m3"});
}

Bytes distinctGeneral() {
    Bytes b;
    b.ints({1, 11, 12, 13, 14, 15, 16, 17, 18});
    return b.str("agent").str("user").str("secret").str("10.$C1");
}

// An http GET of "host" with the parameter count; the caller adds parameters and the child list.
Bytes requestRecord(std::string_view name, int params = 0) {
    Bytes b;
    b.ints({1, 1, 0, 0, 0, 1}).str("").str(name).str("host").str("");
    return b.i32(params);
}

std::string scenarioFile(const Bytes& general, const Bytes& run, const Bytes& requests,
                         std::uint32_t magic = 0xDEADBEAF, int version = 1) {
    Bytes b;
    b.i32(magic).i32(version).add(general).add(run).add(requests);
    return b.out;
}

std::string flatRequests(std::initializer_list<std::string_view> names) {
    Bytes b;
    b.ints({1, static_cast<std::int64_t>(names.size())});
    for (std::string_view n : names) b.add(requestRecord(n)).i32(0);
    return scenarioFile(defaultGeneral(), defaultRun(), b);
}

// A scenario whose every saved field differs from the defaults, so a file read over it shows
// which fields it did not set.
void scribble(CScenario& scenario) {
    std::string error;
    Bytes requests;
    requests.ints({1, 1}).add(requestRecord("old")).i32(0);
    ASSERT_TRUE(readScenarioBytes(scenarioFile(distinctGeneral(), distinctRun(2), requests),
                                  scenario, error))
        << error;
}

void expectReadsBackIdentically(const std::string& bytes) {
    CScenario scenario;
    scribble(scenario);
    std::string error;
    ASSERT_TRUE(readScenarioBytes(bytes, scenario, error)) << error;
    EXPECT_EQ(scenarioBytes(scenario), bytes);
}

std::vector<std::string> namesInOrder(const CRequestsContainer& requests) {
    std::vector<std::string> names;
    requests.forEach([&](const CRequest& r) { names.push_back(r.name); });
    return names;
}

std::vector<int> idsInOrder(const CRequestsContainer& requests) {
    std::vector<int> ids;
    requests.forEach([&](const CRequest& r) { ids.push_back(r.id); });
    return ids;
}

struct TempFile {
    explicit TempFile(const std::string& name)
        : path((std::filesystem::temp_directory_path() /
                ("torvex-model-" + std::to_string(::getpid()) + "-" + name + ".tvs"))
                   .string()) {}
    explicit TempFile(const std::string& name, const std::string& bytes) : TempFile(name) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    ~TempFile() { std::filesystem::remove(path); }
    std::string contents() const {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::string path;
};

// ---- Byte-exact files

TEST(ScenarioFileBytes, NewScenarioIsTheMagicAndTheDefaultRecords) {
    CScenario scenario;
    Bytes noRequests;
    noRequests.ints({1, 0});
    const std::string expected = scenarioFile(defaultGeneral(), defaultRun(), noRequests);
    ASSERT_EQ(expected.substr(0, 12), std::string("\xAF\xBE\xAD\xDE\x01\0\0\0\x01\0\0\0", 12));
    EXPECT_EQ(scenarioBytes(scenario), expected);
    expectReadsBackIdentically(expected);
}

TEST(ScenarioFileBytes, RequestsWithoutParametersEachEndWithAnEmptyChildList) {
    CScenario scenario;
    CRequest& home    = scenario.requests.append(std::make_unique<CRequest>());
    home.name         = "home";
    home.server       = "shop:8080";
    CRequest& login   = scenario.requests.append(std::make_unique<CRequest>());
    login.name        = "login";
    login.scheme      = CRequest::kHttps;
    login.method      = CRequest::kPost;
    login.delayMin    = 2;
    login.delayMax    = 5;
    login.useDelay    = 1;
    login.server      = "shop";
    login.uri         = "cgi/login";
    login.contentType = "application/x-www-form-urlencoded";
    CRequest& blank   = scenario.requests.append(std::make_unique<CRequest>());

    Bytes requests;
    requests.ints({1, 3});
    requests.ints({1, 0, 0, 0, 0, 0}).str("").str("home").str("shop:8080").str("");
    requests.ints({0, 0}); // no parameters, no children
    requests.ints({1, 2, 2, 5, 1, 2}).str("application/x-www-form-urlencoded").str("login");
    requests.str("shop").str("cgi/login").ints({0, 0});
    requests.ints({1, 0, 0, 0, 0, 0}).str("").str("req_" + std::to_string(blank.id));
    requests.str("").str("").ints({0, 0});
    const std::string expected = scenarioFile(defaultGeneral(), defaultRun(), requests);

    EXPECT_EQ(scenarioBytes(scenario), expected);
    expectReadsBackIdentically(expected);
}

TEST(ScenarioFileBytes, ParametersAndComponentsKeepTheirStoredTexts) {
    Bytes requests;
    requests.ints({1, 1}).add(requestRecord("search", 2));
    requests.ints({1, 1}).str("q").str("raw q").i32(2);           // parameter q
    requests.ints({1, 0, 0, 0, 0}).str("").str("a%2cb");          // static "a,b"
    requests.ints({1, 1, 0, 4000000000u, 1}).str("").str("x");    // numeric 1..4e9
    requests.ints({1, 0}).str("header$").str("").i32(2);          // header line
    requests.ints({1, 0, 0, 0, 0}).str("").str("text/html, */*"); // recorded, bare comma
    requests.ints({1, 0, 0, 0, 8}).str("v%2cw").str("u");         // user number
    requests.i32(0);                                              // no children
    const std::string bytes = scenarioFile(defaultGeneral(), defaultRun(), requests);

    CScenario scenario;
    std::string error;
    ASSERT_TRUE(readScenarioBytes(bytes, scenario, error)) << error;
    ASSERT_EQ(scenario.requests.count(), 1);
    const std::vector<CReqParam>& params = scenario.requests.nodes()[0]->request->params;
    ASSERT_EQ(params.size(), 2u);
    ASSERT_EQ(params[0].components.size() + params[1].components.size(), 4u);
    EXPECT_EQ(params[0].components[0].text(), "a,b");
    EXPECT_EQ(params[0].components[1].to(), 4000000000u);
    EXPECT_EQ(params[1].components[0].storedText(), "text/html, */*");
    EXPECT_EQ(scenarioBytes(scenario), bytes);

    // The same request built through the setters writes the same bytes.
    CScenario built;
    CRequest& search = built.requests.append(std::make_unique<CRequest>());
    search.name      = "search";
    search.scheme    = CRequest::kHttp;
    search.method    = CRequest::kGet;
    search.server    = "host";
    CReqParam q;
    q.setNameAndEncode("q", true);
    q.extraText = "raw q";
    q.components.resize(2);
    q.components[0].setText("a,b");
    q.components[1].setKind(CReqParamFunction::kNumeric);
    q.components[1].setFrom(1);
    q.components[1].setTo(4000000000u);
    q.components[1].setText("x");
    CReqParam header;
    header.setNameAndEncode("header$", true);
    header.components.resize(2);
    header.components[0].makeStatic("text/html, */*");
    header.components[1].setKind(CReqParamFunction::kUserNumber);
    header.components[1].setText("u");
    header.components[1].setText2("v,w");
    search.params = {q, header};
    EXPECT_EQ(scenarioBytes(built), bytes);
}

TEST(ScenarioFileBytes, EveryNumberOfTheSectionsLandsInItsField) {
    CScenario scenario;
    scribble(scenario);
    const CGeneralSection& g                               = scenario.general;
    const std::pair<int CGeneralSection::*, int> general[] = {
        {&CGeneralSection::ignoreErrors, 11},    {&CGeneralSection::keepAlive, 12},
        {&CGeneralSection::addForwardedFor, 13}, {&CGeneralSection::customUserAgent, 14},
        {&CGeneralSection::basicAuth, 15},       {&CGeneralSection::limitSpeed, 16},
        {&CGeneralSection::speed, 17},           {&CGeneralSection::useDelays, 18}};
    for (const auto& [field, value] : general) EXPECT_EQ(g.*field, value);
    EXPECT_EQ(g.userAgent, "agent");
    EXPECT_EQ(g.userName, "user");
    EXPECT_EQ(g.password, "secret");
    EXPECT_EQ(g.proxyMask, "10.$C1");

    const CRunSection& r                 = scenario.run;
    const int CRunSection::*const rows[] = {
        &CRunSection::timeoutCheck, &CRunSection::finalSeqOn,        &CRunSection::initialSeqOn,
        &CRunSection::mainSeqOn,    &CRunSection::loadLevelMode,     &CRunSection::saveLog,
        &CRunSection::saveReports,  &CRunSection::saveTimings,       &CRunSection::staggerStart,
        &CRunSection::batchBy,      &CRunSection::batchFrom,         &CRunSection::pauseBetweenRuns,
        &CRunSection::pauseSeconds, &CRunSection::requestsPerSecond, &CRunSection::limitRequests,
        &CRunSection::maxRequests,  &CRunSection::iterations,        &CRunSection::limitTime,
        &CRunSection::maxMinutes,   &CRunSection::batchRun,          &CRunSection::staggerMs,
        &CRunSection::batchStep,    &CRunSection::timingsKind,       &CRunSection::batchTo,
        &CRunSection::users,        &CRunSection::timingMode,        &CRunSection::timingRounding,
        &CRunSection::objectiveId};
    for (int i = 0; i < 28; ++i) EXPECT_EQ(r.*rows[i], 102 + i) << "row " << i + 2;
    EXPECT_EQ(r.comment, "comment");
    EXPECT_EQ(r.logDir, "logs");
    EXPECT_EQ(r.reportNamePattern, "%n.xls");
    EXPECT_EQ(r.reportDir, "reports");
    EXPECT_EQ(r.finalSeq, (std::vector<std::string>{"f1"}));
    EXPECT_EQ(r.initialSeq, (std::vector<std::string>{"i1", "i2"}));
    EXPECT_EQ(r.mainSeq, (std::vector<std::string>{"m1", "m2", "m3"}));
}

TEST(ScenarioFileBytes, VersionOneRunRecordKeepsTheObjectiveId) {
    Bytes noRequests;
    noRequests.ints({1, 0});
    CScenario scenario;
    scenario.run.objectiveId = 7;
    scenario.run.mainSeq     = {"stale"};
    std::string error;
    ASSERT_TRUE(readScenarioBytes(scenarioFile(defaultGeneral(), distinctRun(1), noRequests),
                                  scenario, error))
        << error;
    EXPECT_EQ(scenario.run.objectiveId, 7);
    EXPECT_EQ(scenario.run.timingRounding, 128);
    EXPECT_EQ(scenario.run.mainSeq, (std::vector<std::string>{"m1", "m2", "m3"}));

    // Written again as version 2, with the kept objective id in its place.
    Bytes run = distinctRun(2);
    run.out.replace(4 + 27 * 4, 4, Bytes{}.i32(7).out);
    EXPECT_EQ(scenarioBytes(scenario), scenarioFile(defaultGeneral(), run, noRequests));
}

TEST(ScenarioFileBytes, LongStringHasItsLengthThenItsBytes) {
    std::string comment;
    for (int i = 0; i < 300; ++i) comment += static_cast<char>('a' + i % 26);
    CScenario scenario;
    scenario.run.comment = comment;
    Bytes noRequests;
    noRequests.ints({1, 0});
    const std::string expected =
        scenarioFile(defaultGeneral(), defaultRun(2, 0, comment), noRequests);
    const std::string bytes = scenarioBytes(scenario);
    EXPECT_EQ(bytes, expected);
    EXPECT_THAT(bytes, HasSubstr(std::string("\x2C\x01\x00\x00", 4) + comment));
    expectReadsBackIdentically(expected);
}

TEST(ScenarioFileBytes, NegativeCountsReadNothing) {
    Bytes run = defaultRun();
    run.out.replace(run.out.size() - 4, 4, Bytes{}.i32(-3).out); // main sequence count
    Bytes requests;
    requests.ints({1, -1});
    CScenario scenario;
    scribble(scenario);
    std::string error;
    ASSERT_TRUE(readScenarioBytes(scenarioFile(defaultGeneral(), run, requests), scenario, error))
        << error;
    EXPECT_TRUE(scenario.run.mainSeq.empty());
    EXPECT_EQ(scenario.requests.count(), 0);
}

// ---- Child lists and request ids

// home ( login ( cart ), search ), logout
std::string treeFile() {
    Bytes requests;
    requests.ints({1, 2}).add(requestRecord("home")).i32(2);
    requests.add(requestRecord("login")).i32(1).add(requestRecord("cart")).i32(0);
    requests.add(requestRecord("search")).i32(0);
    requests.add(requestRecord("logout")).i32(0);
    return scenarioFile(defaultGeneral(), defaultRun(), requests);
}

TEST(ScenarioFileChildren, ChildListsAreReadUnderTheirRequestInPreOrder) {
    CScenario scenario;
    std::string error;
    ASSERT_TRUE(readScenarioBytes(treeFile(), scenario, error)) << error;
    EXPECT_EQ(scenario.requests.count(), 5);
    EXPECT_EQ(namesInOrder(scenario.requests),
              (std::vector<std::string>{"home", "login", "cart", "search", "logout"}));
    EXPECT_EQ(idsInOrder(scenario.requests), (std::vector<int>{1, 2, 3, 4, 5}));
    const auto& top = scenario.requests.nodes();
    ASSERT_EQ(top.size(), 2u);
    ASSERT_EQ(top[0]->children.size(), 2u);
    ASSERT_EQ(top[0]->children[0]->children.size(), 1u);
    EXPECT_EQ(top[0]->children[0]->children[0]->request->name, "cart");
    EXPECT_EQ(scenario.requests.findById(3)->name, "cart");
    EXPECT_EQ(scenarioBytes(scenario), treeFile());
}

TEST(ScenarioFileChildren, CopiedTreeIsWrittenWithEmptyChildLists) {
    CScenario tree;
    std::string error;
    ASSERT_TRUE(readScenarioBytes(treeFile(), tree, error)) << error;
    CScenario flat;
    flat.copyRequestsFrom(tree);
    EXPECT_EQ(scenarioBytes(flat), flatRequests({"home", "login", "cart", "search", "logout"}));
}

TEST(ScenarioFileIds, LoadedRequestsAreNumberedFromOne) {
    resetRequestIds();
    for (int i = 0; i < 40; ++i) nextRequestId();
    CScenario scenario;
    scenario.requests.lastCaptured = &scenario.requests.append(std::make_unique<CRequest>());
    TempFile file("ids", flatRequests({"one", "two", "three"}));
    std::string error;
    ASSERT_TRUE(openScenarioFile(scenario, file.path, error)) << error;
    EXPECT_EQ(idsInOrder(scenario.requests), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(namesInOrder(scenario.requests), (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(scenario.requests.lastCaptured, nullptr);
    EXPECT_EQ(CRequest().id, 4);
}

// ---- Damaged files

struct Damaged {
    const char* name;
    std::string (*bytes)();
    const char* problem; // a word the message uses for it
};

void PrintTo(const Damaged& d, std::ostream* os) {
    *os << d.name;
}

// One request with one parameter of one component; versions and counts can be set.
struct Sample {
    int scenario = 1, general = 1, run = 2, requests = 1, request = 1, param = 1, component = 1;
    std::int64_t mainSeqs = 0, requestCount = 1, paramCount = 1, componentCount = 1;
};

std::string sample(Sample v) {
    Bytes run = defaultRun(v.run);
    run.out.replace(run.out.size() - 4, 4, Bytes{}.i32(v.mainSeqs).out);
    Bytes requests;
    requests.ints({v.requests, v.requestCount, v.request, 1, 0, 0, 0, 1}).str("").str("get");
    requests.str("host").str("").i32(v.paramCount);
    requests.ints({v.param, 1}).str("q").str("").i32(v.componentCount);
    requests.ints({v.component, 0, 0, 0, 0}).str("").str("x").i32(0);
    return scenarioFile(defaultGeneral(v.general), run, requests, 0xDEADBEAF, v.scenario);
}

std::string nested(int depth) {
    Bytes requests;
    requests.ints({1, 1});
    for (int i = 0; i < depth; ++i) requests.add(requestRecord("r" + std::to_string(i))).i32(1);
    requests.out.resize(requests.out.size() - 4);
    requests.i32(0);
    return scenarioFile(defaultGeneral(), defaultRun(), requests);
}

std::string userAgentLength(std::int64_t length) {
    std::string bytes = sample({});
    bytes.replace(8 + 9 * 4, 4, Bytes{}.i32(length).out);
    return bytes;
}

std::string cut(std::string bytes, std::size_t keep) {
    bytes.resize(keep);
    return bytes;
}

std::string dropLast(std::size_t count) {
    const std::string bytes = sample({});
    return bytes.substr(0, bytes.size() - count);
}

// clang-format off
const Damaged kDamaged[] = {
    {"WrongMagic", [] { return "\xEF" + sample({}).substr(1); }, "magic"},
    {"ScenarioVersion2", [] { return sample({.scenario = 2}); }, "version"},
    {"GeneralVersion2", [] { return sample({.general = 2}); }, "version"},
    {"GeneralVersion0", [] { return sample({.general = 0}); }, "version"},
    {"RunVersion0", [] { return sample({.run = 0}); }, "version"},
    {"RunVersion3", [] { return sample({.run = 3}); }, "version"},
    {"RunVersionNegative", [] { return sample({.run = -1}); }, "version"},
    {"RequestsVersion2", [] { return sample({.requests = 2}); }, "version"},
    {"RequestVersion2", [] { return sample({.request = 2}); }, "version"},
    {"ParameterVersion0", [] { return sample({.param = 0}); }, "version"},
    {"ComponentVersion2", [] { return sample({.component = 2}); }, "version"},
    {"StringPastTheEnd", [] { return userAgentLength(1000000); }, "end"},
    {"NegativeStringLength", [] { return userAgentLength(-1); }, "negative"},
    {"SequenceCountPastTheEnd", [] { return sample({.mainSeqs = 100000}); }, "end"},
    {"RequestCountPastTheEnd", [] { return sample({.requestCount = 1000000}); }, "end"},
    {"ParameterCountPastTheEnd", [] { return sample({.paramCount = 0x7FFFFFFF}); }, "end"},
    {"ComponentCountPastTheEnd", [] { return sample({.componentCount = 50000000}); }, "end"},
    {"Empty", [] { return std::string(); }, "end"},
    {"EndsInTheMagic", [] { return cut(sample({}), 3); }, "end"},
    {"EndsInTheRunSection", [] { return cut(sample({}), 8 + 77 + 20); }, "end"},
    {"EndsBeforeTheLastChildList", [] { return dropLast(4); }, "end"},
    {"LastByteMissing", [] { return dropLast(1); }, "end"},
    {"NestedTooDeep", [] { return nested(200); }, "nest"},
};
// clang-format on

class ScenarioFileDamaged : public ::testing::TestWithParam<Damaged> {};

TEST_P(ScenarioFileDamaged, IsRefusedAndTheOpenScenarioStaysAsItWas) {
    CScenario scenario;
    scenario.general.userAgent     = "mine";
    scenario.run.users             = 3;
    scenario.run.objectiveId       = 4;
    scenario.run.mainSeq           = {"first"};
    CRequest& first                = scenario.requests.append(std::make_unique<CRequest>());
    first.name                     = "first";
    CRequest& second               = scenario.requests.append(std::make_unique<CRequest>());
    scenario.requests.lastCaptured = &second;
    const std::string before       = scenarioBytes(scenario);
    const int lastId               = lastRequestId();
    // Kept apart from the references, which a wrongly replaced container would leave dangling.
    CRequest* const firstRequest  = &first;
    CRequest* const secondRequest = &second;
    const int firstId = first.id, secondId = second.id;

    TempFile file(GetParam().name, GetParam().bytes());
    std::string error;
    EXPECT_FALSE(openScenarioFile(scenario, file.path, error));
    EXPECT_THAT(error, HasSubstr(file.path));
    // The problem is looked for outside the path, which carries the case's name.
    if (const auto at = error.find(file.path); at != std::string::npos)
        error.erase(at, file.path.size());
    std::string lower;
    for (char c : error) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_THAT(lower, HasSubstr(GetParam().problem));

    EXPECT_EQ(scenarioBytes(scenario), before);
    EXPECT_EQ(lastRequestId(), lastId);
    EXPECT_EQ(scenario.requests.findById(firstId), firstRequest);
    EXPECT_EQ(scenario.requests.findById(secondId), secondRequest);
    EXPECT_EQ(scenario.requests.lastCaptured, secondRequest);
}

INSTANTIATE_TEST_SUITE_P(Cases, ScenarioFileDamaged, ::testing::ValuesIn(kDamaged),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ScenarioFileDamagedSamples, AreValidBeforeTheyAreDamaged) {
    for (const std::string& bytes : {sample({}), nested(20)}) {
        CScenario scenario;
        std::string error;
        EXPECT_TRUE(readScenarioBytes(bytes, scenario, error)) << error;
    }
}

TEST(ScenarioFileErrors, MissingFileOrFolderIsNamed) {
    CScenario scenario;
    std::string error;
    const std::string missing = "/nonexistent-torvex-dir/a.tvs";
    EXPECT_FALSE(openScenarioFile(scenario, missing, error));
    EXPECT_THAT(error, HasSubstr(missing));
    error.clear();
    EXPECT_FALSE(saveScenarioFile(scenario, missing, error));
    EXPECT_THAT(error, HasSubstr(missing));
}

// Opening what is not a regular file must fail with a message, not end the program (reading a
// folder throws inside the stream; a device never ends).
TEST(ScenarioFileErrors, FolderAndDeviceAreRefused) {
    for (const std::string& path :
         {std::filesystem::temp_directory_path().string(), std::string("/dev/zero")}) {
        SCOPED_TRACE(path);
        CScenario scenario;
        std::string error;
        EXPECT_FALSE(openScenarioFile(scenario, path, error));
        EXPECT_THAT(error, HasSubstr(path));
    }
}

// Saving replaces the file whole and leaves nothing beside it.
TEST(ScenarioFileErrors, SavingOverAFileReplacesItAndLeavesNoTemporary) {
    TempFile file("replaced", std::string(5000, 'x'));
    CScenario scenario;
    std::string error;
    ASSERT_TRUE(saveScenarioFile(scenario, file.path, error)) << error;
    EXPECT_EQ(file.contents(), scenarioBytes(scenario));
    EXPECT_FALSE(std::filesystem::exists(file.path + ".saving"));
}

// ---- The document's save and open

TEST(ScenarioDocumentFile, SaveAndOpenCarryTheScenarioAndClearModified) {
    TempFile file("document");
    CHexmillLEDoc saved;
    saved.reinitialize();
    saved.scenario().run.users                                          = 7;
    saved.scenario().requests.append(std::make_unique<CRequest>()).name = "only";
    saved.setModified();
    std::string error;
    ASSERT_TRUE(saved.save(file.path, error)) << error;
    EXPECT_EQ(file.contents(), scenarioBytes(saved.scenario()));
    EXPECT_EQ(saved.pathName(), file.path);
    EXPECT_FALSE(saved.modified());

    CHexmillLEDoc opened;
    opened.reinitialize();
    opened.setModified();
    ASSERT_TRUE(opened.open(file.path, error)) << error;
    EXPECT_EQ(scenarioBytes(opened.scenario()), file.contents());
    EXPECT_EQ(opened.pathName(), file.path);
    EXPECT_FALSE(opened.modified());
}

TEST(ScenarioDocumentFile, FailedOpenKeepsTheNameAndModifiedFlag) {
    TempFile file("document-damaged", sample({.request = 9}));
    CHexmillLEDoc doc;
    doc.reinitialize();
    const std::string name = doc.pathName();
    doc.setModified();
    std::string error;
    EXPECT_FALSE(doc.open(file.path, error));
    EXPECT_THAT(error, HasSubstr(file.path));
    EXPECT_EQ(doc.pathName(), name);
    EXPECT_TRUE(doc.modified());
}

} // namespace
