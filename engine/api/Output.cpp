#include "api/Output.h"

#include "api/FixedText.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <utility>

namespace torvex {
namespace {

// The default output ends every text with a line feed unless it ends in a carriage return (the
// progress line, which the next one overwrites), so that messages do not run together.
int writeToStdout(void*, const char* text) {
    std::size_t n = std::strlen(text);
    bool keepLine = n > 0 && text[n - 1] == '\r';
    std::fprintf(stdout, keepLine ? "%s" : "%s\n", text);
    if (keepLine) std::fflush(stdout);
    return 0;
}

void defaultProgress(void*, int done, int total) {
    if (total == -1)
        message("Requests made so far: %d\r", done);
    else
        message("Request: %d/%d\r", std::min(done, total), total);
}

struct Callbacks {
    std::mutex lock;
    void* outputContext       = nullptr;
    OutFunc output            = writeToStdout;
    void* progressContext     = nullptr;
    ProgressReporter progress = defaultProgress;
};

Callbacks& callbacks() {
    static Callbacks instance;
    return instance;
}

// A consistent copy of one callback and its context, taken under the lock and called outside it.
template <typename Function>
std::pair<Function, void*> current(Function Callbacks::*function, void* Callbacks::*context) {
    Callbacks& c = callbacks();
    std::lock_guard guard(c.lock);
    return {c.*function, c.*context};
}

} // namespace

void setOutputFunction(void* ctx, OutFunc f) {
    Callbacks& c = callbacks();
    std::lock_guard guard(c.lock);
    c.outputContext = f ? ctx : nullptr;
    c.output        = f ? f : writeToStdout;
}

void setProgressReporter(void* ctx, ProgressReporter f) {
    Callbacks& c = callbacks();
    std::lock_guard guard(c.lock);
    c.progressContext = f ? ctx : nullptr;
    c.progress        = f ? f : defaultProgress;
}

void message(const char* format, ...) {
    char text[4096];
    va_list args;
    va_start(args, format);
    int written = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (written < 0) return;

    std::size_t length = std::min<std::size_t>(written, sizeof text - 1);
    if (static_cast<std::size_t>(written) > length) length = utf8CompleteLength({text, length});
    while (length > 0 && text[length - 1] == '\n') --length;
    text[length] = '\0';

    auto [output, context] = current(&Callbacks::output, &Callbacks::outputContext);
    output(context, text);
}

void reportProgress(int done, int total) {
    auto [progress, context] = current(&Callbacks::progress, &Callbacks::progressContext);
    progress(context, done, total);
}

} // namespace torvex
