#pragma once

namespace torvex {

// The engine's trace channel for developers: texts go to standard error when the environment
// variable TORVEX_DEBUG is set when the engine first traces, and nowhere otherwise.
bool debugChannelOpen();
void debugTrace(const char* text);
void debugTracef(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace torvex
