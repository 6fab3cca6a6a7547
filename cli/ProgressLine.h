#pragma once

#include "ErrorOutput.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

struct TorvexProgress;

// Where the progress comes from: fills the figures, false when there are none to show.
using ProgressSource = std::function<bool(TorvexProgress&)>;
// The progress of one engine test set.
ProgressSource progressOf(void* testSet);

// Shows how far a run has come while it lasts, from a thread that polls its source a few times a
// second. On a terminal it is one status line rewritten in place and removed at the end;
// otherwise (a log file, a CI job) a plain line every five seconds, so short runs print none.
class ProgressLine {
public:
    ProgressLine(ProgressSource source, ErrorOutput& output, bool terminal);
    ~ProgressLine(); // stops polling and removes the status line
    ProgressLine(const ProgressLine&)            = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // "120/300 requests, 48.0 req/s, 2 errors, 0:02.5", without "/300" when the total is unknown.
    static std::string text(const TorvexProgress& progress, std::chrono::milliseconds elapsed);

private:
    void poll();

    ProgressSource source_;
    ErrorOutput& output_;
    const bool terminal_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread poller_;
};
