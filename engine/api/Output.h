#pragma once

#include "torvexcore.h"

namespace torvex {

// The process-wide output function and progress reporter with their contexts. A null function
// brings back the default, which writes to standard output.
void setOutputFunction(void* ctx, OutFunc f);
void setProgressReporter(void* ctx, ProgressReporter f);

// Formats an engine message (printf rules, at most 4095 bytes, cut on a character boundary),
// drops the line feeds at its end and hands it to the output function. Safe from any thread.
void message(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Passes run progress to the progress reporter.
void reportProgress(int done, int total);

} // namespace torvex
