#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace torvex {

// What the run controller's worker tells the program while runs go on. The desktop program binds
// it to its main window (each call posts an event to the user-interface thread); the console runner
// binds it to the terminal. Every call except waitForStop comes from the worker thread or, for the
// log and progress, from the engine's threads; none of them may start or stop a run itself (the
// worker would wait for itself), they hand that to the program's own thread.
class RunNotifier {
public:
    virtual ~RunNotifier() = default;

    // A record was added to the results list, or the list was emptied.
    virtual void resultsChanged() {}
    // A line was added to the run log.
    virtual void logChanged() {}
    // {done, total} with a status text, a text alone, or neither: hide the progress display.
    virtual void runProgress(std::optional<std::pair<int, int>> counts,
                             std::optional<std::string> text) {
        (void)counts;
        (void)text;
    }
    // The first run of a batch was collected.
    virtual void batchFirstRunDone() {}
    // The single run or the batch is over; `interrupted` when a stop or a failed run ended it.
    virtual void runFinished(bool interrupted) { (void)interrupted; }
    // The end of a run is also heard.
    virtual void beep() {}
    // Called by StopRun on the caller's thread after the stop was asked for: returns once
    // `stillRunning` says false. The desktop shows its stop dialog meanwhile; by default the
    // caller just checks twice a second.
    virtual void waitForStop(const std::function<bool()>& stillRunning);
};

} // namespace torvex
