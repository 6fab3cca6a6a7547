#pragma once

#include <cstdint>
#include <vector>

namespace torvex {

class CTestSet;

// The span of the run in which every user that sent requests was working: from the latest start
// tick to the earliest end tick, with the run's sent count at those moments. When that span is
// shorter than option exacttiminginterval (or no user sent a request) the whole run is used
// instead and the figures are an approximation.
struct TimingWindow {
    std::uint32_t begin = 0; // ticks, milliseconds
    std::uint32_t end   = 0;
    int sentAtBegin     = 0;
    int sentAtEnd       = 0;
    bool approximated   = false;

    // Milliseconds per request and requests per second over the window; both 0 when no request
    // was sent in it or it has no length.
    double msPerRequest() const;
    double requestsPerSecond() const;
};

TimingWindow timingWindow(const CTestSet& testSet);

// The windows a run's rate is measured over: the run's own, or one per part of a merged run.
// Ticks and sent counts of different processes cannot be compared, so each part keeps its own.
std::vector<TimingWindow> runWindows(const CTestSet& testSet);

// The request rate of a run. The parts of a merged run worked side by side, so their rates add
// up; the run is an approximation when any part that sent requests is.
struct RunRate {
    double requestsPerSecond = 0;
    double msPerRequest      = 0;
    bool approximated        = false;
};

RunRate runRate(const CTestSet& testSet);

} // namespace torvex
