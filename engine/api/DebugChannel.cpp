#include "api/DebugChannel.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace torvex {

bool debugChannelOpen() {
    static const bool open = std::getenv("TORVEX_DEBUG") != nullptr;
    return open;
}

void debugTrace(const char* text) {
    if (debugChannelOpen()) std::fputs(text, stderr);
}

void debugTracef(const char* format, ...) {
    if (!debugChannelOpen()) return;
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
}

} // namespace torvex
