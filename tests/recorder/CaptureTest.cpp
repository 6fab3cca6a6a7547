// Recording navigations into a scenario: the recorder against a real request container.

#include "model/CapturedRequest.h"
#include "model/Document.h"
#include "recorder/CaptureNotifier.h"
#include "recorder/RequestRecorder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

namespace torvex {
namespace {

constexpr std::time_t kStart = 1'000'000;

// Counts notifications and what the list held at each.
class CountingNotifier : public CCaptureNotifier {
public:
    explicit CountingNotifier(const CRequestsContainer& requests) : requests_(requests) {}
    void OnRequestCaptured() override {
        ++calls;
        requestsSeen = requests_.count();
    }
    std::atomic<int> calls{0};
    int requestsSeen = -1;

private:
    const CRequestsContainer& requests_;
};

class CaptureTest : public ::testing::Test {
protected:
    CaptureTest() : notifier(requests()) {
        document.reinitialize();
        recorder.SetSink(&requests());
        recorder.SetNotifier(&notifier);
        recorder.SetClock([this] { return now; });
        recorder.BeginRecording();
    }

    CRequestsContainer& requests() { return document.scenario().requests; }

    void navigate(std::string_view url, std::string_view body = {}, std::string_view headers = {}) {
        bool cancel = false;
        recorder.OnBeforeNavigate(url, "", body, headers, cancel);
        EXPECT_FALSE(cancel);
    }

    // The requests in list order.
    std::vector<const CRequest*> recorded() {
        std::vector<const CRequest*> list;
        std::as_const(requests()).forEach([&](const CRequest& r) { list.push_back(&r); });
        return list;
    }

    // The one recorded request; the test fails (with an exception) when there is none.
    const CRequest& only() {
        auto list = recorded();
        EXPECT_EQ(list.size(), 1u);
        return *list.at(0);
    }

    static std::string valueOf(const CReqParam& param) {
        EXPECT_EQ(param.components.size(), 1u);
        if (param.components.empty()) return "<none>";
        EXPECT_EQ(param.components[0].kind(), CReqParamFunction::kStatic);
        return param.components[0].storedText();
    }

    std::vector<int> delays() {
        std::vector<int> list;
        for (const CRequest* r : recorded()) {
            EXPECT_EQ(r->delayMin, r->delayMax) << r->name;
            list.push_back(r->delayMin);
        }
        return list;
    }

    std::time_t now = kStart;
    CHexmillLEDoc document;
    CRequestRecorder recorder;
    CountingNotifier notifier;
};

TEST_F(CaptureTest, GetWithQueryBecomesServerUriAndParameters) {
    navigate("http://h/a/b.asp?x=1&y=&z");
    const CRequest& r = only();
    EXPECT_EQ(r.method, CRequest::kGet);
    EXPECT_EQ(r.scheme, CRequest::kHttp);
    EXPECT_EQ(r.server, "h");
    EXPECT_EQ(r.uri, "a/b.asp");
    EXPECT_EQ(r.contentType, "text/html");
    EXPECT_EQ(r.useDelay, 0);
    ASSERT_EQ(r.params.size(), 3u);
    EXPECT_EQ(r.params[0].name, "x");
    EXPECT_EQ(valueOf(r.params[0]), "1");
    EXPECT_EQ(r.params[1].name, "y");
    EXPECT_EQ(valueOf(r.params[1]), "");
    EXPECT_EQ(r.params[2].name, "z");
    EXPECT_EQ(valueOf(r.params[2]), "");
    for (const CReqParam& p : r.params) EXPECT_TRUE(p.encode) << p.name;
}

TEST_F(CaptureTest, SchemePortAndEmptyPath) {
    navigate("https://h:8443/p");
    navigate("http://h");
    navigate("HTTP://Upper.Example/Index.html?");
    auto list = recorded();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0]->scheme, CRequest::kHttps);
    EXPECT_EQ(list[0]->server, "h:8443");
    EXPECT_EQ(list[0]->uri, "p");
    EXPECT_EQ(list[1]->scheme, CRequest::kHttp);
    EXPECT_EQ(list[1]->server, "h");
    EXPECT_EQ(list[1]->uri, "");
    EXPECT_EQ(list[2]->scheme, CRequest::kHttp);
    EXPECT_EQ(list[2]->server, "Upper.Example");
    EXPECT_EQ(list[2]->uri, "Index.html");
    EXPECT_TRUE(list[2]->params.empty());
}

TEST_F(CaptureTest, PostRecordsTheDecodedBodyNotTheQuery) {
    navigate("http://h/login?from=menu", "user=a+b&pw=%41%42");
    const CRequest& r = only();
    EXPECT_EQ(r.method, CRequest::kPost);
    EXPECT_EQ(r.server, "h");
    EXPECT_EQ(r.uri, "login");
    ASSERT_EQ(r.params.size(), 2u);
    EXPECT_EQ(r.params[0].name, "user");
    EXPECT_EQ(valueOf(r.params[0]), "a b");
    EXPECT_EQ(r.params[1].name, "pw");
    EXPECT_EQ(valueOf(r.params[1]), "AB");
}

TEST_F(CaptureTest, ContentTypeLineSetsTheTypeAndOtherLinesBecomeRawHeaderParameters) {
    navigate("http://h/form", "q=1",
             "Content-Type: application/x-www-form-urlencoded\r\nReferer: http://h/?a=%41+b\r\n");
    const CRequest& r = only();
    EXPECT_EQ(r.contentType, "application/x-www-form-urlencoded");
    ASSERT_EQ(r.params.size(), 2u);
    EXPECT_EQ(r.params[0].name, "header$");
    EXPECT_FALSE(r.params[0].encode);
    EXPECT_EQ(valueOf(r.params[0]), "Referer: http://h/?a=%41+b");
    EXPECT_EQ(r.params[1].name, "q");
    EXPECT_TRUE(r.params[1].encode);
}

TEST_F(CaptureTest, ContentTypeIsMatchedWithoutCaseAndItsSeparatorsSkipped) {
    navigate("http://h/1", "a=1", "content-TYPE:\t : text/plain");
    navigate("http://h/2", "a=1", "X: 1\r\n\r\nContent-Type");
    auto list = recorded();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]->contentType, "text/plain");
    EXPECT_EQ(list[1]->contentType, "");
    // The empty line between two header lines is kept as a header parameter of its own.
    ASSERT_EQ(list[1]->params.size(), 3u);
    EXPECT_EQ(valueOf(list[1]->params[0]), "X: 1");
    EXPECT_EQ(list[1]->params[1].name, "header$");
    EXPECT_EQ(valueOf(list[1]->params[1]), "");
}

TEST_F(CaptureTest, OnlyHttpAndHttpsNavigationsAreRecorded) {
    for (const char* url : {"about:blank", "javascript:void(0)", "file:///etc/passwd", "ftp://h/x",
                            "http", "", "data:text/html,<p>"})
        navigate(url);
    EXPECT_TRUE(recorded().empty());
    EXPECT_EQ(notifier.calls, 0);
}

TEST_F(CaptureTest, ThinkTimeIsCreditedToThePreviousRequest) {
    navigate("http://h/1");
    now = kStart + 5;
    navigate("http://h/2");
    now = kStart + 12;
    navigate("http://h/3");
    EXPECT_EQ(delays(), (std::vector<int>{5, 7, 0}));
}

TEST_F(CaptureTest, FirstCaptureAfterStartingAgainHasNoThinkTime) {
    navigate("http://h/1");
    recorder.EndRecording();
    now = kStart + 100;
    recorder.BeginRecording();
    navigate("http://h/2");
    EXPECT_EQ(delays(), (std::vector<int>{0, 0}));
}

TEST_F(CaptureTest, AClockSetBackGivesNoNegativeThinkTime) {
    navigate("http://h/1");
    now = kStart - 60;
    navigate("http://h/2");
    EXPECT_EQ(delays(), (std::vector<int>{0, 0}));
}

TEST_F(CaptureTest, DeletingForgetsTheLastCapturedRequest) {
    navigate("http://h/1");
    now += 5;
    navigate("http://h/2");
    now += 3;
    navigate("http://h/3"); // 1: 5, 2: 3, 3: 0
    auto list = recorded();
    ASSERT_EQ(list.size(), 3u);
    requests().remove(list[0]->id);
    now += 7;
    navigate("http://h/4");
    // Request 3 keeps its delay; the new one keeps the time measured before it.
    EXPECT_EQ(delays(), (std::vector<int>{3, 0, 7}));
}

TEST_F(CaptureTest, RemovingAnUnknownIdAndClearingForgetToo) {
    navigate("http://h/1");
    requests().remove(-42);
    now += 4;
    navigate("http://h/2");
    EXPECT_EQ(delays(), (std::vector<int>{0, 4}));
    requests().clear();
    now += 6;
    navigate("http://h/3");
    EXPECT_EQ(delays(), (std::vector<int>{6}));
}

TEST_F(CaptureTest, LoadingAScenarioForgetsTheLastCapturedRequest) {
    test::TempDir dir;
    const std::string file = (dir.path / "r.tvs").string();
    navigate("http://h/1");
    std::string error;
    ASSERT_TRUE(document.save(file, error)) << error;
    ASSERT_TRUE(document.open(file, error)) << error;
    now += 9;
    navigate("http://h/2");
    EXPECT_EQ(delays(), (std::vector<int>{0, 9}));
}

TEST_F(CaptureTest, NothingIsRecordedWhileOffOrWithoutSink) {
    recorder.EndRecording();
    EXPECT_FALSE(recorder.IsRecording());
    navigate("http://h/off");
    recorder.BeginRecording();
    recorder.SetSink(nullptr);
    navigate("http://h/nosink");
    recorder.SetSink(&requests());
    recorder.Detach();
    EXPECT_FALSE(recorder.IsRecording());
    recorder.BeginRecording(); // Detach also let go of the sink and the notifier
    navigate("http://h/detached");
    EXPECT_TRUE(recorded().empty());
    EXPECT_EQ(notifier.calls, 0);
}

TEST_F(CaptureTest, NotifierHearsOfEachCaptureAfterItIsInTheList) {
    navigate("http://h/1");
    EXPECT_EQ(notifier.calls, 1);
    EXPECT_EQ(notifier.requestsSeen, 1);
    navigate("http://h/2?a=1", "b=2");
    EXPECT_EQ(notifier.calls, 2);
    EXPECT_EQ(notifier.requestsSeen, 2);
    recorder.SetNotifier(nullptr);
    navigate("http://h/3");
    EXPECT_EQ(notifier.calls, 2);
    EXPECT_EQ(recorded().size(), 3u);
}

TEST_F(CaptureTest, CapturesFromSeveralThreadsAllArriveWhole) {
    constexpr int kThreads = 4, kEach = 50;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < kEach; ++i) navigate("http://h/p?a=1&b=2", "", "X: y");
        });
    for (std::thread& thread : threads) thread.join();
    std::set<int> ids;
    for (const CRequest* r : recorded()) {
        ids.insert(r->id);
        EXPECT_EQ(r->params.size(), 3u);
    }
    EXPECT_EQ(ids.size(), static_cast<std::size_t>(kThreads * kEach));
    EXPECT_EQ(notifier.calls, kThreads * kEach);
}

// The container's half, fed directly: captures that did not come through the recorder.
TEST(CapturedRequestConversionTest, BackslashesMissingSchemeAndHeaderNameCase) {
    CRequestsContainer requests;
    CCapturedRequest captured;
    captured.uri   = "HTTPS:\\\\h:1\\a\\b";
    captured.pairs = {{"HEADER$", "X-A: %41+"}, {"v", "%41+"}};
    requests.AddCapturedRequest(captured);
    captured.uri   = "host/only/path";
    captured.pairs = {};
    requests.AddCapturedRequest(captured);

    std::vector<const CRequest*> list;
    std::as_const(requests).forEach([&](const CRequest& r) { list.push_back(&r); });
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]->scheme, CRequest::kHttps);
    EXPECT_EQ(list[0]->server, "h:1");
    EXPECT_EQ(list[0]->uri, "a/b");
    ASSERT_EQ(list[0]->params.size(), 2u);
    EXPECT_FALSE(list[0]->params[0].encode);
    EXPECT_EQ(list[0]->params[0].components.at(0).storedText(), "X-A: %41+");
    EXPECT_TRUE(list[0]->params[1].encode);
    EXPECT_EQ(list[0]->params[1].components.at(0).storedText(), "A ");
    EXPECT_EQ(list[1]->scheme, CRequest::kUnknownScheme);
    EXPECT_EQ(list[1]->server, "host");
    EXPECT_EQ(list[1]->uri, "only/path");
}

TEST(CapturedRequestConversionTest, RecordedValuesKeepTheirCommas) {
    CRequestsContainer requests;
    CCapturedRequest captured;
    captured.uri   = "http://h/";
    captured.pairs = {{"list", "a%2Cb,c"}};
    requests.AddCapturedRequest(captured);
    const CRequest* r = requests.findById(requests.lastCaptured->id);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->uri, "");
    EXPECT_EQ(r->params.at(0).components.at(0).storedText(), "a,b,c");
}

} // namespace
} // namespace torvex
