#include "ConsoleRunNotifier.h"

#include "model/RunLog.h"
#include "runner/TestRunner.h"

ConsoleRunNotifier::ConsoleRunNotifier(torvex::CTestRunner& runner, const torvex::CRunLog& log,
                                       ErrorOutput& errors, ReportOutput& report, bool terminal,
                                       ProgressSource progress)
    : runner_(runner), log_(log), errors_(errors), report_(report), terminal_(terminal),
      progressSource_(std::move(progress)) {}

ConsoleRunNotifier::~ConsoleRunNotifier() {
    stopProgress();
}

void ConsoleRunNotifier::resultsChanged() {
    std::lock_guard guard(resultsLock_);
    torvex::CResultsContainer& results = runner_.results();
    if (results.GetCount() < reportsShown_) reportsShown_ = 0; // emptied for a new run
    for (; reportsShown_ < results.GetCount(); ++reportsShown_) {
        torvex::ResultsRecord record = results.GetAt(reportsShown_);
        if (!record) break;
        // The record keeps the report with CR LF line ends; a terminal wants LF.
        std::string text;
        text.reserve(record->reportText.size());
        for (char c : record->reportText)
            if (c != '\r') text += c;
        if (!report_.write(text, errors_)) reportsWritten_ = false;
    }
}

void ConsoleRunNotifier::logChanged() {
    std::lock_guard guard(logLock_);
    if (log_.size() < logShown_) logShown_ = 0; // the log was cleared
    std::string text  = log_.textFrom(logShown_);
    std::size_t start = 0;
    // A line is always added whole; what follows the last line end is left for the next call.
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        errors_.message(std::string_view(text).substr(start, end - start));
    logShown_ += start;
}

void ConsoleRunNotifier::runProgress(std::optional<std::pair<int, int>> counts,
                                     std::optional<std::string> text) {
    // The engine's own "Request: done/total" updates come every few seconds; the progress line
    // polls the test set instead, so only the start of a run and the end of its load matter.
    if (counts && *counts == std::pair{0, 0} && text == "Running...") {
        std::lock_guard guard(progressLock_);
        progress_.reset();
        progress_ = std::make_unique<ProgressLine>(
            progressSource_ ? progressSource_ : progressOf(runner_.testSet()), errors_, terminal_);
    } else if (!counts) {
        stopProgress();
    }
}

void ConsoleRunNotifier::runFinished(bool interrupted) {
    stopProgress();
    std::lock_guard guard(finishLock_);
    finished_    = true;
    interrupted_ = interrupted;
    finishedChanged_.notify_all();
}

bool ConsoleRunNotifier::waitUntilFinished() {
    std::unique_lock lock(finishLock_);
    finishedChanged_.wait(lock, [this] { return finished_; });
    return interrupted_;
}

bool ConsoleRunNotifier::reportsWritten() const {
    return reportsWritten_;
}

void ConsoleRunNotifier::stopProgress() {
    std::lock_guard guard(progressLock_);
    progress_.reset();
}
