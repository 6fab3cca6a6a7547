#pragma once

#include "ErrorOutput.h"

#include <cstdio>
#include <memory>
#include <string>

// Where the text report goes: standard output, or the file named with --report. The file is
// opened before the run, so that a path that cannot be written is found before the load starts.
class ReportOutput {
public:
    // An empty path means standard output. False, with a message, when the file cannot be opened.
    bool open(const std::string& path, ErrorOutput& errors);
    // False, with a message, when the text could not be written whole.
    bool write(const std::string& text, ErrorOutput& errors);
    // Writes the text report of the test set's last run, then its results file where the
    // options "reportdir" and "outfile" say (nothing without "reportdir"). False when the report
    // could not be written.
    bool writeRunReport(void* testSet, ErrorOutput& errors);

private:
    std::string path_;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_{nullptr, &std::fclose};
};
