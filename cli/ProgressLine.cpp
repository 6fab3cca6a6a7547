#include "ProgressLine.h"

#include "torvexcore.h"

#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kRedrawInterval{250};
constexpr milliseconds kPlainLineInterval{5000};

} // namespace

ProgressSource progressOf(void* testSet) {
    return [testSet](TorvexProgress& progress) { return GetRunProgress(testSet, &progress) != 0; };
}

ProgressLine::ProgressLine(ProgressSource source, ErrorOutput& output, bool terminal)
    : source_(std::move(source)), output_(output), terminal_(terminal),
      poller_([this] { poll(); }) {}

ProgressLine::~ProgressLine() {
    {
        std::lock_guard guard(lock_);
        stopping_ = true;
    }
    wake_.notify_all();
    poller_.join();
    if (terminal_) output_.clearStatus();
}

std::string ProgressLine::text(const TorvexProgress& progress, milliseconds elapsed) {
    double seconds = static_cast<double>(elapsed.count()) / 1000.0;
    double rate    = seconds > 0 ? progress.done / seconds : 0.0;
    long tenths    = static_cast<long>(elapsed.count() / 100);
    char total[24] = "";
    if (progress.total >= 0) std::snprintf(total, sizeof total, "/%d", progress.total);
    char line[160];
    std::snprintf(line, sizeof line, "%d%s requests, %.1f req/s, %d error%s, %ld:%02ld.%ld",
                  progress.done, total, rate, progress.errors, progress.errors == 1 ? "" : "s",
                  tenths / 600, tenths / 10 % 60, tenths % 10);
    return line;
}

void ProgressLine::poll() {
    const Clock::time_point start   = Clock::now();
    Clock::time_point nextPlainLine = start + kPlainLineInterval;
    std::unique_lock guard(lock_);
    while (!wake_.wait_for(guard, kRedrawInterval, [this] { return stopping_; })) {
        Clock::time_point now = Clock::now();
        if (!terminal_ && now < nextPlainLine) continue;
        TorvexProgress progress{};
        if (!source_(progress)) continue;
        std::string line = text(progress, std::chrono::duration_cast<milliseconds>(now - start));
        if (terminal_) {
            output_.setStatus(std::move(line));
        } else {
            output_.message(line);
            nextPlainLine += kPlainLineInterval;
        }
    }
}
