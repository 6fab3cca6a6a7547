#include "api/Output.h"

#include "support/CapturedOutput.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

using torvex::message;
using torvex::reportProgress;
using torvex::test::CapturedOutput;

TEST(Output, TrailingLineFeedsGoButCarriageReturnsStay) {
    CapturedOutput out;
    message("Line\n\n");
    message("x\r\n");
    message("inner\nline");
    message("%s=%d", "clients", 5);
    EXPECT_EQ(out.messages(),
              (std::vector<std::string>{"Line", "x\r", "inner\nline", "clients=5"}));
}

TEST(Output, LongMessagesAreCutAtACharacterBoundary) {
    CapturedOutput out;
    std::string ascii(5000, 'a');
    message("%s", ascii.c_str());
    EXPECT_EQ(out.only(), std::string(4095, 'a'));

    // "é" is two bytes; 4094 'a's leave room for one byte only, so the cut drops the whole "é".
    out.clear();
    std::string accented = std::string(4094, 'a') + "\xC3\xA9" + "tail";
    message("%s", accented.c_str());
    EXPECT_EQ(out.only(), std::string(4094, 'a'));
}

TEST(Output, DefaultProgressGoesThroughTheOutputFunction) {
    CapturedOutput out;
    reportProgress(7, -1);
    reportProgress(12, 10); // more done than expected shows the total
    reportProgress(3, 10);
    EXPECT_EQ(out.messages(), (std::vector<std::string>{"Requests made so far: 7\r",
                                                        "Request: 10/10\r", "Request: 3/10\r"}));
}

TEST(Output, ProgressReporterCanBeReplacedAndRestored) {
    CapturedOutput out;
    std::vector<std::pair<int, int>> seen;
    torvex::setProgressReporter(&seen, [](void* ctx, int done, int total) {
        static_cast<std::vector<std::pair<int, int>>*>(ctx)->emplace_back(done, total);
    });
    reportProgress(1, 2);
    torvex::setProgressReporter(nullptr, nullptr);
    reportProgress(2, 2);
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{1, 2}}));
    EXPECT_EQ(out.only(), "Request: 2/2\r");
}

TEST(Output, ConcurrentMessagesAllArriveWhole) {
    CapturedOutput out;
    constexpr int threads = 8, perThread = 200;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([t] {
            for (int i = 0; i < perThread; ++i) message("thread %d message %d\n", t, i);
        });
    for (std::thread& w : workers) w.join();
    std::vector<std::string> got = out.messages();
    ASSERT_EQ(got.size(), static_cast<std::size_t>(threads * perThread));
    for (const std::string& m : got) EXPECT_EQ(m.rfind("thread ", 0), 0u) << m;
}

TEST(Output, DefaultOutputEndsMessagesWithALineFeedButNotProgress) {
    torvex::setOutputFunction(nullptr, nullptr);
    testing::internal::CaptureStdout();
    message("first\n");
    message("second");
    reportProgress(3, 4);
    message("third");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "first\nsecond\nRequest: 3/4\rthird\n");
}
