#pragma once

#include "ErrorOutput.h"
#include "ProgressLine.h"
#include "ReportOutput.h"
#include "runner/RunNotifier.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

namespace torvex {
class CRunLog;
class CTestRunner;
} // namespace torvex

// Binds the run controller to the terminal: run log lines go to standard error as they are
// written, each collected run's report goes to the report output, and the progress of every run
// is shown as for a test script (from the run's test set, unless `progress` gives another source,
// such as the sums of a distributed run). The program waits for the end with waitUntilFinished.
class ConsoleRunNotifier : public torvex::RunNotifier {
public:
    ConsoleRunNotifier(torvex::CTestRunner& runner, const torvex::CRunLog& log, ErrorOutput& errors,
                       ReportOutput& report, bool terminal, ProgressSource progress = {});
    ~ConsoleRunNotifier() override;

    void resultsChanged() override;
    void logChanged() override;
    void runProgress(std::optional<std::pair<int, int>> counts,
                     std::optional<std::string> text) override;
    void runFinished(bool interrupted) override;

    // Returns whether the runs ended by a stop or a failed run.
    bool waitUntilFinished();
    // Whether every report reached its output.
    bool reportsWritten() const;

private:
    void stopProgress();

    torvex::CTestRunner& runner_;
    const torvex::CRunLog& log_;
    ErrorOutput& errors_;
    ReportOutput& report_;
    const bool terminal_;
    const ProgressSource progressSource_;

    std::mutex logLock_;
    std::size_t logShown_ = 0; // bytes of the run log already written

    std::mutex resultsLock_;
    int reportsShown_    = 0;
    bool reportsWritten_ = true;

    std::mutex progressLock_;
    std::unique_ptr<ProgressLine> progress_;

    std::mutex finishLock_;
    std::condition_variable finishedChanged_;
    bool finished_    = false;
    bool interrupted_ = false;
};
