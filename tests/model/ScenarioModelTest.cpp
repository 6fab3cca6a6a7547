#include "model/Document.h"
#include "model/ReqParam.h"
#include "model/ReqParamFunction.h"
#include "model/Request.h"
#include "model/RequestIds.h"
#include "model/RequestsContainer.h"
#include "model/RunLog.h"
#include "model/Scenario.h"
#include "model/ScenarioFile.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace torvex;

namespace {

CRequest& addRequest(CRequestsContainer& requests, const std::string& name) {
    CRequest& r = requests.append(std::make_unique<CRequest>());
    r.name      = name;
    return r;
}

// Adds `name` as a child of `parent` (files are the only source of children).
CRequest& addChild(CRequestsContainer::Node& parent, const std::string& name) {
    auto node           = std::make_unique<CRequestsContainer::Node>();
    node->request       = std::make_unique<CRequest>();
    node->request->name = name;
    parent.children.push_back(std::move(node));
    return *parent.children.back()->request;
}

// home ( login ( cart ), search ), logout
void buildTree(CRequestsContainer& requests) {
    addRequest(requests, "home");
    CRequestsContainer::Node& home = *requests.nodes().back();
    addChild(home, "login");
    addChild(*home.children.back(), "cart");
    addChild(home, "search");
    addRequest(requests, "logout");
}

std::vector<std::string> namesInOrder(const CRequestsContainer& requests) {
    std::vector<std::string> names;
    requests.forEach([&](const CRequest& r) { names.push_back(r.name); });
    return names;
}

// The saved defaults are checked byte by byte in the file tests; here a section is compared
// with a fresh one through the file form.
void expectDefaultSections(const CScenario& s) {
    CScenario probe, fresh;
    probe.general = s.general;
    probe.run     = s.run;
    EXPECT_EQ(scenarioBytes(probe), scenarioBytes(fresh));
    EXPECT_EQ(s.general.projectName, "");
}

void scribbleSections(CScenario& s) {
    s.general.userAgent  = "agent";
    s.general.keepAlive  = 1;
    s.general.speed      = 56000;
    s.run.users          = 3;
    s.run.objectiveId    = 2;
    s.run.mainSeqOn      = 0;
    s.run.logDir         = "elsewhere";
    s.run.mainSeq        = {"a"};
    s.run.initialSeq     = {"b"};
    s.run.finalSeq       = {"c"};
    s.run.timingRounding = 2;
}

// ---- Scenario and document

TEST(ScenarioModel, NewScenarioHoldsTheDefaults) {
    CScenario scenario;
    EXPECT_EQ(scenario.requests.count(), 0);
    EXPECT_EQ(scenario.run.mainSeqOn, 1);
    EXPECT_EQ(scenario.run.initialSeqOn + scenario.run.finalSeqOn, 0);
    EXPECT_TRUE(scenario.run.initialSeq.empty() && scenario.run.mainSeq.empty() &&
                scenario.run.finalSeq.empty());
    EXPECT_EQ(scenario.run.logDir, defaultFolders().logDir);
    EXPECT_EQ(scenario.run.reportDir, defaultFolders().reportDir);
    EXPECT_EQ(scenario.general.projectName, "");
}

TEST(ScenarioModel, RunSectionsTakeTheConfiguredFolders) {
    const DefaultFolders saved = defaultFolders();
    setDefaultFolders({"/data/Logs", "/data/Reports"});
    CRunSection run;
    setDefaultFolders(saved);
    EXPECT_EQ(run.logDir, "/data/Logs");
    EXPECT_EQ(run.reportDir, "/data/Reports");
}

TEST(ScenarioModel, ResetsClearWhatTheySay) {
    CScenario scenario;
    scribbleSections(scenario);
    scenario.requests.lastCaptured = &addRequest(scenario.requests, "kept");
    scenario.resetSections();
    expectDefaultSections(scenario);
    EXPECT_EQ(scenario.requests.count(), 1);
    EXPECT_NE(scenario.requests.lastCaptured, nullptr);

    scribbleSections(scenario);
    scenario.detachRunLogAndClearRequests();
    EXPECT_EQ(scenario.requests.count(), 0);
    EXPECT_EQ(scenario.requests.lastCaptured, nullptr);
    EXPECT_EQ(scenario.run.users, 3);

    scenario.requests.lastCaptured = &addRequest(scenario.requests, "gone");
    scenario.resetToDefaults();
    expectDefaultSections(scenario);
    EXPECT_EQ(scenario.requests.count(), 0);
    EXPECT_EQ(scenario.requests.lastCaptured, nullptr);
}

TEST(ScenarioDocument, NewDocumentsAreNumberedSinceStart) {
    const int before = CHexmillLEDoc::newDocumentCount();
    CHexmillLEDoc first, second;
    first.reinitialize();
    second.reinitialize();
    EXPECT_EQ(first.pathName(), "Scenario" + std::to_string(before + 1));
    EXPECT_EQ(second.pathName(), "Scenario" + std::to_string(before + 2));
    first.reinitialize();
    EXPECT_EQ(first.pathName(), "Scenario" + std::to_string(before + 3));
    EXPECT_EQ(CHexmillLEDoc::newDocumentCount(), before + 3);
}

TEST(ScenarioDocument, NewDocumentResetsScenarioIdsAndModified) {
    CHexmillLEDoc doc;
    scribbleSections(doc.scenario());
    addRequest(doc.scenario().requests, "old");
    doc.setModified();
    for (int i = 0; i < 40; ++i) nextRequestId();
    doc.reinitialize();
    expectDefaultSections(doc.scenario());
    EXPECT_EQ(doc.scenario().requests.count(), 0);
    EXPECT_FALSE(doc.modified());
    CRequest next;
    EXPECT_EQ(next.id, 1);
    EXPECT_EQ(next.name, "req_1");
}

TEST(ScenarioDocument, NewDocumentFromSourceCopiesItsRequestsOnly) {
    CScenario source;
    scribbleSections(source);
    buildTree(source.requests);
    CHexmillLEDoc doc;
    scribbleSections(doc.scenario());
    addRequest(doc.scenario().requests, "old");
    doc.reinitialize(&source);

    CRequestsContainer& copied = doc.scenario().requests;
    EXPECT_EQ(namesInOrder(copied),
              (std::vector<std::string>{"home", "login", "cart", "search", "logout"}));
    EXPECT_EQ(copied.nodes().size(), 5u);
    CRequest* cart =
        copied.findById(source.requests.nodes()[0]->children[0]->children[0]->request->id);
    ASSERT_NE(cart, nullptr);
    EXPECT_EQ(cart->name, "cart");
    expectDefaultSections(doc.scenario());
    EXPECT_EQ(source.requests.count(), 5);
    EXPECT_EQ(source.run.users, 3);
}

// ---- Request container

TEST(RequestsContainer, ClearedContainerIsEmpty) {
    CRequestsContainer requests;
    EXPECT_EQ(requests.count(), 0);
    buildTree(requests);
    requests.lastCaptured = requests.nodes()[0]->request.get();
    const int home        = requests.lastCaptured->id;
    requests.clear();
    EXPECT_EQ(requests.count(), 0);
    EXPECT_EQ(requests.lastCaptured, nullptr);
    EXPECT_EQ(requests.findById(home), nullptr);
    EXPECT_FALSE(requests.remove(home));
}

TEST(RequestsContainer, RemovingAnUnknownIdOnlyForgetsTheLastCaptured) {
    CRequestsContainer requests;
    buildTree(requests);
    requests.lastCaptured = requests.nodes()[1]->request.get();
    EXPECT_FALSE(requests.remove(-7));
    EXPECT_EQ(requests.count(), 5);
    EXPECT_EQ(requests.lastCaptured, nullptr);
}

TEST(RequestsContainer, RemoveTakesTheChildrenAlong) {
    CRequestsContainer requests;
    buildTree(requests);
    const int login       = requests.nodes()[0]->children[0]->request->id;
    const int cart        = requests.nodes()[0]->children[0]->children[0]->request->id;
    requests.lastCaptured = requests.nodes()[1]->request.get();
    EXPECT_TRUE(requests.remove(login));
    EXPECT_EQ(requests.lastCaptured, nullptr);
    EXPECT_EQ(namesInOrder(requests), (std::vector<std::string>{"home", "search", "logout"}));
    EXPECT_EQ(requests.findById(cart), nullptr);
    EXPECT_TRUE(requests.remove(requests.nodes()[0]->request->id));
    EXPECT_EQ(namesInOrder(requests), (std::vector<std::string>{"logout"}));
}

TEST(RequestsContainer, CopyFromFlattensDeepCopiesAndKeepsIds) {
    CRequestsContainer source;
    buildTree(source);
    CReqParam param;
    param.setNameAndEncode("q", true);
    param.extraText = "extra";
    param.components.resize(1);
    param.components[0].setText("a,b");
    CRequest& cart = *source.nodes()[0]->children[0]->children[0]->request;
    cart.params.push_back(param);
    cart.method = CRequest::kPost;
    cart.server = "shop";

    CRequestsContainer copy;
    copy.lastCaptured = &addRequest(copy, "replaced");
    copy.copyFrom(source);
    EXPECT_EQ(copy.lastCaptured, nullptr);
    EXPECT_EQ(namesInOrder(copy), namesInOrder(source));
    ASSERT_EQ(copy.nodes().size(), 5u);
    std::vector<int> sourceIds;
    source.forEach([&](const CRequest& r) { sourceIds.push_back(r.id); });
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_TRUE(copy.nodes()[i]->children.empty());
        EXPECT_EQ(copy.nodes()[i]->request->id, sourceIds[i]);
    }

    CRequest& copied = *copy.nodes()[2]->request;
    EXPECT_NE(&copied, &cart);
    EXPECT_EQ(copied.method, CRequest::kPost);
    EXPECT_EQ(copied.server, "shop");
    ASSERT_EQ(copied.params.size(), 1u);
    EXPECT_EQ(copied.params[0].extraText, "extra");
    EXPECT_TRUE(copied.params[0].encode);
    copied.params[0].components[0].setText("changed");
    EXPECT_EQ(cart.params[0].components[0].text(), "a,b");
}

TEST(Request, NewRequestsDrawTheNextIdAndName) {
    resetRequestIds();
    CRequest a, b;
    EXPECT_EQ(a.id, 1);
    EXPECT_EQ(a.name, "req_1");
    EXPECT_EQ(b.id, 2);
    a.newId();
    EXPECT_EQ(a.id, 3);
    EXPECT_EQ(a.name, "req_3");
    EXPECT_EQ(a.delayMin + a.delayMax + a.useDelay + a.method + a.scheme, 0);
    EXPECT_EQ(a.server + a.uri + a.contentType, "");
    EXPECT_TRUE(a.params.empty());
}

// ---- Parameters and components

TEST(ReqParamFunction, TextSettersEscapeCommas) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain", "plain"}, {"a,b", "a%2cb"}, {",,", "%2c%2c"}, {"", ""}};
    for (const auto& [shown, stored] : cases) {
        CReqParamFunction f;
        f.setText(shown);
        f.setText2(shown);
        EXPECT_EQ(f.storedText(), stored);
        EXPECT_EQ(f.storedText2(), stored);
        EXPECT_EQ(f.text(), shown);
        EXPECT_EQ(f.text2(), shown);
    }
    CReqParamFunction f;
    f.setStoredText("x%2cy%2c");
    EXPECT_EQ(f.text(), "x,y,");
}

TEST(ReqParamFunction, ListsAreOneElementPerLine) {
    const std::pair<std::string, std::string> cases[] = {
        {"a\r\nb,c\r\nd", "a,b%2cc,d"},
        {"\r\n\r\na\r\nb\n", "a,b"}, // line breaks at the ends are dropped
        {"x,y", "x%2cy"},
        {"a\nb", "a\nb"}, // only CR LF pairs separate elements
        {"", ""}};
    for (const auto& [lines, stored] : cases) {
        CReqParamFunction f;
        f.setKind(CReqParamFunction::kRandomList);
        f.setListText(lines);
        EXPECT_EQ(f.storedText(), stored) << lines;
    }
    CReqParamFunction f;
    f.setStoredText("a,b%2cc,d");
    EXPECT_EQ(f.listText(), "a\r\nb,c\r\nd");
}

TEST(ReqParamFunction, MakeStaticKeepsCommasAndResetKeepsKind) {
    CReqParamFunction f;
    f.setKind(CReqParamFunction::kSequence);
    f.makeStatic("a,b");
    EXPECT_EQ(f.kind(), CReqParamFunction::kStatic);
    EXPECT_EQ(f.storedText(), "a,b");

    f.setKind(CReqParamFunction::kFile);
    f.setFrom(1);
    f.setTo(2);
    f.setShift(3);
    f.setText2("text/plain");
    f.reset();
    EXPECT_EQ(f.kind(), CReqParamFunction::kFile);
    EXPECT_EQ(f.from() + f.to() + f.shift(), 0u);
    EXPECT_EQ(f.storedText() + f.storedText2(), "");
}

TEST(ReqParam, HeaderLinesAreNeverEncoded) {
    const struct {
        const char* name;
        bool encode, expected;
    } cases[] = {{"q", true, true},
                 {"q", false, false},
                 {"header$", true, false},
                 {"header$", false, false}};
    for (const auto& c : cases) {
        CReqParam p;
        p.setNameAndEncode(c.name, c.encode);
        EXPECT_EQ(p.name, c.name);
        EXPECT_EQ(p.encode, c.expected) << c.name << " " << c.encode;
    }
}

TEST(ReqParam, ClearForgetsComponentsNameAndEncode) {
    CReqParam p;
    p.setNameAndEncode("q", true);
    p.components.resize(2);
    p.clear();
    EXPECT_TRUE(p.components.empty());
    EXPECT_EQ(p.name, "");
    EXPECT_FALSE(p.encode);
}

CReqParam staticTexts(const std::vector<std::string>& texts) {
    CReqParam p;
    for (const std::string& t : texts) p.components.emplace_back().setStoredText(t);
    return p;
}

TEST(ReqParam, ValueTextJoinsOnlyNonEmptyTexts) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, ""},          {{""}, ""},       {{"a", "b"}, "a&b"},
        {{"", "b"}, "b"},  {{"a", ""}, "a"}, {{"a", "", "b"}, "a&b"},
        {{"", "", ""}, ""}};
    for (const auto& [texts, joined] : cases)
        EXPECT_EQ(staticTexts(texts).valueText(true, "&"), joined) << texts.size();

    EXPECT_EQ(staticTexts({"a", "b"}).valueText(true, "; "), "a; b");
    EXPECT_EQ(staticTexts({"x%2cy"}).valueText(true, "&"), "x,y");
    EXPECT_EQ(staticTexts({"x%2cy"}).valueText(false, "&"), "x%2cy");

    CReqParam mixed           = staticTexts({""});
    CReqParamFunction& random = mixed.components.emplace_back();
    random.setKind(CReqParamFunction::kAlphanumeric);
    random.setFrom(1);
    random.setTo(5);
    EXPECT_EQ(mixed.valueText(true, "&"), "$ARand(1,5)");
}

// ---- Run log

TEST(RunLog, LinesCarryTheLevelLabel) {
    const std::pair<int, std::string> cases[] = {{CRunLog::kMessage, "MESSAGE>   hi\r\n"},
                                                 {CRunLog::kWarning, "WARNING>   hi\r\n"},
                                                 {CRunLog::kFailure, "FAILURE>   hi\r\n"},
                                                 {3, ">   hi\r\n"},
                                                 {-1, ">   hi\r\n"}};
    for (const auto& [level, line] : cases) {
        CRunLog log;
        log.addLine(level, "hi");
        EXPECT_EQ(log.text(), line) << level;
    }
}

TEST(RunLog, AppendsAndClears) {
    CRunLog log;
    log.addLine(CRunLog::kFailure, "one");
    log.addLine(CRunLog::kMessage, "");
    EXPECT_EQ(log.text(), "FAILURE>   one\r\nMESSAGE>   \r\n");
    log.clear();
    EXPECT_EQ(log.text(), "");
}

} // namespace
