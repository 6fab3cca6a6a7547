#pragma once

#include <mutex>
#include <string_view>

// Standard output and error for the main thread and the proxy's threads alike: each line is
// written whole under one lock and flushed at once, so that a reader of a pipe sees it as it
// happens.
class ConsoleLines {
public:
    void out(std::string_view line);
    void error(std::string_view line);

private:
    std::mutex lock_;
};
