#pragma once

#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

// Standard error shared by the engine's threads, the progress display and the signal watcher.
// Each message is written whole under one lock. A terminal may also show a status line below the
// messages: it is cleared before a message is written and drawn again after it, so the two never
// run into each other.
class ErrorOutput {
public:
    explicit ErrorOutput(std::FILE* stream = stderr) : stream_(stream) {}
    ErrorOutput(const ErrorOutput&)            = delete;
    ErrorOutput& operator=(const ErrorOutput&) = delete;

    // Writes one message and a line feed; trailing line ends of the text are dropped.
    void message(std::string_view text);
    // Replaces the status line (terminals only: it is rewritten in place with "\r").
    void setStatus(std::string line);
    // Removes the status line, leaving the cursor at the start of an empty line.
    void clearStatus();

    // The engine's output function; `context` is an ErrorOutput.
    static int engineMessage(void* context, const char* text);

private:
    void eraseStatus();
    void drawStatus();

    std::FILE* stream_;
    std::mutex lock_;
    std::string status_;
};
