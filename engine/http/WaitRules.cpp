#include "http/WaitRules.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

namespace torvex {
namespace {

using Clock = std::chrono::steady_clock;

// Poll in slices this long when a stop of the run must be noticed.
constexpr int kAbortSliceMs = 100;

int remainingMs(Clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<decltype(left)>(left, 0));
}

} // namespace

WaitEnd waitForSocket(int socket, short events, const WaitRules& rules) {
    const bool bounded  = rules.timeoutMs >= 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(rules.timeoutMs, 0));
    pollfd entry{socket, events, 0};
    for (;;) {
        if (rules.aborted()) return WaitEnd::Aborted;
        int slice = bounded ? remainingMs(deadline) : -1;
        if (rules.abortFlag) slice = slice < 0 ? kAbortSliceMs : std::min(slice, kAbortSliceMs);
        int ready = ::poll(&entry, 1, slice);
        if (ready > 0) return WaitEnd::Ready;
        if (ready < 0 && errno != EINTR) return WaitEnd::Failed;
        if (bounded && Clock::now() >= deadline) return WaitEnd::TimedOut;
    }
}

bool pause(int milliseconds, const WaitRules& rules) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        if (rules.aborted()) return false;
        int left = remainingMs(deadline);
        if (left <= 0) return true;
        std::this_thread::sleep_for(
            std::chrono::milliseconds(rules.abortFlag ? std::min(left, kAbortSliceMs) : left));
    }
}

} // namespace torvex
