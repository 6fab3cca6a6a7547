#pragma once

#include <mutex>
#include <string>

namespace torvex {

// The text the run controller writes while tests run; the run settings view shows it.
class CRunLog {
public:
    enum Level : int { kMessage = 0, kWarning = 1, kFailure = 2 };

    // Appends "<LABEL>>   <text>\r\n" (no label for an unknown level).
    void addLine(int level, const std::string& text);
    std::string text() const;
    // The text from byte `offset` on (empty past the end), for readers that follow the log.
    std::string textFrom(std::size_t offset) const;
    std::size_t size() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::string text_;
};

} // namespace torvex
