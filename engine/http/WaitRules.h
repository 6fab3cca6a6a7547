#pragma once

#include <atomic>

namespace torvex {

// Bounds on every blocking wait of a virtual user: a time-out per wait and the run's abort flag.
struct WaitRules {
    int timeoutMs                     = -1;      // below 0: no time-out
    const std::atomic<int>* abortFlag = nullptr; // none: waits ignore a stop of the run
    // Readable once the run stops (see StopSignal); -1: waits look at the flag every 100 ms.
    int stopFd = -1;

    bool aborted() const { return abortFlag && abortFlag->load(std::memory_order_relaxed) != 0; }
};

// Why a wait or transfer gave up.
enum class WaitEnd { Ready, TimedOut, Aborted, Failed };

// Waits until the socket has any of `events` (poll flags), the time-out passes or the run stops.
// A stop is noticed at once through the stop descriptor, otherwise within a tenth of a second.
// Failed leaves poll's error in errno.
WaitEnd waitForSocket(int socket, short events, const WaitRules& rules);

// Sleeps `milliseconds`, ending early when the run stops. Returns false when it ended early.
bool pause(int milliseconds, const WaitRules& rules);

} // namespace torvex
