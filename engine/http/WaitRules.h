#pragma once

#include <atomic>
#include <chrono>

namespace torvex {

// Bounds on every blocking wait of a virtual user: a time-out per wait and the run's abort flag.
struct WaitRules {
    int timeoutMs                     = -1;      // below 0: no time-out
    const std::atomic<int>* abortFlag = nullptr; // none: waits ignore a stop of the run
    // Readable once the run stops (see StopSignal); -1: waits look at the flag every 100 ms.
    int stopFd = -1;
    // The longest one whole exchange (request and response) may take; below 0: no limit. Each
    // wait alone is bounded by timeoutMs, so without this a server that trickles its response,
    // or never ends its body, would hold the user for good.
    int responseLimitMs = -1;
    // When the current exchange must be over; max(): no exchange is limited now.
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();

    bool aborted() const { return abortFlag && abortFlag->load(std::memory_order_relaxed) != 0; }
    bool pastDeadline() const {
        return deadline != std::chrono::steady_clock::time_point::max() &&
               std::chrono::steady_clock::now() >= deadline;
    }
};

// Why a wait or transfer gave up.
enum class WaitEnd { Ready, TimedOut, Aborted, Failed };

// Waits until the socket has any of `events` (poll flags), the time-out or the deadline passes or
// the run stops.
// A stop is noticed at once through the stop descriptor, otherwise within a tenth of a second.
// Failed leaves poll's error in errno.
WaitEnd waitForSocket(int socket, short events, const WaitRules& rules);

// Sleeps `milliseconds`, ending early when the run stops. Returns false when it ended early.
bool pause(int milliseconds, const WaitRules& rules);

} // namespace torvex
