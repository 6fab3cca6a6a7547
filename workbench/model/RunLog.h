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
    void clear();

private:
    mutable std::mutex mutex_;
    std::string text_;
};

} // namespace torvex
