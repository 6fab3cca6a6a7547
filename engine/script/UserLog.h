#pragma once

#include <cstdarg>
#include <cstdio>
#include <string_view>

namespace torvex {

// Where a virtual user's trace lines go; the run provides the user's log file.
class UserLog {
public:
    virtual ~UserLog()                        = default;
    virtual void write(std::string_view text) = 0;
    // Pushes what was written to the file, for readers that follow it while the run lasts.
    virtual void flush() {}
};

// Writes one formatted line to `log` when there is one; longer texts than 1023 bytes are cut.
inline void writeLog(UserLog* log, const char* format, ...) __attribute__((format(printf, 2, 3)));
inline void writeLog(UserLog* log, const char* format, ...) {
    if (!log) return;
    char text[1024];
    va_list arguments;
    va_start(arguments, format);
    int n = std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (n < 0) return;
    log->write(
        {text, n < static_cast<int>(sizeof text) ? static_cast<std::size_t>(n) : sizeof text - 1});
}

} // namespace torvex
