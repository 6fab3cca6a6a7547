#pragma once

#include <string_view>

namespace torvex {

// Where a virtual user's trace lines go; the run provides the user's log file.
class UserLog {
public:
    virtual ~UserLog()                        = default;
    virtual void write(std::string_view text) = 0;
};

} // namespace torvex
