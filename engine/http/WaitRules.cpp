#include "http/WaitRules.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>

namespace torvex {
namespace {

using Clock = std::chrono::steady_clock;

// Poll in slices this long when a stop of the run must be noticed.
constexpr int kAbortSliceMs = 100;

int remainingMs(Clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<decltype(left)>(left, 0, INT_MAX));
}

// The poll entries of a wait: the socket (or none), then the stop descriptor when the wait
// watches for a stop and has one.
struct WaitSet {
    pollfd entries[2];
    nfds_t count = 0;
    bool slices  = false; // the stop is noticed by looking at the flag between slices

    WaitSet(int socket, short events, const WaitRules& rules) {
        if (socket >= 0) entries[count++] = {socket, events, 0};
        if (rules.abortFlag && rules.stopFd >= 0)
            entries[count++] = {rules.stopFd, POLLIN, 0};
        else
            slices = rules.abortFlag != nullptr;
    }
    // Waits up to `limit` ms (-1: no limit); poll's result.
    int wait(int limit) {
        if (slices) limit = limit < 0 ? kAbortSliceMs : std::min(limit, kAbortSliceMs);
        return ::poll(entries, count, limit);
    }
    bool socketReady(int socket) const { return socket >= 0 && entries[0].revents != 0; }
};

} // namespace

WaitEnd waitForSocket(int socket, short events, const WaitRules& rules) {
    auto deadline = rules.deadline;
    if (rules.timeoutMs >= 0)
        deadline = std::min(deadline, Clock::now() + std::chrono::milliseconds(rules.timeoutMs));
    const bool bounded = deadline != Clock::time_point::max();
    WaitSet set(socket, events, rules);
    for (;;) {
        if (rules.aborted()) return WaitEnd::Aborted;
        int ready = set.wait(bounded ? remainingMs(deadline) : -1);
        if (ready > 0 && set.socketReady(socket)) return WaitEnd::Ready;
        if (ready < 0 && errno != EINTR) return WaitEnd::Failed;
        if (bounded && Clock::now() >= deadline) return WaitEnd::TimedOut;
    }
}

bool pause(int milliseconds, const WaitRules& rules) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    WaitSet set(-1, 0, rules);
    for (;;) {
        if (rules.aborted()) return false;
        int left = remainingMs(deadline);
        if (left <= 0) return true;
        set.wait(left); // with nothing to watch, poll just sleeps
    }
}

} // namespace torvex
